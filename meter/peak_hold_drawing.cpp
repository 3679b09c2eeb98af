// The mark is a bar of whole pixels, 3 wide at 96 DPI and wider with the
// display's scale, laid across the band along the needle's ray: a pixel
// belongs to it when its centre lies within half the width of the line
// between the bar's two ends and not beyond either. Worked out in whole
// numbers, so the bar is the same on every platform and at every angle, as
// wide across a slanting band as across an upright one.
#include "meter/peak_hold_drawing.h"

#include <algorithm>
#include <cmath>
#include <utility>

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
    // Within the ends, and within width / 2 of the line (squared, so that
    // it stays in whole numbers).
    auto inside = [&](int32_t x, int32_t y) {
        const int64_t px = x - bar.outer.x, py = y - bar.outer.y;
        const int64_t along = px * dx + py * dy;
        const int64_t across = px * dy - py * dx;
        return along >= 0 && along <= length2 &&
               4 * across * across <= bar.width * bar.width * length2;
    };
    // The bar is convex: on each row its pixels run unbroken, between
    // where its edges cross the row. The crossings, worked out in floating
    // point, only say where to look: the whole-number test has the last
    // word on the pixels next to them.
    const double halfWidth =
        static_cast<double>(bar.width) * std::sqrt(static_cast<double>(length2)) / 2;
    for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
        const auto py = static_cast<double>(y - bar.outer.y);
        double lo = bounds.left, hi = bounds.right - 1;
        // Narrows [lo, hi] to the x where slope x (x - outer.x) lies in
        // [low, high]; false when no x does.
        auto narrow = [&](double slope, double low, double high) {
            if (slope == 0) return low <= 0 && high >= 0;
            double a = low / slope, b = high / slope;
            if (slope < 0) std::swap(a, b);
            lo = std::max(lo, bar.outer.x + a);
            hi = std::min(hi, bar.outer.x + b);
            return true;
        };
        const auto fx = static_cast<double>(dx), fy = static_cast<double>(dy);
        if (!narrow(fx, -py * fy, static_cast<double>(length2) - py * fy) ||
            !narrow(fy, py * fx - halfWidth, py * fx + halfWidth)) {
            continue;
        }
        const auto from = std::max(bounds.left, static_cast<int32_t>(std::floor(lo)) - 1);
        const auto to = std::min(bounds.right - 1, static_cast<int32_t>(std::ceil(hi)) + 1);
        int32_t left = from;
        while (left <= to && !inside(left, y)) ++left;
        if (left > to) continue;
        int32_t right = to;
        while (!inside(right, y)) --right;
        FillRow(left, right + 1, y, PEAK_HOLD_COLOUR);
    }
}
