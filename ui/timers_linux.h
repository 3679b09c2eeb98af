// Window timers on Linux, kept by the window layer itself (X11 and Wayland
// alike): each (window, id) pair has an interval and a due time, and the
// layer's message wait wakes for the earliest. A window is its layer's
// native handle.
#pragma once

#include <chrono>
#include <cstdint>

// Starts or replaces the timer (window, id); intervals below 10 ms give
// 10 ms. Returns what StartWindowTimer returns for a known window.
uint64_t StartLinuxTimer(void* window, uint64_t id, uint32_t intervalMs);

// RestWindowTimer for a known window.
void RestLinuxTimer(void* window, uint64_t id, std::chrono::steady_clock::time_point until);

// WakeRestingTimers and LoopWakesWithin (ui/message_loop.h) of both layers.
void WakeRestingLinuxTimers();
bool LinuxTimerWakesWithin(int milliseconds);

// The timer that has been due longest: its window and id. Like WM_TIMER, a
// timer that is due gives one tick however late it is taken; the next tick
// is scheduled one interval on, or one interval after now when it fell
// behind (no burst of missed ticks).
bool TakeDueTimer(void** window, uint64_t* id);

// Milliseconds until the earliest timer is due (0 if one is due now), or -1
// when no timer runs.
int MillisecondsUntilNextTimer();
