// The popup menu control without a display: its rules for the keys and the
// mouse, its layout at scale 1 and 2, and a few pixels of its picture. The
// text is a stand-in font whose every character is a solid box of the ink,
// so the picture's text is known without a font file.
#include "ui/menu_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/ui/box_text.h"

namespace {

// Five rows: an item, a separator, a disabled item, a checked item, an item.
std::vector<PopupMenuItem> KnownMenu() {
    return {{1, "Alpha", false, true},
            {0, "", false, true},
            {2, "Beta", false, false},
            {3, "Gamma", true, true},
            {4, "Delta", false, true}};
}

int Middle(const MenuControl& menu, int row) {
    return menu.RowTop(row) + menu.RowHeight(row) / 2;
}

struct Picture {
    explicit Picture(const MenuControl& menu)
        : width(menu.Width()), height(menu.Height()), pixels(width * height, 0x123456) {
        menu.Draw(ControlPicture{pixels.data(), width, height, width});
    }
    uint32_t At(int x, int y) const { return pixels[y * width + x]; }
    int width, height;
    std::vector<uint32_t> pixels;
};

}  // namespace

TEST(MenuControl, KeysSkipSeparatorsAndDisabledItemsGoRoundAndChooseOrClose) {
    BoxText text(10, 3, 6);
    MenuControl menu(KnownMenu(), text, 1.0);
    EXPECT_EQ(menu.Highlighted(), -1);
    // Up from nothing lit starts at the last item, Down at the first.
    menu.Key(KEYSYM_UP);
    EXPECT_EQ(menu.Highlighted(), 4);
    menu.HighlightFirst();
    EXPECT_EQ(menu.Highlighted(), 0);
    MenuAnswer down = menu.Key(KEYSYM_DOWN);
    EXPECT_EQ(menu.Highlighted(), 3);
    EXPECT_EQ(down.firstRow, 0);  // the row left and the row lit are drawn again
    EXPECT_EQ(down.lastRow, 3);
    EXPECT_FALSE(down.close);
    menu.Key(KEYSYM_DOWN);
    menu.Key(KEYSYM_DOWN);
    EXPECT_EQ(menu.Highlighted(), 0);  // round from the last to the first
    menu.Key(KEYSYM_UP);
    EXPECT_EQ(menu.Highlighted(), 4);
    menu.Key(KEYSYM_UP);
    menu.Key(KEYSYM_UP);
    EXPECT_EQ(menu.Highlighted(), 0);  // over the disabled item and the separator
    menu.Key(KEYSYM_DOWN);
    menu.Key(KEYSYM_END);  // from the middle: not where Up goes
    EXPECT_EQ(menu.Highlighted(), 4);
    menu.Key(KEYSYM_UP);
    menu.Key(KEYSYM_HOME);  // nor Down
    EXPECT_EQ(menu.Highlighted(), 0);
    EXPECT_EQ(menu.Key('a').firstRow, -1);  // other keys do nothing
    EXPECT_EQ(menu.Highlighted(), 0);

    MenuAnswer enter = menu.Key(KEYSYM_RETURN);
    EXPECT_TRUE(enter.close);
    EXPECT_EQ(enter.command, 1);
    menu.Key(KEYSYM_UP);
    EXPECT_EQ(menu.Key(KEYSYM_KP_ENTER).command, 4);
    MenuAnswer escape = menu.Key(KEYSYM_ESCAPE);
    EXPECT_TRUE(escape.close);
    EXPECT_EQ(escape.command, 0);

    MenuControl none(KnownMenu(), text, 1.0);
    MenuAnswer nothingLit = none.Key(KEYSYM_RETURN);
    EXPECT_FALSE(nothingLit.close);
    EXPECT_EQ(nothingLit.command, 0);
}

TEST(MenuControl, ThePointerLightsEnabledItemsAndAReleaseChoosesOnlyThem) {
    BoxText text(10, 3, 6);
    MenuControl menu(KnownMenu(), text, 1.0);
    MenuAnswer onto = menu.PointerMove(10, Middle(menu, 3));
    EXPECT_EQ(menu.Highlighted(), 3);
    EXPECT_EQ(onto.firstRow, 3);
    EXPECT_EQ(onto.lastRow, 3);
    menu.PointerMove(10, Middle(menu, 2));  // disabled
    EXPECT_EQ(menu.Highlighted(), -1);
    menu.PointerMove(10, Middle(menu, 0));
    EXPECT_EQ(menu.Highlighted(), 0);
    menu.PointerMove(10, Middle(menu, 1));  // separator
    EXPECT_EQ(menu.Highlighted(), -1);
    menu.PointerMove(10, Middle(menu, 4));
    menu.PointerMove(menu.Width(), Middle(menu, 4));  // just right of the menu
    EXPECT_EQ(menu.Highlighted(), -1);
    menu.PointerMove(10, 0);  // the edge
    EXPECT_EQ(menu.Highlighted(), -1);
    menu.PointerMove(10, Middle(menu, 4));
    MenuAnswer left = menu.PointerLeave();
    EXPECT_EQ(menu.Highlighted(), -1);
    EXPECT_EQ(left.firstRow, 4);

    menu.Key(KEYSYM_HOME);  // an item lit by the keys is not what a release chooses
    for (int row : {1, 2}) {
        MenuAnswer nothing = menu.PointerRelease(10, Middle(menu, row), true);
        EXPECT_FALSE(nothing.close) << row;
        EXPECT_EQ(nothing.command, 0) << row;
    }
    EXPECT_EQ(menu.PointerRelease(10, Middle(menu, 3), false).command, 0);  // the middle button
    MenuAnswer chosen = menu.PointerRelease(10, Middle(menu, 3), true);
    EXPECT_TRUE(chosen.close);
    EXPECT_EQ(chosen.command, 3);
}

