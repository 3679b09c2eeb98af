// Window timers on X11, kept by the layer itself: each (window, id) pair has
// an interval and a due time, and the message wait wakes for the earliest.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// The timer that has been due longest: its window and id. Like WM_TIMER, a
// timer that is due gives one tick however late it is taken; the next tick
// is scheduled one interval on, or one interval after now when it fell
// behind (no burst of missed ticks).
bool TakeDueTimer(Window* window, uint64_t* id);

// Milliseconds until the earliest timer is due (0 if one is due now), or -1
// when no timer runs.
int MillisecondsUntilNextTimer();
