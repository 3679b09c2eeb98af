// The bound on the display scale: see display_scale.h for the rule.
#include "ui/display_scale.h"

#include <algorithm>
#include <cmath>

double BoundDisplayDpi(double dpi) {
    if (!std::isfinite(dpi) || dpi <= 0.0) return DEFAULT_DISPLAY_DPI;
    return std::clamp(dpi, SMALLEST_DISPLAY_DPI, LARGEST_DISPLAY_DPI);
}
