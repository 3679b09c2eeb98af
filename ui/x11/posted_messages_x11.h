// Messages posted to a window from any thread (the capture service announces
// finished blocks this way), and the wake-up descriptor that lets the main
// thread's wait notice them together with X events and timers.
#pragma once

#include <cstdint>

#include "ui/message_loop.h"

struct PostedMessage {
    void* window;  // native handle of the target window
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

// PostWindowMessage and PostWindowMessageByNextTick (ui/message_loop.h) put
// the messages here.

// Takes the oldest posted message; false when there is none.
bool TakePostedMessage(PostedMessage* message);

// A descriptor that becomes readable when something was posted or another
// thread wants the waiting thread to look again; -1 if none could be made.
int MessageWakeDescriptor();
// Clears the descriptor's readable state (call before looking for work).
void ClearMessageWake();
// Makes the waiting thread look again (X events read by another thread).
void WakeMessageLoop();
