// The top right corner lies outside the scale band, above its full-scale
// end: neither the tip disc, the overload disc, the hold mark nor any scale
// label reaches it (those stay within the band or inside it), and the
// numbers under the dial are far away. A lamp there reads as a clip light
// at a fixed place, next to where the needle goes at full scale.
#include "meter/overload_lamp.h"

#include <cmath>

#include "draw/primitives.h"
#include "meter/needle.h"
#include "meter/scale_geometry.h"

namespace {

constexpr int64_t OVERLOAD_INDICATOR = 2;
// At 96 DPI, in pixels.
constexpr double LAMP_RADIUS = 10;
constexpr double LAMP_MARGIN = 8;  // from the picture's top and right edges

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

struct Lamp {
    int32_t x;
    int32_t y;
    int32_t radius;
};

Lamp LampOf(const MeterRecord& meter) {
    const double factor = MeterSizeFactor(meter.imageWidth);
    const auto radius = static_cast<int32_t>(std::lround(LAMP_RADIUS * factor));
    const auto margin = static_cast<int32_t>(std::lround(LAMP_MARGIN * factor));
    return Lamp{static_cast<int32_t>(meter.imageWidth) - 1 - margin - radius, margin + radius,
                radius};
}

}  // namespace

bool OverloadOnTip(const MeterRecord& meter) {
    return (meter.flags & OVERLOAD_INDICATOR) != 0 && meter.overloadHold != 0;
}

bool OverloadLampLit(const MeterRecord& meter) {
    return (meter.flags & OVERLOAD_INDICATOR) != 0 && meter.overloadLatched &&
           meter.overloadHold == 0;
}

PictureRect OverloadLampRect(int64_t slot) {
    if (!ValidSlot(slot)) return PictureRect{};
    const Lamp lamp = LampOf(MeterAt(slot));
    return PictureRect{lamp.x - lamp.radius, lamp.y - lamp.radius, lamp.x + lamp.radius + 1,
                       lamp.y + lamp.radius + 1};
}

void DrawOverloadLamp(int64_t slot) {
    if (!ValidSlot(slot)) return;
    const Lamp lamp = LampOf(MeterAt(slot));
    FillDisc(lamp.x, lamp.y, lamp.radius, OVERLOAD_COLOUR);
}
