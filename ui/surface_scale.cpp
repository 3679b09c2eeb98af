#include "ui/surface_scale.h"

#include <algorithm>

#include "ui/display_scale.h"
#include "ui/scaling.h"

double SurfaceScale(uint32_t preferredScale120, bool viewport, const std::vector<int>& outputScales,
                    double current) {
    if (viewport && preferredScale120 != 0) {
        return BoundDisplayDpi(preferredScale120 / 120.0 * DEFAULT_DISPLAY_DPI) /
               DEFAULT_DISPLAY_DPI;
    }
    // Without a viewport the picture is a whole multiple of the window.
    int scale = 0;
    for (int output : outputScales) scale = std::max(scale, output);
    if (scale <= 0) scale = static_cast<int>(current);
    const int largest = static_cast<int>(LARGEST_DISPLAY_DPI / DEFAULT_DISPLAY_DPI);
    return std::clamp(scale, 1, largest);
}

SurfacePicture SurfacePictureFor(int logicalWidth, int logicalHeight, double scale, bool viewport) {
    SurfacePicture picture;
    if (viewport) {
        picture.width = std::max(1, ScaleValue(logicalWidth, scale));
        picture.height = std::max(1, ScaleValue(logicalHeight, scale));
        return picture;
    }
    picture.bufferScale = std::max(1, static_cast<int>(scale));
    picture.width = std::max(1, logicalWidth) * picture.bufferScale;
    picture.height = std::max(1, logicalHeight) * picture.bufferScale;
    return picture;
}
