// A stroke font for the meters' labels and numbers: each glyph is a few
// strokes between points of a grid 4 units wide and 8 high, drawn with
// square pens of whole pixels, so that it is crisp at every size and the
// same pixels on every platform. It knows the digits, '-', '.', ' ', 'd',
// 'B', 'i', 'n', 'f', 'O', 'V', 'E' and 'R'; any other character is drawn as
// a space.
//
// At `size` 1, the labels' size at 96 DPI, a grid unit is one pixel and the
// pen one pixel square: digits are 5 pixels wide and 9 high, the decimal
// point 2 x 2 with 2 clear pixels on either side. Size 1.5 (144 DPI) gives
// digits 8 x 14 drawn with a pen of 2 x 2.
#pragma once

#include <cstdint>
#include <string_view>

// Height in pixels of every glyph at `size` (at least 1).
int32_t StrokeTextHeight(double size);

// Width in pixels of `text` at `size`: the glyphs with a gap between
// neighbours.
int32_t StrokeTextWidth(std::string_view text, double size);

// Draws `text` on the current target with its top-left corner at (x, y).
void DrawStrokeText(int32_t x, int32_t y, std::string_view text, double size, uint32_t colour);

// Width in pixels of the pen that draws text at `size`.
int32_t StrokePen(double size);

// A line from (x0, y0) to (x1, y1), both ends included, drawn with a square
// pen `pen` pixels wide whose top-left corner follows Bresenham's line.
void PenLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pen, uint32_t colour);
