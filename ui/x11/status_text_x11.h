// The line of text on a top-level window's background (SetWindowStatusText)
// on X11: the server fills an exposed background itself, and the layer draws
// the text over it in the control font on every paint of the window.
#pragma once

#include "ui/x11/windows_x11.h"

// Draws the window's line, if it has one, on a background filled anew.
void X11PaintStatusText(WindowRecord& record);
