// The meter's scale: where the points of its arc and of the needle's
// direction for a reading lie in the dial image, shared by the dial face,
// the track arc, the scale marks, the peak hold and the needle.
#pragma once

#include <cstdint>
#include <vector>

#include "meter/meter_table.h"

struct ScalePoint {
    int32_t x;
    int32_t y;
};

// The meter's scale point at angle theta degrees (0 straight up, -45..45).
ScalePoint ScalePointOf(const MeterRecord& meter, double thetaDegrees);
// The same for the meter in a slot; (0, 0) for a slot without a meter.
ScalePoint ScalePointAt(int64_t slot, double thetaDegrees);

// The point `radius` pixels from the pivot in the direction the needle takes
// for a reading (0..100 over -45..+45 degrees, the angle held in single
// precision as the needle holds it). (0, 0) for a slot without a meter.
ScalePoint ScalePointForValue(int64_t slot, float value, double radius);

// How much larger than the main window's meter at 96 DPI (images 493 pixels
// wide) a meter with images this wide is drawn, in quarter steps from 1:
// 1.25 at 120 DPI, 1.5 at 144 DPI. Marks, text and the hold mark grow by it;
// the band and the discs keep their sizes in pixels.
double MeterSizeFactor(int64_t imageWidth);

// Degrees between the points of the arc walk for images this wide (single
// precision, so wider meters get more, shorter segments).
float ScaleAngleStep(int64_t imageWidth);

// Calls visit(theta) for every angle of the walk. The angles are single
// precision, and the last one is clamped to exactly +45. A step too small to
// move a single-precision angle ends the walk at +45 instead of looping.
template <typename Visit>
void WalkScaleArc(int64_t imageWidth, Visit visit) {
    if (imageWidth < 1) return;
    const float step = ScaleAngleStep(imageWidth);
    float theta = static_cast<float>(-45.0 - static_cast<double>(step));
    bool first = true;
    for (;;) {
        float next = static_cast<float>(static_cast<double>(theta) + static_cast<double>(step));
        if (next > 45.0f || (!first && !(next > theta))) next = 45.0f;
        theta = next;
        first = false;
        visit(theta);
        if (theta == 45.0f) return;
    }
}

// The angles the arc walk visits, from exactly -45 to exactly +45; one line
// segment joins each pair of neighbours. Empty for widths below 1.
std::vector<float> ScaleArcAngles(int64_t imageWidth);
