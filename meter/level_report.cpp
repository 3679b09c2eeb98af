#include "meter/level_report.h"

#include <algorithm>

#include "meter/peak_hold.h"

LevelReport ReportLevel(int32_t peak, bool over) {
    LevelReport report;
    if (peak > 0) {
        report.value = std::clamp(static_cast<double>(PeakLevelTenths(peak)) / 10.0,
                                  REPORTED_LEVEL_MINIMUM, REPORTED_LEVEL_MAXIMUM);
    }
    report.text = over ? "over" : PeakHoldText(peak);
    return report;
}

bool TakeLevelReport(LevelReportState& state, int32_t peak, bool over,
                     std::chrono::steady_clock::time_point now) {
    const bool first = !state.readout.started;
    state.overSince = state.overSince || over;
    TakeReadoutPeak(state.readout, std::max(peak, 0), now);
    // A refresh leaves no peak waiting; any other update leaves its own.
    if (!first && state.readout.pending >= 0) return false;
    state.heldPeak = std::max(state.heldPeak, state.readout.peak);
    LevelReport report = ReportLevel(state.readout.peak, state.overSince);
    state.overSince = false;
    if (!first && report == state.told) return false;
    state.told = std::move(report);
    return true;
}

bool LevelReportSettled(const LevelReportState& state, int32_t peak) {
    const LevelReport steady = ReportLevel(peak, false);
    return state.readout.started && !state.overSince && state.told == steady &&
           (state.readout.pending < 0 || ReportLevel(state.readout.pending, false) == steady);
}

namespace {

// The readout's text without its unit: "-12.3", "-inf".
std::string Decibels(int32_t peak) {
    std::string text = PeakHoldText(peak);
    const std::string unit = " dB";
    if (text.ends_with(unit)) text.resize(text.size() - unit.size());
    return text;
}

std::string SayChannel(const char* name, LevelReportState& state) {
    std::string said = std::string(name) + " " + Decibels(state.readout.peak) + ", peak " +
                       Decibels(state.heldPeak);
    state.heldPeak = state.readout.peak;
    return said;
}

}  // namespace

std::string SayLevels(LevelReportState& left, LevelReportState& right) {
    return SayChannel("Left", left) + "; " + SayChannel("Right", right);
}
