// Needle update: clamp, overload, moving average and redraw of one meter.
#pragma once

#include <chrono>
#include <cstdint>

#include "draw/canvas.h"
#include "meter/scale_geometry.h"

constexpr uint32_t OVERLOAD_COLOUR = 0x0A0AFF;  // RGB(255, 10, 10)

int SetMeterValue(int64_t number, float value);

// SetMeterValue with the peak sample magnitude (0..32768) that gave the
// reading, taken at `now`: the held peak shows the level of its own sample,
// and falls on time. SetMeterValue stands in a sample for its reading and
// takes the clock's time.
int SetMeterReading(int64_t number, float value, int32_t peakSample,
                    std::chrono::steady_clock::time_point now);
int ResetMeterSmoothing(int64_t number, int64_t count);

// Draws the whole picture of the meter again as its last update left it
// (needle, overload light), without taking a reading. For a meter whose
// canvas or dial changed.
int RedrawMeter(int64_t number);
// Draws and shows only `square` of the picture again, as the record says it
// is shown: for a change that touches nothing else. The whole picture for a
// meter whose picture waits to be drawn.
void RedrawMeterSquare(int64_t number, const PictureRect& square);

// Where the needle tip of the meter in a slot stands for an averaged reading
// (0..100 over -45..+45 degrees).
ScalePoint NeedleTip(int64_t slot, float average);

// Whether another SetMeterValue with this reading would leave the picture as
// it is: every averaged reading already equals it and no overload light is
// counting down. False for a number without a meter.
bool MeterSettledAt(int64_t number, float value);
// The same for a reading that came with this peak sample, which places the
// needle on the decibel scale.
bool MeterSettledAt(int64_t number, float value, int32_t peakSample);

// Whether anyone can see the meter's picture now (its canvas is shown).
bool MeterSeen(int64_t number);

// Whether the meter's last update left its overload light lit over the tip
// (the readout then says "OVER"), seen or not. False for a number without a
// meter. Same lock as the updates.
bool MeterOverloadLit(int64_t number);

// Works the smoothing ring of the meter in a slot out again for the scale
// the meter now has, from the readings and peaks of the updates it holds,
// as if the scale had been chosen before them; its averaged place with it.
void PlaceRingOnScale(int64_t slot);
