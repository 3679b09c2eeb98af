// The dial face: the scale band drawn once into a meter's dial image, and
// the track arc drawn over it on every update.
#pragma once

#include <cstdint>

void DrawDialFace(int64_t slot);
void DrawScaleTrack(int64_t slot);
