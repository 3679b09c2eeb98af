// Messages posted to a window from any thread (the capture service announces
// finished blocks this way), and the wake-up descriptor that lets the main
// thread's wait notice them together with the window system's events and the
// timers. Shared by the Linux window layers; a window is the layer's native
// handle.
#pragma once

#include <cstdint>

struct PostedMessage {
    void* window;  // native handle of the target window
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

// PostWindowMessage and PostWindowMessageByNextTick (ui/message_loop.h) of
// both layers.
bool PostLinuxMessage(void* window, uint32_t message, uint64_t wParam, int64_t lParam);
bool PostLinuxMessageByNextTick(void* window, uint32_t message, uint64_t wParam, int64_t lParam);

// Takes the oldest posted message; false when there is none.
bool TakePostedMessage(PostedMessage* message);

// A descriptor that becomes readable when something was posted or another
// thread wants the waiting thread to look again; -1 if none could be made.
int MessageWakeDescriptor();
// Clears the descriptor's readable state (call before looking for work).
void ClearMessageWake();
// Makes the waiting thread look again (events read by another thread).
void WakeMessageLoop();
