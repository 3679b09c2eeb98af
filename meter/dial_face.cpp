// The dial face: a 90-degree scale band drawn once into the meter's dial
// image, and the thin track arc drawn over it on every update. Both walk the
// arc in steps of 500 / imageWidth degrees and join the scale points with
// lines made of stamped discs.
#include "meter/dial_face.h"

#include <cmath>
#include <cstdlib>

#include "draw/drawing_target.h"
#include "draw/primitives.h"
#include "meter/meter_table.h"
#include "meter/scale_marks.h"

namespace {

constexpr double DEGREES_TO_RADIANS = 0.017453292519943295;
constexpr int32_t DIAL_THICKNESS = 12;  // discs of radius 11: a band about 23 px wide
constexpr int32_t TRACK_THICKNESS = 4;  // discs of radius 3 along the middle of the band

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

ScalePoint PointOf(const MeterRecord& meter, double thetaDegrees) {
    double radians = thetaDegrees * DEGREES_TO_RADIANS;
    double radius = static_cast<double>(meter.needleRadius);
    double x = std::sin(radians) * radius + static_cast<double>(meter.pivotX);
    double y = static_cast<double>(meter.imageHeight) - std::cos(radians) * radius;
    return ScalePoint{static_cast<int32_t>(std::nearbyint(x)),
                      static_cast<int32_t>(std::nearbyint(y))};
}

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

void DrawArc(const MeterRecord& meter, int32_t thickness, uint32_t colour) {
    bool havePrevious = false;
    ScalePoint previous{0, 0};
    WalkScaleArc(meter.imageWidth, [&](float theta) {
        ScalePoint point = PointOf(meter, theta);
        if (havePrevious) ThickLine(previous.x, previous.y, point.x, point.y, thickness, colour);
        previous = point;
        havePrevious = true;
    });
}

}  // namespace

float ScaleAngleStep(int64_t imageWidth) {
    return static_cast<float>(500.0 / static_cast<double>(imageWidth));
}

std::vector<float> ScaleArcAngles(int64_t imageWidth) {
    std::vector<float> angles;
    WalkScaleArc(imageWidth, [&](float theta) { angles.push_back(theta); });
    return angles;
}

ScalePoint ScalePointAt(int64_t slot, double thetaDegrees) {
    if (!ValidSlot(slot)) return ScalePoint{0, 0};
    return PointOf(MeterAt(slot), thetaDegrees);
}

ScalePoint ScalePointForValue(int64_t slot, float value, double radius) {
    if (!ValidSlot(slot)) return ScalePoint{0, 0};
    const MeterRecord& meter = MeterAt(slot);
    const float angle =
        static_cast<float>((static_cast<double>(value) * 0.9 - 45.0) * DEGREES_TO_RADIANS);
    const double x =
        std::sin(static_cast<double>(angle)) * radius + static_cast<double>(meter.pivotX);
    const double y =
        static_cast<double>(meter.imageHeight) - std::cos(static_cast<double>(angle)) * radius;
    return ScalePoint{static_cast<int32_t>(std::nearbyint(x)),
                      static_cast<int32_t>(std::nearbyint(y))};
}

void DrawDialFace(int64_t slot) {
    if (!ValidSlot(slot)) return;
    const MeterRecord& meter = MeterAt(slot);
    // The spare image is opened and closed once; nothing is drawn into it.
    BeginDraw(ImageTarget(meter.spareImage));
    EndDraw();
    BeginDraw(ImageTarget(meter.dialImage));
    DrawArc(meter, DIAL_THICKNESS, static_cast<uint32_t>(meter.colour1));
    if (meter.scaleMarks) DrawScaleMarks(slot);
    EndDraw();
}

void DrawScaleTrack(int64_t slot) {
    if (!ValidSlot(slot)) return;
    const MeterRecord& meter = MeterAt(slot);
    DrawArc(meter, TRACK_THICKNESS, static_cast<uint32_t>(meter.colour2));
}

// Bresenham's line with a disc of radius thickness - 1 at every point, both
// end points included.
void ThickLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t thickness, uint32_t colour) {
    if (thickness < 1) thickness = 1;
    const int32_t radius = thickness - 1;
    const int64_t dx = std::llabs(int64_t{x1} - x0);
    const int64_t dy = std::llabs(int64_t{y1} - y0);
    const int32_t sx = x0 < x1 ? 1 : -1;
    const int32_t sy = y0 < y1 ? 1 : -1;
    int64_t err = dx - dy;
    for (;;) {
        FillDisc(x0, y0, radius, colour);
        if (x0 == x1 && y0 == y1) return;
        int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}
