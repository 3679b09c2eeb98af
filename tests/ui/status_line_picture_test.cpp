// The status line's picture, with the box font: the rooms cleared to the
// background, a line too long for the room after the button broken at a
// space with its head right-aligned before the button, nothing drawn between
// the rooms, and an empty text leaving only the background.
#include "ui/status_line_picture.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/box_text.h"

TEST(StatusLine, ABrokenLineReadsAcrossTheButtonAndAnEmptyOneClearsBothRooms) {
    constexpr uint32_t GUARD = 0x123456, FACE = PictureColour(COLOUR_BUTTON_FACE), INK = 0;
    BoxText text(10, 2, 5);
    // The picture covers window pixels (100, 50) to (250, 80); the head's
    // room is x 110-160, the tail's x 200-240, both y 52-70.
    std::vector<uint32_t> pixels(150 * 30, GUARD);
    const ControlPicture picture{pixels.data(), 150, 30, 150};
    auto at = [&](int windowX, int windowY) {
        return pixels[(windowY - 50) * 150 + windowX - 100];
    };
    const ControlRect head{110, 52, 160, 70}, tail{200, 52, 240, 70};

    // 55 pixels do not fit the tail's 40: "aaaa" (20) goes before the
    // button, ending at its room's right, "bbbbbb" (30) after it. The
    // baseline centres ascent and descent in the 18 rows: ink on rows 55-64.
    DrawStatusLine(picture, 100, 50, tail, head, "aaaa bbbbbb", text, COLOUR_BUTTON_FACE);
    EXPECT_EQ(at(140, 55), INK);
    EXPECT_EQ(at(159, 64), INK);
    EXPECT_EQ(at(139, 60), FACE);
    EXPECT_EQ(at(140, 54), FACE);
    EXPECT_EQ(at(140, 65), FACE);
    EXPECT_EQ(at(110, 52), FACE);
    EXPECT_EQ(at(200, 60), INK);
    EXPECT_EQ(at(229, 60), INK);
    EXPECT_EQ(at(230, 60), FACE);
    EXPECT_EQ(at(239, 69), FACE);
    EXPECT_EQ(at(180, 60), GUARD);  // the button's place
    EXPECT_EQ(at(105, 60), GUARD);
    EXPECT_EQ(at(240, 60), GUARD);

    DrawStatusLine(picture, 100, 50, tail, head, "", text, COLOUR_BUTTON_FACE);
    EXPECT_EQ(at(150, 60), FACE);
    EXPECT_EQ(at(210, 60), FACE);
    EXPECT_EQ(at(180, 60), GUARD);
}
