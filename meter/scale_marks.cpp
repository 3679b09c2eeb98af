// The marks lie inside the scale band, towards the pivot, so that the band
// and the track arc over it keep every pixel they had. Their angles come
// from the very mapping the needle uses, so each tick stands exactly where
// the needle points for its level. The labels stand further in, beyond the
// reach of the discs that ride the band (their radius does not grow with the
// display's scale), so that the needle never hides one; ticks and text grow
// with the meter.
#include "meter/scale_marks.h"

#include <algorithm>
#include <cmath>

#include "draw/stroke_font.h"
#include "meter/decibel_scale.h"
#include "meter/meter_table.h"

namespace {

// The band is drawn with discs of radius 11 along the scale arc; the ticks
// start a pixel inside it.
constexpr int32_t BAND_INNER = 13;
constexpr double TICK_LENGTH = 8;  // at 96 DPI, as the gaps below
constexpr double LABEL_GAP = 3;    // from a tick's end to its label
constexpr double LABEL_SPACE = 2;  // between neighbouring labels
// The overload disc has radius 21 around a tip on the arc: no label pixel
// comes nearer the arc than this.
constexpr int32_t DISC_CLEARANCE = 24;
constexpr std::string_view UNIT = "dB";

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

int32_t Pixels(double size, double factor) {
    return static_cast<int32_t>(std::lround(size * factor));
}

// The radius from the pivot that no label pixel passes.
double LabelLimit(const MeterRecord& meter, double factor) {
    const int32_t clearance = std::max(
        DISC_CLEARANCE, BAND_INNER + Pixels(TICK_LENGTH, factor) + Pixels(LABEL_GAP, factor));
    return static_cast<double>(meter.needleRadius - clearance);
}

// A text centred on the ray of `value`, its farthest pixel from the pivot
// about `outer` from it (within the rounding of its centre).
PictureRect OnRay(int64_t slot, float value, double outer, std::string_view text, double size) {
    const int32_t width = StrokeTextWidth(text, size);
    const int32_t height = StrokeTextHeight(size);
    const double angle = (static_cast<double>(value) * 0.9 - 45.0) * 0.017453292519943295;
    // How far the text reaches along the ray beyond its centre, and a pixel
    // for the rounding of the centre.
    const double reach =
        width / 2.0 * std::abs(std::sin(angle)) + height / 2.0 * std::abs(std::cos(angle)) + 1;
    const ScalePoint centre = ScalePointForValue(slot, value, outer - reach);
    const int32_t left = centre.x - width / 2, top = centre.y - height / 2;
    return PictureRect{left, top, left + width, top + height};
}

bool Inside(const PictureRect& rect, const MeterRecord& meter) {
    return rect.left >= 0 && rect.top >= 0 && rect.right <= meter.imageWidth &&
           rect.bottom <= meter.pictureHeight;
}

bool Clear(const PictureRect& rect, const std::vector<ScaleLabel>& placed, int32_t space) {
    return std::none_of(placed.begin(), placed.end(), [&](const ScaleLabel& label) {
        return rect.left < label.rect.right + space && label.rect.left < rect.right + space &&
               rect.top < label.rect.bottom + space && label.rect.top < rect.bottom + space;
    });
}

}  // namespace

float ScaleValueOfDbfs(double dbfs) {
    const double value = 101.0 * std::pow(10.0, dbfs / 20.0);
    return static_cast<float>(std::min(value, 100.0));
}

std::span<const ScaleMark> ScaleMarksOf(int64_t slot) {
    if (ValidSlot(slot) && MeterAt(slot).decibelScale) return DECIBEL_SCALE_MARKS;
    return SCALE_MARKS;
}

float MarkValue(int64_t slot, double dbfs) {
    if (ValidSlot(slot) && MeterAt(slot).decibelScale) return DecibelScaleValue(dbfs);
    return ScaleValueOfDbfs(dbfs);
}

ScaleTick ScaleTickOf(int64_t slot, const ScaleMark& mark) {
    if (!ValidSlot(slot)) return ScaleTick{{0, 0}, {0, 0}};
    const MeterRecord& meter = MeterAt(slot);
    const int32_t length = Pixels(TICK_LENGTH, MeterSizeFactor(meter.imageWidth));
    const float value = MarkValue(slot, mark.dbfs);
    const auto outer = static_cast<double>(meter.needleRadius - BAND_INNER);
    return ScaleTick{ScalePointForValue(slot, value, outer),
                     ScalePointForValue(slot, value, outer - length + 1)};
}

std::vector<ScaleLabel> ScaleLabelsOf(int64_t slot) {
    std::vector<ScaleLabel> labels;
    if (!ValidSlot(slot)) return labels;
    const MeterRecord& meter = MeterAt(slot);
    const double factor = MeterSizeFactor(meter.imageWidth);
    const double limit = LabelLimit(meter, factor);
    const int32_t space = Pixels(LABEL_SPACE, factor);
    auto place = [&](std::string_view text, float value, double outer) {
        const PictureRect rect = OnRay(slot, value, outer, text, factor);
        if (Inside(rect, meter) && Clear(rect, labels, space)) labels.push_back({text, rect});
    };
    for (const ScaleMark& mark : ScaleMarksOf(slot)) {
        place(mark.label, MarkValue(slot, mark.dbfs), limit);
    }
    // The unit, once, under the labels in the scale's middle.
    place(UNIT, 50.0f, limit - StrokeTextHeight(factor) - 2 * space);
    return labels;
}

void DrawScaleMarks(int64_t slot) {
    if (!ValidSlot(slot)) return;
    const double factor = MeterSizeFactor(MeterAt(slot).imageWidth);
    const int32_t pen = StrokePen(factor);
    for (const ScaleMark& mark : ScaleMarksOf(slot)) {
        const ScaleTick tick = ScaleTickOf(slot, mark);
        PenLine(tick.outer.x, tick.outer.y, tick.inner.x, tick.inner.y, pen, LABEL_COLOUR);
    }
    for (const ScaleLabel& label : ScaleLabelsOf(slot)) {
        DrawStrokeText(label.rect.left, label.rect.top, label.text, factor, LABEL_COLOUR);
    }
}
