// Shared helpers of the X11 layer's tests: the layer is brought up once per
// process on the private display of with_services.sh, and each test makes
// its own windows under numbers of its own.
#pragma once

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "ui/event_queue.h"
#include "ui/platform_ui.h"
#include "ui/x11/display_x11.h"

// Skips the test when no display is reachable (the layer is brought up on
// first use).
#define REQUIRE_DISPLAY()                                                \
    do {                                                                 \
        if (!UiLayerInit()) GTEST_SKIP() << "no X display to test with"; \
    } while (0)

inline Display* TestDisplay() {
    return X11().display;
}

// Calls `step` until it returns true or the time runs out. The step does
// its own fetching.
inline bool RepeatUntil(const std::function<bool()>& step, int timeoutMs = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!step()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
    return true;
}

// Dispatches platform messages until `done` holds or the time runs out;
// queued events are left in the queue.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        FetchPlatformMessage(20);
    }
    return true;
}

// Lets the server catch up, then dispatches everything that is waiting and
// drops every queued event, so that a test starts from a quiet queue.
inline void Settle(int quietMs = 150) {
    XSync(TestDisplay(), False);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(quietMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (FetchPlatformMessage(10) != 0) {
            deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(quietMs);
        }
    }
    ResetEventState();
}

// Next queued event code, 0 when the queue is empty.
inline int32_t NextQueued() {
    return PopQueuedEvent();
}

// The colour of one screen pixel of a window as 0xRRGGBB.
inline uint32_t PixelAt(Window window, int x, int y) {
    // Pictures travel on a connection of their own: what was sent on it
    // must have been done before the main connection asks.
    if (X11().pictureDisplay != nullptr) XSync(X11().pictureDisplay, False);
    XImage* image = XGetImage(TestDisplay(), window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFF;
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return static_cast<uint32_t>(pixel & 0xFFFFFF);
}

inline Window AsWindow(void* handle) {
    return static_cast<Window>(reinterpret_cast<uintptr_t>(handle));
}

// Sends an X event to one of our windows as the server would deliver it.
inline void SendToWindow(Window window, XEvent event, long mask = NoEventMask) {
    event.xany.window = window;
    XSendEvent(TestDisplay(), window, False, mask, &event);
    XFlush(TestDisplay());
}

inline void SendCloseRequest(Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.message_type = X11().atoms.wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(X11().atoms.wmDeleteWindow);
    SendToWindow(window, event);
}
