// What the message loop of each window system offers the layer's controls
// and timers: message_loop_win32.cpp and timers_win32.cpp implement it on
// Windows, dispatch_x11.cpp and timers_x11.cpp on X11.
#pragma once

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
