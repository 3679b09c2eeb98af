// Keeping a window on its screen on X11 (KeepWindowOnScreen). The work area
// is the current desktop's rectangle in _NET_WORKAREA, which an EWMH window
// manager keeps on the root window, or the whole screen where none does, cut
// to the RandR monitor that holds the window's middle; a window's frame is its _NET_FRAME_EXTENTS,
// which the window manager sets once it has framed the window: none before, nor without one.
#pragma once

#include <X11/Xlib.h>

// The DPI the layer is to use for the display's `displayDpi`: that DPI, or
// the largest below it at which every window kept on its screen fits there
// (FitDisplayDpi).
double X11ScreenDpi(double displayDpi);

// Moves each window kept on its screen into the work area where it reaches
// past it.
void X11MoveKeptWindowsInside();

// Whether a property of the root window says where the work area is.
bool X11IsWorkAreaProperty(Atom property);
// Whether a property of a window kept on its screen is its frame's size.
bool X11IsFrameExtentsProperty(Atom property);
