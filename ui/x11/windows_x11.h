// Numbered top-level windows on X11: their records, the window table, and the
// link from any X window of the layer to the top-level window that holds it
// (what the window-number property and the parent chain give on Windows).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>

#include "system/numbered_table.h"
#include "ui/messages.h"
#include "ui/platform_ui.h"

// The line of text on a window's background (SetWindowStatusText).
struct StatusTextState {
    std::string text;   // empty: none
    TextRoom room;      // where it goes when it fits (96-DPI pixels)
    TextRoom headRoom;  // where its first words go when it does not
};

struct WindowRecord {
    Window handle = 0;
    MessageHook hook = nullptr;     // per-window message hook
    int32_t backgroundColour = -1;  // 0xBBGGRR, -1 = the class colour (button face)
    uint16_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;  // 0 = unset
    bool minimisedOrMaximised = false;
    bool ready = false;          // set once CreateTopWindow has finished
    bool disabled = false;       // while a modal message box is up
    bool active = false;         // has the keyboard focus
    bool keyboardCues = false;   // focus rectangles shown (after keyboard navigation)
    Window focusControl = 0;     // control holding the focus inside the window
    Window rememberedFocus = 0;  // focus to give back when the window is activated again
    bool reparented = false;     // a window manager put a frame around it
    bool destroyed = false;      // another client destroyed the X window
    int x = 0, y = 0, width = 0, height = 0;  // last known position and client size
    Time lastClickTime = 0;                   // for double clicks
    int lastClickX = 0, lastClickY = 0;
    bool lastClickWasDouble = false;
    int clientWidth = 0, clientHeight = 0;  // as asked for, in 96-DPI pixels
    ScaleChangeHandler scaleChanged = nullptr;
    bool keepOnScreen = false;  // KeepWindowOnScreen
    StatusTextState status;
};

NumberedTable<WindowRecord>& WindowTable();

// What an X window of the layer is: a top-level window (number) or a control
// (number) with the window it was created in.
struct WindowLink {
    Window parent = 0;              // 0 for top-level windows
    int64_t windowNumberPlus1 = 0;  // top-level windows: window number + 1
    bool isControl = false;
    int64_t controlNumber = 0;
};

void SetWindowLink(Window window, const WindowLink& link);
bool FindWindowLink(Window window, WindowLink* link);
void RemoveWindowLink(Window window);

// The window number that holds `window`, walking up through parents; -1 if
// none. `holder` receives the top-level window that carries the number.
int64_t FindWindowNumber(Window window, Window* holder);

// The record of the top-level window `window` itself (not of a child), or
// nullptr.
WindowRecord* FindTopWindowRecord(Window window);

// The window's title as window managers read it: WM_NAME and WM_ICON_NAME
// (STRING when ASCII, else UTF-8) and _NET_WM_NAME.
void X11SetWindowTitle(Display* display, Window window, const char* title);

// What every top-level window of the program tells the window manager: the
// size hints (taken over and freed), input and initial state, the class
// "vellumtone"/"Vellumtone" and the close protocol WM_DELETE_WINDOW.
void X11SetTopLevelHints(Display* display, Window window, XSizeHints* size, int initialState);

// Calls visit(record) for every top-level window.
template <typename Visit>
void ForEachTopWindow(Visit visit) {
    WindowTable().ForEach([&](int64_t, WindowRecord& record) { visit(record); });
}

inline void* HandleOf(Window window) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
}
inline Window WindowOf(const void* handle) {
    return static_cast<Window>(reinterpret_cast<uintptr_t>(handle));
}
