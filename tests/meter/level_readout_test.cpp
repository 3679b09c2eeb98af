// The level readout: the highest peak of each period, "-inf dB" for silence,
// "OVER" while the light is lit, and the pictures its changes leave.
#include "meter/level_readout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "meter/meter_aids.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

constexpr int64_t METER = 43;  // not 3 or 4, which a start-up test may leave updating

using Clock = std::chrono::steady_clock;

// Every 10 ms a peak; each period of 250 ms shows the highest of the one
// before, and the meter waits for the refresh that shows a lower one.
TEST(LevelReadout, EachRefreshShowsTheHighestPeakOfItsPeriod) {
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(METER), 0);
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{false, false, false, false, true}));
    const MeterRecord& meter = MeterAt(MeterSlot(METER));
    EXPECT_EQ(meter.shownReadout.text, "-inf dB");
    const Clock::time_point t0 = Clock::now();
    auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
    auto check = [&](int ms) {
        // What the changed squares left is what a whole drawing gives.
        const std::vector<uint32_t> drawn = PictureColours(*MemoryCanvasPicture(METER));
        RedrawMeter(METER);
        ASSERT_TRUE(PictureColours(*MemoryCanvasPicture(METER)) == drawn) << ms << " ms";
    };
    for (int ms = 0; ms < 500; ms += 10) {
        const int32_t peak = ms == 270 ? 16384 : ms == 100 ? 3277 : 1000;
        SetMeterReading(METER, std::nearbyint(peak / 32767.0f * 101), peak, at(ms));
        if (ms == 240 || ms == 250 || ms == 490) {
            EXPECT_EQ(meter.shownReadout.text, ms == 240 ? "-inf dB" : "-20.0 dB")
                << ms << " ms: the highest peak of the period before";
        }
        if (ms % 250 == 0) check(ms);
    }
    SetMeterReading(METER, 3, 1000, at(500));
    EXPECT_EQ(meter.shownReadout.text, "-6.0 dB");
    EXPECT_FALSE(MeterSettledAt(METER, 3, 1000)) << "a lower peak is yet to show";
    for (int ms = 510; ms <= 750; ms += 10) SetMeterReading(METER, 3, 1000, at(ms));
    EXPECT_EQ(meter.shownReadout.text, "-30.3 dB");
    EXPECT_TRUE(MeterSettledAt(METER, 3, 1000));
    check(750);

    // "OVER" from the update that lights the light to the one that puts it
    // out; then the number again, whose period saw the full-scale peak.
    SetMeterReading(METER, 101, 32767, at(760));
    EXPECT_EQ(meter.shownReadout.text, "OVER");
    for (int ms = 770; ms <= 900; ms += 10) SetMeterReading(METER, 3, 1000, at(ms));
    EXPECT_EQ(meter.shownReadout.text, "OVER");
    check(900);
    SetMeterReading(METER, 3, 1000, at(910));
    EXPECT_EQ(meter.shownReadout.text, "-30.3 dB");
    check(910);
    for (int ms = 920; ms <= 1000; ms += 10) SetMeterReading(METER, 3, 1000, at(ms));
    EXPECT_EQ(meter.shownReadout.text, "0.0 dB");
}

// A silent period after a loud one: silence is a reading too, and shows.
TEST(LevelReadout, APeriodOfSilenceShowsMinusInfinity) {
    LevelReadoutState readout;
    const Clock::time_point t0 = Clock::now();
    TakeReadoutPeak(readout, 16384, t0);
    EXPECT_EQ(ReadoutText(readout.peak, false), "-6.0 dB");
    for (int ms = 10; ms <= 250; ms += 10) {
        TakeReadoutPeak(readout, 0, t0 + std::chrono::milliseconds(ms));
    }
    EXPECT_EQ(ReadoutText(readout.peak, false), "-inf dB");
}

}  // namespace
