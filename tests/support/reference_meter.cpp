// The reference model of the meter pictures (see reference_meter.h).
#include "tests/support/reference_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

constexpr uint32_t GREY = 0x999999;
constexpr uint32_t GREEN = 0x00FF00;
constexpr uint32_t RED = 0x0A0AFF;
constexpr double PI = 3.14159265358979323846;

}  // namespace

const std::vector<int>& DiscHalfWidths(int radius) {
    static const std::map<int, std::vector<int>> table = {
        {0, {0}},
        {1, {1, 0}},
        {2, {2, 2, 1}},
        {3, {3, 3, 2, 1}},
        {4, {4, 4, 3, 3, 1}},
        {5, {5, 5, 5, 4, 3, 2}},
        {6, {6, 6, 6, 5, 4, 3, 2}},
        {7, {7, 7, 7, 6, 6, 5, 4, 2}},
        {8, {8, 8, 8, 7, 7, 6, 5, 4, 2}},
        {11, {11, 11, 11, 11, 10, 10, 9, 8, 8, 6, 5, 3}},
        {20, {20, 20, 20, 20, 20, 19, 19, 19, 18, 18, 17, 17, 16, 15, 14, 13, 12, 11, 9, 7, 4}},
        {21, {21, 21, 21, 21, 21, 20, 20, 20, 19, 19, 18, 18, 17, 16, 16, 15, 14, 12, 11, 9, 7, 4}},
    };
    static const std::vector<int> none;
    auto found = table.find(radius);
    return found == table.end() ? none : found->second;
}

uint32_t PixelColour(const PixelView& picture, int x, int y) {
    const uint8_t* pixel = picture.At(x, y);
    return pixel[2] | uint32_t{pixel[1]} << 8 | uint32_t{pixel[0]} << 16;
}

std::vector<uint32_t> PictureColours(const PixelView& picture) {
    std::vector<uint32_t> colours;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) colours.push_back(PixelColour(picture, x, y));
    return colours;
}

int64_t RoundHalfEven(double value) {
    double below = std::floor(value);
    double fraction = value - below;
    int64_t whole = static_cast<int64_t>(below);
    if (fraction > 0.5) return whole + 1;
    if (fraction < 0.5) return whole;
    return whole % 2 == 0 ? whole : whole + 1;
}

void RefPicture::Set(int x, int y, uint32_t colour) {
    if (x >= 0 && x < width && y >= 0 && y < height) colours[size_t(y) * width + x] = colour;
}

void RefPicture::Disc(int cx, int cy, int radius, uint32_t colour) {
    const std::vector<int>& rows = DiscHalfWidths(radius);
    for (int d = 0; d < static_cast<int>(rows.size()); ++d) {
        for (int x = cx - rows[d]; x <= cx + rows[d]; ++x) {
            Set(x, cy - d, colour);
            Set(x, cy + d, colour);
        }
    }
}

// Bresenham: step x, y or both, whichever keeps closest to the true line.
void RefPicture::Line(int x0, int y0, int x1, int y1, int radius, uint32_t colour) {
    int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    int sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
    int error = dx - dy;
    int x = x0, y = y0;
    Disc(x, y, radius, colour);
    while (x != x1 || y != y1) {
        int doubled = 2 * error;
        if (doubled > -dy) error -= dy, x += sx;
        if (doubled < dx) error += dx, y += sy;
        Disc(x, y, radius, colour);
    }
}

RefMeter::RefMeter(int width, int flags, int pictureHeight)
    : flags_(flags),
      imageWidth_(std::max(width, 150) - 4),
      imageHeight_(static_cast<int>(RoundHalfEven(std::max(width, 150) / 1.5)) - 4),
      pivotX_(static_cast<int>(RoundHalfEven(imageWidth_ / 2.0))),
      radius_(static_cast<int>(
          RoundHalfEven(double(imageWidth_ + 4) / (imageWidth_ + 39) * (imageHeight_ + 4)))),
      dial_(imageWidth_, imageHeight_, 0),
      canvas_(imageWidth_, pictureHeight > 0 ? pictureHeight : std::max(imageHeight_ + 4 - 194, 1),
              0xFFFFFF) {
    float step = static_cast<float>(500.0 / imageWidth_);
    for (float angle = static_cast<float>(-45.0 - step);;) {
        angle = std::min(static_cast<float>(angle + step), 45.0f);
        arc_.push_back(PointAt(angle));
        if (angle == 45.0f) break;
    }
    DrawArc(dial_, 11, GREY);
    Update(0);  // the meter at rest; then the start-up reset empties the ring
    next_ = 0;
    sum_ = 0;
}

