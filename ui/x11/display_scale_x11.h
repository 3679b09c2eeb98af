// The display scale on X11 follows the Xft.dpi resource, which desktops set
// (with xrdb) in the RESOURCE_MANAGER property of the root window when the
// user picks a scale. The layer reads it at start-up and watches the
// property; when the value changes while the program runs (or a window kept
// on its screen needs another scale, see screen_fit_x11.h), each top-level
// window is told as Windows tells a per-monitor aware window whose monitor
// changed its DPI: MESSAGE_DPICHANGED through the window procedure, with
// the rectangle suggested for the new scale.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "ui/x11/windows_x11.h"

constexpr uint32_t MESSAGE_DPICHANGED = 0x02E0;  // WM_DPICHANGED

// What MESSAGE_DPICHANGED points to in lParam on X11, where Windows passes
// the suggested window rectangle: the new DPI as the layer will use it (the
// message's wParam has it as whole numbers, as on Windows) and the
// suggested client rectangle on the screen.
struct X11ScaleChange {
    double dpiX, dpiY;
    int x, y, width, height;
};

// Xft.dpi as the RESOURCE_MANAGER property holds it now (the copy that the
// connection took when it opened keeps the old value), bounded
// (display_scale.h); 96 when it is unset.
double X11ReadXftDpi(Display* display);

// From now on a change of the root window's resources, or of the work area,
// reaches the windows as MESSAGE_DPICHANGED where the scale changes. Called
// once the connection is open.
void X11WatchDisplayScale(Display* display, Window root);

// Gives the windows the scale the layer is to use now: Xft.dpi, or less where
// a window kept on its screen needs it (screen_fit_x11.h). Where that differs
// from the scale in use, each top-level window gets MESSAGE_DPICHANGED; then
// the windows kept on their screen are moved inside it. True when the scale
// changed.
bool X11ApplyDisplayScale();

// What the window procedure does with MESSAGE_DPICHANGED for a top-level
// window (as the Windows layer does with WM_DPICHANGED): the layer takes the
// scale and makes the control font for it, the window takes the suggested
// size, and its scale-change handler runs. Returns 0.
int64_t X11OnDpiChanged(WindowRecord& record, int64_t number, const X11ScaleChange* change);
