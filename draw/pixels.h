// A view of pixel memory laid out as a bottom-up device-independent bitmap:
// the top picture row is the last row in memory, pixels are blue, green, red
// (and alpha for 32-bit pixels), rows padded to whole 32-bit words.
#pragma once

#include <cstdint>

struct PixelView {
    uint8_t* bits = nullptr;  // first byte of memory row 0 (the bottom picture row)
    int width = 0;            // pixels
    int height = 0;           // pixels
    int depth = 0;            // bits per pixel: 24 or 32
    int stride = 0;           // bytes per memory row

    int BytesPerPixel() const { return depth / 8; }
    // Address of picture point (x, y), y = 0 being the top row.
    uint8_t* At(int x, int y) const {
        return bits + static_cast<intptr_t>(stride) * (height - 1 - y) +
               static_cast<intptr_t>(BytesPerPixel()) * x;
    }
};

// Bytes per memory row for a picture of this width and depth.
inline int RowStride(int width, int depth) {
    if (depth == 32) return 4 * width;
    return 4 * ((3 * (width + 1)) / 4);
}
