// The pixel primitives: the filled disc that every meter mark is built from
// (its exact pixel coverage is what the meters look like), and the pause used
// after the overload mark.
//
// A disc's coverage is that of an integer midpoint ellipse: rows while the
// slope is shallow, then columns for the caps. Every row of the result is
// one run, symmetric about the centre, so the walk is made once per radius
// to learn each row's half-width, and a disc is then stamped as one
// horizontal run per row: the same pixels, without the column spans that
// step across memory rows.
#include "draw/primitives.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "draw/drawing_state.h"
#include "draw/drawing_target.h"

namespace {

// Radii whose rows are kept: every mark of the meters (3, 11, 20, 21) and
// room to spare. Larger discs walk the midpoint algorithm as they draw.
constexpr int32_t TABULATED_RADII = 64;

// Components are derived once per change of the whole 32-bit colour, not per
// disc or pixel; a change in the alpha bits alone counts as a change.
void UseColour(DrawingState& state, uint32_t colour) {
    if (colour == state.colour) return;
    state.colour = colour;
    state.red = static_cast<uint8_t>(colour);
    state.green = static_cast<uint8_t>(colour >> 8);
    state.blue = static_cast<uint8_t>(colour >> 16);
    state.alpha = static_cast<uint8_t>(colour >> 24);
    state.inverseAlpha = static_cast<uint8_t>(255 - state.alpha);
    for (int i = 0; i < PATTERN_PIXELS; ++i) {
        state.pattern[3 * i] = state.blue;
        state.pattern[3 * i + 1] = state.green;
        state.pattern[3 * i + 2] = state.red;
    }
}

// Spans take 64-bit arguments so that discs far off the target cannot
// overflow before the clipping drops them.
void HorizontalSpan(DrawingState& state, int64_t x0, int64_t yy, int64_t n) {
    if (yy < state.clipTop || yy >= state.clipBottom) return;
    if (x0 < state.clipLeft) {
        n -= state.clipLeft - x0;
        x0 = state.clipLeft;
    }
    if (x0 + n > state.clipRight) n = state.clipRight - x0;
    if (n <= 0) return;
    uint8_t* pixel = PixelAddress(state, static_cast<int32_t>(x0), static_cast<int32_t>(yy));
    if (state.bytesPerPixel == 3 && n >= PATTERN_PIXELS) {
        // 3-byte pixels have no alpha to keep: the run is written in blocks
        // of PATTERN_PIXELS pixels, the last one overlapping the one before
        // it by whole pixels, so it ends exactly at the run's end.
        // The block is held in registers: the pixels written cannot alias it.
        uint64_t block[3];
        static_assert(sizeof block == sizeof state.pattern);
        std::memcpy(block, state.pattern, sizeof block);
        uint8_t* end = pixel + 3 * n;
        for (; pixel + sizeof block < end; pixel += sizeof block) {
            std::memcpy(pixel, block, sizeof block);
        }
        std::memcpy(end - sizeof block, block, sizeof block);
        return;
    }
    for (int64_t i = 0; i < n; ++i, pixel += state.bytesPerPixel) {
        pixel[0] = state.blue;
        pixel[1] = state.green;
        pixel[2] = state.red;
    }
}

// Runs down the picture from (xx, y0): upwards in memory on a bottom-up target.
void VerticalSpan(DrawingState& state, int64_t xx, int64_t y0, int64_t n) {
    if (xx < state.clipLeft || xx >= state.clipRight) return;
    if (y0 < state.clipTop) {
        n -= state.clipTop - y0;
        y0 = state.clipTop;
    }
    if (y0 + n > state.clipBottom) n = state.clipBottom - y0;
    if (n <= 0) return;
    uint8_t* pixel = PixelAddress(state, static_cast<int32_t>(xx), static_cast<int32_t>(y0));
    int64_t step = state.bottomUp ? -int64_t{state.stride} : int64_t{state.stride};
    for (int64_t i = 0; i < n; ++i, pixel += step) {
        pixel[0] = state.blue;
        pixel[1] = state.green;
        pixel[2] = state.red;
    }
}

// Integer midpoint ellipse with both radii equal, handing its spans to
// row(x0, y, n) and column(x, y0, n). Error is the integer type of the error
// terms; 32 bits hold them for radii up to 700.
template <typename Error, typename Row, typename Column>
void MidpointDisc(int64_t x, int64_t y, int32_t radius, Row row, Column column) {
    const Error a = radius;
    const Error b = radius;
    const Error A = a * a;
    const Error B = b * b;
    Error e1 = B / 2 - 2 * B * a + 2 * A;
    Error u = 4 * B * a;
    Error e2 = A / 2 - u + 2 * B;
    Error dy = 0;
    Error acc = 0;
    Error h = a;
    if (e2 < 0) {
        do {
            row(x - h, y + dy, 2 * int64_t{h} + 1);
            if (dy != 0) row(x - h, y - dy, 2 * int64_t{h} + 1);
            dy = dy + 1;
            acc = acc + 4 * A;
            if (e1 < 0) {
                e1 = e1 + acc + 2 * A;
                e2 = e2 + acc;
            } else {
                u = u - 4 * B;
                h = h - 1;
                e1 = e1 + acc - u + 2 * A;
                e2 = e2 + acc - u + 2 * B;
            }
        } while (e2 < 0);
    }
    int64_t bottom = y + dy;
    int64_t top = y - dy;
    int64_t n = 1;
    Error c = h;
    do {
        column(x + c, bottom, n);
        column(x + c, top, n);
        if (c != 0) {
            column(x - c, bottom, n);
            column(x - c, top, n);
        }
        u = u - 4 * B;
        c = c - 1;
        if (e2 < 0) {
            acc = acc + 4 * A;
            n = n + 1;
            top = top - 1;
            e2 = e2 + acc - u + 2 * B;
        } else {
            e2 = e2 + 2 * B - u;
        }
    } while (c >= 0);
}

// Half-widths of the rows at distance 0, 1, ... radius from the centre row,
// learnt from the walk around a centre at the origin.
std::vector<int32_t> RowHalfWidths(int32_t radius) {
    std::vector<int32_t> halfWidths(static_cast<size_t>(radius) + 1, -1);
    auto widen = [&](int64_t y, int64_t half) {
        auto& kept = halfWidths[static_cast<size_t>(y < 0 ? -y : y)];
        kept = std::max(kept, static_cast<int32_t>(half));
    };
    MidpointDisc<int32_t>(
        0, 0, radius, [&](int64_t x0, int64_t y, int64_t n) { widen(y, x0 + n - 1); },
        [&](int64_t x, int64_t y0, int64_t n) {
            for (int64_t y = y0; y < y0 + n; ++y) widen(y, x < 0 ? -x : x);
        });
    return halfWidths;
}

// Built on first use by whichever thread draws first; read-only afterwards.
const std::vector<int32_t>& TabulatedRows(int32_t radius) {
    static const std::array<std::vector<int32_t>, TABULATED_RADII + 1> rows = [] {
        std::array<std::vector<int32_t>, TABULATED_RADII + 1> all;
        for (int32_t r = 0; r <= TABULATED_RADII; ++r)
            all[static_cast<size_t>(r)] = RowHalfWidths(r);
        return all;
    }();
    return rows[static_cast<size_t>(radius)];
}

void StampDisc(DrawingState& state, int64_t x, int64_t y, const std::vector<int32_t>& rows) {
    // Only the rows inside the clip are visited.
    int64_t last = static_cast<int64_t>(rows.size()) - 1;
    for (int64_t d = 0; d <= last; ++d) {
        bool below = y + d >= state.clipTop && y + d < state.clipBottom;
        bool above = d != 0 && y - d >= state.clipTop && y - d < state.clipBottom;
        if (!below && !above) {
            if (y + d >= state.clipBottom && y - d < state.clipTop) return;
            continue;
        }
        int64_t half = rows[static_cast<size_t>(d)];
        if (below) HorizontalSpan(state, x - half, y + d, 2 * half + 1);
        if (above) HorizontalSpan(state, x - half, y - d, 2 * half + 1);
    }
}

}  // namespace

