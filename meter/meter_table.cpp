// The meter table, the map from control number to slot, and CreateMeter,
// which builds a meter: canvas control, record, images, dial face and the
// needle at rest. Slot 0 is never given out, so 0 means "no such meter".
#include "meter/meter_table.h"

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "draw/canvas.h"
#include "draw/image.h"
#include "meter/dial_face.h"
#include "meter/needle.h"

namespace {

// Records never move once the worker threads run: the table only grows
// while meters are created on the main thread at start-up.
std::vector<MeterRecord> meterTable(2);
// Keyed by the control number's decimal text ("3", "-1"), valued by slot.
std::unordered_map<std::string, int64_t> meterIndex(512);
int64_t nextMeterSlot = 1;
int64_t defaultColours[4] = {0, 0, 0, 0};

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

}  // namespace

void CreateMeterTable() {
    meterTable.assign(2, MeterRecord{});
    meterIndex.clear();
    meterIndex.rehash(512);
    nextMeterSlot = 1;
}

void SetDefaultMeterColours(int64_t c0, int64_t c1, int64_t c2, int64_t c3) {
    defaultColours[0] = c0;
    defaultColours[1] = c1;
    defaultColours[2] = c2;
    defaultColours[3] = c3;
}

int64_t CreateMeter(int64_t number, int x, int y, int width, const std::string& caption,
                    int64_t flags) {
    if (flags < 0 || flags > 15) return 0;
    if (width < 150) width = 150;
    // The control shows only the upper part of the dial; the pivot lies
    // below its visible area.
    const int64_t control = CanvasControl(
        number, x, y, width, static_cast<int>(Round(width / 1.5) - 190), CANVAS_BORDER);
    if (control == 0) return 0;
    if (number == -1) number = control;
    // The window layer scaled the control for the display; the meter is
    // built for the width it really has, so that the dial fills the picture
    // at any scale (and is the very same at a scale of 1).
    const int64_t meterWidth = ScaledControlWidth(number, width);
    const int64_t nominalHeight = Round(meterWidth / 1.5);

    const int64_t slot = nextMeterSlot;
    if (static_cast<int64_t>(meterTable.size()) < slot + 1) {
        meterTable.resize(static_cast<size_t>(slot) + 1);
    }
    MeterRecord& meter = meterTable[static_cast<size_t>(slot)];
    meter = MeterRecord{};
    meter.imageWidth = meterWidth - 4;
    meter.imageHeight = nominalHeight - 4;
    meter.flags = flags;
    meter.colour0 = defaultColours[0];
    meter.colour1 = defaultColours[1];
    meter.colour2 = defaultColours[2];
    meter.colour3 = defaultColours[3];
    meter.averageCount = 8;
    meter.ringIndex = 0;
    meter.ringSum = 0.0f;
    meter.sizeUnit = Round(meter.imageWidth / 40.0);
    meter.auxX = Round(static_cast<double>(meter.imageWidth - 3 * meter.sizeUnit - 13));
    meter.auxY = Round(meter.imageHeight - 0.35 * meter.imageHeight - 2.0 * meter.sizeUnit);
    meter.caption = caption;
    meter.pivotX = Round(meter.imageWidth / 2.0);
    // From the control width and nominal height, not the image sizes.
    meter.needleRadius =
        Round(static_cast<double>(meterWidth) / static_cast<double>(meterWidth + 35) *
              static_cast<double>(nominalHeight));
    meter.dialImage =
        NewImage(-1, static_cast<int>(meter.imageWidth), static_cast<int>(meter.imageHeight), 32);
    meter.spareImage = NewImage(-1, static_cast<int>(meter.imageWidth),
                                static_cast<int>(Round(meter.imageHeight * 0.2)), 32);
    if (meter.dialImage == 0 || meter.spareImage == 0) {
        // No meter without its dial: leave the slot blank for the next one.
        meter = MeterRecord{};
        return 0;
    }

    meterIndex[std::to_string(number)] = slot;
    DrawDialFace(slot);
    SetMeterValue(number, 0.0f);
    ++nextMeterSlot;
    return control;
}

int64_t MeterSlot(int64_t number) {
    auto found = meterIndex.find(std::to_string(number));
    return found == meterIndex.end() ? 0 : found->second;
}

MeterRecord& MeterAt(int64_t slot) {
    return meterTable[static_cast<size_t>(slot)];
}

int64_t MeterTableSize() {
    return static_cast<int64_t>(meterTable.size());
}
