// What a screen reader is told of a channel's level: the peak in dBFS as a
// value from -60 (silence, and anything quieter) to 0 with one decimal, and
// as the text the level readout writes ("-12.3 dB", "-inf dB"), or "over"
// while the overload light is lit. It keeps the readout's rules, so that a
// reader is never flooded: a report at most every READOUT_PERIOD, each with
// the highest peak since the last one, and "over" when the light was lit at
// any update since.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "meter/level_readout.h"

constexpr double REPORTED_LEVEL_MINIMUM = -60.0;
constexpr double REPORTED_LEVEL_MAXIMUM = 0.0;

struct LevelReport {
    double value = REPORTED_LEVEL_MINIMUM;  // dBFS, in tenths
    std::string text = "-inf dB";
    bool operator==(const LevelReport&) const = default;
};

struct LevelReportState {
    LevelReadoutState readout;  // the peaks, by the readout's rules
    bool overSince = false;     // the light was lit at an update since the last report
    LevelReport told;           // the last report
    int32_t heldPeak = 0;       // the highest peak reported since the levels were last said
};

// The report for a peak sample magnitude (0..32768), with the light lit or out.
LevelReport ReportLevel(int32_t peak, bool over);

// Takes one update's peak and whether the overload light is lit after it, at
// `now`. True when the report changed: at the first update, and after that
// only at a refresh of the readout's rules.
bool TakeLevelReport(LevelReportState& state, int32_t peak, bool over,
                     std::chrono::steady_clock::time_point now);

// Whether updates with this peak and the light out would leave the report
// as it is: else the updates must go on until it has changed.
bool LevelReportSettled(const LevelReportState& state, int32_t peak);

// What the reader says when asked for the levels: each channel's last
// reported level and its held one, in dBFS with one decimal ("-inf" in
// silence): "Left -12.3, peak -3.1; Right -6.0, peak -1.0". The held levels
// start again from the current ones, so that the next time says the
// highest since this one.
std::string SayLevels(LevelReportState& left, LevelReportState& right);
