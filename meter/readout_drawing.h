// The level readout in a meter's picture (see level_readout.h for what it
// shows).
#pragma once

#include <cstdint>
#include <string>

#include "draw/canvas.h"

// The readout's text, centred under the middle of the scale of the meter in
// `slot`, drawn on the current target: with `over` in the overload light's
// colour, else in the readout's own. The rectangle covers what it draws.
PictureRect ReadoutRect(int64_t slot, const std::string& text);
void DrawReadout(int64_t slot, const std::string& text, bool over);
