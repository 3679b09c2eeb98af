// The built-in bitmap font: its glyphs, their place on the baseline at size 1
// and 2, '?' for what it has no glyph for, and drawing kept to the clip.
#include "ui/fallback_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t GROUND = 0x123456;

// The text drawn at (x, baseline) into a picture of width x height, one
// string a row: '#' where the ink went, '.' where the ground stayed.
std::vector<std::string> Drawn(std::string_view text, int size, int width, int height, int x,
                               int baseline) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, GROUND);
    DrawFallbackText(ControlPicture{pixels.data(), width, height, width},
                     ControlRect{0, 0, width, height}, x, baseline, text, size, 0x000000);
    std::vector<std::string> rows(height, std::string(width, '.'));
    for (int y = 0; y < height; ++y) {
        for (int px = 0; px < width; ++px) {
            if (pixels[static_cast<size_t>(y) * width + px] != GROUND) rows[y][px] = '#';
        }
    }
    return rows;
}

// One character in its own cell at size 1.
std::vector<std::string> Cell(std::string_view text) {
    return Drawn(text, 1, 6, 9, 0, 7);
}

}  // namespace

TEST(FallbackFont, EveryPrintableCharacterButSpaceHasInkAndLettersAndDigitsDiffer) {
    std::set<std::vector<std::string>> lettersAndDigits;
    for (char c = 0x20; c <= 0x7E; ++c) {
        const std::vector<std::string> cell = Cell(std::string(1, c));
        int ink = 0;
        for (const std::string& row : cell) {
            ink += static_cast<int>(std::count(row.begin(), row.end(), '#'));
            EXPECT_EQ(row[5], '.') << "the spacing column of '" << c << "'";
        }
        EXPECT_EQ(ink > 0, c != ' ') << "'" << c << "'";
        if (std::isalnum(static_cast<unsigned char>(c))) {
            EXPECT_TRUE(lettersAndDigits.insert(cell).second) << "'" << c << "' repeats a glyph";
        }
    }
    EXPECT_EQ(lettersAndDigits.size(), 62u);
}

TEST(FallbackFont, GlyphsSitOnTheBaselineAtSizeOneAndTwo) {
    EXPECT_EQ(FallbackFontAscent(1), 7);
    EXPECT_EQ(FallbackFontDescent(1), 2);
    EXPECT_EQ(FallbackFontAscent(2), 14);
    EXPECT_EQ(FallbackFontDescent(2), 4);
    EXPECT_EQ(FallbackFontWidth("Lg", 1), 12);
    EXPECT_EQ(FallbackFontWidth("Lg", 2), 24);
    EXPECT_EQ(FallbackFontWidth("", 2), 0);

    // One pixel of margin all round; g's tail goes two rows below the baseline.
    const std::vector<std::string> small = {
        "..............",  //
        ".#............",  //
        ".#............",  //
        ".#......####..",  //
        ".#.....#...#..",  //
        ".#.....#...#..",  //
        ".#.....#...#..",  //
        ".#####..####..",  // the baseline is under this row
        "...........#..",  //
        "........###...",  //
        "..............",  //
    };
    EXPECT_EQ(Drawn("Lg", 1, 14, 11, 1, 8), small);

    const std::vector<std::string> large = {
        "............",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##.........",  //
        ".##########.",  //
        ".##########.",  // the baseline is under this row
        "............",  //
    };
    EXPECT_EQ(Drawn("L", 2, 12, 16, 1, 15), large);

    // The colour is 0xBBGGRR; the picture holds 0x00RRGGBB.
    uint32_t pixels[6 * 9] = {};
    DrawFallbackText(ControlPicture{pixels, 6, 9, 6}, ControlRect{0, 0, 6, 9}, 0, 7, "L", 1,
                     0x563412);
    EXPECT_EQ(pixels[6 * 6], 0x123456u);

    EXPECT_EQ(FallbackFontSizeFor(12.0), 1);
    EXPECT_EQ(FallbackFontSizeFor(24.0), 2);
    EXPECT_EQ(FallbackFontSizeFor(0.0), 1);
    EXPECT_EQ(FallbackFontSizeFor(-5.0), 1);
    EXPECT_EQ(FallbackFontSizeFor(std::numeric_limits<double>::quiet_NaN()), 1);
    EXPECT_EQ(FallbackFontSizeFor(1e300), FALLBACK_FONT_MAX_SIZE);
}

