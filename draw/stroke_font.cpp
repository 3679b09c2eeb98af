// Grid points are placed at round(unit x size) pixels from the glyph's
// corner, so a glyph looks the same wherever it stands; the pen is
// round(size) pixels square. Glyphs are proportional: a digit one is
// narrower than an eight, and the decimal point keeps clear space on both
// sides, so that "-1.1" never reads as "-11".
#include "draw/stroke_font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

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

// Calls segment(x0, y0, x1, y1) for every stroke of the glyph at `size`, in
// pixels from its corner; a stroke of one point is a segment from it to
// itself.
template <typename Segment>
void WalkStrokes(const Glyph& glyph, double size, Segment segment) {
    bool started = false;
    int32_t px = 0, py = 0;
    for (const char* c = glyph.strokes; *c != '\0';) {
        if (*c == '|' || *c == ' ') {
            started = started && *c == ' ';
            ++c;
            continue;
        }
        const int32_t nx = Pixels(c[0] - '0', size), ny = Pixels(c[1] - '0', size);
        c += 2;
        segment(started ? px : nx, started ? py : ny, nx, ny);
        px = nx;
        py = ny;
        started = true;
    }
}

// A line drawn with a square pen: box(x, y, width, height) for each part,
// whole rows for an upright or level line, the pen at each point of
// Bresenham's line otherwise.
template <typename Fill>
void PenStroke(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pen, Fill box) {
    if (x0 == x1 || y0 == y1) {
        box(std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0) + pen, std::abs(y1 - y0) + pen);
        return;
    }
    WalkLine(x0, y0, x1, y1, [&](int32_t x, int32_t y) { box(x, y, pen, pen); });
}

// A run of a glyph's pixels: row y, columns x0 to x1 - 1, from its corner.
struct Run {
    int32_t y;
    int32_t x0;
    int32_t x1;
};

struct Rasterised {
    char character;
    double size;
    std::vector<Run> runs;
};

// The glyph's pixels at `size`, row by row: its strokes are stamped once
// into a mask, whose runs every later drawing of it fills. Each thread that
// draws keeps its own.
const std::vector<Run>& GlyphRuns(const Glyph& glyph, double size) {
    thread_local std::deque<Rasterised> made;
    for (const Rasterised& done : made) {
        if (done.character == glyph.character && done.size == size) return done.runs;
    }
    const int32_t pen = StrokePen(size);
    const int32_t width = Pixels(glyph.width, size) + pen, height = StrokeTextHeight(size);
    std::vector<uint8_t> mask(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    auto box = [&](int32_t x, int32_t y, int32_t w, int32_t h) {
        for (int32_t row = std::max(y, 0); row < std::min(y + h, height); ++row) {
            for (int32_t column = std::max(x, 0); column < std::min(x + w, width); ++column) {
                mask[static_cast<size_t>(row) * width + column] = 1;
            }
        }
    };
    WalkStrokes(glyph, size, [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        PenStroke(x0, y0, x1, y1, pen, box);
    });
    std::vector<Run> runs;
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* line = mask.data() + static_cast<size_t>(row) * width;
        for (int32_t column = 0; column < width;) {
            if (line[column] == 0) {
                ++column;
                continue;
            }
            const int32_t first = column;
            while (column < width && line[column] != 0) ++column;
            runs.push_back(Run{row, first, column});
        }
    }
    made.push_back(Rasterised{glyph.character, size, std::move(runs)});
    return made.back().runs;
}

void DrawGlyph(int32_t x, int32_t y, const Glyph& glyph, double size, uint32_t colour) {
    for (const Run& run : GlyphRuns(glyph, size)) {
        FillRow(x + run.x0, x + run.x1, y + run.y, colour);
    }
}

// A rectangle of whole pixels with its top-left corner at (x, y).
void Box(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
    for (int32_t row = 0; row < height; ++row) FillRow(x, x + width, y + row, colour);
}

void DrawPoint(int32_t x, int32_t y, double size, uint32_t colour) {
    const int32_t side = PointSide(size);
    Box(x + Pixels(POINT_SPACE, size), y + StrokeTextHeight(size) - side, side, side, colour);
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
    PenStroke(x0, y0, x1, y1, pen,
              [&](int32_t x, int32_t y, int32_t w, int32_t h) { Box(x, y, w, h, colour); });
}
