// What screen readers are shown of the program: each top-level window with
// its title, and in it the parts a reader finds, names and uses: level
// indicators with their value and its text, push buttons with a click.
// Only where an accessibility service runs does the platform serve readers,
// and then on a thread of its own, so that a reader never holds up the
// meters; elsewhere nothing is started and every call does nothing.
// accessibility_atk.cpp serves AT-SPI through ATK and atk-bridge under
// both Linux window layers; win32/accessibility_win32.cpp serves the level
// indicators through UI Automation and MSAA (the native button and menu
// serve themselves); accessibility_null.cpp serves nothing.
#pragma once

#include <cstdint>

enum class AccessibleRole {
    LEVEL_INDICATOR,  // a value within a range, read only
    PUSH_BUTTON,      // a click action
};

// One part of a window as readers find it.
struct AccessiblePart {
    int64_t control = 0;  // its control number
    AccessibleRole role = AccessibleRole::LEVEL_INDICATOR;
    const char* name = "";                    // UTF-8: a level's name, a button's label
    int x = 0, y = 0, width = 0, height = 0;  // in the client area, 96-DPI pixels
    // A level's range, its value at first and that value's text.
    double minimum = 0, maximum = 0, value = 0;
    const char* text = "";
};

// Looks, cheaply, whether an accessibility service runs where readers could
// listen, and if so starts serving them; false (and nothing started) if not.
// Main thread, once, after UiLayerInit.
bool AccessibilityInit();

// Stops serving readers, telling them the program is gone, before the
// window layer closes. Main thread.
void AccessibilityClose();

// Shows readers a top-level window: its number and native handle, its title,
// its client area's size in 96-DPI pixels and its parts. A reader's click on
// a push button clicks it as the mouse would: MESSAGE_CLICK_CONTROL is
// posted to the window. Main thread.
void ExposeWindow(int64_t window, void* handle, const char* title, int width, int height,
                  const AccessiblePart* parts, int count);

// A level indicator's new value and text ("-12.3 dB"). Any thread: it only
// leaves the news for the readers' thread and never waits for a reader.
void SetAccessibleLevel(int64_t control, double value, const char* text);

// Has readers say a short text now, as from the window (AT-SPI's
// announcement on Linux, a UI Automation notification on Windows where the
// system has it). Any thread; it never waits for a reader.
void AnnounceText(int64_t window, const char* text);
