// The meters' reading aids: scale marks where the needle points for each
// level, the peak hold with its level, and the overload light held until it
// is cleared (a lamp once its 15 updates are over). Pictures go through the
// engine on the headless canvas.
#include "app/reading_aids.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/settings.h"
#include "meter/decibel_scale.h"
#include "meter/meter_aids.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "meter/overload_lamp.h"
#include "meter/peak_hold.h"
#include "meter/scale_marks.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

// Not 3 or 4, which a start-up test in this binary may leave updating.
constexpr int64_t METER = 23;
constexpr uint32_t LIGHT_GREY = 0xE0E0E0;
constexpr uint32_t RED = 0x0A0AFF;
constexpr uint32_t MAGENTA = 0xFF40FF;  // red 255, green 64, blue 255
constexpr double PI = 3.14159265358979323846;

using Clock = std::chrono::steady_clock;

int CountNear(int cx, int cy, int reach, uint32_t colour) {
    const PixelView& picture = *MemoryCanvasPicture(METER);
    int count = 0;
    for (int y = std::max(cy - reach, 0); y <= std::min(cy + reach, picture.height - 1); ++y)
        for (int x = std::max(cx - reach, 0); x <= std::min(cx + reach, picture.width - 1); ++x)
            count += PixelColour(picture, x, y) == colour;
    return count;
}

class ReadingAids : public ::testing::Test {
protected:
    void SetUp() override { ResetDrawingWorld(); }
    static MeterRecord& Meter() { return MeterAt(MeterSlot(METER)); }
};

// Each tick stands on the ray the needle takes for its level: -6 dBFS at
// 50.6, and 0 dBFS, beyond full scale, at the scale's end (100, +45 degrees).
TEST_F(ReadingAids, EachTickStandsWhereTheNeedlePointsForItsLevel) {
    EXPECT_NEAR(ScaleValueOfDbfs(-6), 50.6, 0.05);
    EXPECT_NEAR(ScaleValueOfDbfs(-20), 10.1, 0.05);
    EXPECT_EQ(ScaleValueOfDbfs(0), 100.0f);
    for (int width : {497, 745}) {
        SCOPED_TRACE(width);
        ResetDrawingWorld();
        ASSERT_NE(StartMeter(METER, width), 0);
        const MeterRecord& meter = Meter();
        auto degrees = [&](ScalePoint p) {
            return std::atan2(p.x - meter.pivotX, meter.imageHeight - p.y) * 180 / PI;
        };
        auto sixDb = std::find_if(std::begin(SCALE_MARKS), std::end(SCALE_MARKS),
                                  [](const ScaleMark& m) { return m.dbfs == -6; });
        const ScaleTick tick = ScaleTickOf(MeterSlot(METER), *sixDb);
        const double needle = degrees(NeedleTip(MeterSlot(METER), 50.6f));
        // Within the rounding of the points to whole pixels.
        EXPECT_NEAR(degrees(tick.outer), needle, 0.5 / (meter.needleRadius - 30) * 180 / PI);
        EXPECT_NEAR(degrees(tick.inner), needle, 0.5 / (meter.needleRadius - 30) * 180 / PI);
        const ScaleTick end = ScaleTickOf(MeterSlot(METER), SCALE_MARKS[0]);
        EXPECT_NEAR(degrees(end.outer), 45.0, 0.5 / (meter.needleRadius - 30) * 180 / PI);
    }
}

// Marks add light ticks and labels inside the band and nothing else; taken
// away, the picture is the plain one again, pixel for pixel.
TEST_F(ReadingAids, ScaleMarksDrawOnlyInsideTheBandAndGoAwayWhole) {
    ASSERT_NE(StartMeter(METER), 0);
    const RefMeter plain(497, 3);
    const MeterRecord& meter = Meter();
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{true, false, false}));
    const PixelView& picture = *MemoryCanvasPicture(METER);
    int differences = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (PixelColour(picture, x, y) == plain.Picture().At(x, y)) continue;
            ++differences;
            EXPECT_EQ(PixelColour(picture, x, y), LIGHT_GREY) << x << "," << y;
            const double r = std::hypot(x - meter.pivotX, y - meter.imageHeight);
            EXPECT_LT(r, meter.needleRadius - 12) << x << "," << y;
            EXPECT_GT(r, meter.needleRadius - 60) << x << "," << y;
        }
    }
    EXPECT_GT(differences, 200);
    for (float reading : {30.0f, 30.0f, 101.0f, 60.0f}) SetMeterValue(METER, reading);
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{}));
    RefMeter model(497, 3);
    for (float reading : {30.0f, 30.0f, 101.0f, 60.0f}) model.Update(reading);
    std::string difference;
    EXPECT_TRUE(SamePicture(picture, model.Picture(), &difference)) << difference;
}

