// An independent model of the pictures the meters draw, for checking the
// engine pixel by pixel: discs are stamped from the tabulated row half-widths,
// and geometry, rounding and smoothing are worked out here on their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "draw/pixels.h"

// Row half-widths at distance 0, 1, 2, ... from a disc's centre row, for the
// tabulated radii 0-8, 11, 20 and 21; empty for any other radius.
const std::vector<int>& DiscHalfWidths(int radius);

// Colour of a pixel as red + 256 green + 65536 blue.
uint32_t PixelColour(const PixelView& picture, int x, int y);
// The colours of a whole picture, row by row: to compare pictures taken at
// two moments.
std::vector<uint32_t> PictureColours(const PixelView& picture);

// Rounds to the nearest whole number, halves to the even neighbour.
int64_t RoundHalfEven(double value);

// A picture in colours red + 256 green + 65536 blue, row 0 at the top.
struct RefPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> colours;

    RefPicture(int w, int h, uint32_t fill) : width(w), height(h), colours(size_t(w) * h, fill) {}
    uint32_t At(int x, int y) const { return colours[size_t(y) * width + x]; }
    void Set(int x, int y, uint32_t colour);  // clipped
    void Disc(int cx, int cy, int radius, uint32_t colour);
    void Line(int x0, int y0, int x1, int y1, int radius, uint32_t colour);
};

struct RefPoint {
    int x;
    int y;
    bool operator==(const RefPoint&) const = default;
};

// One meter as start-up builds it (created, shown at rest, smoothing reset
// at value 0), with the program's colours: grey 0x999999 scale, green needle.
// Its geometry follows the control's width; the canvas picture is as wide as
// the images and, unless pictureHeight is given (a control scaled for the
// display), as high as the unscaled control less its edges.
class RefMeter {
public:
    RefMeter(int width, int flags, int pictureHeight = 0);
    // The canvas picture after one more reading.
    const RefPicture& Update(float reading);
    // The same with the reading's peak sample, which places the needle when
    // the meter reads on the decibel scale.
    const RefPicture& Update(float reading, int peak);
    void SetDecibelScale(bool on) { decibel_ = on; }
    const RefPicture& Picture() const { return canvas_; }
    RefPoint Tip() const { return tip_; }
    int ArcPoints() const { return static_cast<int>(arc_.size()); }
    RefPoint ArcPoint(int i) const { return arc_[i]; }
    int PivotX() const { return pivotX_; }
    int NeedleRadius() const { return radius_; }

private:
    RefPoint PointAt(double degrees) const;
    void DrawArc(RefPicture& picture, int radius, uint32_t colour) const;

    int flags_;
    bool decibel_ = false;
    int imageWidth_, imageHeight_, pivotX_, radius_;
    std::vector<RefPoint> arc_;
    RefPicture dial_;
    RefPicture canvas_;
    float readings_[8] = {};
    int next_ = 0;
    float sum_ = 0;
    int overload_ = 0;
    RefPoint tip_{0, 0};
};

// Compares a picture with the model; on a difference, says where.
bool SamePicture(const PixelView& got, const RefPicture& want, std::string* difference);
