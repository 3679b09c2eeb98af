// The table of numbered top-level windows and the window-number property
// through which a native handle leads back to its number and record.
#pragma once

#include <cstdint>
#include <string>

#include "system/windows_api_win32.h"
#include "ui/messages.h"
#include "ui/platform_ui.h"

constexpr WORD TAB_NEXT_COMMAND = 64001;
constexpr WORD TAB_PREVIOUS_COMMAND = 64002;

// Called to erase a window that has no background brush.
using EraseCallback = LRESULT (*)(HDC dc, HWND window, int64_t colourIndex);

// The line of text on a window's background (SetWindowStatusText).
struct StatusTextState {
    std::string text;   // UTF-8; empty: none
    TextRoom room;      // where it goes when it fits (96-DPI pixels)
    TextRoom headRoom;  // where its first words go when it does not
};

struct WindowRecord {
    HWND handle = nullptr;
    ACCEL accelerators[2] = {};
    HACCEL acceleratorTable = nullptr;
    MessageHook hook = nullptr;  // this window's own hook, else the thread's
    int acceleratorCount = 0;
    int32_t background = -1;  // 0xBBGGRR, -1 = the class colour
    HBRUSH brush = nullptr;
    int64_t borrowedClass = 0;  // 0: the layer registered the class and removes it
    EraseCallback erase = nullptr;
    uint16_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;  // 0 = unset
    int32_t minimisedOrMaximised = 0;
    int32_t ready = 0;                          // 1 once CreateTopWindow has finished setting it up
    int32_t clientWidth = 0, clientHeight = 0;  // as asked for, in 96-DPI pixels
    ScaleChangeHandler scaleChanged = nullptr;
    // The DPI of the window's display, as the system said it last (at
    // creation, or in WM_DPICHANGED); the layer's may be less while the
    // window is kept on its screen (KeepWindowOnScreen).
    double displayDpiX = 96.0, displayDpiY = 96.0;
    bool keepOnScreen = false;
    StatusTextState status;
};

WindowRecord* FindWindowRecord(int64_t number);
void ReleaseWindowRecord(int64_t number);

// The window number of `window` or of its nearest ancestor that carries the
// window-number property; -1 if none does. `carrier` receives the handle on
// which the property was found (nullptr if none).
int64_t FindWindowNumber(HWND window, HWND* carrier);

// The window-number property itself (number + 1, so that 0 means absent).
bool HasWindowNumberProperty(HWND window);
void RemoveWindowNumberProperty(HWND window);

// "WindowClass_<number>": each top-level window gets a class of its own.
void FormatWindowClassName(int64_t number, wchar_t* name, size_t capacity);

// The thread's control list target: new controls are created inside it.
HWND ControlListTarget();
void SetControlListTarget(HWND window);
