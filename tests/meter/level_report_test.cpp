// What a screen reader is told of a level: its value and text, and no more
// often than the level readout would change.
#include "meter/level_report.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

TEST(LevelReport, ValueInTenthsFromMinus60To0AndTheReadoutsText) {
    EXPECT_EQ(ReportLevel(16422, false), (LevelReport{-6.0, "-6.0 dB"}));
    EXPECT_EQ(ReportLevel(7954, false), (LevelReport{-12.3, "-12.3 dB"}));
    EXPECT_EQ(ReportLevel(32768, false), (LevelReport{0.0, "0.0 dB"}));
    EXPECT_EQ(ReportLevel(0, false), (LevelReport{-60.0, "-inf dB"}));
    EXPECT_EQ(ReportLevel(10, false), (LevelReport{-60.0, "-70.3 dB"})) << "below the range";
    EXPECT_EQ(ReportLevel(32767, true), (LevelReport{0.0, "over"}));
    EXPECT_EQ(ReportLevel(-5, false), (LevelReport{-60.0, "-inf dB"}));
}

// Every 10 ms a peak: the first is told at once; after that a report comes
// at most every 250 ms, with the highest peak since the last and "over" if
// the light was lit at any update since, and only when it says something new.
TEST(LevelReport, ToldAtMostEveryPeriodWithTheHighestSinceTheLast) {
    LevelReportState state;
    const Clock::time_point t0 = Clock::now();
    std::vector<std::pair<int, LevelReport>> told;
    auto update = [&](int ms, int32_t peak, bool over) {
        if (TakeLevelReport(state, peak, over, t0 + std::chrono::milliseconds(ms))) {
            told.emplace_back(ms, state.told);
        }
    };
    for (int ms = 0; ms < 1000; ms += 10) {
        const bool over = ms == 600;
        update(ms, ms == 100 ? 16422 : ms == 600 ? 32767 : 1000, over);
    }
    const std::vector<std::pair<int, LevelReport>> expected = {
        {0, {-30.3, "-30.3 dB"}},
        {250, {-6.0, "-6.0 dB"}},
        {500, {-30.3, "-30.3 dB"}},
        {750, {0.0, "over"}},
    };
    EXPECT_EQ(told, expected);
    EXPECT_FALSE(LevelReportSettled(state, 1000)) << "the full-scale peak is yet to fall";
    for (int ms = 1000; ms <= 1250; ms += 10) update(ms, 1000, false);
    EXPECT_EQ(told.back(), (std::pair<int, LevelReport>{1000, {-30.3, "-30.3 dB"}}));
    EXPECT_TRUE(LevelReportSettled(state, 1000));
    EXPECT_FALSE(LevelReportSettled(state, 0)) << "silence is yet to be told";
}

// Asked for the levels: the last reported and the highest reported since
// the last time asked, the held one starting again from the current.
TEST(LevelReport, SaidWithTheHeldLevelSinceLastSaid) {
    LevelReportState left, right;
    EXPECT_EQ(SayLevels(left, right), "Left -inf, peak -inf; Right -inf, peak -inf");
    const Clock::time_point t0 = Clock::now();
    auto update = [&](int ms, int32_t leftPeak, int32_t rightPeak) {
        const auto now = t0 + std::chrono::milliseconds(ms);
        TakeLevelReport(left, leftPeak, false, now);
        TakeLevelReport(right, rightPeak, false, now);
    };
    update(0, 23197, 16422);   // -3.0, -6.0
    update(300, 7954, 16422);  // -12.3
    EXPECT_EQ(SayLevels(left, right), "Left -12.3, peak -3.0; Right -6.0, peak -6.0");
    EXPECT_EQ(SayLevels(left, right), "Left -12.3, peak -12.3; Right -6.0, peak -6.0");
}

}  // namespace
