// Window timers on X11: the shared timers, keyed by the window's handle.
#include <chrono>

#include "ui/timers_linux.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

uint64_t X11StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    WindowRecord* record = WindowTable().Find(window);
    if (record == nullptr || record->handle == 0) return 0;
    return StartLinuxTimer(HandleOf(record->handle), timerId, intervalMs);
}

void X11RestWindowTimer(int64_t window, uint64_t timerId,
                        std::chrono::steady_clock::time_point until) {
    WindowRecord* record = WindowTable().Find(window);
    if (record == nullptr || record->handle == 0) return;
    RestLinuxTimer(HandleOf(record->handle), timerId, until);
}
