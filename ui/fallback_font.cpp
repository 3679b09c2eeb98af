// The fallback font's glyphs and their drawing: see fallback_font.h.
#include "ui/fallback_font.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <iterator>

#include "system/utf8_text.h"

namespace {

constexpr int GLYPH_WIDTH = 5;
constexpr int ADVANCE = 6;
constexpr int ASCENT = 7;
constexpr int DESCENT = 2;
constexpr int ROWS = ASCENT + DESCENT;
constexpr char32_t FIRST = 0x20, LAST = 0x7E;
constexpr int GLYPHS_PER_BAND = 8;

// The glyphs of 0x20 (the space) to 0x7E in bands of eight, left to right,
// each band nine rows from the top: seven above the baseline, two below.
// '#' is ink, '.' is none, and a space parts one glyph from the next.
// clang-format off
constexpr std::string_view SHEET[] = {
    //       !     "     #     $     %     &     '    0x20
    "..... ..#.. .#.#. .#.#. ..#.. ##... .##.. ..#..",
    "..... ..#.. .#.#. .#.#. .#### ##..# #..#. ..#..",
    "..... ..#.. .#.#. ##### #.#.. ...#. #.#.. .#...",
    "..... ..#.. ..... .#.#. .###. ..#.. .#... .....",
    "..... ..#.. ..... ##### ..#.# .#... #.#.# .....",
    "..... ..... ..... .#.#. ####. #..## #..#. .....",
    "..... ..#.. ..... .#.#. ..#.. ...## .##.# .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // (     )     *     +     ,     -     .     /    0x28
    "...#. .#... ..... ..... ..... ..... ..... .....",
    "..#.. ..#.. ..#.. ..#.. ..... ..... ..... ....#",
    ".#... ...#. #.#.# ..#.. ..... ..... ..... ...#.",
    ".#... ...#. .###. ##### ..... ##### ..... ..#..",
    ".#... ...#. #.#.# ..#.. ..... ..... ..... .#...",
    "..#.. ..#.. ..#.. ..#.. .##.. ..... .##.. #....",
    "...#. .#... ..... ..... ..#.. ..... .##.. .....",
    "..... ..... ..... ..... .#... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // 0     1     2     3     4     5     6     7    0x30
    ".###. ..#.. .###. ##### ...#. ##### ..##. #####",
    "#...# .##.. #...# ...#. ..##. #.... .#... ....#",
    "#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#.",
    "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#..",
    "##..# ..#.. ..#.. ....# ##### ....# #...# .#...",
    "#...# ..#.. .#... #...# ...#. #...# #...# .#...",
    ".###. .###. ##### .###. ...#. .###. .###. .#...",
    "..... ..... ..... ..... ..... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // 8     9     :     ;     <     =     >     ?    0x38
    ".###. .###. ..... ..... ...#. ..... .#... .###.",
    "#...# #...# ..... ..... ..#.. ..... ..#.. #...#",
    "#...# #...# .##.. .##.. .#... ##### ...#. ....#",
    ".###. .#### .##.. .##.. #.... ..... ....# ...#.",
    "#...# ....# ..... ..... .#... ##### ...#. ..#..",
    "#...# ...#. .##.. .##.. ..#.. ..... ..#.. .....",
    ".###. .##.. .##.. ..#.. ...#. ..... .#... ..#..",
    "..... ..... ..... .#... ..... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // @     A     B     C     D     E     F     G    0x40
    ".###. .###. ####. .###. ###.. ##### ##### .###.",
    "#...# #...# #...# #...# #..#. #.... #.... #...#",
    "....# #...# #...# #.... #...# #.... #.... #....",
    ".##.# ##### ####. #.... #...# ####. ####. #.###",
    "#.#.# #...# #...# #.... #...# #.... #.... #...#",
    "#.#.# #...# #...# #...# #..#. #.... #.... #...#",
    ".###. #...# ####. .###. ###.. ##### #.... .####",
    "..... ..... ..... ..... ..... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // H     I     J     K     L     M     N     O    0x48
    "#...# .###. ..### #...# #.... #...# #...# .###.",
    "#...# ..#.. ...#. #..#. #.... ##.## #...# #...#",
    "#...# ..#.. ...#. #.#.. #.... #.#.# ##..# #...#",
    "##### ..#.. ...#. ##... #.... #.#.# #.#.# #...#",
    "#...# ..#.. ...#. #.#.. #.... #...# #..## #...#",
    "#...# ..#.. #..#. #..#. #.... #...# #...# #...#",
    "#...# .###. .##.. #...# ##### #...# #...# .###.",
    "..... ..... ..... ..... ..... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // P     Q     R     S     T     U     V     W    0x50
    "####. .###. ####. .#### ##### #...# #...# #...#",
    "#...# #...# #...# #.... ..#.. #...# #...# #...#",
    "#...# #...# #...# #.... ..#.. #...# #...# #...#",
    "####. #...# ####. .###. ..#.. #...# #...# #.#.#",
    "#.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.#",
    "#.... #..#. #..#. ....# ..#.. #...# .#.#. #.#.#",
    "#.... .##.# #...# ####. ..#.. .###. ..#.. .#.#.",
    "..... ..... ..... ..... ..... ..... ..... .....",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // X     Y     Z     [     \     ]     ^     _    0x58
    "#...# #...# ##### .###. ..... .###. ..#.. .....",
    "#...# #...# ....# .#... #.... ...#. .#.#. .....",
    ".#.#. .#.#. ...#. .#... .#... ...#. #...# .....",
    "..#.. ..#.. ..#.. .#... ..#.. ...#. ..... .....",
    ".#.#. ..#.. .#... .#... ...#. ...#. ..... .....",
    "#...# ..#.. #.... .#... ....# ...#. ..... .....",
    "#...# ..#.. ##### .###. ..... .###. ..... .....",
    "..... ..... ..... ..... ..... ..... ..... #####",
    "..... ..... ..... ..... ..... ..... ..... .....",
    // `     a     b     c     d     e     f     g    0x60
    ".#... ..... #.... ..... ....# ..... ..##. .....",
    "..#.. ..... #.... ..... ....# ..... .#..# .....",
    "...#. .###. #.##. .###. .##.# .###. .#... .####",
    "..... ....# ##..# #.... #..## #...# ###.. #...#",
    "..... .#### #...# #.... #...# ##### .#... #...#",
    "..... #...# #...# #...# #...# #.... .#... #...#",
    "..... .#### ####. .###. .#### .###. .#... .####",
    "..... ..... ..... ..... ..... ..... ..... ....#",
    "..... ..... ..... ..... ..... ..... ..... .###.",
    // h     i     j     k     l     m     n     o    0x68
    "#.... ..#.. ...#. #.... .##.. ..... ..... .....",
    "#.... ..... ..... #.... ..#.. ..... ..... .....",
    "#.##. .##.. ..##. #..#. ..#.. ##.#. #.##. .###.",
    "##..# ..#.. ...#. #.#.. ..#.. #.#.# ##..# #...#",
    "#...# ..#.. ...#. ##... ..#.. #.#.# #...# #...#",
    "#...# ..#.. ...#. #.#.. ..#.. #...# #...# #...#",
    "#...# .###. ...#. #..#. .###. #...# #...# .###.",
    "..... ..... #..#. ..... ..... ..... ..... .....",
    "..... ..... .##.. ..... ..... ..... ..... .....",
    // p     q     r     s     t     u     v     w    0x70
    "..... ..... ..... ..... .#... ..... ..... .....",
    "..... ..... ..... ..... .#... ..... ..... .....",
    "####. .#### #.##. .###. ###.. #...# #...# #...#",
    "#...# #...# ##..# #.... .#... #...# #...# #...#",
    "#...# #...# #.... .###. .#... #...# #...# #.#.#",
    "#...# #...# #.... ....# .#..# #..## .#.#. #.#.#",
    "####. .#### #.... ####. ..##. .##.# ..#.. .#.#.",
    "#.... ....# ..... ..... ..... ..... ..... .....",
    "#.... ....# ..... ..... ..... ..... ..... .....",
    // x     y     z     {     |     }     ~          0x78
    "..... ..... ..... ...#. ..#.. .#... .....",
    "..... ..... ..... ..#.. ..#.. ..#.. .....",
    "#...# #...# ##### ..#.. ..#.. ..#.. .#...",
    ".#.#. #...# ...#. .#... ..#.. ...#. #.#.#",
    "..#.. #...# ..#.. ..#.. ..#.. ..#.. ...#.",
    ".#.#. #...# .#... ..#.. ..#.. ..#.. .....",
    "#...# .#### ##### ...#. ..#.. .#... .....",
    "..... ....# ..... ..... ..... ..... .....",
    "..... .###. ..... ..... ..... ..... .....",
};
// clang-format on

constexpr int BANDS = (LAST - FIRST + GLYPHS_PER_BAND) / GLYPHS_PER_BAND;

// Every band has nine rows, each as long as its glyphs need and made of
// '#' and '.' only, with the parting spaces where they belong.
constexpr bool SheetIsWellFormed() {
    if (std::size(SHEET) != static_cast<size_t>(BANDS * ROWS)) return false;
    for (int band = 0; band < BANDS; ++band) {
        const int glyphs =
            std::min<int>(GLYPHS_PER_BAND, LAST - FIRST + 1 - band * GLYPHS_PER_BAND);
        for (int row = 0; row < ROWS; ++row) {
            const std::string_view line = SHEET[band * ROWS + row];
            if (line.size() != static_cast<size_t>(glyphs * ADVANCE - 1)) return false;
            for (size_t at = 0; at < line.size(); ++at) {
                const bool parting = at % ADVANCE == GLYPH_WIDTH;
                if (parting ? line[at] != ' ' : line[at] != '#' && line[at] != '.') return false;
            }
        }
    }
    return true;
}
static_assert(SheetIsWellFormed(), "every glyph is 5 x 9 of '#' and '.'");

bool Ink(char32_t character, int column, int row) {
    const int index = static_cast<int>(character - FIRST);
    const int band = index / GLYPHS_PER_BAND, place = index % GLYPHS_PER_BAND;
    return SHEET[band * ROWS + row][place * ADVANCE + column] == '#';
}

int Clamped(int size) {
    return std::clamp(size, 1, FALLBACK_FONT_MAX_SIZE);
}

// Calls glyph(character) for each character the text shows, in the font's
// range: '?' for any other code point and for a byte that starts no UTF-8
// sequence, as the FreeType text shows such a byte.
template <typename Glyph>
void ForEachGlyph(std::string_view text, Glyph glyph) {
    ForEachShownCharacter(text, [&glyph](char32_t codePoint) {
        return glyph(codePoint < FIRST || codePoint > LAST ? U'?' : codePoint);
    });
}

}  // namespace

