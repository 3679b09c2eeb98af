// Meter creation and the dial face: the worked geometry of the main window's
// meters, slots and numbers, refused flags, and the arc walk.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "draw/drawing_target.h"
#include "draw/primitives.h"
#include "meter/scale_geometry.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

class MeterCreateTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDrawingWorld(); }
};

TEST_F(MeterCreateTest, TheMainWindowsMetersHaveTheWorkedGeometry) {
    ASSERT_NE(StartMeter(13), 0);
    ASSERT_NE(StartMeter(14), 0);
    ASSERT_EQ(MeterSlot(13), 1);
    ASSERT_EQ(MeterSlot(14), 2);
    EXPECT_EQ(MeterTableSize(), 3);
    const MeterRecord& meter = MeterAt(1);
    EXPECT_EQ(meter.imageWidth, 493);
    EXPECT_EQ(meter.imageHeight, 327);  // nominal height 331
    EXPECT_EQ(meter.pivotX, 246);       // 246.5 to even
    EXPECT_EQ(meter.needleRadius, 309);
    EXPECT_EQ(meter.sizeUnit, 12);
    EXPECT_EQ(meter.auxX, 444);
    EXPECT_EQ(meter.auxY, 189);
    EXPECT_EQ(meter.flags, 3);
    EXPECT_EQ(meter.caption, " ");
    EXPECT_EQ(meter.colour1, 0x999999);
    EXPECT_EQ(meter.colour2, 0x00FF00);
    EXPECT_EQ(meter.averageCount, 16);  // as the start-up reset leaves it
    EXPECT_EQ(meter.ringIndex, 0);
    EXPECT_EQ(meter.ringSum, 0.0f);
    EXPECT_EQ(MemoryCanvasPicture(13)->width, 493);  // control 497 x 141
    EXPECT_EQ(MemoryCanvasPicture(13)->height, 137);
    EXPECT_EQ(ImageHandle(meter.dialImage)->width, 493);
    EXPECT_EQ(ImageHandle(meter.dialImage)->height, 327);
    EXPECT_EQ(ImageHandle(meter.spareImage)->width, 493);
    EXPECT_EQ(ImageHandle(meter.spareImage)->height, 65);
    // Creation shows the needle at rest once.
    EXPECT_EQ(MemoryCanvasPresentCount(13), 1);
    // Slot 0 is never used.
    EXPECT_EQ(MeterAt(0).imageWidth, 0);
    EXPECT_EQ(MeterAt(0).dialImage, 0);
    EXPECT_EQ(MeterSlot(15), 0);
}

// The window layer scales the 497 x 141 control for the display (x 1.5 and
// x 2 here); the meter is built for the width the control then has, so its
// dial fills the picture.
TEST_F(MeterCreateTest, OnAScaledDisplayTheMeterIsBuiltForTheControlsRealWidth) {
    struct {
        int controlWidth, controlHeight;
        int64_t imageHeight, pivotX, needleRadius;
        RefPoint left, top, right;
    } cases[] = {
        {745, 211, 493, 370, 475, {34, 157}, {370, 18}, {706, 157}},  // 144 DPI; pivotX 370.5
        {994, 282, 659, 495, 640, {42, 206}, {495, 19}, {948, 206}},  // 192 DPI
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.controlWidth);
        ResetDrawingWorld();
        SetMemoryCanvasWindowSize(c.controlWidth, c.controlHeight);
        ASSERT_NE(StartMeter(13), 0);  // asks for 497 x 141, as the main window does
        const MeterRecord& meter = MeterAt(1);
        EXPECT_EQ(meter.imageWidth, c.controlWidth - 4);
        EXPECT_EQ(meter.imageHeight, c.imageHeight);
        EXPECT_EQ(meter.pivotX, c.pivotX);
        EXPECT_EQ(meter.needleRadius, c.needleRadius);
        ScalePoint left = ScalePointAt(1, -45), top = ScalePointAt(1, 0);
        ScalePoint right = ScalePointAt(1, 45);
        EXPECT_EQ((RefPoint{left.x, left.y}), c.left);
        EXPECT_EQ((RefPoint{top.x, top.y}), c.top);
        EXPECT_EQ((RefPoint{right.x, right.y}), c.right);
        // The picture is the top rows of the dial and needle: not one white pixel.
        const PixelView& picture = *MemoryCanvasPicture(13);
        RefMeter model(c.controlWidth, 3, c.controlHeight - 4);
        std::string difference;
        EXPECT_TRUE(SamePicture(picture, model.Picture(), &difference)) << difference;
        for (uint32_t colour : model.Picture().colours) ASSERT_NE(colour, 0xFFFFFFu);
    }
}

TEST_F(MeterCreateTest, NarrowMetersAreTreatedAsOneHundredFiftyWide) {
    ASSERT_NE(StartMeter(13, 100), 0);
    const MeterRecord& meter = MeterAt(1);
    EXPECT_EQ(meter.imageWidth, 146);
    EXPECT_EQ(meter.imageHeight, 96);  // nominal height 100
    EXPECT_EQ(ScaleAngleStep(146), 3.4246576f);
    std::vector<float> angles = ScaleArcAngles(146);
    EXPECT_EQ(angles.front(), -45.0f);
    EXPECT_EQ(angles.back(), 45.0f);
    EXPECT_LT(45.0f - angles[angles.size() - 2], 3.4246576f);  // a shorter last segment
    EXPECT_EQ(MemoryCanvasPicture(13)->height, 1);             // the control has no height left
}

