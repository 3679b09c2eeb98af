// The push button control without a display: its rules for the mouse and
// Space, and its picture in each state at known pixels, in the box font of
// box_text.h.
#include "ui/button_control.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/box_text.h"
#include "ui/control_keys.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFF, FACE = 0xF0F0F0, LIGHT = 0xE3E3E3, SHADOW = 0xA0A0A0,
                   DARK = 0x696969, BLACK = 0x000000, UNTOUCHED = 0x123456;

// A 30 x 20 button labelled "Go" at (5, 7) in a 40 x 30 picture.
struct Picture {
    Picture(const ButtonControl& button, bool focus) : pixels(40 * 30, UNTOUCHED) {
        BoxText text(10, 3, 6);
        button.Draw(ControlPicture{pixels.data(), 40, 30, 40}, 5, 7, text, focus);
    }
    uint32_t At(int x, int y) const { return pixels[y * 40 + x]; }
    std::vector<uint32_t> pixels;
};

ButtonControl Made(uint32_t style) {
    ButtonControl button("Go", style);
    button.SetSize(30, 20);
    return button;
}

}  // namespace

TEST(ButtonControl, ClicksOnlyForAPressAndReleaseOnItOrSpaceAndAnAutoCheckBoxFlips) {
    ButtonControl button = Made(0);
    // Pressed inside, dragged out and back, out again and let go: no click.
    EXPECT_TRUE(button.PointerPress(10, 10).redraw);
    EXPECT_TRUE(button.Pushed());
    EXPECT_TRUE(button.PointerMove(30, 10).redraw);  // just right of it
    EXPECT_FALSE(button.Pushed());
    EXPECT_FALSE(button.PointerMove(40, 10).redraw);  // still out: nothing to draw
    button.PointerMove(29, 19);
    EXPECT_TRUE(button.Pushed());
    button.PointerMove(10, -1);
    ButtonAnswer outside = button.PointerRelease(10, -1);
    EXPECT_FALSE(outside.clicked);
    EXPECT_FALSE(button.Pushed());
    EXPECT_FALSE(button.Tracking());
    // A release with no press on the button (the press closed a menu), and
    // a press beside it: nothing.
    EXPECT_FALSE(button.PointerRelease(10, 10).clicked);
    EXPECT_FALSE(button.PointerPress(-1, 10).redraw);
    EXPECT_FALSE(button.PointerRelease(10, 10).clicked);
    // Pressed and let go on it: one click; a plain button keeps no check.
    button.PointerPress(0, 0);
    EXPECT_TRUE(button.PointerRelease(0, 0).clicked);
    EXPECT_FALSE(button.Checked());

    // Space pushes at its press (its repeats do nothing) and clicks at its
    // release; Enter and other keys do nothing.
    EXPECT_TRUE(button.Key(KEYSYM_SPACE, true).redraw);
    EXPECT_TRUE(button.Pushed());
    EXPECT_FALSE(button.Key(KEYSYM_SPACE, true).redraw);
    EXPECT_TRUE(button.Key(KEYSYM_SPACE, false).clicked);
    EXPECT_FALSE(button.Pushed());
    EXPECT_FALSE(button.Key(KEYSYM_SPACE, false).clicked);  // no press before it
    for (uint32_t key : {KEYSYM_RETURN, KEYSYM_KP_ENTER, uint32_t{'a'}}) {
        EXPECT_FALSE(button.Key(key, true).clicked) << key;
        EXPECT_FALSE(button.Key(key, false).clicked) << key;
    }
    // The focus leaving while Space is down: forgotten, no click.
    button.Key(KEYSYM_SPACE, true);
    EXPECT_TRUE(button.FocusLost().redraw);
    EXPECT_FALSE(button.Pushed());
    EXPECT_FALSE(button.Key(KEYSYM_SPACE, false).clicked);

    // An auto check box flips its check with each click, by mouse or Space.
    ButtonControl toggle = Made(BUTTON_AUTO_CHECK_BOX | 0x1000);  // push-like
    toggle.PointerPress(5, 5);
    EXPECT_TRUE(toggle.PointerRelease(5, 5).clicked);
    EXPECT_TRUE(toggle.Checked());
    toggle.PointerPress(5, 5);
    toggle.PointerRelease(50, 5);
    EXPECT_TRUE(toggle.Checked());
    toggle.Key(KEYSYM_SPACE, true);
    toggle.Key(KEYSYM_SPACE, false);
    EXPECT_FALSE(toggle.Checked());
}

