// A small bitmap font for the meters' scale labels and values, drawn with the
// disc primitive so that every platform shows the same pixels. It knows the
// digits, '-', '.', 'd', 'B', 'i', 'n', 'f', 'O', 'V', 'E', 'R' and the
// space; any other character is drawn as a space.
#pragma once

#include <cstdint>
#include <string_view>

// Rows of every glyph, before scaling.
constexpr int32_t SMALL_FONT_HEIGHT = 7;

// Width in pixels of `text` drawn at `scale` (each font pixel a square of
// scale x scale): the glyphs with one font pixel between neighbours.
int32_t SmallTextWidth(std::string_view text, int32_t scale);

// Draws `text` on the current target with its top-left corner at (x, y).
void DrawSmallText(int32_t x, int32_t y, std::string_view text, int32_t scale, uint32_t colour);
