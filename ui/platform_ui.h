// What the window layer of a platform provides: layer_win32.cpp,
// windows_win32.cpp and the other *_win32.cpp files of ui/; display_x11.cpp,
// windows_x11.cpp and the other *_x11.cpp; ui_null.cpp for the tests.
// Coordinates and sizes are unscaled 96-DPI pixels; texts are UTF-8.
#pragma once

#include <chrono>
#include <cstdint>

#include "ui/messages.h"

// Brings the window and event layer up (scaling, registries, hidden message
// window, control font) and takes it down again. UiLayerInit returns false if
// no display can be reached.
bool UiLayerInit();
void UiLayerClose();

// What ends the program when the window system goes away under it (X11: the
// server died or the connection dropped; Win32 has no such event). Called
// once, on whichever thread finds out, after the layer has said so on stderr;
// it must not return, and must not use anything that needs the display.
// Without one the layer ends the process itself with exit code 1.
using DisplayLostHandler = void (*)();
void SetDisplayLostHandler(DisplayLostHandler handler);

// A top-level window whose client area is width x height; returns the native
// window handle, nullptr on failure. It becomes the thread's control list
// target unless flags has bit 3.
void* CreateTopWindow(int64_t number, int x, int y, int width, int height, const char* title,
                      uint32_t flags, void* parent);

// A push button in the control list target; flags are button style bits
// (0x1003: push-like toggle). Native handle, nullptr on failure.
void* CreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                       uint32_t flags);

// Moves and sizes a control (button or canvas) of the calling thread's
// windows as its creation would place it at the current display scale. A
// canvas keeps its picture at its top-left corner, white around it. Nothing
// for an unknown control.
void PlaceControl(int64_t control, int x, int y, int width, int height);

// Called on the window's thread when the display scale of a top-level window
// changed (moved to a monitor of another DPI, or the scale changed while it
// runs). By then ScaleFactorX/Y give the new scale, the control font is made
// for it and every control of the window has it, and the window has taken
// its size for the new scale; the handler places the controls again.
using ScaleChangeHandler = void (*)(int64_t window);
// One handler per window; nullptr removes it. Nothing for an unknown window.
void SetScaleChangeHandler(int64_t window, ScaleChangeHandler handler);

// Keeps the window within the work area of its screen from now on (X11:
// _NET_WORKAREA, or the whole screen where no window manager sets it;
// Windows: its monitor's work area). Where the window at the display's scale,
// with its frame as far as the layer can know it, is larger than that area,
// the layer takes the largest scale at which it fits, but never one below 1
// (display_scale.h), through the same steps as a change of the display's
// scale (ScaleFactorX/Y give it, the scale-change handler runs); a window
// that reaches past the area is moved into it. Done now and again whenever
// the display's scale, the work area or the window's frame changes. The
// scale is the layer's, one for all its windows. Main thread; nothing for an
// unknown window.
void KeepWindowOnScreen(int64_t window);

// Colour 0xBBGGRR, -1 for none.
void SetWindowBackground(int64_t window, int32_t colour);

// A rectangle of a window's client area, in 96-DPI pixels.
struct TextRoom {
    int x = 0, y = 0, width = 0, height = 0;
};

// One line of text on the window's own background, in the control font and
// the button text colour, centred from top to bottom in its rooms (scaled as
// controls are): at the left of `room` when it fits there; otherwise broken
// at a space (SplitFittedText), the words before it right-aligned in
// `headRoom` (a room on the same row before `room`, so that the line reads
// across what lies between) and the rest at the left of `room`, cut with
// "..." only where it fits neither. An empty text leaves the background
// alone in both. The rooms must lie clear of the controls. Every call
// repaints them: callers give only a new text. Main thread; nothing for an
// unknown window.
void SetWindowStatusText(int64_t window, const TextRoom& room, const TextRoom& headRoom,
                         const char* text);

// Keeps the window above the windows that are not kept on top (on: true),
// or lets it go back among them. On X11 the window manager does it, if it
// follows the EWMH: without one nothing changes. Nothing for an unknown
// window.
void SetWindowOnTop(int64_t window, bool on);

int GetOsVersionCode();

// A modal message box; returns when the user closes it.
int ShowMessageBox(const char* title, const char* text, uint32_t flags);

// window -1: the hook for every window of the calling thread.
void SetMessageHook(MessageHook hook, int64_t window = -1);

// The application's handling of one event that FetchEvent returned (a queued
// event's code or a platform message number); false when the event ends the
// application's event loop.
using AppEventHandler = bool (*)(int64_t code);

// While the window system runs a modal loop of its own on the calling
// thread (Windows: a popup menu is open, a window is moved or sized), the
// application's event loop waits for that loop to end, and what the window
// procedure queues would wait with it. The layer then takes each event it
// queued off the queue itself and hands it to this handler, so that timers
// keep doing their work. An event the handler declines goes back to the
// front of the queue, and the layer hands out nothing more until the modal
// loop has ended and the application's loop takes it. X11 and the headless
// layer have no such loops: they keep the handler and never call it.
// nullptr removes it.
void SetModalLoopEventHandler(AppEventHandler handler);

// Starts a timer whose ticks become EVENT_TIMER with the timer id as object;
// intervals below 10 ms give 10 ms. 0 if the window number is unknown.
uint64_t StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs);

// Lets a running timer rest when its ticks have nothing to do: it gives no
// tick before `until` unless the window's thread takes another message
// first, and from either on it ticks at its interval again. Each tick that
// never comes is a wake-up saved. Called on the window's thread.
void RestWindowTimer(int64_t window, uint64_t timerId, std::chrono::steady_clock::time_point until);

// The message side of FetchEvent: takes one platform message (waiting up to
// timeoutMs, -1 = infinite), dispatches it (which may queue events) and
// returns its message number; 0 if none came.
int64_t FetchPlatformMessage(int32_t timeoutMs);

// Horizontal and vertical display scale factors (DPI / 96).
double ScaleFactorX();
double ScaleFactorY();
