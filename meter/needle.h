// Needle update: clamp, overload, moving average and redraw of one meter.
#pragma once

#include <cstdint>

#include "meter/dial_face.h"

constexpr uint32_t OVERLOAD_COLOUR = 0x0A0AFF;  // RGB(255, 10, 10)

int SetMeterValue(int64_t number, float value);
int ResetMeterSmoothing(int64_t number, int64_t count);

// Draws the whole picture of the meter again as its last update left it
// (needle, overload light), without taking a reading. For a meter whose
// canvas or dial changed.
int RedrawMeter(int64_t number);

// Where the needle tip of the meter in a slot stands for an averaged reading
// (0..100 over -45..+45 degrees).
ScalePoint NeedleTip(int64_t slot, float average);

// Whether another SetMeterValue with this reading would leave the picture as
// it is: every averaged reading already equals it and no overload light is
// counting down. False for a number without a meter.
bool MeterSettledAt(int64_t number, float value);
