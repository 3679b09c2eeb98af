// A stand-in font for the controls' tests: every character is a solid box
// of the ink, `advance` pixels wide, from `ascent` above the baseline down
// to it, so a picture's text is known without a font file.
#pragma once

#include <algorithm>
#include <cstdint>
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
        uint32_t ink = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
        for (int y = std::max(baseline - ascent_, clip.top); y < std::min(baseline, clip.bottom);
             ++y) {
            for (int px = std::max(x, clip.left); px < std::min(x + Width(text), clip.right);
                 ++px) {
                picture.pixels[y * picture.stride + px] = ink;
            }
        }
    }

private:
    int ascent_, descent_, advance_;
};
