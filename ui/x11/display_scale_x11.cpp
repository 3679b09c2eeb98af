// Watching Xft.dpi while the program runs (see display_scale_x11.h).
#include "ui/x11/display_scale_x11.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/display_scale.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/control_face_x11.h"
#include "ui/x11/controls_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/screen_fit_x11.h"

namespace {

// The resources are text of a few kilobytes; more is not read.
constexpr long RESOURCE_LONGS = 1 << 20;

// Text that is no number reads as 0, which the bound turns into 96 like an
// unset resource.
double XftDpiOf(const char* resources) {
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (database == nullptr) return DEFAULT_DISPLAY_DPI;
    double dpi = DEFAULT_DISPLAY_DPI;
    char* type = nullptr;
    XrmValue value;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        dpi = BoundDisplayDpi(std::strtod(value.addr, nullptr));
    }
    XrmDestroyDatabase(database);
    return dpi;
}

// A fixed-size window tells the window manager its size as both its
// smallest and its largest: both follow the new size, or the manager would
// hold the window at the old one.
void SetFixedSize(Display* display, Window window, int width, int height) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) return;
    long supplied = 0;
    if (XGetWMNormalHints(display, window, hints, &supplied) && (hints->flags & PMinSize) &&
        (hints->flags & PMaxSize) && hints->min_width == hints->max_width &&
        hints->min_height == hints->max_height) {
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, window, hints);
    }
    XFree(hints);
}

// The root window's events: a new RESOURCE_MANAGER may carry a new Xft.dpi,
// and the work area may change (a panel added, another desktop).
int64_t OnRootEvent(XEvent& event, void*) {
    if (event.type != PropertyNotify) return MESSAGE_X11_OTHER;
    X11State& x = X11();
    if (event.xproperty.atom == XA_RESOURCE_MANAGER) {
        x.displayDpi = X11ReadXftDpi(x.display);
    } else if (!X11IsWorkAreaProperty(event.xproperty.atom)) {
        return MESSAGE_X11_OTHER;
    }
    return X11ApplyDisplayScale() ? MESSAGE_DPICHANGED : MESSAGE_X11_OTHER;
}

}  // namespace

bool X11ApplyDisplayScale() {
    X11State& x = X11();
    const double dpi = X11ScreenDpi(x.displayDpi);
    const bool changed = dpi != x.dpiX || dpi != x.dpiY;
    std::vector<Window> windows;
    ForEachTopWindow([&](WindowRecord& record) {
        if (changed && record.ready && record.handle != 0) windows.push_back(record.handle);
    });
    if (changed && windows.empty()) {
        // Windows made from now on take the new scale.
        X11ScaleChange change{dpi, dpi, 0, 0, 0, 0};
        WindowRecord none;
        X11OnDpiChanged(none, -1, &change);
    }
    const auto whole = static_cast<uint64_t>(std::lround(dpi)) & 0xFFFF;
    for (Window window : windows) {
        WindowRecord* record = FindTopWindowRecord(window);
        if (record == nullptr) continue;
        // Where it is, at the size its client area has at the new scale.
        const double scale = dpi / DEFAULT_DISPLAY_DPI;
        X11ScaleChange change{dpi,
                              dpi,
                              record->x,
                              record->y,
                              std::clamp(ScaleValue(record->clientWidth, scale), 1, 32767),
                              std::clamp(ScaleValue(record->clientHeight, scale), 1, 32767)};
        TopWindowProcedure(window, MESSAGE_DPICHANGED, whole << 16 | whole,
                           reinterpret_cast<int64_t>(&change));
    }
    X11MoveKeptWindowsInside();
    return changed;
}

double X11ReadXftDpi(Display* display) {
    Atom type = None;
    int format = 0;
    unsigned long length = 0, left = 0;
    unsigned char* text = nullptr;
    double dpi = DEFAULT_DISPLAY_DPI;
    if (XGetWindowProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, 0,
                           RESOURCE_LONGS, False, XA_STRING, &type, &format, &length, &left,
                           &text) == Success &&
        text != nullptr && type == XA_STRING && format == 8) {
        // Xlib ends the text with a zero byte beyond its length.
        dpi = XftDpiOf(reinterpret_cast<const char*>(text));
    }
    if (text != nullptr) XFree(text);
    return dpi;
}

void X11WatchDisplayScale(Display* display, Window root) {
    // The root window's events reach this connection only for what it
    // selects; no other part of the layer selects any.
    XSelectInput(display, root, PropertyChangeMask);
    RegisterPrivateWindow(root, OnRootEvent, nullptr);
}

int64_t X11OnDpiChanged(WindowRecord& record, int64_t number, const X11ScaleChange* change) {
    X11State& x = X11();
    if (change == nullptr || x.display == nullptr) return 0;
    x.dpiX = BoundDisplayDpi(change->dpiX);
    x.dpiY = BoundDisplayDpi(change->dpiY);
    X11OpenControlFace();
    Window window = record.handle;
    if (window != 0) {
        SetFixedSize(x.display, window, change->width, change->height);
        XResizeWindow(x.display, window, static_cast<unsigned>(change->width),
                      static_cast<unsigned>(change->height));
        // The window keeps its old pixels where it still reaches (north-west
        // bit gravity): a line of text on its background is drawn again.
        if (!record.status.text.empty()) XClearArea(x.display, window, 0, 0, 0, 0, True);
        // Every control repaints, with the new font where it has text.
        ControlTable().ForEach([&](int64_t, ControlRecord& control) {
            if (control.holder == window && control.handle != 0) {
                XClearArea(x.display, control.handle, 0, 0, 0, 0, True);
            }
        });
        // The handler may destroy the window, and the record with it.
        if (ScaleChangeHandler handler = record.scaleChanged) handler(number);
    }
    XFlush(x.display);
    return 0;
}
