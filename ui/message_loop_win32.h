// The message side of the event loop on Win32: the thread's message hook,
// message retrieval with the Tab accelerators, and the layer's hidden
// message window.
#pragma once

#include <cstdint>

#include "ui/messages.h"

// The hook that SetMessageHook installed for the calling thread, or nullptr.
MessageHook ThreadMessageHook();

// The hidden message window receives what other threads post to the layer
// and the layer's own deferred work.
void CreateHiddenMessageWindow();
void DestroyHiddenMessageWindow();

// A window class can only go once its last window is gone, which is after
// WM_NCDESTROY returns: the hidden window does it on its next message.
void UnregisterWindowClassLater(int64_t windowNumber);

// Work the message loop does each time before it waits for messages (the
// canvas shows changes whose drawing thread left them waiting). One task.
// It returns in how many milliseconds it wants to run again, -1 for when
// the loop next wakes anyway.
void SetMessageLoopTask(int (*task)());
// Runs the task once (a modal loop of Windows does not run it).
void RunMessageLoopTask();

// True when a timer of this process will wake the window's thread within
// the given time (it runs the loop task then). A resting timer does not.
bool Win32LoopWakesWithin(int milliseconds);

// The message loop took a message: a resting timer ticks at its interval
// again (after a rest that its own tick ended too).
void WakeRestingTimers();
