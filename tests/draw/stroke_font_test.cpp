// The stroke font at 96 DPI and as it grows: glyph sizes, and the decimal
// point's size and clear space, so that "-1.1" never reads as "-11".
#include "draw/stroke_font.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "draw/drawing_target.h"
#include "draw/primitives.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

// A fresh image `width` x 11 with `text` drawn in white at (1, 1), 96 DPI.
const PixelView& Drawn(std::string_view text, int width) {
    ResetDrawingWorld();
    const int64_t image = NewImage(-1, width, 11, 32);
    EXPECT_EQ(BeginDraw(ImageTarget(image)), 1);
    DrawStrokeText(1, 1, text, 1, RGB(255, 255, 255));
    EndDraw();
    return *ImageHandle(image);
}

TEST(StrokeFont, GlyphsAreNinePixelsHighAt96DpiAndGrowWithTheScale) {
    EXPECT_EQ(StrokeTextHeight(1), 9);
    EXPECT_EQ(StrokeTextHeight(1.25), 11);
    EXPECT_EQ(StrokeTextHeight(1.5), 14);
    EXPECT_EQ(StrokeTextHeight(2), 18);
    EXPECT_EQ(StrokeTextWidth("0", 1), 5);
    EXPECT_EQ(StrokeTextWidth("1", 1), 3);
    EXPECT_EQ(StrokeTextWidth("-", 1), 4);
    EXPECT_EQ(StrokeTextWidth(".", 1), 4);  // the point, 2 wide, and a clear pixel each side
    EXPECT_EQ(StrokeTextWidth("-60", 1), 4 + 1 + 5 + 1 + 5);
    EXPECT_EQ(StrokeTextWidth("0", 1.5), 8);
    EXPECT_EQ(StrokeTextWidth("", 1), 0);
}

// Drawn, "-1.1" shows its point as a 2 x 2 square on the bottom rows, with
// two empty columns between it and each digit.
TEST(StrokeFont, TheDecimalPointIsTwoPixelsSquareWithClearSpaceOnBothSides) {
    const PixelView& picture = Drawn("-1.1", 20);
    auto lit = [&](int x, int y) { return PixelColour(picture, x, y) != 0; };
    auto columnEmpty = [&](int x) {
        for (int y = 0; y < picture.height; ++y)
            if (lit(x, y)) return false;
        return true;
    };
    // '-' in columns 1-4, '1' in 6-8, the point's box in 10-13, '1' in 15-17.
    for (int x = 6; x <= 8; ++x) EXPECT_FALSE(columnEmpty(x)) << x;
    EXPECT_TRUE(columnEmpty(9));
    EXPECT_TRUE(columnEmpty(10));
    for (int x : {11, 12})
        for (int y : {8, 9}) EXPECT_TRUE(lit(x, y)) << x << "," << y;
    EXPECT_EQ(lit(11, 7) || lit(12, 7), false);
    EXPECT_TRUE(columnEmpty(13));
    EXPECT_TRUE(columnEmpty(14));
    EXPECT_FALSE(columnEmpty(15));
}

// The glyphs as the readout shows them at 96 DPI, every pixel: one pen wide,
// nine rows from the top row to the baseline.
TEST(StrokeFont, DrawsTheReadoutsGlyphsPixelForPixel) {
    const PixelView& picture = Drawn("-1.10", 26);
    const char* const expected[] = {
        "..........................",  //
        ".......#........#...###...",  //
        "......##.......##..#...#..",  //
        ".......#........#..#...#..",  //
        ".......#........#..#...#..",  //
        ".####..#........#..#...#..",  //
        ".......#........#..#...#..",  //
        ".......#........#..#...#..",  //
        ".......#...##...#..#...#..",  //
        "......###..##..###..###...",  //
        "..........................",
    };
    for (int y = 0; y < 11; ++y) {
        std::string row;
        for (int x = 0; x < 26; ++x) row += PixelColour(picture, x, y) != 0 ? '#' : '.';
        EXPECT_EQ(row, expected[y]) << "row " << y;
    }
}

}  // namespace
