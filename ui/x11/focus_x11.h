// Keyboard focus among the controls of a top-level window, tab navigation
// and the keyboard cues (focus rectangles shown once the keyboard is used).
// X keeps its focus on the top-level window; which control inside it has
// the focus is the layer's own record, as on Windows.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "ui/x11/windows_x11.h"

// Gives the focus to `control` (0: to no control) and lets the old and the
// new holder redraw.
void SetControlFocus(WindowRecord& window, Window control);

// Moves the focus to the next (or previous) enabled, visible tab stop of the
// window, in creation order, wrapping around.
void NavigateTab(WindowRecord& window, bool next);

// Shows or hides the focus rectangles of the window's controls.
void SetKeyboardCues(WindowRecord& window, bool visible);

// True when `control` is the focused control of an active window whose
// keyboard cues are visible.
bool ShowsFocusRectangle(Window control);

// The Windows virtual-key code of a key event (0 when there is none).
uint32_t VirtualKeyOf(XKeyEvent& event);
