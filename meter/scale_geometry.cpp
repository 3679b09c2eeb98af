#include "meter/scale_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double DEGREES_TO_RADIANS = 0.017453292519943295;

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

}  // namespace

ScalePoint ScalePointOf(const MeterRecord& meter, double thetaDegrees) {
    double radians = thetaDegrees * DEGREES_TO_RADIANS;
    double radius = static_cast<double>(meter.needleRadius);
    double x = std::sin(radians) * radius + static_cast<double>(meter.pivotX);
    double y = static_cast<double>(meter.imageHeight) - std::cos(radians) * radius;
    return ScalePoint{static_cast<int32_t>(std::nearbyint(x)),
                      static_cast<int32_t>(std::nearbyint(y))};
}

double MeterSizeFactor(int64_t imageWidth) {
    constexpr double UNSCALED_IMAGE_WIDTH = 493;
    const double quarters =
        std::nearbyint(static_cast<double>(imageWidth) / UNSCALED_IMAGE_WIDTH * 4);
    return std::clamp(quarters / 4, 1.0, 16.0);
}

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
    return ScalePointOf(MeterAt(slot), thetaDegrees);
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
