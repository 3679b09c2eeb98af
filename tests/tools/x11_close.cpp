// x11_close: asks a window to close the way a window manager's close button
// does, with a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. The
// window is found by its title (_NET_WM_NAME or WM_NAME) anywhere in the
// window tree, so it works with and without a window manager.
//
//   x11_close [--wait SECONDS] TITLE
//
// Exit status: 0 when the request was sent, 1 when no window has the title,
// 2 on bad usage or without a display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ReadTitle(Display* display, Window window, Atom property, std::string* title) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success) {
        return false;
    }
    bool found = data != nullptr && format == 8;
    if (found) title->assign(reinterpret_cast<char*>(data), count);
    if (data != nullptr) XFree(data);
    return found;
}

bool HasTitle(Display* display, Window window, Atom netWmName, const std::string& wanted) {
    std::string title;
    if (ReadTitle(display, window, netWmName, &title) && title == wanted) return true;
    return ReadTitle(display, window, XA_WM_NAME, &title) && title == wanted;
}

Window FindByTitle(Display* display, Window parent, Atom netWmName, const std::string& wanted) {
    if (HasTitle(display, parent, netWmName, wanted)) return parent;
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        found = FindByTitle(display, children[i], netWmName, wanted);
    }
    if (children != nullptr) XFree(children);
    return found;
}

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}  // windows may vanish while we look

}  // namespace

int main(int argc, char** argv) {
    double waitSeconds = 0;
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "--wait") == 0) {
        waitSeconds = std::atof(argv[i + 1]);
        i += 2;
    }
    if (i + 1 != argc) {
        std::fprintf(stderr, "usage: x11_close [--wait SECONDS] TITLE\n");
        return 2;
    }
    std::string wanted = argv[i];
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11_close: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    Window target = 0;
    for (int tries = static_cast<int>(waitSeconds * 10); target == 0; --tries) {
        target = FindByTitle(display, DefaultRootWindow(display), netWmName, wanted);
        if (target != 0 || tries <= 0) break;
        usleep(100000);
    }
    if (target == 0) {
        std::fprintf(stderr, "x11_close: no window titled \"%s\"\n", wanted.c_str());
        XCloseDisplay(display);
        return 1;
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, target, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
