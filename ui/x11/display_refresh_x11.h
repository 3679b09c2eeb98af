// The screens' refresh on X11, which paces the pictures (ui/frame_pacing.h).
// RandR knows each CRTC's mode, and a mode's timings give its refresh; a
// server without RandR 1.2, or one whose modes carry no timings (a virtual
// display), leaves the default. Screens that change (a monitor plugged in,
// another mode chosen) send RRScreenChangeNotify to the root window.
#pragma once

#include <X11/Xlib.h>

// Reads the fastest screen's refresh into the frame pacing and asks the
// server to tell of changes. Called once the connection is open.
void X11WatchDisplayRefresh(Display* display, Window root);

// Takes RandR's change notification, reading the refresh again; false for
// any other event.
bool X11TakeDisplayRefreshEvent(Display* display, XEvent& event);

// Refreshes a second of a mode with these timings; 0 when they are unknown.
double X11ModeRefresh(unsigned long dotClock, unsigned hTotal, unsigned vTotal, bool doubleScan,
                      bool interlace);
