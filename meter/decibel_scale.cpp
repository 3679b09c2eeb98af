#include "meter/decibel_scale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double FULL_SCALE = 32767.0;
constexpr double SCALE_RANGE_DB = 60.0;  // from the arc's left end to its right end
constexpr double SCALE_END = 100.0;

}  // namespace

float DecibelScaleValue(double dbfs) {
    const double value = SCALE_END + SCALE_END * dbfs / SCALE_RANGE_DB;
    // Not a number (a level of minus infinity does not give one) counts as silence.
    if (!(value > 0)) return 0.0f;
    return static_cast<float>(std::min(value, SCALE_END));
}

double PeakLevel(int32_t peak) {
    if (peak <= 0) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(static_cast<double>(peak) / FULL_SCALE);
}

float DecibelPosition(int32_t peak) {
    if (peak <= 0) return 0.0f;
    return DecibelScaleValue(PeakLevel(peak));
}
