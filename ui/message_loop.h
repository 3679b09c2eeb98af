// What the message loop of each window system offers the layer's controls
// and timers, and the services that post to it: message_loop_win32.cpp and
// timers_win32.cpp implement it on Windows, dispatch_x11.cpp with the
// shared timers_linux.cpp and posted_messages_linux.cpp on X11.
#pragma once

#include <cstdint>

// Work the message loop does each time before it waits for messages (the
// canvas shows changes whose drawing thread left them waiting). One task.
// It returns in how many milliseconds it wants to run again, -1 for when
// the loop next wakes anyway.
void SetMessageLoopTask(int (*task)());

// True when a timer of this process will wake the message loop within the
// given time (it runs the loop task then). A resting timer does not.
bool LoopWakesWithin(int milliseconds);

// The message loop took a message other than a tick: a resting timer ticks
// at its interval again, the next tick one interval from now at the latest
// (after a rest that its own tick ended too).
void WakeRestingTimers();

// Queues a message for a window (its native handle) and wakes the thread
// that waits for its messages. Safe from any thread; never blocks for long.
bool PostWindowMessage(void* window, uint32_t message, uint64_t wParam, int64_t lParam);

// Queues the message like PostWindowMessage, but may leave the waiting
// thread asleep when a timer wakes it within a few milliseconds anyway,
// which then finds the message first: a message that may wait that long
// costs the thread no wake-up of its own.
bool PostWindowMessageByNextTick(void* window, uint32_t message, uint64_t wParam, int64_t lParam);
