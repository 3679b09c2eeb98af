// The glyphs are 7 rows high and 1 to 5 columns wide, proportional, so that
// "-6.0 dB" stays narrow enough for a meter's corner. Each font pixel is a
// square of scale x scale picture pixels, stamped as discs of radius 0 (one
// pixel each): the clip of the target applies to text as to every mark.
#include "draw/small_font.h"

#include <array>
#include <cstddef>

#include "draw/primitives.h"

namespace {

struct Glyph {
    char character;
    int32_t width;
    // One string per row, '#' for a lit pixel; `width` characters each.
    std::array<const char*, SMALL_FONT_HEIGHT> rows;
};

constexpr Glyph SPACE = {' ', 3, {"...", "...", "...", "...", "...", "...", "..."}};

constexpr Glyph GLYPHS[] = {
    {'0', 5, {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', 3, {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'2', 5, {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', 5, {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', 5, {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', 5, {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', 5, {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', 5, {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', 5, {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', 5, {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'-', 4, {"....", "....", "....", "####", "....", "....", "...."}},
    {'.', 1, {".", ".", ".", ".", ".", ".", "#"}},
    {'d', 5, {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'B', 5, {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'i', 1, {"#", ".", "#", "#", "#", "#", "#"}},
    {'n', 5, {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'f', 4, {"..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."}},
    {'O', 5, {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', 5, {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."}},
    {'E', 5, {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'R', 5, {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    SPACE,
};

const Glyph& GlyphOf(char character) {
    for (const Glyph& glyph : GLYPHS) {
        if (glyph.character == character) return glyph;
    }
    return SPACE;
}

}  // namespace

int32_t SmallTextWidth(std::string_view text, int32_t scale) {
    if (text.empty() || scale < 1) return 0;
    int32_t columns = 0;
    for (char character : text) columns += GlyphOf(character).width + 1;
    return (columns - 1) * scale;
}

void DrawSmallText(int32_t x, int32_t y, std::string_view text, int32_t scale, uint32_t colour) {
    if (scale < 1) return;
    for (char character : text) {
        const Glyph& glyph = GlyphOf(character);
        for (int32_t row = 0; row < SMALL_FONT_HEIGHT; ++row) {
            for (int32_t column = 0; column < glyph.width; ++column) {
                if (glyph.rows[static_cast<size_t>(row)][column] != '#') continue;
                for (int32_t dy = 0; dy < scale; ++dy) {
                    for (int32_t dx = 0; dx < scale; ++dx) {
                        FillDisc(x + column * scale + dx, y + row * scale + dy, 0, colour);
                    }
                }
            }
        }
        x += (glyph.width + 1) * scale;
    }
}
