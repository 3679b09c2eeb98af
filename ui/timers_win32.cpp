// Window timers. SetTimer raises intervals below USER_TIMER_MINIMUM (10 ms)
// to that minimum; each WM_TIMER becomes EVENT_TIMER in the window procedure.
// The layer remembers each timer's interval, so that drawing threads know
// how soon the window's thread will look at its messages again.
#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "ui/message_loop_win32.h"
#include "ui/platform_ui.h"
#include "ui/windows_api_win32.h"
#include "ui/windows_win32.h"

namespace {

std::mutex timerLock;
std::map<std::pair<HWND, UINT_PTR>, UINT>& Intervals() {
    static auto* intervals = new std::map<std::pair<HWND, UINT_PTR>, UINT>();
    return *intervals;
}

}  // namespace

uint64_t StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || record->handle == nullptr) return 0;
    UINT_PTR started =
        SetTimer(record->handle, static_cast<UINT_PTR>(timerId), intervalMs, nullptr);
    if (started != 0) {
        std::lock_guard<std::mutex> hold(timerLock);
        Intervals()[{record->handle, static_cast<UINT_PTR>(timerId)}] =
            std::max<UINT>(intervalMs, USER_TIMER_MINIMUM);
    }
    return started;
}

bool Win32LoopWakesWithin(int milliseconds) {
    std::lock_guard<std::mutex> hold(timerLock);
    auto& intervals = Intervals();
    for (auto entry = intervals.begin(); entry != intervals.end();) {
        // A window's timers end with it.
        if (!IsWindow(entry->first.first)) {
            entry = intervals.erase(entry);
            continue;
        }
        if (entry->second <= static_cast<UINT>(milliseconds)) return true;
        ++entry;
    }
    return false;
}
