// The push button's picture and rules: see button_control.h.
#include "ui/button_control.h"

#include "ui/control_keys.h"

void ButtonControl::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
}

bool ButtonControl::Inside(int x, int y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_;
}

ButtonAnswer ButtonControl::Click() {
    if ((style_ & BUTTON_TYPE_MASK) == BUTTON_AUTO_CHECK_BOX) checked_ = !checked_;
    return ButtonAnswer{true, true};
}

ButtonAnswer ButtonControl::PointerPress(int x, int y) {
    if (!Inside(x, y)) return ButtonAnswer{};
    tracking_ = pushed_ = true;
    return ButtonAnswer{true, false};
}

ButtonAnswer ButtonControl::PointerMove(int x, int y) {
    if (!tracking_ || Inside(x, y) == pushed_) return ButtonAnswer{};
    pushed_ = !pushed_;
    return ButtonAnswer{true, false};
}

ButtonAnswer ButtonControl::PointerRelease(int x, int y) {
    if (!tracking_) return ButtonAnswer{};
    tracking_ = false;
    pushed_ = spaceDown_;
    if (Inside(x, y)) return Click();
    return ButtonAnswer{true, false};
}

ButtonAnswer ButtonControl::Key(uint32_t keysym, bool press) {
    if (keysym != KEYSYM_SPACE) return ButtonAnswer{};
    if (press) {
        // A held key's repeats push nothing more.
        if (spaceDown_) return ButtonAnswer{};
        spaceDown_ = pushed_ = true;
        return ButtonAnswer{true, false};
    }
    if (!spaceDown_) return ButtonAnswer{};
    spaceDown_ = false;
    pushed_ = tracking_;
    return Click();
}

ButtonAnswer ButtonControl::FocusLost() {
    bool was = pushed_ || tracking_ || spaceDown_;
    pushed_ = tracking_ = spaceDown_ = false;
    return ButtonAnswer{was, false};
}

void ButtonControl::Draw(const ControlPicture& picture, int x, int y, const ControlText& text,
                         bool focusShown) const {
    int w = width_, h = height_;
    if (picture.pixels == nullptr || w <= 0 || h <= 0) return;
    FillControlRect(picture, x, y, w, h, COLOUR_BUTTON_FACE);
    // A default button is framed in black; the rest is drawn inside it.
    int frame = (style_ & BUTTON_TYPE_MASK) == BUTTON_DEFAULT ? 1 : 0;
    if (frame != 0) DrawEdgeRing(picture, x, y, w, h, 0, COLOUR_BUTTON_TEXT, COLOUR_BUTTON_TEXT);
    bool sunken = pushed_ || checked_;
    if (checked_ && !pushed_) {
        // The latched face: every other pixel in the highlight colour.
        for (int row = 2; row < h - 2; ++row) {
            for (int column = 2 + (row & 1); column < w - 2; column += 2) {
                FillControlRect(picture, x + column, y + row, 1, 1, COLOUR_BUTTON_HIGHLIGHT);
            }
        }
    }
    if (frame != 0 && pushed_) {
        // A pushed default button is flat: one ring of shadow.
        DrawEdgeRing(picture, x, y, w, h, 1, COLOUR_BUTTON_SHADOW, COLOUR_BUTTON_SHADOW);
    } else if (sunken) {
        DrawEdgeRing(picture, x, y, w, h, frame, COLOUR_3D_DARK_SHADOW, COLOUR_BUTTON_HIGHLIGHT);
        DrawEdgeRing(picture, x, y, w, h, frame + 1, COLOUR_BUTTON_SHADOW, COLOUR_3D_LIGHT);
    } else {
        DrawEdgeRing(picture, x, y, w, h, frame, COLOUR_BUTTON_HIGHLIGHT, COLOUR_3D_DARK_SHADOW);
        DrawEdgeRing(picture, x, y, w, h, frame + 1, COLOUR_3D_LIGHT, COLOUR_BUTTON_SHADOW);
    }
    if (!text_.empty()) {
        int shift = sunken ? 1 : 0;
        int left = x + (w - text.Width(text_)) / 2 + shift;
        int baseline = y + (h - (text.Ascent() + text.Descent())) / 2 + text.Ascent() + shift;
        int edge = frame + 2;
        text.Draw(picture, ControlRectIn(picture, x + edge, y + edge, w - 2 * edge, h - 2 * edge),
                  left, baseline, text_, COLOUR_BUTTON_TEXT);
    }
    if (focusShown && w > 8 && h > 8) {
        DrawFocusDots(picture, x + frame, y + frame, w - 2 * frame, h - 2 * frame);
    }
}
