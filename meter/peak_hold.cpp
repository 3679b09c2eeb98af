// The hold is measured in time, not in updates: the analysis ticks at the
// window system's shortest timer period (10 ms on X11, about 15.6 ms on
// Windows) and rests while nothing on the meters can change, so a count of
// updates would stand for a different time on each platform.
#include "meter/peak_hold.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "meter/decibel_scale.h"

namespace {

constexpr double FULL_SCALE = 32767.0;

}  // namespace

void TakePeak(PeakHoldState& hold, float reading, int32_t peak,
              std::chrono::steady_clock::time_point now) {
    if (!hold.holding || peak >= hold.peak) {
        hold = PeakHoldState{true, reading, peak, now, false, 0, 0};
        return;
    }
    if (!hold.laterSeen || peak > hold.laterPeak) {
        hold.laterSeen = true;
        hold.laterReading = reading;
        hold.laterPeak = peak;
    }
    if (now - hold.since >= PEAK_HOLD_TIME) {
        hold = PeakHoldState{true, hold.laterReading, hold.laterPeak, now, false, 0, 0};
    }
}

int32_t PeakOfReading(float reading) {
    if (!(reading > 0)) return 0;
    const double peak = std::nearbyint(static_cast<double>(reading) / 101.0 * FULL_SCALE);
    return static_cast<int32_t>(std::min(peak, FULL_SCALE));
}

long PeakLevelTenths(int32_t peak) {
    // The one peak above full scale (32768) is 0.0003 dB over, which rounds
    // to 0.
    return std::lround(PeakLevel(peak) * 10.0);
}

std::string PeakHoldText(int32_t peak) {
    if (peak <= 0) return "-inf dB";
    const long tenths = PeakLevelTenths(peak);
    const long magnitude = std::labs(tenths);
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10) + " dB";
    return text;
}
