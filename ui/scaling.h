// Display scaling of window-layer coordinates: 96-DPI pixels times DPI / 96,
// rounded down.
#pragma once

#include <cmath>
#include <cstdint>

inline int32_t ScaleValue(int32_t value, double factor) {
    return static_cast<int32_t>(static_cast<int64_t>(std::floor(value * factor)));
}
