// Keeping a window on its screen on X11 (see screen_fit_x11.h). A window
// manager places a framed window by its frame: with the north-west gravity
// that the layer's windows ask for, a move request gives where the frame's
// outer corner goes, which without a window manager is the window's own.
#include "ui/x11/screen_fit_x11.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ui/display_scale.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/display_scale_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

using Area = ScreenArea;

struct Extents {
    int left = 0, right = 0, top = 0, bottom = 0;
};

// Up to `count` 32-bit values of a CARDINAL property; fewer when it holds
// fewer, none when it is missing.
std::vector<long> Cardinals(Display* display, Window window, const char* name, long count) {
    std::vector<long> values;
    Atom type = None;
    int format = 0;
    unsigned long length = 0, left = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, count, False,
                           XA_CARDINAL, &type, &format, &length, &left, &data) == Success &&
        data != nullptr && type == XA_CARDINAL && format == 32) {
        // Xlib hands 32-bit values over as longs.
        const long* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + length);
    }
    if (data != nullptr) XFree(data);
    return values;
}

Area WorkArea(Display* display) {
    const X11State& x = X11();
    const Area screen{0, 0, DisplayWidth(display, x.screen), DisplayHeight(display, x.screen)};
    const std::vector<long> desktop = Cardinals(display, x.root, "_NET_CURRENT_DESKTOP", 1);
    const long index = desktop.empty() ? 0 : std::clamp(desktop[0], 0L, 1023L);
    const std::vector<long> areas = Cardinals(display, x.root, "_NET_WORKAREA", 4 * (index + 1));
    const size_t first = static_cast<size_t>(4 * index);
    if (areas.size() < first + 4) return screen;
    const Area area{static_cast<int>(areas[first]), static_cast<int>(areas[first + 1]),
                    static_cast<int>(areas[first + 2]), static_cast<int>(areas[first + 3])};
    // A window manager's nonsense (an empty area, or one that reaches past
    // the screen) counts as no word at all.
    const bool sound = area.x >= 0 && area.y >= 0 && area.width > 0 && area.height > 0 &&
                       int64_t{area.x} + area.width <= screen.width &&
                       int64_t{area.y} + area.height <= screen.height;
    return sound ? area : screen;
}

// The work area of the monitor (RandR's) that holds the window's middle:
// _NET_WORKAREA spans every monitor of the screen, and a window fitted to
// it could still run off a smaller monitor.
Area WorkAreaOf(Display* display, Window window) {
    const Area desktop = WorkArea(display);
    int rootX = 0, rootY = 0;
    Window child = 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, X11().root, 0, 0, &rootX, &rootY, &child)) {
        return desktop;
    }
    std::vector<ScreenArea> monitors;
    int count = 0;
    if (XRRMonitorInfo* info = XRRGetMonitors(display, X11().root, True, &count)) {
        for (int i = 0; i < count; ++i) {
            monitors.push_back(ScreenArea{info[i].x, info[i].y, info[i].width, info[i].height});
        }
        XRRFreeMonitors(info);
    }
    return MonitorWorkArea(monitors, desktop, rootX + attributes.width / 2,
                           rootY + attributes.height / 2);
}

Extents FrameExtents(Display* display, Window window) {
    const std::vector<long> values = Cardinals(display, window, "_NET_FRAME_EXTENTS", 4);
    if (values.size() < 4) return Extents{};
    auto side = [](long value) { return static_cast<int>(std::clamp(value, 0L, 4096L)); };
    return Extents{side(values[0]), side(values[1]), side(values[2]), side(values[3])};
}

template <typename Visit>
void ForEachKeptWindow(Visit visit) {
    ForEachTopWindow([&](WindowRecord& record) {
        if (record.keepOnScreen && record.ready && record.handle != 0 && !record.destroyed) {
            visit(record);
        }
    });
}

}  // namespace

double X11ScreenDpi(double displayDpi) {
    Display* display = X11().display;
    double dpi = displayDpi;
    if (display == nullptr) return dpi;
    ForEachKeptWindow([&](WindowRecord& record) {
        const Area area = WorkAreaOf(display, record.handle);
        const Extents frame = FrameExtents(display, record.handle);
        const FrameSize size{frame.left + frame.right, frame.top + frame.bottom};
        dpi =
            std::min(dpi, FitDisplayDpi(displayDpi, record.clientWidth, record.clientHeight,
                                        area.width, area.height, [size](double) { return size; }));
    });
    return dpi;
}

void X11MoveKeptWindowsInside() {
    X11State& x = X11();
    if (x.display == nullptr) return;
    ForEachKeptWindow([&](WindowRecord& record) {
        const Area area = WorkAreaOf(x.display, record.handle);
        int rootX = 0, rootY = 0;
        Window child = 0;
        if (!XTranslateCoordinates(x.display, record.handle, x.root, 0, 0, &rootX, &rootY,
                                   &child)) {
            return;
        }
        const Extents frame = FrameExtents(x.display, record.handle);
        const int outerX = rootX - frame.left, outerY = rootY - frame.top;
        const int width =
            ScaleValue(record.clientWidth, X11ScaleFactorX()) + frame.left + frame.right;
        const int height =
            ScaleValue(record.clientHeight, X11ScaleFactorY()) + frame.top + frame.bottom;
        const int left = PlaceInside(outerX, width, area.x, area.width);
        const int top = PlaceInside(outerY, height, area.y, area.height);
        if (left != outerX || top != outerY) XMoveWindow(x.display, record.handle, left, top);
    });
    XFlush(x.display);
}

bool X11IsWorkAreaProperty(Atom property) {
    Display* display = X11().display;
    return display != nullptr && (property == XInternAtom(display, "_NET_WORKAREA", False) ||
                                  property == XInternAtom(display, "_NET_CURRENT_DESKTOP", False));
}

bool X11IsFrameExtentsProperty(Atom property) {
    Display* display = X11().display;
    return display != nullptr && property == XInternAtom(display, "_NET_FRAME_EXTENTS", False);
}

void X11KeepWindowOnScreen(int64_t number) {
    Display* display = X11().display;
    WindowRecord* record = WindowTable().Find(number);
    if (display == nullptr || record == nullptr || record->handle == 0) return;
    record->keepOnScreen = true;
    // The window manager's word on the frame comes as a property change.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, record->handle, &attributes)) {
        XSelectInput(display, record->handle, attributes.your_event_mask | PropertyChangeMask);
    }
    X11ApplyDisplayScale();
}