TEST_F(MeterCreateTest, RefusedFlagsCreateNothing) {
    for (int64_t flags : {16, -1, 1000}) {
        EXPECT_EQ(CreateMeter(13, 10, 10, 497, " ", flags), 0);
        EXPECT_EQ(MemoryCanvasPicture(13), nullptr);
        EXPECT_EQ(MeterSlot(13), 0);
        EXPECT_EQ(MeterTableSize(), 2);
    }
    // A canvas that cannot be made: nothing either, and the slot stays free.
    EXPECT_EQ(CreateMeter(-5, 10, 10, 497, " ", 3), 0);
    EXPECT_EQ(CreateMeter(13, 10, 10, 100000, " ", 3), 0);
    EXPECT_EQ(MeterSlot(13), 0);
    ASSERT_NE(StartMeter(7), 0);
    EXPECT_EQ(MeterSlot(7), 1);
}

TEST_F(MeterCreateTest, NumbersMapToSlots) {
    ASSERT_NE(StartMeter(13), 0);
    ASSERT_NE(StartMeter(13, 300), 0);  // the same number again
    EXPECT_EQ(MeterSlot(13), 2);
    EXPECT_EQ(MeterTableSize(), 3);
    EXPECT_EQ(MeterAt(1).imageWidth, 493);  // the first record stays, unreachable
    int64_t assigned = StartMeter(-1);
    ASSERT_NE(assigned, 0);
    EXPECT_NE(assigned, -1);
    EXPECT_EQ(MeterSlot(assigned), 3);
    EXPECT_EQ(MeterSlot(-1), 0);
    EXPECT_NE(MemoryCanvasPicture(assigned), nullptr);
    ASSERT_NE(StartMeter(0), 0);  // control 0 is a meter number like any other
    EXPECT_EQ(MeterSlot(0), 4);
}

TEST_F(MeterCreateTest, TheArcWalkOfA497WideMeter) {
    ASSERT_NE(StartMeter(13), 0);
    EXPECT_EQ(ScaleAngleStep(493), 1.0141988f);
    std::vector<float> angles = ScaleArcAngles(493);
    ASSERT_EQ(angles.size(), 90u);  // 89 segments
    EXPECT_EQ(angles.front(), -45.0f);
    EXPECT_EQ(angles.back(), 45.0f);
    for (size_t i = 1; i < angles.size(); ++i) ASSERT_GT(angles[i], angles[i - 1]);
    ScalePoint left = ScalePointAt(1, -45), top = ScalePointAt(1, 0), right = ScalePointAt(1, 45);
    EXPECT_EQ((std::pair{left.x, left.y}), (std::pair{28, 109}));
    EXPECT_EQ((std::pair{top.x, top.y}), (std::pair{246, 18}));
    EXPECT_EQ((std::pair{right.x, right.y}), (std::pair{464, 109}));
    // The model walks the same arc on its own.
    RefMeter model(497, 3);
    ASSERT_EQ(model.ArcPoints(), 90);
    EXPECT_EQ(model.ArcPoint(0), (RefPoint{28, 109}));
    EXPECT_EQ(model.ArcPoint(89), (RefPoint{464, 109}));
    for (int i = 0; i < 90; ++i) {
        ScalePoint point = ScalePointAt(1, angles[i]);
        ASSERT_EQ((RefPoint{point.x, point.y}), model.ArcPoint(i)) << i;
    }
}

TEST_F(MeterCreateTest, TheDialImageIsTheScaleBandOnBlack) {
    for (int width : {497, 100, 800}) {
        SCOPED_TRACE(width);
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(13, width, 12), 0);
        const MeterRecord& meter = MeterAt(1);
        const PixelView& dial = *ImageHandle(meter.dialImage);
        RefPicture want(int(meter.imageWidth), int(meter.imageHeight), 0);
        RefMeter model(width, 12);
        for (int i = 1; i < model.ArcPoints(); ++i) {
            RefPoint a = model.ArcPoint(i - 1), b = model.ArcPoint(i);
            want.Line(a.x, a.y, b.x, b.y, 11, 0x999999);
        }
        std::string difference;
        EXPECT_TRUE(SamePicture(dial, want, &difference)) << difference;
        for (int i = 3; i < dial.stride * dial.height; i += 4) ASSERT_EQ(dial.bits[i], 255);
        // Nothing is drawn into the spare image.
        const PixelView& spare = *ImageHandle(meter.spareImage);
        EXPECT_TRUE(SamePicture(spare, RefPicture(spare.width, spare.height, 0), &difference));
    }
}

TEST_F(MeterCreateTest, ThickLinesAreStampedDiscs) {
    int64_t image = NewImage(-1, 30, 30, 32);
    for (int thickness : {1, 0, -4}) {
        ASSERT_NE(BeginDraw(ImageTarget(image)), 0);
        FillDisc(0, 0, 60, 0);
        ThickLine(4, 4, 4, 4, thickness, RGB(0, 255, 0));  // one disc of radius 0
        ThickLine(20, 5, 12, 25, thickness, RGB(0, 255, 0));
        EndDraw();
        RefPicture want(30, 30, 0);
        want.Set(4, 4, 0x00FF00);
        want.Line(20, 5, 12, 25, 0, 0x00FF00);
        std::string difference;
        EXPECT_TRUE(SamePicture(*ImageHandle(image), want, &difference)) << difference;
    }
    ASSERT_NE(BeginDraw(ImageTarget(image)), 0);
    FillDisc(0, 0, 60, 0);
    ThickLine(15, 15, 15, 15, 9, RGB(0, 255, 0));
    EndDraw();
    RefPicture want(30, 30, 0);
    want.Disc(15, 15, 8, 0x00FF00);
    std::string difference;
    EXPECT_TRUE(SamePicture(*ImageHandle(image), want, &difference)) << difference;
}

}  // namespace