// At 96, 120 and 144 DPI, on both scales, every tick has its label, and the
// unit stands under the middle: each label whole inside the picture, clear
// of the others, drawn, and farther than 21 pixels from the arc, so that no
// tip disc or overload light on it ever covers a label.
TEST_F(ReadingAids, EveryTickIsLabelledClearOfTheDiscsAndOfTheOtherLabels) {
    for (auto [controlWidth, controlHeight] : {std::pair{0, 0}, {621, 176}, {745, 211}}) {
        for (bool decibel : {false, true}) {
            SCOPED_TRACE(testing::Message() << controlWidth << " wide, decibel " << decibel);
            ResetDrawingWorld();
            SetMemoryCanvasWindowSize(controlWidth, controlHeight);
            ASSERT_NE(StartMeter(METER), 0);
            ASSERT_TRUE(SetMeterAids(METER, MeterAids{true, false, false, decibel}));
            const MeterRecord& meter = Meter();
            const std::vector<ScaleLabel> labels = ScaleLabelsOf(MeterSlot(METER));
            EXPECT_EQ(labels.size(), ScaleMarksOf(MeterSlot(METER)).size() + 1);
            for (size_t i = 0; i < labels.size(); ++i) {
                const PictureRect& r = labels[i].rect;
                SCOPED_TRACE(labels[i].text);
                EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= meter.imageWidth &&
                            r.bottom <= meter.pictureHeight);
                for (int x : {r.left, r.right - 1}) {
                    for (int y : {r.top, r.bottom - 1}) {
                        EXPECT_LE(std::hypot(x - meter.pivotX, y - meter.imageHeight),
                                  meter.needleRadius - 22);
                    }
                }
                for (size_t j = 0; j < i; ++j) {
                    const PictureRect& o = labels[j].rect;
                    EXPECT_FALSE(r.left < o.right && o.left < r.right && r.top < o.bottom &&
                                 o.top < r.bottom)
                        << "meets " << labels[j].text;
                }
                EXPECT_GT(CountNear((r.left + r.right) / 2, (r.top + r.bottom) / 2,
                                    (r.right - r.left) / 2, LIGHT_GREY),
                          0);
            }
        }
    }
    SetMemoryCanvasWindowSize(0, 0);
}

TEST_F(ReadingAids, TheHeldPeakShowsItsOwnSamplesLevel) {
    EXPECT_EQ(PeakHoldText(16422), "-6.0 dB");
    EXPECT_EQ(PeakHoldText(32767), "0.0 dB");
    EXPECT_EQ(PeakHoldText(32768), "0.0 dB");
    EXPECT_EQ(PeakHoldText(0), "-inf dB");
    EXPECT_EQ(PeakHoldText(1), "-90.3 dB");
    EXPECT_EQ(PeakHoldText(3277), "-20.0 dB");
}

// The mark stands at the highest single reading for 2 s, then falls to the
// highest of the readings that came after it; the meter is not settled
// while a fall is still to come. Every picture shown through the changed
// squares is the one a full drawing gives.
TEST_F(ReadingAids, TheHoldFallsAfterTwoSecondsToTheHighestSince) {
    ASSERT_NE(StartMeter(METER), 0);
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{false, true, false}));
    const int64_t slot = MeterSlot(METER);
    const MeterRecord& meter = Meter();
    auto markAt = [&](float value) {
        ScalePoint p = ScalePointForValue(slot, value, static_cast<double>(meter.needleRadius));
        return CountNear(p.x, p.y, 2, MAGENTA) > 0;
    };
    auto checkWhole = [&](int step) {
        const std::vector<uint32_t> drawn = PictureColours(*MemoryCanvasPicture(METER));
        ASSERT_TRUE(PictureColours(*MemoryCanvasScreen(METER)) == drawn) << "step " << step;
        RedrawMeter(METER);
        ASSERT_TRUE(PictureColours(*MemoryCanvasPicture(METER)) == drawn) << "step " << step;
    };
    const Clock::time_point t0 = Clock::now();
    auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
    SetMeterReading(METER, 90, 29200, at(0));
    for (int ms = 10; ms < 2000; ms += 10) {
        SetMeterReading(METER, ms == 500 ? 40.0f : 20.0f, ms == 500 ? 12977 : 6489, at(ms));
        if (ms % 490 == 0) checkWhole(ms);
    }
    EXPECT_TRUE(markAt(90));
    EXPECT_FALSE(MeterSettledAt(METER, 20));
    SetMeterReading(METER, 20, 6489, at(2000));
    EXPECT_FALSE(markAt(90));
    EXPECT_TRUE(markAt(40));
    EXPECT_EQ(meter.hold.peak, 12977);
    checkWhole(2000);
    for (int ms = 2010; ms <= 4000; ms += 10) SetMeterReading(METER, 20, 6489, at(ms));
    EXPECT_TRUE(markAt(20));
    EXPECT_TRUE(MeterSettledAt(METER, 20));
    // A new peak that reads the same changes nothing to wait for.
    SetMeterReading(METER, 20, 6490, at(4010));
    EXPECT_TRUE(MeterSettledAt(METER, 20));
    checkWhole(4000);
}

