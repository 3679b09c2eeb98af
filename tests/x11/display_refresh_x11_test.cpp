// The refresh of an X11 screen's mode, from its timings.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include "ui/x11/display_refresh_x11.h"

TEST(DisplayRefreshX11, AModesTimingsGiveItsRefresh) {
    // 1920x1080 at 60 Hz (CEA-861: 148.5 MHz, 2200 x 1125), 144 Hz, the
    // interlaced 1080i and a double-scanned 640x480; a virtual display's
    // modes carry no timings.
    EXPECT_NEAR(X11ModeRefresh(148500000, 2200, 1125, false, false), 60.0, 1e-9);
    EXPECT_NEAR(X11ModeRefresh(325080000, 2080, 1085, false, false), 144.04, 0.01);
    EXPECT_NEAR(X11ModeRefresh(74250000, 2200, 1125, false, true), 60.0, 1e-9);
    EXPECT_NEAR(X11ModeRefresh(25175000, 800, 525, true, false), 29.97, 0.01);
    EXPECT_EQ(X11ModeRefresh(0, 0, 0, false, false), 0.0);
}
