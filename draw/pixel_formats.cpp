// 24-bit picture rows to 32-bit display rows (see pixel_formats.h).
#include "draw/pixel_formats.h"

#include <cstring>

void CopyToXrgb32(const PixelView& picture, int left, int top, int right, int bottom,
                  uint8_t* target, intptr_t targetStride) {
    for (int y = top; y < bottom; ++y) {
        const uint8_t* source = picture.At(0, y);
        uint8_t* row = target + targetStride * y;
        // Blue, green, red and the next pixel's blue, read as one word and
        // masked: all but the last pixel of the row, whose fourth byte may
        // lie past the picture's memory.
        int x = left;
        for (; x + 1 < right; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, source + 3 * x, 4);
            pixel &= 0xFFFFFF;
            std::memcpy(row + 4 * x, &pixel, 4);
        }
        if (x < right) {
            uint32_t pixel = source[3 * x] | (source[3 * x + 1] << 8) |
                             (static_cast<uint32_t>(source[3 * x + 2]) << 16);
            std::memcpy(row + 4 * x, &pixel, 4);
        }
    }
}
