// A top-level window's creation flags: which bits are the program's own
// (kept out of the style) and which pass through as window-style bits.
#include "ui/window_flags.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowFlags, TheProgramsBitsAreTakenOutAndTheStyleBitsPassThrough) {
    // The main window's: caption and system menu, nothing of the program's.
    TopWindowFlags main = DecodeTopWindowFlags(STYLE_CAPTION | STYLE_SYSTEM_MENU);
    EXPECT_EQ(main.style, STYLE_CAPTION | STYLE_SYSTEM_MENU);
    EXPECT_TRUE(main.controls);
    EXPECT_FALSE(main.noActivate || main.hidden || main.tool);

    // Hidden (bit 28) and not the control target (bit 3) leave the style;
    // flags with no bit but the centring and hiding ones get a caption.
    TopWindowFlags own = DecodeTopWindowFlags(0x10000000 | 0x1);
    EXPECT_TRUE(own.hidden);
    EXPECT_EQ(own.centre, 1u);
    EXPECT_EQ(own.style, STYLE_CAPTION | 0x1);
    TopWindowFlags notTarget = DecodeTopWindowFlags(0x8);
    EXPECT_FALSE(notTarget.controls);
    EXPECT_EQ(notTarget.style, 0u);
    // Shown without activation (bit 25) passes through.
    TopWindowFlags quiet = DecodeTopWindowFlags(0x10000000 | 0x2000000);
    EXPECT_TRUE(quiet.noActivate);
    EXPECT_EQ(quiet.style, 0x2000000u);

    // A tool window (bit 2) loses its minimize and maximize boxes and
    // states, and gets a caption.
    TopWindowFlags tool = DecodeTopWindowFlags(0x4 | STYLE_MINIMIZE_BOX | STYLE_MAXIMIZE_BOX |
                                               STYLE_THICK_FRAME | STYLE_MINIMIZE);
    EXPECT_TRUE(tool.tool);
    EXPECT_EQ(tool.style, 0x4 | STYLE_THICK_FRAME | STYLE_CAPTION);
}

}  // namespace