void FillDisc(int32_t x, int32_t y, int32_t radius, uint32_t colour) {
    DrawingState* state = CurrentDrawingState();
    if (state == nullptr || state->bits == nullptr) return;
    UseColour(*state, colour);
    if (radius < 0) return;
    // A disc wholly outside the clip sets nothing: skip its walk.
    if (int64_t{x} + radius < state->clipLeft || int64_t{x} - radius >= state->clipRight ||
        int64_t{y} + radius < state->clipTop || int64_t{y} - radius >= state->clipBottom) {
        return;
    }
    if (radius <= TABULATED_RADII) {
        StampDisc(*state, x, y, TabulatedRows(radius));
        return;
    }
    auto row = [state](int64_t x0, int64_t yy, int64_t n) { HorizontalSpan(*state, x0, yy, n); };
    auto column = [state](int64_t xx, int64_t y0, int64_t n) { VerticalSpan(*state, xx, y0, n); };
    if (radius <= 700) {
        MidpointDisc<int32_t>(x, y, radius, row, column);
    } else {
        MidpointDisc<int64_t>(x, y, radius, row, column);
    }
}

void FillRow(int32_t x0, int32_t x1, int32_t y, uint32_t colour) {
    DrawingState* state = CurrentDrawingState();
    if (state == nullptr || state->bits == nullptr) return;
    UseColour(*state, colour);
    if (x1 > x0) HorizontalSpan(*state, x0, y, int64_t{x1} - x0);
}

// Bresenham's line with a disc of radius thickness - 1 at every point, both
// end points included.
void ThickLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t thickness, uint32_t colour) {
    const int32_t radius = std::max(thickness, 1) - 1;
    WalkLine(x0, y0, x1, y1, [&](int32_t x, int32_t y) { FillDisc(x, y, radius, colour); });
}