TEST(ButtonControl, PictureRaisedSunkenLatchedDefaultAndFocused) {
    // Raised: white then light at the top and left, dark grey then grey at
    // the bottom and right, the face inside; nothing drawn outside it. The
    // label's boxes (12 x 10) are centred: from x 5 + 9, baseline 7 + 3 + 10.
    ButtonControl button = Made(0);
    Picture up(button, false);
    EXPECT_EQ(up.At(5, 7), WHITE);
    EXPECT_EQ(up.At(33, 7), WHITE);
    EXPECT_EQ(up.At(5, 25), WHITE);
    EXPECT_EQ(up.At(34, 7), DARK);
    EXPECT_EQ(up.At(5, 26), DARK);
    EXPECT_EQ(up.At(34, 26), DARK);
    EXPECT_EQ(up.At(6, 8), LIGHT);
    EXPECT_EQ(up.At(33, 25), SHADOW);
    EXPECT_EQ(up.At(32, 8), LIGHT);
    EXPECT_EQ(up.At(33, 8), SHADOW);
    EXPECT_EQ(up.At(7, 9), FACE);
    EXPECT_EQ(up.At(4, 7), UNTOUCHED);
    EXPECT_EQ(up.At(35, 27), UNTOUCHED);
    EXPECT_EQ(up.At(14, 10), BLACK);
    EXPECT_EQ(up.At(25, 19), BLACK);
    EXPECT_EQ(up.At(13, 10), FACE);
    EXPECT_EQ(up.At(14, 20), FACE);
    EXPECT_EQ(up.At(8, 10), FACE);  // no focus rectangle

    // Pushed: the rings' colours the other way round, the label a pixel
    // down and right.
    button.PointerPress(1, 1);
    Picture pushed(button, false);
    EXPECT_EQ(pushed.At(5, 7), DARK);
    EXPECT_EQ(pushed.At(34, 26), WHITE);
    EXPECT_EQ(pushed.At(6, 8), SHADOW);
    EXPECT_EQ(pushed.At(33, 25), LIGHT);
    EXPECT_EQ(pushed.At(14, 10), FACE);
    EXPECT_EQ(pushed.At(15, 11), BLACK);
    EXPECT_EQ(pushed.At(26, 20), BLACK);
    EXPECT_EQ(pushed.At(7, 9), FACE);

    // Latched (a checked push-like toggle, not pushed): sunken, its face
    // white on every other pixel from 2 in, in a checkerboard.
    ButtonControl toggle = Made(BUTTON_AUTO_CHECK_BOX);
    toggle.Key(KEYSYM_SPACE, true);
    toggle.Key(KEYSYM_SPACE, false);
    Picture latched(toggle, false);
    EXPECT_EQ(latched.At(5, 7), DARK);
    EXPECT_EQ(latched.At(7, 9), WHITE);
    EXPECT_EQ(latched.At(8, 9), FACE);
    EXPECT_EQ(latched.At(8, 10), WHITE);
    EXPECT_EQ(latched.At(7, 10), FACE);
    EXPECT_EQ(latched.At(32, 24), WHITE);  // the last dot, 2 in from the corner
    EXPECT_EQ(latched.At(15, 11), BLACK);  // the label, moved as when pushed

    // Focused with cues shown: dots from 3 in, every other pixel from the
    // corner, along all four sides.
    Picture focused(Made(0), true);
    for (int x = 8; x <= 30; x += 2) {
        EXPECT_EQ(focused.At(x, 10), BLACK) << x;
        EXPECT_EQ(focused.At(x, 23), BLACK) << x;
        EXPECT_EQ(focused.At(x + 1, 23), FACE) << x;
    }
    for (int y = 10; y <= 22; y += 2) {
        EXPECT_EQ(focused.At(8, y), BLACK) << y;
        EXPECT_EQ(focused.At(31, y), BLACK) << y;
        EXPECT_EQ(focused.At(31, y + 1), FACE) << y;
    }

    // A default button: framed in black, the raised edge inside the frame;
    // pushed, one grey ring inside the frame and a flat face; its focus
    // rectangle a pixel further in.
    ButtonControl framed = Made(BUTTON_DEFAULT);
    Picture frame(framed, true);
    EXPECT_EQ(frame.At(5, 7), BLACK);
    EXPECT_EQ(frame.At(34, 26), BLACK);
    EXPECT_EQ(frame.At(6, 8), WHITE);
    EXPECT_EQ(frame.At(33, 25), DARK);
    EXPECT_EQ(frame.At(7, 9), LIGHT);
    EXPECT_EQ(frame.At(32, 24), SHADOW);
    EXPECT_EQ(frame.At(8, 10), FACE);
    EXPECT_EQ(frame.At(9, 11), BLACK);
    EXPECT_EQ(frame.At(29, 22), BLACK);
    EXPECT_EQ(frame.At(30, 21), BLACK);
    EXPECT_EQ(frame.At(31, 22), FACE);
    framed.PointerPress(1, 1);
    Picture framedDown(framed, false);
    EXPECT_EQ(framedDown.At(5, 7), BLACK);
    EXPECT_EQ(framedDown.At(6, 8), SHADOW);
    EXPECT_EQ(framedDown.At(33, 25), SHADOW);
    EXPECT_EQ(framedDown.At(7, 9), FACE);
    EXPECT_EQ(framedDown.At(32, 24), FACE);
    EXPECT_EQ(framedDown.At(15, 11), BLACK);
}