// The hold mark is a bar 3 pixels wide at 96 DPI, 5 at 144 DPI and 12 at
// 384, 30 long, that shows whole over the tip disc and the overload light
// where both stand at either end of the band.
TEST_F(ReadingAids, TheHoldMarkShowsWholeAtBothEndsAndGrowsWithTheScale) {
    for (auto [width, barWidth] : {std::pair{497, 3}, std::pair{745, 5}, std::pair{1988, 12}}) {
        for (float reading : {0.0f, 101.0f}) {
            SCOPED_TRACE(testing::Message() << width << " wide, reading " << reading);
            ResetDrawingWorld();
            ASSERT_NE(StartMeter(METER, width), 0);
            ASSERT_TRUE(SetMeterAids(METER, MeterAids{false, true, false}));
            for (int i = 0; i < 8; ++i) SetMeterValue(METER, reading);
            const ScalePoint end = ScalePointForValue(MeterSlot(METER), std::min(reading, 100.0f),
                                                      static_cast<double>(Meter().needleRadius));
            const int count = CountNear(end.x, end.y, 20, MAGENTA);
            EXPECT_GE(count, barWidth * 29);
            EXPECT_LE(count, (barWidth + 1) * 31);
        }
    }
}

// Held, the overload light is the red disc over the tip (and "OVER") for
// its 15 updates, then a red lamp of radius 10 (15 at 144 DPI) 8 (12) pixels
// in from the top right corner, while the tip at rest and the readout show
// the live level: the picture differs from that of a meter never overloaded
// only in the lamp. A new overload counts its 15 updates again; clearing
// leaves the never-overloaded picture. Every change shows through the
// squares the updates present.
TEST_F(ReadingAids, AHeldOverloadLightBecomesALampUntilCleared) {
    struct Case {
        int controlWidth, controlHeight;
        int lampX, lampY, lampRadius;
    };
    for (const Case& c : {Case{0, 0, 474, 18, 10}, Case{745, 211, 713, 27, 15}}) {
        SCOPED_TRACE(c.controlWidth);
        ResetDrawingWorld();
        SetMemoryCanvasWindowSize(c.controlWidth, c.controlHeight);
        constexpr int64_t PLAIN = 24;  // the same meter, never overloaded
        const MeterAids aids{false, false, true, false, true};
        ASSERT_NE(StartMeter(METER), 0);
        ASSERT_NE(StartMeter(PLAIN), 0);
        ASSERT_TRUE(SetMeterAids(METER, aids));
        ASSERT_TRUE(SetMeterAids(PLAIN, aids));
        const Clock::time_point t0 = Clock::now();
        int ms = 0;
        auto update = [&](float reading) {
            const auto at = t0 + std::chrono::milliseconds(ms += 10);
            SetMeterReading(METER, reading, PeakOfReading(reading), at);
            SetMeterReading(PLAIN, 0, 0, at);
        };
        const PixelView& screen = *MemoryCanvasScreen(METER);
        const ScalePoint rest = NeedleTip(MeterSlot(METER), 0);
        // Where the picture differs from the plain one: all of it red and
        // within the lamp; how many pixels.
        auto lampOnly = [&] {
            const PixelView& plain = *MemoryCanvasPicture(PLAIN);
            int differences = 0;
            for (int y = 0; y < screen.height; ++y) {
                for (int x = 0; x < screen.width; ++x) {
                    if (PixelColour(screen, x, y) == PixelColour(plain, x, y)) continue;
                    ++differences;
                    EXPECT_EQ(PixelColour(screen, x, y), RED) << x << "," << y;
                    EXPECT_LE(std::hypot(x - c.lampX, y - c.lampY), c.lampRadius + 0.5)
                        << x << "," << y;
                }
            }
            return differences;
        };
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            update(101);
            for (int i = 1; i < 15; ++i) update(0);
            EXPECT_EQ(PixelColour(screen, rest.x, rest.y), RED) << "the 15th update";
            EXPECT_NE(PixelColour(screen, c.lampX, c.lampY), RED);
            EXPECT_EQ(Meter().shownReadout.text, "OVER");
            for (int i = 0; i < 50; ++i) update(0);  // two readout periods
            EXPECT_EQ(PixelColour(screen, c.lampX, c.lampY), RED);
            EXPECT_EQ(PixelColour(screen, rest.x, rest.y), 0x00FF00u);
            EXPECT_EQ(CountNear(rest.x, rest.y, 21, RED), 0);
            EXPECT_EQ(Meter().shownReadout.text, "-inf dB");
            EXPECT_GT(lampOnly(), 3 * c.lampRadius * c.lampRadius);
            EXPECT_TRUE(MeterSettledAt(METER, 0));
        }
        ClearMeterOverload(METER);
        EXPECT_EQ(lampOnly(), 0);
    }
    SetMemoryCanvasWindowSize(0, 0);
}

