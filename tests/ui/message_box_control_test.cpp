// The message box control without a display: its layout at scale 1 and 2,
// a few pixels of its picture, and what answers it, in the box font of
// box_text.h.
#include "ui/message_box_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/box_text.h"
#include "ui/control_keys.h"

namespace {

const char* const TEXT = "Unable to execute --> op";  // 24 characters

}  // namespace

TEST(MessageBoxControl, LayoutAtScaleOneAndTwoAndItsPicture) {
    // A 24-pixel margin round the text, which is at least 160 wide; under
    // it a 44-pixel strip with the 88 x 26 button centred in its height,
    // half a margin in from the right. All in 96-DPI pixels, scaled.
    BoxText one(10, 3, 6);
    MessageBoxControl small(TEXT, one, 1.0);
    EXPECT_EQ(small.Width(), 24 + 160 + 24);
    EXPECT_EQ(small.Height(), 24 + 13 + 24 + 44);
    ControlRect ok = small.ButtonRect();
    EXPECT_EQ(ok.left, 208 - 12 - 88);
    EXPECT_EQ(ok.top, 105 - 44 + 9);
    EXPECT_EQ(ok.right - ok.left, 88);
    EXPECT_EQ(ok.bottom - ok.top, 26);
    // Each line its own, "\r\n" as "\n"; a wide line widens the box.
    MessageBoxControl lines(std::string(40, 'b') + "\r\na", one, 1.0);
    EXPECT_EQ(lines.Width(), 24 + 240 + 24);
    EXPECT_EQ(lines.Height(), 24 + 2 * 13 + 24 + 44);
    // A picture rounded larger keeps the button at its bottom right.
    lines.SetPictureSize(300, 130);
    EXPECT_EQ(lines.ButtonRect().left, 300 - 12 - 88);
    EXPECT_EQ(lines.ButtonRect().top, 130 - 44 + 9);
    // A runaway text stops growing the box.
    MessageBoxControl huge(std::string(100000, 'c'), one, 1.0);
    EXPECT_EQ(huge.Width(), 2000);

    BoxText two(20, 6, 12);
    MessageBoxControl large(TEXT, two, 2.0);
    EXPECT_EQ(large.Width(), 48 + 320 + 48);
    EXPECT_EQ(large.Height(), 48 + 26 + 48 + 88);
    ControlRect big = large.ButtonRect();
    EXPECT_EQ(big.left, 416 - 24 - 176);
    EXPECT_EQ(big.top, 210 - 88 + 18);
    EXPECT_EQ(big.right - big.left, 176);
    EXPECT_EQ(big.bottom - big.top, 52);

    // White above the strip, button face in it; the text from the margin,
    // its boxes 10 high above the baseline at the margin plus the ascent;
    // OK framed in black as the default button, its focus rectangle shown.
    const int w = small.Width(), h = small.Height();
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0x123456);
    small.Draw(ControlPicture{pixels.data(), w, h, w});
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * w + x]; };
    EXPECT_EQ(at(0, 0), 0xFFFFFFu);
    EXPECT_EQ(at(w - 1, h - 45), 0xFFFFFFu);
    EXPECT_EQ(at(0, h - 44), 0xF0F0F0u);
    EXPECT_EQ(at(w - 1, h - 1), 0xF0F0F0u);
    EXPECT_EQ(at(24, 24), 0x000000u);
    EXPECT_EQ(at(24 + 143, 33), 0x000000u);
    EXPECT_EQ(at(23, 24), 0xFFFFFFu);
    EXPECT_EQ(at(24, 34), 0xFFFFFFu);
    EXPECT_EQ(at(24 + 144, 24), 0xFFFFFFu);
    EXPECT_EQ(at(ok.left, ok.top), 0x000000u);
    EXPECT_EQ(at(ok.right - 1, ok.bottom - 1), 0x000000u);
    EXPECT_EQ(at(ok.left + 1, ok.top + 1), 0xFFFFFFu);
    EXPECT_EQ(at(ok.left + 4, ok.top + 4), 0x000000u);
    EXPECT_EQ(at(ok.left + 5, ok.top + 4), 0xF0F0F0u);
    EXPECT_EQ(at(ok.left - 1, ok.top), 0xF0F0F0u);
}

TEST(MessageBoxControl, EnterEscapeSpaceOrAClickOnOkAnswerIt) {
    BoxText text(10, 3, 6);
    for (uint32_t key : {KEYSYM_RETURN, KEYSYM_KP_ENTER, KEYSYM_ESCAPE, KEYSYM_SPACE}) {
        MessageBoxControl box(TEXT, text, 1.0);
        MessageBoxAnswer answer = box.Key(key);
        EXPECT_TRUE(answer.close) << key;
        EXPECT_EQ(answer.result, MESSAGE_BOX_OK) << key;
    }
    MessageBoxControl box(TEXT, text, 1.0);
    EXPECT_FALSE(box.Key('a').close);
    EXPECT_FALSE(box.Key(0xFF09).close);  // Tab

    const ControlRect ok = box.ButtonRect();
    // Pressed beside OK and let go on it; pressed on it and let go beside.
    EXPECT_FALSE(box.PointerPress(ok.left - 1, ok.top).redraw);
    EXPECT_FALSE(box.PointerRelease(ok.left, ok.top).close);
    EXPECT_TRUE(box.PointerPress(ok.left, ok.top).redraw);
    EXPECT_TRUE(box.PointerMove(ok.right, ok.top).redraw);
    EXPECT_FALSE(box.PointerRelease(ok.right, ok.top).close);
    // Pressed and let go on it.
    box.PointerPress(ok.right - 1, ok.bottom - 1);
    MessageBoxAnswer clicked = box.PointerRelease(ok.right - 1, ok.bottom - 1);
    EXPECT_TRUE(clicked.close);
    EXPECT_EQ(clicked.result, MESSAGE_BOX_OK);
}
