// Grid points are placed at round(unit x size) pixels from the glyph's
// corner, so a glyph looks the same wherever it stands; the pen is
// round(size) pixels square. Glyphs are proportional: a digit one is
// narrower than an eight, and the decimal point keeps clear space on both
// sides, so that "-1.1" never reads as "-11".
#include "draw/stroke_font.h"

#include <algorithm>
#include <cmath>

#include "draw/primitives.h"

namespace {

constexpr int32_t GRID_HEIGHT = 8;
constexpr double POINT_SIZE = 2;   // the decimal point's side, in grid units
constexpr double POINT_SPACE = 1;  // clear space beside it, beyond the gap between glyphs
constexpr double GAP = 1;          // between neighbouring glyphs, in grid units

struct Glyph {
    char character;
    int32_t width;  // in grid units: the largest x of its points
    // Polylines: "xy" pairs of digits, space-separated; '|' starts another.
    const char* strokes;
};

constexpr Glyph SPACE = {' ', 3, ""};
constexpr char DECIMAL_POINT = '.';

constexpr Glyph GLYPHS[] = {
    {'0', 4, "10 30 41 47 38 18 07 01 10"},
    {'1', 2, "01 10 18|08 28"},
    {'2', 4, "01 10 30 41 43 07 08 48"},
    {'3', 4, "01 10 30 41 43 34 14|34 45 47 38 18 07"},
    {'4', 4, "38 30 06 46"},
    {'5', 4, "40 00 03 33 44 47 38 18 07"},
    {'6', 4, "41 30 10 01 07 18 38 47 45 34 04"},
    {'7', 4, "00 40 41 18"},
    {'8', 4, "10 30 41 43 34 14 03 01 10|14 05 07 18 38 47 45 34"},
    {'9', 4, "07 18 38 47 41 30 10 01 03 14 44"},
    {'-', 3, "04 34"},
    {'d', 4, "40 48 18 07 04 13 43"},
    {'B', 4, "00 08 38 47 45 34 04|00 30 41 43 34"},
    {'i', 0, "01 01|03 08"},
    {'n', 4, "03 08|04 13 33 44 48"},
    {'f', 3, "30 20 11 18|03 33"},
    {'O', 5, "10 40 51 57 48 18 07 01 10"},
    {'V', 4, "00 03 28 43 40"},
    {'E', 4, "40 00 08 48|04 34"},
    {'R', 4, "08 00 30 41 43 34 04|24 48"},
    SPACE,
};

const Glyph& GlyphOf(char character) {
    for (const Glyph& glyph : GLYPHS) {
        if (glyph.character == character) return glyph;
    }
    return SPACE;
}

int32_t Pixels(double units, double size) {
    return static_cast<int32_t>(std::lround(units * size));
}

double Size(double size) {
    return std::max(size, 1.0);
}

int32_t PointSide(double size) {
    return Pixels(POINT_SIZE, size);
}

// The glyph's width in pixels, pen included.
int32_t GlyphWidth(char character, double size) {
    if (character == DECIMAL_POINT) return PointSide(size) + 2 * Pixels(POINT_SPACE, size);
    return Pixels(GlyphOf(character).width, size) + StrokePen(size);
}

void DrawGlyph(int32_t x, int32_t y, const Glyph& glyph, double size, uint32_t colour) {
    const int32_t pen = StrokePen(size);
    bool started = false;
    int32_t px = 0, py = 0;
    for (const char* c = glyph.strokes; *c != '\0';) {
        if (*c == '|') {
            started = false;
            ++c;
            continue;
        }
        if (*c == ' ') {
            ++c;
            continue;
        }
        const int32_t nx = x + Pixels(c[0] - '0', size);
        const int32_t ny = y + Pixels(c[1] - '0', size);
        c += 2;
        PenLine(started ? px : nx, started ? py : ny, nx, ny, pen, colour);
        px = nx;
        py = ny;
        started = true;
    }
}

// A square of side x side pixels with its top-left corner at (x, y).
void Square(int32_t x, int32_t y, int32_t side, uint32_t colour) {
    for (int32_t row = 0; row < side; ++row) {
        for (int32_t column = 0; column < side; ++column) FillDisc(x + column, y + row, 0, colour);
    }
}

void DrawPoint(int32_t x, int32_t y, double size, uint32_t colour) {
    const int32_t side = PointSide(size);
    Square(x + Pixels(POINT_SPACE, size), y + StrokeTextHeight(size) - side, side, colour);
}

}  // namespace

int32_t StrokePen(double size) {
    return std::max<int32_t>(1, static_cast<int32_t>(std::lround(Size(size))));
}

int32_t StrokeTextHeight(double size) {
    return Pixels(GRID_HEIGHT, Size(size)) + StrokePen(size);
}

int32_t StrokeTextWidth(std::string_view text, double size) {
    if (text.empty()) return 0;
    size = Size(size);
    int32_t width = 0;
    for (char character : text) width += GlyphWidth(character, size);
    return width + Pixels(GAP, size) * static_cast<int32_t>(text.size() - 1);
}

void DrawStrokeText(int32_t x, int32_t y, std::string_view text, double size, uint32_t colour) {
    size = Size(size);
    for (char character : text) {
        if (character == DECIMAL_POINT) {
            DrawPoint(x, y, size, colour);
        } else {
            DrawGlyph(x, y, GlyphOf(character), size, colour);
        }
        x += GlyphWidth(character, size) + Pixels(GAP, size);
    }
}

void PenLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pen, uint32_t colour) {
    WalkLine(x0, y0, x1, y1, [&](int32_t x, int32_t y) { Square(x, y, pen, colour); });
}
