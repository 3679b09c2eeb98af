// Window timers. SetTimer raises intervals below USER_TIMER_MINIMUM (10 ms)
// to that minimum; each WM_TIMER becomes EVENT_TIMER in the window procedure.
#include "ui/platform_ui.h"
#include "ui/windows_api_win32.h"
#include "ui/windows_win32.h"

uint64_t StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || record->handle == nullptr) return 0;
    return SetTimer(record->handle, static_cast<UINT_PTR>(timerId), intervalMs, nullptr);
}
