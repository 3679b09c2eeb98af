// The dial face: a 90-degree scale band drawn once into the meter's dial
// image (with the scale marks, when they are on), and the thin track arc
// drawn over it on every update. Both walk the arc (scale_geometry.h) and
// join the scale points with lines of stamped discs (ThickLine).
#include "meter/dial_face.h"

#include "draw/drawing_target.h"
#include "draw/primitives.h"
#include "meter/meter_table.h"
#include "meter/scale_geometry.h"
#include "meter/scale_marks.h"

namespace {

constexpr int32_t DIAL_THICKNESS = 12;  // discs of radius 11: a band about 23 px wide
constexpr int32_t TRACK_THICKNESS = 4;  // discs of radius 3 along the middle of the band

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

void DrawArc(const MeterRecord& meter, int32_t thickness, uint32_t colour) {
    bool havePrevious = false;
    ScalePoint previous{0, 0};
    WalkScaleArc(meter.imageWidth, [&](float theta) {
        ScalePoint point = ScalePointOf(meter, theta);
        if (havePrevious) ThickLine(previous.x, previous.y, point.x, point.y, thickness, colour);
        previous = point;
        havePrevious = true;
    });
}

}  // namespace

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
