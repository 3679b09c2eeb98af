// Window timers. SetTimer raises intervals below USER_TIMER_MINIMUM (10 ms)
// to that minimum; each WM_TIMER becomes EVENT_TIMER in the window procedure.
// The layer remembers each timer's interval, so that drawing threads know
// how soon the window's thread will look at its messages again, and so that
// a timer put to rest (SetTimer again with the length of the rest) can be
// set back to it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <utility>

#include "system/windows_api_win32.h"
#include "ui/message_loop.h"
#include "ui/platform_ui.h"
#include "ui/win32/windows_win32.h"

namespace {

struct TimerRecord {
    UINT interval = USER_TIMER_MINIMUM;
    bool resting = false;
};

// A rest without a known end still ends now and then: a missed message
// must not silence the timer for good.
constexpr auto LONGEST_REST = std::chrono::seconds(60);

std::mutex timerLock;
std::atomic<bool> anyResting{false};

std::map<std::pair<HWND, UINT_PTR>, TimerRecord>& Timers() {
    static auto* timers = new std::map<std::pair<HWND, UINT_PTR>, TimerRecord>();
    return *timers;
}

}  // namespace

uint64_t StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || record->handle == nullptr) return 0;
    UINT_PTR started =
        SetTimer(record->handle, static_cast<UINT_PTR>(timerId), intervalMs, nullptr);
    if (started != 0) {
        std::lock_guard<std::mutex> hold(timerLock);
        Timers()[{record->handle, static_cast<UINT_PTR>(timerId)}] =
            TimerRecord{std::max<UINT>(intervalMs, USER_TIMER_MINIMUM), false};
    }
    return started;
}

void RestWindowTimer(int64_t window, uint64_t timerId,
                     std::chrono::steady_clock::time_point until) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || record->handle == nullptr) return;
    std::lock_guard<std::mutex> hold(timerLock);
    auto found = Timers().find({record->handle, static_cast<UINT_PTR>(timerId)});
    if (found == Timers().end()) return;
    auto rest = std::chrono::ceil<std::chrono::milliseconds>(
        std::min(until - std::chrono::steady_clock::now(),
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(LONGEST_REST)));
    if (rest.count() <= found->second.interval) return;
    // Setting a timer again replaces it: the next tick comes after the rest.
    if (SetTimer(record->handle, found->first.second, static_cast<UINT>(rest.count()), nullptr) ==
        0) {
        return;
    }
    found->second.resting = true;
    anyResting.store(true);
}

void WakeRestingTimers() {
    if (!anyResting.load()) return;
    std::lock_guard<std::mutex> hold(timerLock);
    anyResting.store(false);
    for (auto& [key, timer] : Timers()) {
        if (!timer.resting) continue;
        // The rest's own tick ends it as well; the tick is delivered.
        timer.resting = false;
        if (IsWindow(key.first)) SetTimer(key.first, key.second, timer.interval, nullptr);
    }
}

bool LoopWakesWithin(int milliseconds) {
    std::lock_guard<std::mutex> hold(timerLock);
    auto& timers = Timers();
    for (auto entry = timers.begin(); entry != timers.end();) {
        // A window's timers end with it.
        if (!IsWindow(entry->first.first)) {
            entry = timers.erase(entry);
            continue;
        }
        if (!entry->second.resting && entry->second.interval <= static_cast<UINT>(milliseconds)) {
            return true;
        }
        ++entry;
    }
    return false;
}
