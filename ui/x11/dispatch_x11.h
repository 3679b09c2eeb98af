// Event dispatch on X11: the top-level window procedure (message hook, then
// the mapping of messages to queued events), and the routing of X events to
// it, to the controls and to the layer's private windows.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "ui/messages.h"

// Reported for X events that have no Windows counterpart (property changes,
// reparenting, ...): non-zero and no event code.
constexpr uint32_t MESSAGE_X11_OTHER = 0x7F00;

constexpr uint32_t SIZE_RESTORED = 0;
constexpr uint32_t SIZE_MINIMIZED = 1;
constexpr uint32_t SIZE_MAXIMIZED = 2;

constexpr uint16_t TAB_NEXT_COMMAND = 0xFA01;
constexpr uint16_t TAB_PREVIOUS_COMMAND = 0xFA02;

inline int64_t MakeLParam(int low, int high) {
    return static_cast<int64_t>(static_cast<uint32_t>((static_cast<uint32_t>(high) & 0xFFFF) << 16 |
                                                      (static_cast<uint32_t>(low) & 0xFFFF)));
}

// The procedure of every top-level window of the layer: the message hook
// first (per-window, else the thread's), then the layer's mapping, then the
// default processing for what the mapping leaves. Returns the message's
// result.
int64_t TopWindowProcedure(Window window, uint32_t message, uint64_t wParam, int64_t lParam);

// Sends a message to a window of the layer: top-level windows get
// TopWindowProcedure; other windows ignore it (result 0).
int64_t SendWindowMessage(Window window, uint32_t message, uint64_t wParam, int64_t lParam);

// Windows the layer draws itself without making them numbered windows (the
// message box): their X events go to the handler, which returns the message
// number to report.
using PrivateWindowHandler = int64_t (*)(XEvent& event, void* context);
void RegisterPrivateWindow(Window window, PrivateWindowHandler handler, void* context);
void UnregisterPrivateWindow(Window window);

// Dispatches one X event and returns the message number that stands for it.
int64_t DispatchXEvent(XEvent& event);

// True on the thread that runs the message loop (once it has looked for a
// message), false on drawing and other worker threads.
bool X11OnMessageLoopThread();
