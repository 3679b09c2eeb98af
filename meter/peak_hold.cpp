// The hold is measured in time, not in updates: the analysis ticks at the
// window system's shortest timer period (10 ms on X11, about 15.6 ms on
// Windows) and rests while nothing on the meters can change, so a count of
// updates would stand for a different time on each platform.
#include "meter/peak_hold.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "draw/small_font.h"
#include "meter/dial_face.h"
#include "meter/meter_table.h"
#include "meter/scale_marks.h"

namespace {

constexpr double FULL_SCALE = 32767.0;
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

void TakePeak(PeakHoldState& hold, float reading, int32_t peak,
              std::chrono::steady_clock::time_point now) {
    if (!hold.holding || peak >= hold.peak) {
        hold = PeakHoldState{true, reading, peak, now, false, 0, 0};
        return;
    }
    if (!hold.laterSeen || peak > hold.laterPeak) {
        hold.laterSeen = true;
        hold.laterReading = reading;
        hold.laterPeak = peak;
    }
    if (now - hold.since >= PEAK_HOLD_TIME) {
        hold = PeakHoldState{true, hold.laterReading, hold.laterPeak, now, false, 0, 0};
    }
}

int32_t PeakOfReading(float reading) {
    if (!(reading > 0)) return 0;
    const double peak = std::nearbyint(static_cast<double>(reading) / 101.0 * FULL_SCALE);
    return static_cast<int32_t>(std::min(peak, FULL_SCALE));
}

std::string PeakHoldText(int32_t peak) {
    if (peak <= 0) return "-inf dB";
    const double dbfs = 20.0 * std::log10(static_cast<double>(peak) / FULL_SCALE);
    // Tenths, halves away from zero; the one peak above full scale (32768)
    // is 0.0003 dB over, which reads as 0.0.
    const long tenths = std::lround(dbfs * 10.0);
    const long magnitude = std::labs(tenths);
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10) + " dB";
    return text;
}

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
