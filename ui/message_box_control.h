// The message box's inside as a control of its own, for window layers that
// have no toolkit: its text, line by line, on a white area over a strip of
// button face that holds the OK button at its right, as MessageBoxW shows
// it; its size at a scale; its picture; and its rules: OK clicked, or Enter,
// Escape or Space, answers the box with IDOK. The layer keeps the window,
// the modality, the loop that waits for the answer and the copy of the text
// on stderr.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/button_control.h"
#include "ui/control_picture.h"

constexpr int MESSAGE_BOX_OK = 1;  // IDOK

// What the layer does after an input: draw the box again, and end it with
// `result` when `close` is set.
struct MessageBoxAnswer {
    bool redraw = false;
    bool close = false;
    int result = 0;
};

class MessageBoxControl {
public:
    // Lays the text out at `scale` (1 at 96 DPI) in `font`'s measures; the
    // font must outlive the control. Lines end at '\n' (a "\r\n" too).
    MessageBoxControl(std::string_view text, const ControlText& font, double scale);

    // The size the box wants, in picture pixels (never more than about
    // 2000 96-DPI pixels either way: longer text is cut).
    int Width() const { return wantedWidth_; }
    int Height() const { return wantedHeight_; }
    // The size of the picture the layer could make (a fractional scale may
    // round it up): the strip and the button keep to its bottom right.
    void SetPictureSize(int width, int height);
    // Where OK is in the picture.
    ControlRect ButtonRect() const;
    double Scale() const { return scale_; }

    // The left button pressed, the mouse moved, the left button let go, at
    // (x, y) in the picture: OK is clicked as a button is.
    MessageBoxAnswer PointerPress(int x, int y);
    MessageBoxAnswer PointerMove(int x, int y);
    MessageBoxAnswer PointerRelease(int x, int y);
    // A key pressed: Enter, Escape and Space answer the box.
    MessageBoxAnswer Key(uint32_t keysym);

    // The whole box, into a picture of at least the size set.
    void Draw(const ControlPicture& picture) const;

private:
    MessageBoxAnswer Answer(const ButtonAnswer& button) const;

    const ControlText& font_;
    double scale_;
    std::vector<std::string> lines_;
    int lineHeight_ = 0, margin_ = 0, strip_ = 0;
    int wantedWidth_ = 0, wantedHeight_ = 0;
    int width_ = 0, height_ = 0;
    int buttonX_ = 0, buttonY_ = 0;
    ButtonControl ok_;
};
