// The overload light held until it is cleared: for the 15 updates after a
// full-scale reading it is the red disc over the needle's tip, as it always
// is; held beyond them it becomes a lamp of its own in the picture's top
// right corner, beyond the scale's full-scale end, so that the needle and
// the level readout show the live level again while the lamp still says
// that the channel clipped.
#pragma once

#include <cstdint>

#include "draw/canvas.h"
#include "meter/meter_table.h"

// Whether the overload light shows as the red disc over the tip: while its
// 15 updates count down.
bool OverloadOnTip(const MeterRecord& meter);
// Whether it shows as the lamp: held, and its 15 updates over.
bool OverloadLampLit(const MeterRecord& meter);

// The lamp on the meter in `slot`: a red disc in the overload light's
// colour, radius 10 at 96 DPI, 8 pixels in from the picture's top and right
// edges, growing with the meter as the marks and texts do. The rectangle
// covers what it draws; empty for a slot without a meter.
PictureRect OverloadLampRect(int64_t slot);
void DrawOverloadLamp(int64_t slot);
