// The decibel scale: the law that places the needle, the overload light at
// the very peaks of the linear scale, whole pictures against the tests' own
// model, the marks on the needle's rays and a change of scale at once.
#include "meter/decibel_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "meter/meter_aids.h"
#include "meter/scale_marks.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

constexpr int64_t METER = 33;  // not 3 or 4, which a start-up test may leave updating
constexpr int64_t LINEAR_METER = 34;
constexpr double PI = 3.14159265358979323846;

class DecibelScale : public ::testing::Test {
protected:
    void SetUp() override { ResetDrawingWorld(); }
    static MeterRecord& Meter(int64_t number = METER) { return MeterAt(MeterSlot(number)); }
    static MeterAids Decibel() { return MeterAids{false, false, false, true}; }
};

TEST_F(DecibelScale, TheLawPlacesSixtyDecibelsAcrossTheArc) {
    EXPECT_FLOAT_EQ(DecibelScaleValue(-6), 90.0f);
    EXPECT_FLOAT_EQ(DecibelScaleValue(-20), 100.0f - 100.0f / 3);
    EXPECT_FLOAT_EQ(DecibelScaleValue(-40), 100.0f / 3);
    EXPECT_EQ(DecibelScaleValue(-60), 0.0f);
    EXPECT_EQ(DecibelScaleValue(-75), 0.0f);
    EXPECT_EQ(DecibelPosition(0), 0.0f);   // silence
    EXPECT_EQ(DecibelPosition(32), 0.0f);  // -60.2 dBFS
    EXPECT_NEAR(DecibelPosition(33), 0.1, 0.01);
    EXPECT_NEAR(DecibelPosition(3277), 66.67, 0.01);   // -20.0 dBFS
    EXPECT_NEAR(DecibelPosition(16384), 89.97, 0.01);  // -6.02 dBFS
    EXPECT_EQ(DecibelPosition(32767), 100.0f);         // full scale
    EXPECT_EQ(DecibelPosition(32768), 100.0f);
}

// Around full scale, peak by peak, the light lights on one scale exactly
// when it lights on the other.
TEST_F(DecibelScale, TheOverloadLightLightsAtTheSamePeaksOnBothScales) {
    // Without the overload disc (flag 2), whose 4 ms pauses would add up here.
    ASSERT_NE(StartMeter(METER, 497, 0), 0);
    ASSERT_NE(StartMeter(LINEAR_METER, 497, 0), 0);
    ASSERT_TRUE(SetMeterAids(METER, Decibel()));
    int lit = 0;
    for (int32_t peak = 32000; peak <= 32768; ++peak) {
        const auto reading = static_cast<float>(std::nearbyint(peak / 32767.0 * 101));
        for (int64_t meter : {METER, LINEAR_METER}) {
            Meter(meter).overloadHold = 0;
            SetMeterReading(meter, reading, peak, std::chrono::steady_clock::now());
        }
        ASSERT_EQ(Meter(METER).overloadHold, Meter(LINEAR_METER).overloadHold) << peak;
        lit += Meter(METER).overloadHold != 0;
    }
    EXPECT_EQ(lit, 32768 - 32281 + 1);
}

// Pictures against the model's own law, settling on a steady level as on
// the linear scale; the scale changed back and forth applies at once, as if
// it had been chosen before the readings.
TEST_F(DecibelScale, PicturesFollowTheModelAndAChangeAppliesAtOnce) {
    ASSERT_NE(StartMeter(METER), 0);
    ASSERT_TRUE(SetMeterAids(METER, Decibel()));
    RefMeter model(497, 3);
    model.SetDecibelScale(true);
    const std::pair<float, int> readings[] = {{51, 16384}, {10, 3277}, {0, 0},     {101, 32767},
                                              {0, 20},     {3, 1000},  {76, 24576}};
    std::string difference;
    for (auto [reading, peak] : readings) {
        SetMeterReading(METER, reading, peak, std::chrono::steady_clock::now());
        ASSERT_TRUE(
            SamePicture(*MemoryCanvasPicture(METER), model.Update(reading, peak), &difference))
            << reading << ": " << difference;
    }
    // Past the overload light's 15 updates, and 8 of the same level.
    for (int i = 0; i < 15; ++i) {
        SetMeterReading(METER, 10, 3277, std::chrono::steady_clock::now());
        model.Update(10, 3277);
    }
    EXPECT_TRUE(MeterSettledAt(METER, 10, 3277));
    EXPECT_FALSE(MeterSettledAt(METER, 10, 3300));
    EXPECT_EQ(NeedleTip(MeterSlot(METER), Meter().shownAverage).x,
              NeedleTip(MeterSlot(METER), DecibelPosition(3277)).x);

    RefMeter linear(497, 3);
    for (auto [reading, peak] : readings) linear.Update(reading, peak);
    for (int i = 0; i < 15; ++i) linear.Update(10, 3277);
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{}));
    EXPECT_TRUE(SamePicture(*MemoryCanvasPicture(METER), linear.Picture(), &difference))
        << difference;
    SetMeterReading(METER, 60, 19466, std::chrono::steady_clock::now());
    model.Update(60, 19466);
    ASSERT_TRUE(SetMeterAids(METER, Decibel()));
    EXPECT_TRUE(SamePicture(*MemoryCanvasPicture(METER), model.Picture(), &difference))
        << difference;
}

// Every 6 dB from 0 down to -60, each tick on the ray the needle takes for
// its level.
TEST_F(DecibelScale, TheMarksStandEverySixDecibelsOnTheNeedlesRays) {
    ASSERT_NE(StartMeter(METER), 0);
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{true, false, false, true}));
    const int64_t slot = MeterSlot(METER);
    const MeterRecord& meter = Meter();
    auto degrees = [&](ScalePoint p) {
        return std::atan2(p.x - meter.pivotX, meter.imageHeight - p.y) * 180 / PI;
    };
    // Within the rounding of a point to whole pixels, near the pivot's side.
    const double pixel = 0.75 / (meter.needleRadius - 40) * 180 / PI;
    int dbfs = 0;
    for (const ScaleMark& mark : ScaleMarksOf(slot)) {
        EXPECT_EQ(mark.dbfs, dbfs);
        const double needle = (100 + 100 * dbfs / 60.0) * 0.9 - 45;
        const ScaleTick tick = ScaleTickOf(slot, mark);
        EXPECT_NEAR(degrees(tick.outer), needle, pixel) << dbfs;
        EXPECT_NEAR(degrees(tick.inner), needle, pixel) << dbfs;
        dbfs -= 6;
    }
    EXPECT_EQ(dbfs, -66);
}

}  // namespace
