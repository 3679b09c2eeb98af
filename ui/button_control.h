// The push button as a control of its own, for window layers that have no
// toolkit to draw one: its picture in the classic 3D look (a raised edge,
// a sunken one with the label moved a pixel down and right while pushed,
// the half-tone face of a latched push-like toggle, the black frame of a
// default button, the dotted focus rectangle) and its rules for the mouse
// and the keys, as Windows' BUTTON has them. The layer keeps its record,
// the focus, presenting the picture and telling the owner of a click
// (WM_COMMAND with BN_CLICKED); it hands the control positions in the
// button's own pixels and keys as keysyms, and the control answers with
// what to do.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "ui/control_picture.h"

// The button styles the control knows: the type in the low bits.
constexpr uint32_t BUTTON_TYPE_MASK = 0xF;     // BS_TYPEMASK
constexpr uint32_t BUTTON_DEFAULT = 1;         // BS_DEFPUSHBUTTON: framed in black
constexpr uint32_t BUTTON_AUTO_CHECK_BOX = 3;  // BS_AUTOCHECKBOX: a click flips the check

// What the layer does after an input: draw the button again, and tell its
// owner of a click.
struct ButtonAnswer {
    bool redraw = false;
    bool clicked = false;
};

class ButtonControl {
public:
    ButtonControl() = default;
    ButtonControl(std::string text, uint32_t style) : text_(std::move(text)), style_(style) {}

    // The size in picture pixels; the pointer hits within it.
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Checked() const { return checked_; }
    // Drawn pressed: the mouse held down on it while over it, or Space held.
    bool Pushed() const { return pushed_; }
    // The left button went down on it and is still down.
    bool Tracking() const { return tracking_; }

    // The left button pressed at (x, y), in the button's pixels: on the
    // button, it is pushed and follows the mouse until the release.
    ButtonAnswer PointerPress(int x, int y);
    // The mouse at (x, y) while the left button is down: pushed while over
    // the button, if the press was on it.
    ButtonAnswer PointerMove(int x, int y);
    // The left button let go at (x, y): a click when the press was on the
    // button and the release is over it. A release whose press it never
    // saw (the press closed a menu) clicks nothing.
    ButtonAnswer PointerRelease(int x, int y);
    // A key pressed (or repeated) or released while the button has the
    // focus: Space pushes it and clicks at its release. Enter does nothing,
    // as BUTTON does outside a dialog.
    ButtonAnswer Key(uint32_t keysym, bool press);
    // The focus went elsewhere: a press of Space or of the mouse in progress
    // is forgotten, and clicks nothing.
    ButtonAnswer FocusLost();
    // A click given by another means (a screen reader's action, as BM_CLICK
    // gives one on Windows): as a whole click of the mouse.
    ButtonAnswer Click();

    // The button at (x, y) in the picture, lettered with `text`; with the
    // focus rectangle when `focusShown` (focused, and keyboard cues on).
    void Draw(const ControlPicture& picture, int x, int y, const ControlText& text,
              bool focusShown) const;

private:
    bool Inside(int x, int y) const;

    std::string text_;
    uint32_t style_ = 0;
    int width_ = 0, height_ = 0;
    bool checked_ = false;  // BST_CHECKED
    bool pushed_ = false;
    bool tracking_ = false;
    bool spaceDown_ = false;
};
