// Top-level windows on X11. CreateTopWindow turns the Windows style bits the
// application passes into what a window manager understands: a fixed client
// size becomes equal minimum and maximum size hints, the caption and system
// menu become Motif decoration hints, and the close box becomes the
// WM_DELETE_WINDOW protocol, whose requests the event dispatch turns into a
// close message that only queues an event.
#include "ui/x11/windows_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/window_flags.h"
#include "ui/x11/controls_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/window_icon_x11.h"

void X11SetWindowTitle(Display* display, Window window, const char* title) {
    const X11Atoms& atoms = X11().atoms;
    const char* text = title ? title : "";
    int length = static_cast<int>(std::strlen(text));
    auto bytes = reinterpret_cast<const unsigned char*>(text);
    bool ascii = std::all_of(text, text + length, [](char c) { return (c & 0x80) == 0; });
    Atom legacyType = ascii ? XA_STRING : atoms.utf8String;
    XChangeProperty(display, window, XA_WM_NAME, legacyType, 8, PropModeReplace, bytes, length);
    XChangeProperty(display, window, XA_WM_ICON_NAME, legacyType, 8, PropModeReplace, bytes,
                    length);
    XChangeProperty(display, window, atoms.netWmName, atoms.utf8String, 8, PropModeReplace, bytes,
                    length);
}

void X11SetTopLevelHints(Display* display, Window window, XSizeHints* size, int initialState) {
    XWMHints* hints = XAllocWMHints();
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = initialState;
    XClassHint* classHint = XAllocClassHint();
    classHint->res_name = const_cast<char*>("vellumtone");
    classHint->res_class = const_cast<char*>("Vellumtone");
    XSetWMProperties(display, window, nullptr, nullptr, nullptr, 0, size, hints, classHint);
    XFree(size);
    XFree(hints);
    XFree(classHint);
    Atom protocols[] = {X11().atoms.wmDeleteWindow};
    XSetWMProtocols(display, window, protocols, 1);
}

namespace {

// _MOTIF_WM_HINTS layout and bits, as window managers read them.
struct MotifHints {
    unsigned long flags;
    unsigned long functions;
    unsigned long decorations;
    long inputMode;
    unsigned long status;
};
constexpr unsigned long MWM_HINTS_FUNCTIONS = 1, MWM_HINTS_DECORATIONS = 2;
constexpr unsigned long MWM_FUNC_RESIZE = 2, MWM_FUNC_MOVE = 4, MWM_FUNC_MINIMIZE = 8,
                        MWM_FUNC_MAXIMIZE = 16, MWM_FUNC_CLOSE = 32;
constexpr unsigned long MWM_DECOR_BORDER = 2, MWM_DECOR_RESIZEH = 4, MWM_DECOR_TITLE = 8,
                        MWM_DECOR_MENU = 16, MWM_DECOR_MINIMIZE = 32, MWM_DECOR_MAXIMIZE = 64;

std::mutex& LinkLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

std::unordered_map<Window, WindowLink>& Links() {
    static auto* links = new std::unordered_map<Window, WindowLink>();
    return *links;
}

void SetWindowManagerHints(Display* display, Window window, uint32_t style, bool tool,
                           bool positioned, int left, int top, int width, int height,
                           Window owner) {
    const X11Atoms& atoms = X11().atoms;

    XSizeHints* size = XAllocSizeHints();
    size->flags = PWinGravity;
    size->win_gravity = NorthWestGravity;
    if (positioned) {
        size->flags |= PPosition | USPosition;
        size->x = left;  // obsolete fields, still read by some window managers
        size->y = top;
    }
    if ((style & STYLE_THICK_FRAME) == 0) {
        // A window without a sizing border keeps its size.
        size->flags |= PMinSize | PMaxSize;
        size->min_width = size->max_width = width;
        size->min_height = size->max_height = height;
    }
    X11SetTopLevelHints(display, window, size,
                        (style & STYLE_MINIMIZE) ? IconicState : NormalState);

    long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    Atom type = tool ? atoms.netWmWindowTypeUtility : atoms.netWmWindowTypeNormal;
    XChangeProperty(display, window, atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);

    MotifHints motif = {MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, MWM_FUNC_MOVE, 0, 0, 0};
    if ((style & STYLE_CAPTION) == STYLE_CAPTION)
        motif.decorations |= MWM_DECOR_BORDER | MWM_DECOR_TITLE;
    if (style & STYLE_SYSTEM_MENU) {
        motif.functions |= MWM_FUNC_CLOSE;
        motif.decorations |= MWM_DECOR_MENU;
    }
    if (style & STYLE_THICK_FRAME) {
        motif.functions |= MWM_FUNC_RESIZE;
        motif.decorations |= MWM_DECOR_RESIZEH | MWM_DECOR_BORDER;
    }
    if (style & STYLE_MINIMIZE_BOX) {
        motif.functions |= MWM_FUNC_MINIMIZE;
        motif.decorations |= MWM_DECOR_MINIMIZE;
    }
    if (style & STYLE_MAXIMIZE_BOX) {
        motif.functions |= MWM_FUNC_MAXIMIZE;
        motif.decorations |= MWM_DECOR_MAXIMIZE;
    }
    XChangeProperty(display, window, atoms.motifWmHints, atoms.motifWmHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&motif), 5);

