// The peak hold in the picture: the mark across the band and the held
// level's text.
#include "meter/peak_hold_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "draw/small_font.h"
#include "meter/meter_table.h"
#include "meter/scale_geometry.h"
#include "meter/scale_marks.h"

namespace {

constexpr float SCALE_END = 100.0f;
// The mark runs across the band, whose discs of radius 11 follow the arc.
constexpr int32_t MARK_HALF_LENGTH = 11;
constexpr int32_t CORNER_MARGIN = 2;  // font pixels from the picture's bottom and the discs
constexpr int32_t TIP_REACH = 21;     // the overload disc's radius: the widest mark on the scale

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

struct MarkLine {
    ScalePoint outer;
    ScalePoint inner;
    int32_t thickness;
};

MarkLine MarkLineOf(int64_t slot, float reading) {
    const MeterRecord& meter = MeterAt(slot);
    const float value = std::clamp(reading, 0.0f, SCALE_END);
    const auto radius = static_cast<double>(meter.needleRadius);
    return MarkLine{ScalePointForValue(slot, value, radius + MARK_HALF_LENGTH),
                    ScalePointForValue(slot, value, radius - MARK_HALF_LENGTH),
                    MarkScale(meter.imageWidth)};
}

// The text's top-left corner: beside the scale's lower left end, clear of
// the discs that stand there at rest, its last row CORNER_MARGIN font pixels
// above the picture's bottom edge.
ScalePoint TextCorner(int64_t slot, const MeterRecord& meter, int32_t scale) {
    const ScalePoint end = ScalePointAt(slot, -45.0);
    const int32_t bottom = meter.pictureHeight - CORNER_MARGIN * scale;
    return ScalePoint{end.x + TIP_REACH + CORNER_MARGIN * scale,
                      bottom - SMALL_FONT_HEIGHT * scale};
}

}  // namespace

PictureRect HoldMarkRect(int64_t slot, float reading) {
    if (!ValidSlot(slot)) return PictureRect{};
    const MarkLine line = MarkLineOf(slot, reading);
    const int32_t reach = line.thickness - 1;  // the radius of the line's discs
    return PictureRect{std::min(line.outer.x, line.inner.x) - reach,
                       std::min(line.outer.y, line.inner.y) - reach,
                       std::max(line.outer.x, line.inner.x) + reach + 1,
                       std::max(line.outer.y, line.inner.y) + reach + 1};
}

void DrawHoldMark(int64_t slot, float reading) {
    if (!ValidSlot(slot)) return;
    const MarkLine line = MarkLineOf(slot, reading);
    ThickLine(line.outer.x, line.outer.y, line.inner.x, line.inner.y, line.thickness,
              PEAK_HOLD_COLOUR);
}

PictureRect HoldTextRect(int64_t slot, const std::string& text) {
    if (!ValidSlot(slot)) return PictureRect{};
    const MeterRecord& meter = MeterAt(slot);
    const int32_t scale = MarkScale(meter.imageWidth);
    const ScalePoint corner = TextCorner(slot, meter, scale);
    return PictureRect{corner.x, corner.y, corner.x + SmallTextWidth(text, scale),
                       corner.y + SMALL_FONT_HEIGHT * scale};
}

void DrawHoldText(int64_t slot, const std::string& text) {
    if (!ValidSlot(slot)) return;
    const MeterRecord& meter = MeterAt(slot);
    const int32_t scale = MarkScale(meter.imageWidth);
    const ScalePoint corner = TextCorner(slot, meter, scale);
    DrawSmallText(corner.x, corner.y, text, scale, PEAK_HOLD_COLOUR);
}