int FallbackFontAscent(int size) {
    return ASCENT * Clamped(size);
}

int FallbackFontDescent(int size) {
    return DESCENT * Clamped(size);
}

int FallbackFontWidth(std::string_view utf8, int size) {
    long long width = 0;
    const long long advance = static_cast<long long>(ADVANCE) * Clamped(size);
    ForEachGlyph(utf8, [&](char32_t) {
        width += advance;
        return width < INT_MAX;
    });
    return static_cast<int>(std::min<long long>(width, INT_MAX));
}

void DrawFallbackText(const ControlPicture& picture, const ControlRect& clip, int x, int baseline,
                      std::string_view utf8, int size, uint32_t colour) {
    if (picture.pixels == nullptr) return;
    const int scale = Clamped(size);
    const long long left = std::max(clip.left, 0), top = std::max(clip.top, 0);
    const long long right = std::min(clip.right, picture.width);
    const long long bottom = std::min(clip.bottom, picture.height);
    if (right <= left || bottom <= top) return;
    // 0xBBGGRR to the picture's 0x00RRGGBB.
    const uint32_t ink = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    const long long cellTop = static_cast<long long>(baseline) - ASCENT * scale;
    long long penX = x;
    ForEachGlyph(utf8, [&](char32_t character) {
        // Past the clip's right edge nothing more can show.
        if (penX >= right) return false;
        if (penX + GLYPH_WIDTH * scale > left) {
            for (int row = 0; row < ROWS; ++row) {
                const long long y0 = std::max(cellTop + row * scale, top);
                const long long y1 = std::min(cellTop + (row + 1) * scale, bottom);
                if (y1 <= y0) continue;
                for (int column = 0; column < GLYPH_WIDTH; ++column) {
                    if (!Ink(character, column, row)) continue;
                    const long long x0 = std::max(penX + column * scale, left);
                    const long long x1 = std::min(penX + (column + 1) * scale, right);
                    for (long long y = y0; y < y1; ++y) {
                        for (long long px = x0; px < x1; ++px) {
                            picture.pixels[static_cast<ptrdiff_t>(y) * picture.stride + px] = ink;
                        }
                    }
                }
            }
        }
        penX += ADVANCE * scale;
        return true;
    });
}

int FallbackFontSizeFor(double pixels) {
    if (!(pixels > 0)) return 1;
    const double size = std::round(pixels / FALLBACK_FONT_PIXELS_PER_SIZE);
    return Clamped(static_cast<int>(std::min<double>(size, FALLBACK_FONT_MAX_SIZE)));
}
