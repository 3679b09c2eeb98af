// Both numbers stand in one place on each meter, centred under the middle
// of the scale, where neither the needle's discs nor the marks ever reach:
// the eye finds the level and the held peak there in one glance, whatever
// the level. The held peak has the mark's colour, which ties the two. Each
// line keeps its place whether the other is shown or not.
#include "meter/dial_texts.h"

#include <cmath>

#include "draw/primitives.h"
#include "draw/stroke_font.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "meter/peak_hold.h"
#include "meter/scale_geometry.h"

namespace {

constexpr uint32_t READOUT_COLOUR = RGB(240, 240, 240);
// At 96 DPI, in pixels: the held peak's last row this far above the
// picture's bottom edge, the readout's last row this far above the held
// peak's first.
constexpr double BOTTOM_MARGIN = 10;
constexpr double LINE_GAP = 6;

enum class Line { READOUT, HOLD };

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

int32_t Pixels(double size, double factor) {
    return static_cast<int32_t>(std::lround(size * factor));
}

// The readout twice the labels' size, the held peak as large as they.
double TextSize(const MeterRecord& meter, Line line) {
    const double factor = MeterSizeFactor(meter.imageWidth);
    return line == Line::READOUT ? 2 * factor : factor;
}

PictureRect Place(int64_t slot, Line line, const std::string& text) {
    const MeterRecord& meter = MeterAt(slot);
    const double factor = MeterSizeFactor(meter.imageWidth);
    const int32_t holdBottom = meter.pictureHeight - Pixels(BOTTOM_MARGIN, factor);
    int32_t bottom = holdBottom;
    if (line == Line::READOUT) {
        bottom =
            holdBottom - StrokeTextHeight(TextSize(meter, Line::HOLD)) - Pixels(LINE_GAP, factor);
    }
    const double size = TextSize(meter, line);
    const int32_t width = StrokeTextWidth(text, size);
    const auto left = static_cast<int32_t>(meter.pivotX) - width / 2;
    return PictureRect{left, bottom - StrokeTextHeight(size), left + width, bottom};
}

void Draw(int64_t slot, Line line, const std::string& text, uint32_t colour) {
    const PictureRect place = Place(slot, line, text);
    DrawStrokeText(place.left, place.top, text, TextSize(MeterAt(slot), line), colour);
}

}  // namespace

PictureRect ReadoutRect(int64_t slot, const std::string& text) {
    if (!ValidSlot(slot)) return PictureRect{};
    return Place(slot, Line::READOUT, text);
}

void DrawReadout(int64_t slot, const std::string& text, bool over) {
    if (!ValidSlot(slot)) return;
    Draw(slot, Line::READOUT, text, over ? OVERLOAD_COLOUR : READOUT_COLOUR);
}

PictureRect HoldTextRect(int64_t slot, const std::string& text) {
    if (!ValidSlot(slot)) return PictureRect{};
    return Place(slot, Line::HOLD, text);
}

void DrawHoldText(int64_t slot, const std::string& text) {
    if (!ValidSlot(slot)) return;
    Draw(slot, Line::HOLD, text, PEAK_HOLD_COLOUR);
}
