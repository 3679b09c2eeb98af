// The display connections and display scaling. Xlib is switched to its
// thread-safe mode before anything else, because the drawing thread and the
// main thread both put canvas pictures on the screen through the picture
// connection. The scale factors come from the Xft.dpi resource,
// which is what desktop environments set when the user picks a scaling,
// bounded to a DPI from 48 to 480 (display_scale.h).
#include "ui/x11/display_x11.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "ui/display_scale.h"
#include "ui/platform_ui.h"
#include "ui/x11/control_face_x11.h"
#include "ui/x11/display_refresh_x11.h"
#include "ui/x11/display_scale_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/popup_menu_x11.h"

namespace {

std::atomic<int> trappedErrors{0};
bool closed = false;

// Xlib's default handler ends the process on any error. Errors here are the
// expected kind (a request on a window that went away, a refused shared
// memory segment): count them and carry on.
int CountError(Display*, XErrorEvent*) {
    trappedErrors.fetch_add(1);
    return 0;
}

void InternAtoms(Display* display, X11Atoms& atoms) {
    const char* names[] = {"WM_PROTOCOLS",
                           "WM_DELETE_WINDOW",
                           "WM_STATE",
                           "_NET_WM_NAME",
                           "_NET_WM_PID",
                           "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_NORMAL",
                           "_NET_WM_WINDOW_TYPE_DIALOG",
                           "_NET_WM_WINDOW_TYPE_UTILITY",
                           "_NET_WM_STATE",
                           "_NET_WM_STATE_MODAL",
                           "_MOTIF_WM_HINTS",
                           "UTF8_STRING"};
    constexpr int count = sizeof(names) / sizeof(names[0]);
    Atom values[count];
    XInternAtoms(display, const_cast<char**>(names), count, False, values);
    Atom* fields[] = {&atoms.wmProtocols,
                      &atoms.wmDeleteWindow,
                      &atoms.wmState,
                      &atoms.netWmName,
                      &atoms.netWmPid,
                      &atoms.netWmWindowType,
                      &atoms.netWmWindowTypeNormal,
                      &atoms.netWmWindowTypeDialog,
                      &atoms.netWmWindowTypeUtility,
                      &atoms.netWmState,
                      &atoms.netWmStateModal,
                      &atoms.motifWmHints,
                      &atoms.utf8String};
    for (int i = 0; i < count; ++i) *fields[i] = values[i];
}

// Position of the lowest set bit and the width of a TrueColor channel mask.
void MaskShape(unsigned long mask, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (mask == 0) return;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++*bits;
    }
}

unsigned long ScaleChannel(unsigned value8, unsigned long mask) {
    int shift, bits;
    MaskShape(mask, &shift, &bits);
    if (bits == 0) return 0;
    unsigned long top = (1ul << bits) - 1;
    return ((value8 * top + 127) / 255) << shift;
}

}  // namespace

X11State& X11() {
    // Never destroyed: threads that outlive the event loop may still look.
    static X11State* state = new X11State();
    return *state;
}

std::shared_mutex& X11ConnectionLock() {
    static std::shared_mutex* lock = new std::shared_mutex();
    return *lock;
}

bool X11ConnectionClosed() {
    return closed;
}

bool X11UiLayerInit() {
    X11State& x = X11();
    if (x.display != nullptr) return true;
    XInitThreads();
    XSetIOErrorHandler(X11DisplayLost);
    XrmInitialize();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        std::fprintf(stderr, "vellumtone: cannot open the X display \"%s\"\n",
                     name != nullptr ? name : "");
        return false;
    }
    XSetErrorHandler(CountError);
    // Without this a held key repeats as release-press pairs, and every
    // release of Space would click the focused button again.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    x.screen = DefaultScreen(display);
    x.root = RootWindow(display, x.screen);
    x.visual = DefaultVisual(display, x.screen);
    x.depth = DefaultDepth(display, x.screen);
    x.colormap = DefaultColormap(display, x.screen);
    InternAtoms(display, x.atoms);
    x.displayDpi = x.dpiX = x.dpiY = X11ReadXftDpi(display);
    X11WatchDisplayScale(display, x.root);
    X11WatchDisplayRefresh(display, x.root);
    int firstEvent = 0, firstError = 0;
    x.shmAvailable =
        XShmQueryExtension(display) &&
        XQueryExtension(display, "MIT-SHM", &x.shmMajorOpcode, &firstEvent, &firstError);
    x.display = display;
    X11OpenControlFace();
    closed = false;
    return true;
}

void X11UiLayerClose() {
    X11State& x = X11();
    if (x.display == nullptr) return;
    X11DismissPopupMenu(0);
    std::unique_lock<std::shared_mutex> hold(X11ConnectionLock());
    if (x.pictureDisplay != nullptr) XCloseDisplay(x.pictureDisplay);
    x.pictureDisplay = nullptr;
    x.pictureVisual = nullptr;
    XCloseDisplay(x.display);
    x.display = nullptr;
    closed = true;
}

Display* X11PictureDisplay() {
    X11State& x = X11();
    if (x.display == nullptr) return nullptr;
    if (x.pictureDisplay == nullptr) {
        Display* pictures = XOpenDisplay(DisplayString(x.display));
        if (pictures == nullptr) return x.display;
        x.pictureVisual = DefaultVisual(pictures, DefaultScreen(pictures));
        x.pictureDisplay = pictures;
    }
    return x.pictureDisplay;
}

double X11ScaleFactorX() {
    return X11().dpiX / 96.0;
}
double X11ScaleFactorY() {
    return X11().dpiY / 96.0;
}

unsigned long X11PixelForColour(uint32_t colour) {
    X11State& x = X11();
    unsigned red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    if (x.visual != nullptr &&
        (x.visual->c_class == TrueColor || x.visual->c_class == DirectColor)) {
        return ScaleChannel(red, x.visual->red_mask) | ScaleChannel(green, x.visual->green_mask) |
               ScaleChannel(blue, x.visual->blue_mask);
    }
    if (x.display == nullptr) return 0;
    XColor wanted = {};
    wanted.red = static_cast<unsigned short>(red * 257);
    wanted.green = static_cast<unsigned short>(green * 257);
    wanted.blue = static_cast<unsigned short>(blue * 257);
    wanted.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(x.display, x.colormap, &wanted)) return wanted.pixel;
    return (red + green + blue) / 3 > 127 ? WhitePixel(x.display, x.screen)
                                          : BlackPixel(x.display, x.screen);
}

void X11TrapErrors() {
    trappedErrors.store(0);
}
int X11ErrorsSinceTrap() {
    return trappedErrors.load();
}

GC X11CreateGC(Drawable drawable, Display* display) {
    XGCValues values = {};
    values.graphics_exposures = False;
    return XCreateGC(display != nullptr ? display : X11().display, drawable, GCGraphicsExposures,
                     &values);
}

void X11OpenControlFace() {
    X11State& x = X11();
    // DEFAULT_GUI_FONT's size: 9 points at the scale in use.
    x.controlFace.Open(9.0 * x.dpiY / 72.0);
}

const ControlTextFace& X11ControlFace() {
    return X11().controlFace;
}
