// The peak hold's mark in a meter's picture (see peak_hold.h for what is
// held; dial_texts.h for its value).
#pragma once

#include <cstdint>

#include "draw/canvas.h"

// The mark for a held reading (its place on the meter's scale) on the
// meter in `slot`: a bar across the band and a few pixels past both its
// edges, drawn on the current target. The rectangle covers what it draws.
PictureRect HoldMarkRect(int64_t slot, float reading);
void DrawHoldMark(int64_t slot, float reading);
