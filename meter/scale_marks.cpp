// The marks lie inside the scale band, towards the pivot, so that the band
// and the track arc over it keep every pixel they had. Their angles come
// from the very mapping the needle uses, so each tick stands exactly where
// the needle points for its level. Sizes grow with the meter in whole
// steps, so that the small font stays crisp at every display scale.
#include "meter/scale_marks.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "draw/small_font.h"
#include "meter/decibel_scale.h"
#include "meter/meter_table.h"

namespace {

// The main window's meter at 96 DPI: images 493 pixels wide.
constexpr int64_t UNSCALED_IMAGE_WIDTH = 493;
// The band is drawn with discs of radius 11 along the scale arc; the ticks
// start a pixel inside it.
constexpr int32_t BAND_HALF_WIDTH = 11;
constexpr int32_t TICK_GAP = 2;
constexpr int32_t MINOR_TICK_LENGTH = 5;  // font pixels, times the mark scale
constexpr int32_t MAJOR_TICK_LENGTH = 10;
constexpr int32_t LABEL_GAP = 2;  // between a major tick's end and its label

double OuterRadius(const MeterRecord& meter) {
    return static_cast<double>(meter.needleRadius - BAND_HALF_WIDTH - TICK_GAP);
}

// Draws `text` centred on `centre`.
void CentredText(ScalePoint centre, const char* text, int32_t scale, uint32_t colour) {
    const int32_t width = SmallTextWidth(text, scale);
    const int32_t height = SMALL_FONT_HEIGHT * scale;
    DrawSmallText(centre.x - width / 2, centre.y - height / 2, text, scale, colour);
}

}  // namespace

float ScaleValueOfDbfs(double dbfs) {
    const double value = 101.0 * std::pow(10.0, dbfs / 20.0);
    return static_cast<float>(std::min(value, 100.0));
}

std::span<const ScaleMark> ScaleMarksOf(int64_t slot) {
    if (slot >= 1 && slot < MeterTableSize() && MeterAt(slot).decibelScale) {
        return DECIBEL_SCALE_MARKS;
    }
    return SCALE_MARKS;
}

float MarkValue(int64_t slot, double dbfs) {
    if (slot >= 1 && slot < MeterTableSize() && MeterAt(slot).decibelScale) {
        return DecibelScaleValue(dbfs);
    }
    return ScaleValueOfDbfs(dbfs);
}

int32_t MarkScale(int64_t imageWidth) {
    const int64_t scale = (imageWidth + UNSCALED_IMAGE_WIDTH / 2) / UNSCALED_IMAGE_WIDTH;
    return static_cast<int32_t>(std::clamp<int64_t>(scale, 1, 16));
}

ScaleTick ScaleTickOf(int64_t slot, const ScaleMark& mark) {
    if (slot < 1 || slot >= MeterTableSize()) return ScaleTick{{0, 0}, {0, 0}};
    const MeterRecord& meter = MeterAt(slot);
    const int32_t scale = MarkScale(meter.imageWidth);
    const float value = MarkValue(slot, mark.dbfs);
    const double outer = OuterRadius(meter);
    const double length = (mark.major ? MAJOR_TICK_LENGTH : MINOR_TICK_LENGTH) * scale;
    return ScaleTick{ScalePointForValue(slot, value, outer),
                     ScalePointForValue(slot, value, outer - length + 1)};
}

void DrawScaleMarks(int64_t slot) {
    if (slot < 1 || slot >= MeterTableSize()) return;
    const MeterRecord& meter = MeterAt(slot);
    const auto colour = static_cast<uint32_t>(meter.colour1);
    const int32_t scale = MarkScale(meter.imageWidth);
    const int32_t textHeight = SMALL_FONT_HEIGHT * scale;
    // Label centres: past the longest tick by a gap and half a text height.
    const double labelRadius =
        OuterRadius(meter) - MAJOR_TICK_LENGTH * scale - LABEL_GAP * scale - (textHeight + 1) / 2;
    for (const ScaleMark& mark : ScaleMarksOf(slot)) {
        const ScaleTick tick = ScaleTickOf(slot, mark);
        ThickLine(tick.outer.x, tick.outer.y, tick.inner.x, tick.inner.y, scale, colour);
        if (mark.major) {
            const float value = MarkValue(slot, mark.dbfs);
            CentredText(ScalePointForValue(slot, value, labelRadius), mark.label, scale, colour);
        }
    }
    // The unit, once, under the labels in the scale's middle.
    CentredText(ScalePointForValue(slot, 50.0f, labelRadius - textHeight - 2 * scale), "dB", scale,
                colour);
}
