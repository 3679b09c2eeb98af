// The bound on the DPI that both window layers read from the system, and the
// scale and place that keep a window on its screen.
#include "ui/display_scale.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(DisplayScaleTest, NoScaleGives96AndOtherValuesAreClampedTo48Through480) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct {
        double read;
        double used;
    } cases[] = {{0, 96},      {-5, 96},      {nan, 96},  {inf, 96},
                 {1e308, 480}, {100000, 480}, {144, 144}, {0.001, 48}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read);
        EXPECT_EQ(BoundDisplayDpi(c.read), c.used);
    }
}

// The main window's client area, 1024 x 220, on a 1280 x 800 screen.
TEST(DisplayScaleTest, AWindowTooLargeForItsScreenTakesTheLargestWholeDpiThatFits) {
    auto none = [](double) { return FrameSize{}; };
    auto titled = [](double) { return FrameSize{2, 25}; };
    // A frame that grows with the scale, as Windows draws it.
    auto growing = [](double dpi) {
        return FrameSize{static_cast<int>(16 * dpi / 96), static_cast<int>(39 * dpi / 96)};
    };
    EXPECT_EQ(FitDisplayDpi(144, 1024, 220, 1280, 800, none), 120);  // 1280 x 275
    EXPECT_EQ(FitDisplayDpi(120, 1024, 220, 1280, 800, none), 120);
    EXPECT_EQ(FitDisplayDpi(120, 1024, 220, 1280, 800, titled), 119);   // 1269 + 2
    EXPECT_EQ(FitDisplayDpi(144, 1024, 220, 1280, 800, growing), 118);  // 1258 + 19
    EXPECT_EQ(FitDisplayDpi(144.5, 1024, 220, 2200, 600, titled), 144.5);
    EXPECT_EQ(FitDisplayDpi(480, 1024, 220, 1920, 300, none), 131);    // by the height: 300
    EXPECT_EQ(FitDisplayDpi(480, 1024, 220, 1920, 300, titled), 120);  // 275 + 25 down
    // Never below the natural 96-DPI scale, nor above the display's.
    EXPECT_EQ(FitDisplayDpi(144, 1024, 220, 800, 600, none), 96);
    EXPECT_EQ(FitDisplayDpi(72, 1024, 220, 640, 480, none), 72);
}

TEST(DisplayScaleTest, AWindowReachingPastTheAreaMovesInJustFarEnough) {
    EXPECT_EQ(PlaceInside(45, 1000, 0, 1280), 45);
    EXPECT_EQ(PlaceInside(45, 1280, 0, 1280), 0);
    EXPECT_EQ(PlaceInside(400, 1000, 0, 1280), 280);
    EXPECT_EQ(PlaceInside(-10, 100, 0, 1280), 0);
    EXPECT_EQ(PlaceInside(10, 1000, 30, 1250), 30);  // a panel on the left
    EXPECT_EQ(PlaceInside(45, 2000, 0, 1280), 0);    // longer than the area: its start shows
}

}  // namespace

TEST(DisplayScaleTest, OnSeveralMonitorsTheWindowsOwnMonitorGivesItsWorkArea) {
    // A 1920 x 1080 monitor beside a 1280 x 800 one; a panel 30 high along
    // the top of both.
    const std::vector<ScreenArea> monitors{{0, 0, 1920, 1080}, {1920, 0, 1280, 800}};
    const ScreenArea work{0, 30, 3200, 1050};
    ScreenArea second = MonitorWorkArea(monitors, work, 2500, 400);
    EXPECT_EQ(second.x, 1920);
    EXPECT_EQ(second.y, 30);
    EXPECT_EQ(second.width, 1280);
    EXPECT_EQ(second.height, 770);
    ScreenArea first = MonitorWorkArea(monitors, work, 100, 100);
    EXPECT_EQ(first.width, 1920);
    EXPECT_EQ(first.height, 1050);
    // Below the smaller monitor, where no monitor is: the nearest.
    EXPECT_EQ(MonitorWorkArea(monitors, work, 2500, 1000).x, 1920);
    // A work area that leaves the window's monitor out: the monitor whole.
    ScreenArea outside = MonitorWorkArea(monitors, ScreenArea{0, 0, 1920, 1050}, 2500, 400);
    EXPECT_EQ(outside.x, 1920);
    EXPECT_EQ(outside.width, 1280);
    EXPECT_EQ(outside.height, 800);
    // No monitors known: the work area as it is.
    EXPECT_EQ(MonitorWorkArea({}, work, 2500, 400).width, 3200);
}
