// Pixel-level drawing on the calling thread's current target.
#pragma once

#include <cstdint>

// Colour: red in bits 0-7, green 8-15, blue 16-23, alpha 24-31.
constexpr uint32_t RGB(uint32_t r, uint32_t g, uint32_t b) {
    return ((b << 8 | g) << 8) | r;
}

// Filled disc centred on (x, y) with exactly the coverage of the midpoint
// algorithm; pixels outside the target are clipped away.
void FillDisc(int32_t x, int32_t y, int32_t radius, uint32_t colour);

// The pixels from (x0, y) to (x1 - 1, y), set as FillDisc sets a disc's
// pixels (clipped alike); none when x1 <= x0.
void FillRow(int32_t x0, int32_t x1, int32_t y, uint32_t colour);

// Calls visit(x, y) at every point of Bresenham's line from (x0, y0) to
// (x1, y1), both ends included.
template <typename Visit>
void WalkLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Visit visit) {
    const int64_t dx = x1 > x0 ? int64_t{x1} - x0 : int64_t{x0} - x1;
    const int64_t dy = y1 > y0 ? int64_t{y1} - y0 : int64_t{y0} - y1;
    const int32_t sx = x0 < x1 ? 1 : -1;
    const int32_t sy = y0 < y1 ? 1 : -1;
    int64_t err = dx - dy;
    for (;;) {
        visit(x0, y0);
        if (x0 == x1 && y0 == y1) return;
        const int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// A line from (x0, y0) to (x1, y1), both ends included, drawn as a disc of
// radius thickness - 1 at every point of Bresenham's line.
void ThickLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t thickness, uint32_t colour);
