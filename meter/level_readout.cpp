#include "meter/level_readout.h"

#include <algorithm>

#include "meter/peak_hold.h"

void TakeReadoutPeak(LevelReadoutState& readout, int32_t peak,
                     std::chrono::steady_clock::time_point now) {
    if (!readout.started) {
        readout = LevelReadoutState{true, peak, -1, now, true};
        return;
    }
    if (!readout.timed) {
        readout.since = now;
        readout.timed = true;
    }
    readout.pending = std::max(readout.pending, peak);
    if (now - readout.since >= READOUT_PERIOD) RefreshReadout(readout, now);
}

void StartReadout(LevelReadoutState& readout, int32_t peak) {
    readout = LevelReadoutState{true, peak, -1, {}, false};
}

void RefreshReadout(LevelReadoutState& readout, std::chrono::steady_clock::time_point now) {
    if (readout.pending >= 0) readout.peak = readout.pending;
    readout.pending = -1;
    readout.since = now;
    readout.timed = true;
}

std::string ReadoutText(int32_t peak, bool over) {
    return over ? "OVER" : PeakHoldText(peak);
}
