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