TEST(FallbackFont, OtherCharactersAndStrayBytesShowAsQuestionMarks) {
    const std::vector<std::string> question = Cell("?");
    EXPECT_EQ(Cell("\xC3\xA9"), question);  // U+00E9, one character of two bytes
    EXPECT_EQ(Cell("\xFF"), question);      // a byte that starts no sequence
    EXPECT_EQ(Cell("\t"), question);
    EXPECT_EQ(FallbackFontWidth("\xC3\xA9", 1), 6);
    EXPECT_EQ(FallbackFontWidth("a\xFFz", 1), 18);
    EXPECT_EQ(FallbackFontWidth("\xE2\x82", 1), 12);  // cut short: each byte on its own
    EXPECT_EQ(FallbackFontWidth(std::string(1 << 22, 'W'), 1000), INT_MAX);
}

TEST(FallbackFont, DrawingTouchesOnlyTheClipWithinThePicture) {
    // A 20 x 12 picture in the middle of a larger buffer, with a guard
    // value all round it and a stride wider than the picture.
    constexpr int BUFFER_WIDTH = 40, BUFFER_HEIGHT = 30, LEFT = 10, TOP = 9;
    constexpr int WIDTH = 20, HEIGHT = 12;
    constexpr uint32_t GUARD = 0xDEAD00;
    struct Case {
        ControlRect clip;
        int x, baseline, size;
    };
    const Case cases[] = {
        {{-100, -100, 100, 100}, -7, 9, 3},  // clip larger than the picture
        {{-5, -5, 8, 7}, -3, 4, 2},          // clip over the top left corner
        {{12, 6, 40, 40}, 5, 14, 2},         // over the bottom right corner
        {{3, 2, 17, 10}, -100, 10, 1},       // inside; text from far left
        {{0, 0, WIDTH, HEIGHT}, INT_MIN, INT_MAX, 128},
        {{0, 0, WIDTH, HEIGHT}, INT_MAX - 3, INT_MIN, 1},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> buffer(BUFFER_WIDTH * BUFFER_HEIGHT, GUARD);
        for (int y = 0; y < HEIGHT; ++y) {
            std::fill_n(buffer.begin() + (TOP + y) * BUFFER_WIDTH + LEFT, WIDTH, GROUND);
        }
        const ControlPicture picture{buffer.data() + TOP * BUFFER_WIDTH + LEFT, WIDTH, HEIGHT,
                                     BUFFER_WIDTH};
        DrawFallbackText(picture, c.clip, c.x, c.baseline, "#W@Mgjy\xFF", c.size, 0x000000);
        for (int y = 0; y < BUFFER_HEIGHT; ++y) {
            for (int x = 0; x < BUFFER_WIDTH; ++x) {
                const int px = x - LEFT, py = y - TOP;
                const bool inPicture = px >= 0 && px < WIDTH && py >= 0 && py < HEIGHT;
                const bool inClip = px >= c.clip.left && px < c.clip.right && py >= c.clip.top &&
                                    py < c.clip.bottom;
                const uint32_t value = buffer[y * BUFFER_WIDTH + x];
                if (!inPicture) {
                    ASSERT_EQ(value, GUARD) << "outside the picture at " << px << "," << py;
                } else if (!inClip) {
                    ASSERT_EQ(value, GROUND) << "outside the clip at " << px << "," << py;
                }
            }
        }
    }
}
