// A bitmap font of our own for the controls' text when the system has no
// font at all (a minimal container): the printable ASCII characters, each a
// glyph of 5 x 7 pixels in a cell of 6 x 9 (a column of spacing on the
// right; 7 rows above the baseline and 2 below it for the descenders of g,
// j, p, q and y). Every other character, and every byte that starts no
// UTF-8 sequence, is drawn as '?'. The font is drawn at a whole-number
// scale `size`: each of its pixels becomes a square of size x size, so the
// text stays crisp at any scale. A size below 1 counts as 1, and one above
// FALLBACK_FONT_MAX_SIZE as that.
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/control_picture.h"

constexpr int FALLBACK_FONT_MAX_SIZE = 128;

// Pixels above the baseline (7 per size) and below it (2 per size).
int FallbackFontAscent(int size);
int FallbackFontDescent(int size);

// The advance of the whole UTF-8 text in pixels, its last character's
// spacing column included: 6 per character per size (at most INT_MAX).
int FallbackFontWidth(std::string_view utf8, int size);

// Draws the text with its baseline's left end at (x, baseline) in `colour`
// (0xBBGGRR), as solid ink without blending, touching only the pixels that
// lie in both `clip` and the picture.
void DrawFallbackText(const ControlPicture& picture, const ControlRect& clip, int x, int baseline,
                      std::string_view utf8, int size, uint32_t colour);

// Size 1 stands for the control font at 96 DPI, 12 pixels (9 points), so
// that the text keeps its proportion to the controls at every scale and is
// drawn at exactly size 2 at a scale of 2.
constexpr double FALLBACK_FONT_PIXELS_PER_SIZE = 12.0;

// The size to draw at in place of a font of `pixels` (the size the control
// font would be opened at): lround(pixels / FALLBACK_FONT_PIXELS_PER_SIZE),
// at least 1 (also for a size that is no number) and at most
// FALLBACK_FONT_MAX_SIZE.
int FallbackFontSizeFor(double pixels);
