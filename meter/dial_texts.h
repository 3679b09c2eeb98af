// The numbers under the middle of a meter's dial: the level readout (see
// level_readout.h) and, under it, the held peak's level (peak_hold.h).
#pragma once

#include <cstdint>
#include <string>

#include "draw/canvas.h"

// The readout's text on the meter in `slot`, drawn on the current target:
// with `over` in the overload light's colour, else in the readout's own.
// The rectangle covers what it draws.
PictureRect ReadoutRect(int64_t slot, const std::string& text);
void DrawReadout(int64_t slot, const std::string& text, bool over);

// The held peak's text (PeakHoldText), in the hold mark's colour.
PictureRect HoldTextRect(int64_t slot, const std::string& text);
void DrawHoldText(int64_t slot, const std::string& text);