    static const std::vector<unsigned long> icon = X11WindowIcon();
    Atom netWmIcon = XInternAtom(display, "_NET_WM_ICON", False);
    XChangeProperty(display, window, netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));

    if (owner != 0) XSetTransientForHint(display, window, owner);
}

}  // namespace

NumberedTable<WindowRecord>& WindowTable() {
    static NumberedTable<WindowRecord>* table = new NumberedTable<WindowRecord>();
    return *table;
}

void SetWindowLink(Window window, const WindowLink& link) {
    std::lock_guard<std::mutex> hold(LinkLock());
    Links()[window] = link;
}

bool FindWindowLink(Window window, WindowLink* link) {
    std::lock_guard<std::mutex> hold(LinkLock());
    auto found = Links().find(window);
    if (found == Links().end()) return false;
    *link = found->second;
    return true;
}

void RemoveWindowLink(Window window) {
    std::lock_guard<std::mutex> hold(LinkLock());
    Links().erase(window);
}

int64_t FindWindowNumber(Window window, Window* holder) {
    std::lock_guard<std::mutex> hold(LinkLock());
    // Controls nest at most a few levels; the bound guards against a cycle.
    for (int depth = 0; depth < 64 && window != 0; ++depth) {
        auto found = Links().find(window);
        if (found == Links().end()) break;
        if (found->second.windowNumberPlus1 != 0) {
            if (holder != nullptr) *holder = window;
            return found->second.windowNumberPlus1 - 1;
        }
        window = found->second.parent;
    }
    if (holder != nullptr) *holder = 0;
    return -1;
}

WindowRecord* FindTopWindowRecord(Window window) {
    Window holder = 0;
    int64_t number = FindWindowNumber(window, &holder);
    if (number == -1 || holder != window) return nullptr;
    WindowRecord* record = WindowTable().Find(number);
    return record != nullptr && record->handle == window ? record : nullptr;
}

void* X11CreateTopWindow(int64_t number, int x, int y, int width, int height, const char* title,
                         uint32_t flags, void* parent) {
    X11State& xs = X11();
    Display* display = xs.display;
    if (display == nullptr) return nullptr;
    int64_t identifier = 0;
    WindowRecord* record = WindowTable().Create(number, &identifier);
    if (record == nullptr) return nullptr;

    TopWindowFlags decoded = DecodeTopWindowFlags(flags);
    uint32_t style = decoded.style;
    bool tool = decoded.tool;

    // X has no zero-sized windows; Windows would still give a frame.
    int clientWidth = std::max(1, ScaleValue(width, X11ScaleFactorX()));
    int clientHeight = std::max(1, ScaleValue(height, X11ScaleFactorY()));
    bool positioned = !DefaultPlacement(x, y, decoded);
    int left = positioned ? ScaleValue(x, X11ScaleFactorX()) : 0;
    int top = positioned ? ScaleValue(y, X11ScaleFactorY()) : 0;

    XSetWindowAttributes attributes = {};
    attributes.background_pixel = X11PixelForColour(COLOUR_BUTTON_FACE);
    attributes.border_pixel = 0;
    attributes.colormap = xs.colormap;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask |
                            ButtonReleaseMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;
    Window window = XCreateWindow(
        display, xs.root, left, top, static_cast<unsigned>(clientWidth),
        static_cast<unsigned>(clientHeight), 0, xs.depth, InputOutput, xs.visual,
        CWBackPixel | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask, &attributes);
    if (window == 0) {
        WindowTable().Release(identifier);
        return nullptr;
    }
    X11SetWindowTitle(display, window, title);
    SetWindowManagerHints(display, window, style, tool, positioned, left, top, clientWidth,
                          clientHeight, WindowOf(parent));

    WindowLink link;
    link.windowNumberPlus1 = identifier + 1;
    SetWindowLink(window, link);

    record->handle = window;
    record->x = left;
    record->y = top;
    record->width = clientWidth;
    record->height = clientHeight;
    record->clientWidth = width;
    record->clientHeight = height;
    record->minimisedOrMaximised = (style & (STYLE_MINIMIZE | STYLE_MAXIMIZE)) != 0;
    record->backgroundColour = -1;
    if (!decoded.hidden) {
        // Shown without activation: ask the window manager not to focus it.
        if (decoded.noActivate) {
            XWMHints* hints = XGetWMHints(display, window);
            if (hints != nullptr) {
                hints->input = False;
                XSetWMHints(display, window, hints);
                XFree(hints);
            }
        }
        XMapWindow(display, window);
    }
    if (decoded.controls) SetControlListTarget(window);
    record->ready = true;
    XFlush(display);
    // A record made for number -1 is known by its identifier instead.
    if (number == -1) return reinterpret_cast<void*>(static_cast<intptr_t>(identifier));
    return HandleOf(window);
}