// The aids keep their state as they are turned on and off: a held light put
// out by turning its aid off follows the 15-update rule again, the held peak
// survives toggling any aid, and a peak that reaches the held level again
// holds for another 2 s.
TEST_F(ReadingAids, TogglingTheAidsKeepsTheirState) {
    ASSERT_NE(StartMeter(METER), 0);
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{false, true, true}));
    const Clock::time_point t0 = Clock::now();
    auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
    SetMeterReading(METER, 101, 32767, at(0));
    for (int ms = 10; ms <= 300; ms += 10) SetMeterReading(METER, 0, 0, at(ms));
    const ScalePoint rest = NeedleTip(MeterSlot(METER), 0);
    const PictureRect lamp = OverloadLampRect(MeterSlot(METER));
    auto lit = [&] {
        const PixelView& screen = *MemoryCanvasScreen(METER);
        return PixelColour(screen, rest.x, rest.y) == RED ||
               PixelColour(screen, (lamp.left + lamp.right) / 2, (lamp.top + lamp.bottom) / 2) ==
                   RED;
    };
    EXPECT_TRUE(lit());
    for (MeterAids aids : {MeterAids{true, true, true}, MeterAids{false, false, true},
                           MeterAids{false, true, true}, MeterAids{false, true, false}}) {
        ASSERT_TRUE(SetMeterAids(METER, aids));
        EXPECT_EQ(Meter().hold.peak, 32767);
    }
    for (int ms = 310; ms <= 460; ms += 10) SetMeterReading(METER, 0, 0, at(ms));
    EXPECT_FALSE(lit()) << "the light stays on with its aid off";
    EXPECT_TRUE(MeterSettledAt(METER, 0) || Meter().hold.peak == 32767);

    // Reached again at 1.5 s, the held peak stands until 3.5 s.
    SetMeterReading(METER, 101, 32767, at(1500));
    SetMeterReading(METER, 20, 6489, at(3400));
    EXPECT_EQ(Meter().hold.peak, 32767);
    SetMeterReading(METER, 20, 6489, at(3500));
    EXPECT_EQ(Meter().hold.peak, 6489);

    // A new scale places the last reading on it at once, and back again.
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{false, true, false, true}));
    EXPECT_EQ(Meter().value, DecibelPosition(6489));
    ASSERT_TRUE(SetMeterAids(METER, MeterAids{false, true, false, false}));
    EXPECT_EQ(Meter().value, 20.0f);
}

// The labels grow with the meter in quarter steps: at 120 %, 150 % and
// 250 % as the display does.
TEST_F(ReadingAids, TheMarksGrowWithTheMeterInQuarterSteps) {
    EXPECT_EQ(MeterSizeFactor(493), 1.0);
    EXPECT_EQ(MeterSizeFactor(617), 1.25);
    EXPECT_EQ(MeterSizeFactor(615), 1.25);  // just short of the step: the nearest
    EXPECT_EQ(MeterSizeFactor(741), 1.5);
    EXPECT_EQ(MeterSizeFactor(1238), 2.5);
    EXPECT_EQ(MeterSizeFactor(146), 1.0);
}

// A click on a meter puts its held light out under the lock that each
// analysis tick holds, so clicks and ticks never touch the meter at once
// (ThreadSanitizer would stop this test otherwise).
TEST_F(ReadingAids, AClickAndTheTicksTakeTurnsWithTheMeter) {
    ASSERT_NE(StartMeter(LEFT_METER), 0);
    LoadSettingsText("[Vellumtone]\nHoldOverload=1\n");
    ApplyReadingAids();
    std::thread ticks([] {
        for (int i = 0; i < 200; ++i) {
            std::lock_guard<std::mutex> hold(MeterUpdateLock());
            SetMeterValue(LEFT_METER, i % 2 ? 101.0f : 0.0f);
        }
    });
    for (int i = 0; i < 200; ++i) ClickMeter(LEFT_METER);
    ticks.join();
    ClickMeter(LEFT_METER);
    const MeterRecord& meter = MeterAt(MeterSlot(LEFT_METER));
    EXPECT_FALSE(meter.overloadLatched);
    LoadSettingsText("");
}

}  // namespace
