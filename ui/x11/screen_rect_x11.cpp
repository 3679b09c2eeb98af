// Where a window's client area lies on the screen, for the screen readers'
// thread. It asks on a connection of its own, opened when a reader first
// asks and kept: a reply read on the main connection by another thread
// could take the main thread's events along with it, out of sight of its
// wait.
#include <X11/Xlib.h>

#include <mutex>
#include <shared_mutex>

#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

std::mutex askingLock;
Display* asking = nullptr;  // under askingLock

}  // namespace

bool X11WindowScreenRect(void* window, int* x, int* y, int* width, int* height) {
    std::lock_guard<std::mutex> hold(askingLock);
    if (asking == nullptr) {
        std::shared_lock<std::shared_mutex> connection(X11ConnectionLock());
        Display* main = X11().display;
        if (X11ConnectionClosed() || main == nullptr) return false;
        asking = XOpenDisplay(DisplayString(main));
        if (asking == nullptr) return false;
    }
    // A window that is gone gives an error, which the layer's handler only
    // counts, and a false result.
    Window root = 0, child = 0;
    int left = 0, top = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (!XGetGeometry(asking, WindowOf(window), &root, &left, &top, &w, &h, &border, &depth) ||
        !XTranslateCoordinates(asking, WindowOf(window), root, 0, 0, &left, &top, &child)) {
        return false;
    }
    *x = left;
    *y = top;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}
