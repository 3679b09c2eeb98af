// The meter's scale: geometry shared by the dial face, the track arc and the
// needle, and the thick line that both arcs are drawn with.
#pragma once

#include <cstdint>
#include <vector>

struct ScalePoint {
    int32_t x;
    int32_t y;
};

// Scale point of a meter at angle theta degrees (0 straight up, -45..45).
ScalePoint ScalePointAt(int64_t slot, double thetaDegrees);

// The point `radius` pixels from the pivot in the direction the needle takes
// for a reading (0..100 over -45..+45 degrees, the angle held in single
// precision as the needle holds it). (0, 0) for a slot without a meter.
ScalePoint ScalePointForValue(int64_t slot, float value, double radius);

void DrawDialFace(int64_t slot);
void DrawScaleTrack(int64_t slot);
void ThickLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t thickness, uint32_t colour);

// Degrees between the points of the arc walk for images this wide (single
// precision, so wider meters get more, shorter segments).
float ScaleAngleStep(int64_t imageWidth);

// The angles the arc walk visits, from exactly -45 to exactly +45; one line
// segment joins each pair of neighbours. Empty for widths below 1.
std::vector<float> ScaleArcAngles(int64_t imageWidth);