void X11SetScaleChangeHandler(int64_t window, ScaleChangeHandler handler) {
    WindowRecord* record = WindowTable().Find(window);
    if (record != nullptr) record->scaleChanged = handler;
}

void X11SetWindowBackground(int64_t number, int32_t colour) {
    Display* display = X11().display;
    WindowRecord* record = WindowTable().Find(number);
    if (display == nullptr || record == nullptr || record->handle == 0) return;
    if (record->backgroundColour == colour) return;
    record->backgroundColour = colour;
    uint32_t shown = colour == -1 ? COLOUR_BUTTON_FACE : static_cast<uint32_t>(colour);
    XSetWindowBackground(display, record->handle, X11PixelForColour(shown));
    // Like RedrawWindow with invalidate and erase on a window that does not
    // clip its children: the window and every control in it repaint.
    XClearArea(display, record->handle, 0, 0, 0, 0, True);
    Window handle = record->handle;
    ControlTable().ForEach([&](int64_t, ControlRecord& control) {
        if (control.holder == handle && control.handle != 0) {
            XClearArea(display, control.handle, 0, 0, 0, 0, True);
        }
    });
    XFlush(display);
}

namespace {

// _NET_WM_STATE's list of atoms on the window, with `state` in it or not.
void EditStateProperty(Display* display, Window window, Atom state, bool on) {
    const X11Atoms& atoms = X11().atoms;
    std::vector<Atom> states;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, atoms.netWmState, 0, 64, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        if (type == XA_ATOM && format == 32) {
            auto* values = reinterpret_cast<unsigned long*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                if (values[i] != state) states.push_back(static_cast<Atom>(values[i]));
            }
        }
        XFree(data);
    }
    if (on) states.push_back(state);
    XChangeProperty(display, window, atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(states.data()),
                    static_cast<int>(states.size()));
}

// True once a window manager manages the window: it sets WM_STATE then.
bool Managed(Display* display, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool managed =
        XGetWindowProperty(display, window, X11().atoms.wmState, 0, 2, False, AnyPropertyType,
                           &type, &format, &count, &after, &data) == Success &&
        type != None;
    if (data != nullptr) XFree(data);
    return managed;
}

}  // namespace

// The EWMH way: a window manager owns _NET_WM_STATE of a window it
// manages, and a client asks it for a change with a _NET_WM_STATE client
// message to the root window; a window it does not manage yet carries the
// state in the property itself, which the window manager reads when it
// takes the window on. A window mapped but not yet managed gets both: the
// window manager may take it on between the two.
void X11SetWindowOnTop(int64_t number, bool on) {
    X11State& xs = X11();
    Display* display = xs.display;
    WindowRecord* record = WindowTable().Find(number);
    if (display == nullptr || record == nullptr || record->handle == 0 || record->destroyed) return;
    constexpr long NET_WM_STATE_REMOVE = 0, NET_WM_STATE_ADD = 1;
    constexpr long SOURCE_APPLICATION = 1;
    Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
    if (!Managed(display, record->handle)) EditStateProperty(display, record->handle, above, on);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = record->handle;
    event.xclient.message_type = xs.atoms.netWmState;
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? NET_WM_STATE_ADD : NET_WM_STATE_REMOVE;
    event.xclient.data.l[1] = static_cast<long>(above);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = SOURCE_APPLICATION;
    XSendEvent(display, xs.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}
