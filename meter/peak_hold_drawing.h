// The peak hold in a meter's picture (see peak_hold.h for what is held).
#pragma once

#include <cstdint>
#include <string>

#include "draw/canvas.h"

// What the hold adds to the picture of the meter in `slot`: the mark for a
// held reading, and the text of a held peak (PeakHoldText) beside the
// scale's end. Each is drawn on the current target; the rectangles cover
// what each draws.
PictureRect HoldMarkRect(int64_t slot, float reading);
void DrawHoldMark(int64_t slot, float reading);
PictureRect HoldTextRect(int64_t slot, const std::string& text);
void DrawHoldText(int64_t slot, const std::string& text);
