// A stand-in font for control tests: every character is a solid box of the
// ink, `advance` pixels wide and as high as the ascent, so that a picture's
// text is known without a font file.
#pragma once

#include <algorithm>
#include <string_view>

#include "ui/control_picture.h"

class BoxText final : public ControlText {
public:
    BoxText(int ascent, int descent, int advance)
        : ascent_(ascent), descent_(descent), advance_(advance) {}
    int Ascent() const override { return ascent_; }
    int Descent() const override { return descent_; }
    int Width(std::string_view text) const override {
        return advance_ * static_cast<int>(text.size());
    }
    void Draw(const ControlPicture& picture, const ControlRect& clip, int x, int baseline,
              std::string_view text, uint32_t colour) const override {
        const uint32_t ink = PictureColour(colour);
        const int top = std::max({baseline - ascent_, clip.top, 0});
        const int bottom = std::min({baseline, clip.bottom, picture.height});
        const int left = std::max({x, clip.left, 0});
        const int right = std::min({x + Width(text), clip.right, picture.width});
        for (int y = top; y < bottom; ++y) {
            for (int px = left; px < right; ++px) {
                picture.pixels[y * picture.stride + px] = ink;
            }
        }
    }

private:
    int ascent_, descent_, advance_;
};
