// The bound on the display scale, and the scale that keeps a window on its
// screen: see display_scale.h for the rules.
#include "ui/display_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/scaling.h"

namespace {

bool FitsAt(double dpi, int clientWidth, int clientHeight, int areaWidth, int areaHeight,
            const std::function<FrameSize(double)>& frameAt) {
    const double scale = dpi / DEFAULT_DISPLAY_DPI;
    const FrameSize frame = frameAt(dpi);
    return int64_t{ScaleValue(clientWidth, scale)} + frame.width <= areaWidth &&
           int64_t{ScaleValue(clientHeight, scale)} + frame.height <= areaHeight;
}

}  // namespace

double BoundDisplayDpi(double dpi) {
    if (!std::isfinite(dpi) || dpi <= 0.0) return DEFAULT_DISPLAY_DPI;
    return std::clamp(dpi, SMALLEST_DISPLAY_DPI, LARGEST_DISPLAY_DPI);
}

double FitDisplayDpi(double dpi, int clientWidth, int clientHeight, int areaWidth, int areaHeight,
                     const std::function<FrameSize(double)>& frameAt) {
    if (dpi <= DEFAULT_DISPLAY_DPI ||
        FitsAt(dpi, clientWidth, clientHeight, areaWidth, areaHeight, frameAt)) {
        return dpi;
    }
    // At most 384 looks, made only when the scale or the screen changes.
    for (double whole = std::ceil(dpi) - 1; whole > DEFAULT_DISPLAY_DPI; --whole) {
        if (FitsAt(whole, clientWidth, clientHeight, areaWidth, areaHeight, frameAt)) return whole;
    }
    return DEFAULT_DISPLAY_DPI;
}

int PlaceInside(int start, int size, int areaStart, int areaSize) {
    const int64_t end = int64_t{areaStart} + areaSize;
    if (int64_t{start} + size > end)
        start = static_cast<int>(std::max<int64_t>(end - size, areaStart));
    return std::max(start, areaStart);
}

ScreenArea MonitorWorkArea(const std::vector<ScreenArea>& monitors, const ScreenArea& workArea,
                           int x, int y) {
    const ScreenArea* chosen = nullptr;
    int64_t nearest = 0;
    for (const ScreenArea& monitor : monitors) {
        if (monitor.width <= 0 || monitor.height <= 0) continue;
        // How far the point lies outside the monitor, squared: 0 inside.
        const int64_t dx = x < monitor.x                    ? monitor.x - x
                           : x >= monitor.x + monitor.width ? x - (monitor.x + monitor.width - 1)
                                                            : 0;
        const int64_t dy = y < monitor.y                     ? monitor.y - y
                           : y >= monitor.y + monitor.height ? y - (monitor.y + monitor.height - 1)
                                                             : 0;
        const int64_t distance = dx * dx + dy * dy;
        if (chosen == nullptr || distance < nearest) {
            chosen = &monitor;
            nearest = distance;
        }
    }
    if (chosen == nullptr) return workArea;
    const int left = std::max(chosen->x, workArea.x), top = std::max(chosen->y, workArea.y);
    const int right = std::min(chosen->x + chosen->width, workArea.x + workArea.width);
    const int bottom = std::min(chosen->y + chosen->height, workArea.y + workArea.height);
    if (right <= left || bottom <= top) return *chosen;
    return ScreenArea{left, top, right - left, bottom - top};
}
