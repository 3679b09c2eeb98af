// The needle update: whole pictures against the independent model, the tip
// along the scale, the overload disc, smoothing and its reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

// Not 3 or 4: the program's own meters, which a start-up test elsewhere in
// this binary may leave an analysis thread updating.
constexpr int64_t METER = 13;
constexpr uint32_t RED = 0x0A0AFF;

class NeedleTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDrawingWorld(); }

    // Feeds the same readings to the meter and to the model, and checks each
    // picture pixel by pixel.
    static void FeedBoth(RefMeter& model, std::initializer_list<float> readings) {
        for (float reading : readings) {
            SetMeterValue(METER, reading);
            const RefPicture& want = model.Update(reading);
            std::string difference;
            ASSERT_TRUE(SamePicture(*MemoryCanvasPicture(METER), want, &difference))
                << "after reading " << reading << ": " << difference;
        }
    }

    static int Count(uint32_t colour) {
        const PixelView& picture = *MemoryCanvasPicture(METER);
        int count = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) count += PixelColour(picture, x, y) == colour;
        return count;
    }

    static float Average() { return MeterAt(MeterSlot(METER)).ringSum / 8; }

    static std::pair<int, int> Tip() {
        ScalePoint tip = NeedleTip(MeterSlot(METER), Average());
        return {tip.x, tip.y};
    }
};

TEST_F(NeedleTest, WholePicturesMatchTheModel) {
    for (int flags : {3, 0, 2, 4, 8, 12, 15}) {
        SCOPED_TRACE(testing::Message() << "flags " << flags);
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(METER, 497, flags), 0);
        RefMeter model(497, flags);
        std::string difference;
        ASSERT_TRUE(SamePicture(*MemoryCanvasPicture(METER), model.Picture(), &difference))
            << difference;
        FeedBoth(model, {12, 40, 40, 77, 101, 3, 0, 64, 64, 64, 100, 50, 50, 50, 99, 20, 7});
    }
    for (int width : {100, 640, 1000}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(METER, width, 3), 0);
        RefMeter model(width, 3);
        FeedBoth(model, {0, 30, 101, 55, 80, 80});
    }
}

TEST_F(NeedleTest, TheTipRidesAlongTheScale) {
    ASSERT_NE(StartMeter(METER), 0);
    EXPECT_EQ(Tip(), (std::pair{28, 109}));  // at rest
    RefMeter model(497, 3);
    FeedBoth(model, {50, 50, 50, 50, 50, 50, 50});
    EXPECT_NE(Tip(), (std::pair{246, 18}));  // 7 of 8 readings: not there yet
    FeedBoth(model, {50});
    EXPECT_EQ(Average(), 50.0f);
    EXPECT_EQ(Tip(), (std::pair{246, 18}));
    EXPECT_EQ(model.Tip(), (RefPoint{246, 18}));
    for (int i = 0; i < 8; ++i) SetMeterValue(METER, 101);
    EXPECT_EQ(MeterAt(1).value, 99.9f);
    EXPECT_LT(Average(), 100.0f);
    EXPECT_EQ(Tip(), (std::pair{464, 108}));
    // Negative and not-a-number readings count as 0, without overload.
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(METER), 0);
    for (float reading : {-3.0f, std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity()}) {
        SetMeterValue(METER, reading);
        EXPECT_EQ(MeterAt(1).value, 0.0f);
        EXPECT_EQ(MeterAt(1).overloadHold, 0);
    }
    EXPECT_EQ(Tip(), (std::pair{28, 109}));
    // Unknown meters: nothing happens.
    EXPECT_EQ(SetMeterValue(8, 50), 0);
    EXPECT_EQ(ResetMeterSmoothing(8, 16), 0);
}

