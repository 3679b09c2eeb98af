// Building a meter: its canvas control, its record in the table, its
// images sized for the control the window layer made, its dial face and a
// first needle at rest; and building it again for a new display scale.
#include "meter/create_meter.h"

#include <cmath>

#include "draw/canvas.h"
#include "draw/image.h"
#include "meter/dial_face.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "ui/platform_ui.h"

namespace {

// Meter sizes round half to even (the default rounding mode).
int64_t Round(double value) {
    return static_cast<int64_t>(std::nearbyint(value));
}

// The control's width as the window layer made it: its picture and the
// 2-pixel edges on either side.
int64_t ScaledControlWidth(int64_t control, int width) {
    int32_t pictureWidth = 0, pictureHeight = 0;
    if (!CanvasPictureSize(control, &pictureWidth, &pictureHeight)) return width;
    return int64_t{pictureWidth} + 4;
}

// The canvas picture's height as the window layer made it.
int32_t PictureHeight(int64_t control, int width) {
    int32_t pictureWidth = 0, pictureHeight = 0;
    if (!CanvasPictureSize(control, &pictureWidth, &pictureHeight)) return MeterHeight(width) - 4;
    return pictureHeight;
}

// Sizes the meter for a control `meterWidth` wide, as the window layer made
// it, and makes its two images, black. False, with the record and the
// images as they were, if either image cannot be made.
bool SizeMeter(MeterRecord& meter, int64_t meterWidth) {
    const int64_t nominalHeight = Round(meterWidth / 1.5);
    const int64_t imageWidth = meterWidth - 4;
    const int64_t imageHeight = nominalHeight - 4;
    const int64_t dial =
        NewImage(-1, static_cast<int>(imageWidth), static_cast<int>(imageHeight), 32);
    const int64_t spare =
        NewImage(-1, static_cast<int>(imageWidth), static_cast<int>(Round(imageHeight * 0.2)), 32);
    if (dial == 0 || spare == 0) {
        if (dial != 0) ReleaseImage(dial);
        if (spare != 0) ReleaseImage(spare);
        return false;
    }
    meter.imageWidth = imageWidth;
    meter.imageHeight = imageHeight;
    meter.sizeUnit = Round(imageWidth / 40.0);
    meter.auxX = Round(static_cast<double>(imageWidth - 3 * meter.sizeUnit - 13));
    meter.auxY = Round(imageHeight - 0.35 * imageHeight - 2.0 * meter.sizeUnit);
    meter.pivotX = Round(imageWidth / 2.0);
    // From the control width and nominal height, not the image sizes.
    meter.needleRadius =
        Round(static_cast<double>(meterWidth) / static_cast<double>(meterWidth + 35) *
              static_cast<double>(nominalHeight));
    meter.dialImage = dial;
    meter.spareImage = spare;
    return true;
}

}  // namespace

int MeterHeight(int width) {
    // The control shows only the upper part of the dial; the pivot lies
    // below its visible area.
    return static_cast<int>(Round(width / 1.5) - 190);
}

int64_t CreateMeter(int64_t number, int x, int y, int width, const std::string& caption,
                    int64_t flags) {
    if (flags < 0 || flags > 15) return 0;
    if (width < 150) width = 150;
    const int64_t control = CanvasControl(number, x, y, width, MeterHeight(width), CANVAS_BORDER);
    if (control == 0) return 0;
    if (number == -1) number = control;

    int64_t slot = 0;
    MeterRecord& meter = NextMeterRecord(&slot);
    meter.flags = flags;
    meter.averageCount = 8;
    meter.ringIndex = 0;
    meter.ringSum = 0.0f;
    meter.caption = caption;
    // The window layer scaled the control for the display; the meter is
    // built for the width it really has, so that the dial fills the picture
    // at any scale (and is the very same at a scale of 1).
    if (!SizeMeter(meter, ScaledControlWidth(number, width))) {
        // No meter without its dial: leave the slot blank for the next one.
        meter = MeterRecord{};
        return 0;
    }

    meter.pictureHeight = PictureHeight(number, width);
    IndexMeter(number, slot);
    DrawDialFace(slot);
    SetMeterValue(number, 0.0f);
    return control;
}

bool RescaleMeter(int64_t number, int x, int y, int width) {
    const int64_t slot = MeterSlot(number);
    if (slot == 0) return false;
    if (width < 150) width = 150;
    PlaceControl(number, x, y, width, MeterHeight(width));
    MeterRecord& meter = MeterAt(slot);
    const int64_t oldImages[] = {meter.dialImage, meter.spareImage, meter.backdropImage};
    const bool resized = SizeMeter(meter, ScaledControlWidth(number, width));
    // Before the dial: the marks' labels keep inside the picture.
    meter.pictureHeight = PictureHeight(number, width);
    if (resized) {
        for (int64_t image : oldImages) {
            if (image != 0) ReleaseImage(image);
        }
        meter.backdropImage = 0;  // the next drawing makes it for the new dial
        DrawDialFace(slot);
    }
    RedrawMeter(number);
    return resized;
}
