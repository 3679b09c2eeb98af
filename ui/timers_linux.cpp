// Window timers. SetTimer's rules carry over: a timer is known by its window
// and id, starting it again replaces it, intervals below 10 ms
// (USER_TIMER_MINIMUM) are raised to 10 ms, and ticks are taken only when no
// other message is waiting (the dispatch asks for them last).
#include "ui/timers_linux.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t USER_TIMER_MINIMUM = 10;
constexpr uint32_t USER_TIMER_MAXIMUM = 0x7FFFFFFF;

struct TimerRecord {
    void* window;
    uint64_t id;
    std::chrono::milliseconds interval;
    Clock::time_point due;
    bool resting = false;  // due was put off by RestWindowTimer
};

// A rest without a known end still ends now and then: a missed message
// must not silence the timer for good.
constexpr auto LONGEST_REST = std::chrono::seconds(60);

std::mutex& TimerLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

std::vector<TimerRecord>& Timers() {
    static auto* timers = new std::vector<TimerRecord>();
    return *timers;
}

}  // namespace

uint64_t StartLinuxTimer(void* window, uint64_t timerId, uint32_t intervalMs) {
    uint32_t interval = std::clamp(intervalMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    TimerRecord timer{window, timerId, std::chrono::milliseconds(interval),
                      Clock::now() + std::chrono::milliseconds(interval)};
    std::lock_guard<std::mutex> hold(TimerLock());
    auto& timers = Timers();
    auto same = std::find_if(timers.begin(), timers.end(), [&](const TimerRecord& t) {
        return t.window == timer.window && t.id == timerId;
    });
    if (same != timers.end()) {
        *same = timer;
    } else {
        timers.push_back(timer);
    }
    // SetTimer with a window gives a non-zero result, the id when it has one.
    return timerId != 0 ? timerId : 1;
}

void RestLinuxTimer(void* window, uint64_t timerId, Clock::time_point until) {
    std::lock_guard<std::mutex> hold(TimerLock());
    Clock::time_point latest = Clock::now() + LONGEST_REST;
    for (TimerRecord& timer : Timers()) {
        if (timer.window != window || timer.id != timerId) continue;
        Clock::time_point due = std::min(until, latest);
        if (due <= timer.due) return;
        timer.due = due;
        timer.resting = true;
    }
}

void WakeRestingLinuxTimers() {
    std::lock_guard<std::mutex> hold(TimerLock());
    Clock::time_point now = Clock::now();
    for (TimerRecord& timer : Timers()) {
        if (!timer.resting) continue;
        timer.resting = false;
        timer.due = std::min(timer.due, now + timer.interval);
    }
}

bool TakeDueTimer(void** window, uint64_t* id) {
    std::lock_guard<std::mutex> hold(TimerLock());
    auto& timers = Timers();
    Clock::time_point now = Clock::now();
    auto earliest =
        std::min_element(timers.begin(), timers.end(),
                         [](const TimerRecord& a, const TimerRecord& b) { return a.due < b.due; });
    if (earliest == timers.end() || earliest->due > now) return false;
    *window = earliest->window;
    *id = earliest->id;
    earliest->resting = false;
    earliest->due += earliest->interval;
    if (earliest->due <= now) earliest->due = now + earliest->interval;
    return true;
}

int MillisecondsUntilNextTimer() {
    std::lock_guard<std::mutex> hold(TimerLock());
    auto& timers = Timers();
    if (timers.empty()) return -1;
    Clock::time_point due = timers.front().due;
    for (const TimerRecord& timer : timers) due = std::min(due, timer.due);
    auto wait = std::chrono::duration_cast<std::chrono::microseconds>(due - Clock::now()).count();
    if (wait <= 0) return 0;
    // Round up so that the wait never ends just before the tick is due.
    return static_cast<int>(std::min<int64_t>((wait + 999) / 1000, 0x7FFFFFFF));
}

bool LinuxTimerWakesWithin(int milliseconds) {
    int due = MillisecondsUntilNextTimer();
    return due >= 0 && due <= milliseconds;
}
