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