TEST_F(NeedleTest, OverloadShowsForFifteenUpdates) {
    ASSERT_NE(StartMeter(METER), 0);
    std::vector<bool> shown;
    auto feed = [&](float reading, int times) {
        for (int i = 0; i < times; ++i) {
            SetMeterValue(METER, reading);
            shown.push_back(Count(RED) > 0);
        }
    };
    feed(100, 1);
    EXPECT_EQ(MeterAt(1).overloadHold, 14);
    feed(0, 16);
    feed(101, 1);
    feed(0, 5);
    feed(101, 1);  // a new overload restarts the count
    feed(0, 15);
    std::vector<bool> want;
    want.insert(want.end(), 15, true);
    want.insert(want.end(), 2, false);
    want.insert(want.end(), 1 + 5 + 1 + 14, true);
    want.push_back(false);
    EXPECT_EQ(shown, want);
    EXPECT_EQ(MeterAt(1).overloadHold, 0);
    // Without option 2 the hold is set but never counted down or shown.
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(METER, 497, 1), 0);
    SetMeterValue(METER, 101);
    SetMeterValue(METER, 0);
    EXPECT_EQ(MeterAt(1).overloadHold, 15);
    EXPECT_EQ(Count(RED), 0);
}

// The analysis thread stops updating once both meters are settled: the
// update that takes the overload disc away must come before that.
TEST_F(NeedleTest, TheOverloadLightGoesOutBeforeTheMeterCountsAsSettled) {
    ASSERT_NE(StartMeter(METER), 0);
    const RefPicture resting = RefMeter(497, 3).Picture();
    for (int i = 0; i < 15; ++i) SetMeterValue(METER, 101);
    int updates = 0;
    do {
        SetMeterValue(METER, 0);
    } while (!MeterSettledAt(METER, 0) && ++updates < 100);
    std::string difference;
    EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(METER), resting, &difference)) << difference;
}

TEST_F(NeedleTest, HidingOptionsLeaveTheDialAndTheOverloadDisc) {
    for (int flags : {4, 8, 12, 14}) {
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(METER, 497, flags), 0);
        SetMeterValue(METER, 101);
        EXPECT_EQ(Count(0x00FF00), 0) << flags;
        EXPECT_EQ(Count(RED) > 0, (flags & 2) != 0) << flags;
    }
}

TEST_F(NeedleTest, TheRingCounterWrapsWithoutDisturbingTheAverage) {
    ASSERT_NE(StartMeter(METER), 0);
    for (int i = 0; i < 300; ++i) SetMeterValue(METER, float(i % 8 == 0 ? 80 : 0));
    EXPECT_EQ(MeterAt(1).ringIndex, 300 % 256);
    EXPECT_EQ(Average(), 10.0f);  // one 80 in every 8 readings, across the wrap
}

TEST_F(NeedleTest, ResetRoundsTheCountToAPowerOfTwo) {
    ASSERT_NE(StartMeter(METER), 0);
    const std::pair<int64_t, int> counts[] = {{3, 4},     {5, 4},    {6, 8},  {11, 8}, {12, 16},
                                              {16, 16},   {1, 0},    {0, 0},  {-4, 0}, {200, 128},
                                              {128, 128}, {91, 128}, {90, 64}};
    MeterRecord& meter = MeterAt(1);
    for (auto [count, filled] : counts) {
        SCOPED_TRACE(count);
        std::fill(std::begin(meter.ring), std::end(meter.ring), 0.0f);
        meter.value = 5;
        meter.ringIndex = 77;
        ResetMeterSmoothing(METER, count);
        int set = 0;
        while (set < 128 && meter.ring[set] == 5) ++set;
        EXPECT_EQ(set, filled);
        for (int i = set; i < 128; ++i) ASSERT_EQ(meter.ring[i], 0);
        EXPECT_EQ(meter.ringIndex, 0);
        EXPECT_EQ(meter.averageCount, 16);
        // The sum is that of the entries the next updates take out.
        EXPECT_EQ(meter.ringSum, 5.0f * std::min(filled, 8));
    }
    // After a reset at a steady value the average stays that value.
    ResetMeterSmoothing(METER, 16);
    for (int i = 0; i < 20; ++i) SetMeterValue(METER, 5);
    EXPECT_EQ(Average(), 5.0f);
    EXPECT_EQ(meter.averageCount, 8);
}

}  // namespace

namespace {

// An update that would draw the same picture again draws and shows nothing;
// every update that changes a pixel, and every overload update, still does.
TEST(NeedleRedraw, OnlyChangedPicturesAreDrawnAndShown) {
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(METER, 497, 3), 0);
    RefMeter model(497, 3);
    int64_t shown = MemoryCanvasPresentCount(METER);
    for (int i = 0; i < 5; ++i) {
        SetMeterValue(METER, 0);  // resting: same tip, same picture
        model.Update(0);
    }
    EXPECT_EQ(MemoryCanvasPresentCount(METER), shown);

