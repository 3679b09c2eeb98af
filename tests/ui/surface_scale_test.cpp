// A window's scale and picture on a compositor that gives each surface its
// scale: fractional with a viewport, whole without one.
#include "ui/surface_scale.h"

#include <gtest/gtest.h>

TEST(SurfaceScale, AFractionalScaleGivesTheExactPixelWidthWithAViewport) {
    // 1.5 as wp_fractional_scale_v1 says it: 180/120.
    double scale = SurfaceScale(180, true, {2}, 1.0);
    EXPECT_DOUBLE_EQ(scale, 1.5);
    SurfacePicture window = SurfacePictureFor(1024, 220, scale, true);
    EXPECT_EQ(window.width, 1536);
    EXPECT_EQ(window.height, 330);
    EXPECT_EQ(window.bufferScale, 1);
    // 745.5 pixels: rounded half away from zero.
    EXPECT_EQ(SurfacePictureFor(497, 1, scale, true).width, 746);
    EXPECT_EQ(SurfacePictureFor(1024, 220, SurfaceScale(150, true, {}, 1.0), true).width, 1280);
}

TEST(SurfaceScale, WithoutAViewportTheLargestWholeOutputScaleHolds) {
    // A fractional scale the surface cannot show is not taken.
    EXPECT_DOUBLE_EQ(SurfaceScale(180, false, {1, 2}, 1.0), 2.0);
    SurfacePicture window = SurfacePictureFor(1024, 220, 2.0, false);
    EXPECT_EQ(window.width, 2048);
    EXPECT_EQ(window.height, 440);
    EXPECT_EQ(window.bufferScale, 2);
    // On no output yet: the scale in use, as a whole number.
    EXPECT_DOUBLE_EQ(SurfaceScale(0, false, {}, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(SurfaceScale(0, true, {}, 1.0), 1.0);
}

TEST(SurfaceScale, ScalesOutsideTheDisplayBoundsAreBounded) {
    EXPECT_DOUBLE_EQ(SurfaceScale(1, true, {}, 1.0), 0.5);         // 1/120
    EXPECT_DOUBLE_EQ(SurfaceScale(120 * 40, true, {}, 1.0), 5.0);  // 40x
    EXPECT_DOUBLE_EQ(SurfaceScale(0, false, {0, -3}, 0.25), 1.0);  // a compositor's nonsense
    EXPECT_DOUBLE_EQ(SurfaceScale(0, false, {12}, 1.0), 5.0);
    SurfacePicture tiny = SurfacePictureFor(1, 1, 0.5, true);
    EXPECT_EQ(tiny.width, 1);
    EXPECT_EQ(tiny.height, 1);
}

TEST(SurfaceScale, EveryFractionalScaleGivesTheProtocolsRoundedSize) {
    for (int scale120 = 121; scale120 <= 360; ++scale120) {
        SurfacePicture window = SurfacePictureFor(1024, 220, scale120 / 120.0, true);
        EXPECT_EQ(window.width, (1024 * scale120 + 60) / 120) << scale120;
        EXPECT_EQ(window.height, (220 * scale120 + 60) / 120) << scale120;
    }
    // Where rounding down would fall one short: 115 % and 145 %.
    EXPECT_EQ(SurfacePictureFor(1024, 220, 138 / 120.0, true).width, 1178);
    EXPECT_EQ(SurfacePictureFor(1024, 220, 138 / 120.0, true).height, 253);
    EXPECT_EQ(SurfacePictureFor(1024, 220, 174 / 120.0, true).width, 1485);
}
