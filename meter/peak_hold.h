// Peak hold: the highest single reading of the last 2 seconds, and the peak
// sample that gave it, shown as a mark across the scale band and as its
// level in dBFS under the middle of the dial.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "draw/primitives.h"

// How long a held peak stands before it falls to the highest of the
// readings that came after it.
constexpr std::chrono::milliseconds PEAK_HOLD_TIME{2000};

// Magenta: apart from the grey band, the green tip and track and the red
// overload light, also for eyes that tell red from green poorly.
constexpr uint32_t PEAK_HOLD_COLOUR = RGB(255, 64, 255);

struct PeakHoldState {
    bool holding = false;                           // false until the first reading
    float reading = 0;                              // the held reading, 0..101
    int32_t peak = 0;                               // its peak sample magnitude, 0..32768
    std::chrono::steady_clock::time_point since{};  // when it was taken
    // The highest reading since then, which the hold falls to.
    bool laterSeen = false;
    float laterReading = 0;
    int32_t laterPeak = 0;
};

// Takes one reading with its peak sample at `now`: a peak at least as high
// as the held one is held from now on; PEAK_HOLD_TIME after the held one was
// taken, the hold falls to the highest reading since (this one included).
void TakePeak(PeakHoldState& hold, float reading, int32_t peak,
              std::chrono::steady_clock::time_point now);

// The peak sample a reading stands for when no sample came with it: the
// inverse of reading = peak / 32767 x 101.
int32_t PeakOfReading(float reading);

// The level of a peak sample above 0 in tenths of a dB, halves away from
// zero, as PeakHoldText writes it: -60 for 16422, 0 for 32767 and 32768.
long PeakLevelTenths(int32_t peak);

// The level of a peak sample in dBFS with one decimal and the unit:
// "-6.0 dB" for 16422, "0.0 dB" for 32767 and 32768, "-inf dB" for 0.
std::string PeakHoldText(int32_t peak);