    for (int i = 0; i < 8; ++i) {
        SetMeterValue(METER, 40);  // the average climbs: every update moves the tip
        model.Update(40);
        EXPECT_EQ(MemoryCanvasPresentCount(METER), ++shown);
    }
    for (int i = 0; i < 4; ++i) {
        SetMeterValue(METER, 40);  // settled
        model.Update(40);
    }
    EXPECT_EQ(MemoryCanvasPresentCount(METER), shown);

    for (int i = 0; i < 16; ++i) {
        SetMeterValue(METER, i == 0 ? 101.0f : 40.0f);
        model.Update(i == 0 ? 101.0f : 40.0f);
    }
    // 15 updates with the disc, the one that takes it away, and tip moves.
    EXPECT_GE(MemoryCanvasPresentCount(METER), shown + 16);
    std::string difference;
    EXPECT_TRUE(SamePicture(*MemoryCanvasPicture(METER), model.Picture(), &difference))
        << difference;
}

// A meter nobody can see draws nothing while its state goes on; seen again,
// its first update, or a redraw when no update comes, shows the state as it
// stands, pixel for pixel, and the updates after it go on from there.
TEST(NeedleRedraw, AHiddenMeterWaitsAndThenShowsTheCurrentState) {
    for (bool updateComes : {true, false}) {
        SCOPED_TRACE(updateComes ? "an update comes" : "no update comes");
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(METER, 497, 3), 0);
        RefMeter model(497, 3);
        SetMemoryCanvasShown(METER, false);
        const int64_t shown = MemoryCanvasPresentCount(METER);
        // The overload light lit and gone out again unseen.
        for (int update = 0; update < 18; ++update) {
            const float reading = update == 0 ? 40.0f : update == 1 ? 101.0f : 60.0f;
            SetMeterValue(METER, reading);
            model.Update(reading);
        }
        EXPECT_EQ(MemoryCanvasPresentCount(METER), shown);
        SetMemoryCanvasShown(METER, true);
        if (updateComes) {
            SetMeterValue(METER, 60);
            model.Update(60);
        } else {
            RedrawMeter(METER);
        }
        std::string difference;
        EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(METER), model.Picture(), &difference))
            << difference;
        // The next update takes the tip away from where that picture had it.
        SetMeterValue(METER, 10);
        model.Update(10);
        EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(METER), model.Picture(), &difference))
            << "moving on: " << difference;
    }
}

// A resting meter nobody sees counts as settled, so the analysis may rest:
// its picture waits for CANVAS_SHOWN, not for an update.
TEST(NeedleRedraw, AHiddenRestingMeterCountsAsSettled) {
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(METER, 497, 3), 0);
    SetMemoryCanvasShown(METER, false);
    for (int i = 0; i < 10; ++i) SetMeterValue(METER, 60);
    EXPECT_TRUE(MeterSettledAt(METER, 60));
    // Seen again, its picture is out of date until drawn.
    SetMemoryCanvasShown(METER, true);
    EXPECT_FALSE(MeterSettledAt(METER, 60));
}

}  // namespace

namespace {

// Updates draw and show only the square around the old and the new marks;
// what the canvas shows must still be the whole picture, every time.
TEST(NeedleRedraw, TheShownPartsAddUpToTheWholePicture) {
    for (int flags : {3, 0, 12, 14}) {
        SCOPED_TRACE(testing::Message() << "flags " << flags);
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(METER, 497, flags), 0);
        RefMeter model(497, flags);
        uint32_t noise = 7;
        for (int update = 0; update < 300; ++update) {
            noise = noise * 1103515245u + 12345u;
            float reading = update % 50 == 17 ? 101.0f : static_cast<float>((noise >> 16) % 100);
            SetMeterValue(METER, reading);
            model.Update(reading);
            std::string difference;
            ASSERT_TRUE(SamePicture(*MemoryCanvasScreen(METER), model.Picture(), &difference))
                << "update " << update << ": " << difference;
        }
    }
}

}  // namespace
