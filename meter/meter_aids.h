// Reading aids a user may turn on for a meter: scale marks in the dial, a
// peak hold with its level, an overload light that stays on until it is
// cleared, the decibel scale and a readout of the level. All off, a meter
// draws exactly as it does without them.
#pragma once

#include <cstdint>

struct MeterAids {
    bool scaleMarks = false;
    bool peakHold = false;
    bool holdOverload = false;
    bool decibelScale = false;
    bool levelReadout = false;
};

// Turns the aids of the meter with this control number on or off and, if any
// changed, redraws it: new marks or a new scale with marks remake its dial,
// a new scale places the needle's last readings on it at once, a hold turned
// on starts at the last reading, as does a readout. False if there is no such meter, or if its dial
// could not be remade (the meter keeps the old one). Call on the main thread with MeterUpdateLock
// held once the worker threads run.
bool SetMeterAids(int64_t number, const MeterAids& aids);

// Puts out the meter's overload light, held or counting, and redraws it.
// Same thread and lock as SetMeterAids.
void ClearMeterOverload(int64_t number);

// For reference pictures: stands the hold at `reading` with `peakSample`,
// and the held overload light on, as updates would have left them, and
// redraws the meter. Each needs its aid turned on.
void HoldMeterPeak(int64_t number, float reading, int32_t peakSample);
void LatchMeterOverload(int64_t number);
// The readout refreshed now, as at the end of its period, and the meter
// redrawn.
void RefreshMeterReadout(int64_t number);