RefPoint RefMeter::PointAt(double degrees) const {
    double radians = degrees * (PI / 180.0);
    return RefPoint{static_cast<int>(RoundHalfEven(pivotX_ + radius_ * std::sin(radians))),
                    static_cast<int>(RoundHalfEven(imageHeight_ - radius_ * std::cos(radians)))};
}

void RefMeter::DrawArc(RefPicture& picture, int radius, uint32_t colour) const {
    for (size_t i = 1; i < arc_.size(); ++i) {
        picture.Line(arc_[i - 1].x, arc_[i - 1].y, arc_[i].x, arc_[i].y, radius, colour);
    }
}

const RefPicture& RefMeter::Update(float reading) {
    return Update(reading,
                  static_cast<int>(RoundHalfEven(std::max(reading, 0.0f) / 101.0 * 32767)));
}

const RefPicture& RefMeter::Update(float reading, int peak) {
    if (!(reading >= 0)) reading = 0;
    if (reading >= 100) {
        reading = 99.9f;
        overload_ = 15;
    } else if (decibel_) {
        // 60 dB across the scale, its right end at full scale (32767); the
        // overload keeps its place at 99.9, as on the linear scale.
        const double level = peak > 0 ? 20 * std::log10(peak / 32767.0) : -1000;
        reading = static_cast<float>(std::clamp((level + 60) / 60 * 100, 0.0, 100.0));
    }
    sum_ = sum_ - readings_[next_] + reading;
    readings_[next_] = reading;
    next_ = (next_ + 1) % 8;
    float mean = sum_ / 8;
    // The angle is held in single precision, in radians.
    float angle = static_cast<float>((mean * 0.9 - 45.0) * (PI / 180.0));
    tip_ =
        RefPoint{static_cast<int>(RoundHalfEven(pivotX_ + radius_ * std::sin(double(angle)))),
                 static_cast<int>(RoundHalfEven(imageHeight_ - radius_ * std::cos(double(angle))))};
    for (int y = 0; y < canvas_.height; ++y) {
        for (int x = 0; x < canvas_.width; ++x) {
            canvas_.Set(x, y, y < dial_.height ? dial_.At(x, y) : 0xFFFFFF);
        }
    }
    if ((flags_ & 12) == 0) {
        canvas_.Disc(tip_.x, tip_.y, 20, GREEN);
        DrawArc(canvas_, 3, GREEN);
    }
    if ((flags_ & 2) != 0 && overload_ > 0) {
        --overload_;
        canvas_.Disc(tip_.x, tip_.y, 21, RED);
    }
    return canvas_;
}

bool SamePicture(const PixelView& got, const RefPicture& want, std::string* difference) {
    if (got.width != want.width || got.height != want.height) {
        *difference = "size " + std::to_string(got.width) + "x" + std::to_string(got.height) +
                      ", expected " + std::to_string(want.width) + "x" +
                      std::to_string(want.height);
        return false;
    }
    int wrong = 0;
    for (int y = 0; y < want.height; ++y) {
        for (int x = 0; x < want.width; ++x) {
            if (PixelColour(got, x, y) == want.At(x, y)) continue;
            if (wrong++ == 0) {
                char text[120];
                std::snprintf(text, sizeof text, "first at (%d, %d): %06X, expected %06X", x, y,
                              PixelColour(got, x, y), want.At(x, y));
                *difference = text;
            }
        }
    }
    if (wrong != 0) *difference = std::to_string(wrong) + " pixels differ, " + *difference;
    return wrong == 0;
}