TEST(MenuControl, RowsAndSizeAtScaleOneAndTwo) {
    // An item is the text's height and 4 pixels above and below; a separator
    // 8; a 2-pixel edge round it all; the width is the edge, a 24-pixel
    // gutter, the widest text ("Alpha", "Gamma", "Delta": 5 characters) and
    // 20 pixels after it, but never below 120. All in 96-DPI pixels, scaled.
    BoxText one(10, 3, 16);
    MenuControl small(KnownMenu(), one, 1.0);
    EXPECT_EQ(small.RowCount(), 5);
    const int smallTops[] = {2, 23, 31, 52, 73};
    const int smallHeights[] = {21, 8, 21, 21, 21};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(small.RowTop(row), smallTops[row]) << row;
        EXPECT_EQ(small.RowHeight(row), smallHeights[row]) << row;
    }
    EXPECT_EQ(small.Width(), 2 + 24 + 80 + 20 + 2);
    EXPECT_EQ(small.Height(), 96);

    BoxText two(20, 6, 12);
    MenuControl large(KnownMenu(), two, 2.0);
    const int largeTops[] = {4, 46, 62, 104, 146};
    const int largeHeights[] = {42, 16, 42, 42, 42};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(large.RowTop(row), largeTops[row]) << row;
        EXPECT_EQ(large.RowHeight(row), largeHeights[row]) << row;
    }
    EXPECT_EQ(large.Width(), 240);  // 4 + 48 + 60 + 40 + 4 is less
    EXPECT_EQ(large.Height(), 192);
    // A size is a whole number of 96-DPI pixels, as a surface's is: 4 + 48 +
    // 205 + 40 + 4 = 301 pixels grow to 302.
    BoxText wide(20, 6, 41);
    EXPECT_EQ(MenuControl(KnownMenu(), wide, 2.0).Width(), 302);
}

TEST(MenuControl, PictureEdgeHighlightCheckMarkGreyTextAndSeparator) {
    BoxText text(10, 3, 6);
    MenuControl menu(KnownMenu(), text, 1.0);
    menu.PointerMove(10, Middle(menu, 0));
    Picture picture(menu);
    const int w = picture.width, h = picture.height;
    // The raised edge: light outside and white inside at the top and left,
    // dark grey outside and grey inside at the bottom and right.
    EXPECT_EQ(picture.At(0, 0), 0xE3E3E3u);
    EXPECT_EQ(picture.At(1, 1), 0xFFFFFFu);
    EXPECT_EQ(picture.At(w - 1, h - 1), 0x696969u);
    EXPECT_EQ(picture.At(w - 2, h - 2), 0xA0A0A0u);
    EXPECT_EQ(picture.At(w - 1, 0), 0x696969u);
    EXPECT_EQ(picture.At(0, h - 1), 0x696969u);
    EXPECT_EQ(picture.At(2, 2 + 21), 0xF0F0F0u);  // the face

    // The lit row in the selection's blue (red 0, green 120, blue 215) from
    // edge to edge, its text in white; the other rows' text black, the
    // disabled one's grey. The box font's ink lies from the gutter on, 10
    // pixels above the baseline, which is 4 + 10 below the row's top.
    EXPECT_EQ(picture.At(2, menu.RowTop(0)), 0x0078D7u);
    EXPECT_EQ(picture.At(w - 3, menu.RowTop(0) + 20), 0x0078D7u);
    const int textX = 2 + 24 + 1;
    EXPECT_EQ(picture.At(textX, menu.RowTop(0) + 10), 0xFFFFFFu);
    EXPECT_EQ(picture.At(textX, menu.RowTop(2) + 10), 0x6D6D6Du);
    EXPECT_EQ(picture.At(textX, menu.RowTop(4) + 10), 0x000000u);
    EXPECT_EQ(picture.At(2, menu.RowTop(4)), 0xF0F0F0u);

    // A tick's ink in the gutter of the checked row, none in the others'.
    for (int row : {0, 2, 3, 4}) {
        int ink = 0;
        for (int y = menu.RowTop(row); y < menu.RowTop(row) + menu.RowHeight(row); ++y) {
            for (int x = 2; x < 2 + 24; ++x) ink += picture.At(x, y) == 0x000000u;
        }
        if (row == 3) {
            EXPECT_GT(ink, 6) << row;
        } else {
            EXPECT_EQ(ink, 0) << row;
        }
    }

    // The separator etched across its middle: grey over white.
    const int middle = Middle(menu, 1);
    EXPECT_EQ(picture.At(w / 2, middle - 1), 0xA0A0A0u);
    EXPECT_EQ(picture.At(w / 2, middle), 0xFFFFFFu);
    EXPECT_EQ(picture.At(w / 2, middle - 2), 0xF0F0F0u);
}
