// The mark is a bar of whole pixels, 3 wide at 96 DPI and wider with the
// display's scale, laid across the band along the needle's ray: a pixel
// belongs to it when its centre lies within half the width of the line
// between the bar's two ends and not beyond either. Worked out in whole
// numbers, so the bar is the same on every platform and at every angle, as
// wide across a slanting band as across an upright one.
#include "meter/peak_hold_drawing.h"

#include <algorithm>
#include <cmath>

#include "draw/primitives.h"
#include "meter/meter_table.h"
#include "meter/peak_hold.h"
#include "meter/scale_geometry.h"

namespace {

constexpr float SCALE_END = 100.0f;
// The band's discs have radius 11: the bar passes its edges by 4 pixels on
// either side, so that it shows beside the band's rounded ends and around
// the tip disc's rim.
constexpr int32_t MARK_HALF_LENGTH = 15;
constexpr double MARK_WIDTH = 3;  // at 96 DPI

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

struct Bar {
    ScalePoint outer;
    ScalePoint inner;
    int64_t width;
};

Bar BarOf(int64_t slot, float reading) {
    const MeterRecord& meter = MeterAt(slot);
    const float value = std::clamp(reading, 0.0f, SCALE_END);
    const auto radius = static_cast<double>(meter.needleRadius);
    return Bar{ScalePointForValue(slot, value, radius + MARK_HALF_LENGTH),
               ScalePointForValue(slot, value, radius - MARK_HALF_LENGTH),
               std::lround(MARK_WIDTH * MeterSizeFactor(meter.imageWidth))};
}

PictureRect BoundsOf(const Bar& bar) {
    const auto reach = static_cast<int32_t>(bar.width / 2 + 1);
    return PictureRect{std::min(bar.outer.x, bar.inner.x) - reach,
                       std::min(bar.outer.y, bar.inner.y) - reach,
                       std::max(bar.outer.x, bar.inner.x) + reach + 1,
                       std::max(bar.outer.y, bar.inner.y) + reach + 1};
}

}  // namespace

PictureRect HoldMarkRect(int64_t slot, float reading) {
    if (!ValidSlot(slot)) return PictureRect{};
    return BoundsOf(BarOf(slot, reading));
}

void DrawHoldMark(int64_t slot, float reading) {
    if (!ValidSlot(slot)) return;
    const Bar bar = BarOf(slot, reading);
    const PictureRect bounds = BoundsOf(bar);
    const int64_t dx = bar.inner.x - bar.outer.x, dy = bar.inner.y - bar.outer.y;
    const int64_t length2 = dx * dx + dy * dy;
    for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
        for (int32_t x = bounds.left; x < bounds.right; ++x) {
            const int64_t px = x - bar.outer.x, py = y - bar.outer.y;
            const int64_t along = px * dx + py * dy;
            const int64_t across = px * dy - py * dx;
            // Within the ends, and within width / 2 of the line, squared.
            if (along < 0 || along > length2) continue;
            if (4 * across * across > bar.width * bar.width * length2) continue;
            FillDisc(x, y, 0, PEAK_HOLD_COLOUR);
        }
    }
}
