#include "ui/surface_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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
        // wp_fractional_scale_v1 has the buffer size rounded half away from
        // zero from the logical size, in 120ths; a picture one pixel short
        // is stretched by the compositor over the whole window.
        const int64_t scale120 = std::llround(scale * 120.0);
        auto length = [scale120](int logical) {
            return static_cast<int>((int64_t{std::max(1, logical)} * scale120 + 60) / 120);
        };
        picture.width = std::max(1, length(logicalWidth));
        picture.height = std::max(1, length(logicalHeight));
        return picture;
    }
    picture.bufferScale = std::max(1, static_cast<int>(scale));
    picture.width = std::max(1, logicalWidth) * picture.bufferScale;
    picture.height = std::max(1, logicalHeight) * picture.bufferScale;
    return picture;
}
