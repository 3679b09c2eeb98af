// The copy of picture rectangles into 32-bit display rows.
#include "draw/pixel_formats.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every pixel of the rectangle lands as 0x00RRGGBB in its place of the
// top-down rows, nothing outside it is touched, and a picture whose rows
// have no padding (width 4) is read no further than its last byte.
TEST(PixelFormats, RectanglesBecomeTopDownXrgbWords) {
    for (int width : {4, 5, 7}) {
        SCOPED_TRACE(width);
        const int height = 3, stride = RowStride(width, 24);
        std::vector<uint8_t> bits(size_t(stride) * height);
        PixelView picture{bits.data(), width, height, 24, stride};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* pixel = picture.At(x, y);
                pixel[0] = uint8_t(x);            // blue
                pixel[1] = uint8_t(10 + y);       // green
                pixel[2] = uint8_t(100 + x + y);  // red
            }
        std::vector<uint32_t> rows(size_t(width) * height, 0xDEADBEEF);
        CopyToXrgb32(picture, 1, 1, width, height, reinterpret_cast<uint8_t*>(rows.data()),
                     intptr_t{width} * 4);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint32_t want = x >= 1 && y >= 1
                                    ? uint32_t(100 + x + y) << 16 | uint32_t(10 + y) << 8 | x
                                    : 0xDEADBEEF;
                EXPECT_EQ(rows[size_t(y) * width + x], want) << x << "," << y;
            }
    }
}

}  // namespace
