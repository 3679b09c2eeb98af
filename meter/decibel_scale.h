// The decibel scale: where the needle stands on its 0..100 arc for a peak
// when the meter reads in decibels, 60 dB across the arc, so that quiet
// sound moves the needle as far as a level meter's user expects.
#pragma once

#include <cstdint>

// The place of a level of `dbfs` on the decibel scale: 100 + 100 x dbfs / 60
// from -60 dBFS to 0 dBFS, 0 below -60 dBFS, 100 above 0 dBFS.
float DecibelScaleValue(double dbfs);

// The level of a peak sample magnitude (0..32768) in dBFS:
// 20 x log10(peak / 32767), minus infinity for silence.
double PeakLevel(int32_t peak);

// The place of a peak sample magnitude on the scale (of its PeakLevel); 0
// for silence.
float DecibelPosition(int32_t peak);
