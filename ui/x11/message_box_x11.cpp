// The modal message box on X11: a small fixed-size dialog showing the
// portable message box control's picture (ui/message_box_control.h): the
// text over a white area and an OK button on a button-face strip, as
// MessageBoxW shows it. While it is up, the other windows of the layer take
// no input and no close request, and messages keep flowing (posted capture
// blocks, timers, repaints) through the layer's own dispatch, like the
// modal loop of MessageBoxW. The text also goes to stderr, which is all
// that is shown when there is no display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/control_keys.h"
#include "ui/message_box_control.h"
#include "ui/platform_ui.h"
#include "ui/x11/control_face_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/picture_x11.h"
#include "ui/x11/popup_menu_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

static_assert(KEYSYM_RETURN == XK_Return && KEYSYM_KP_ENTER == XK_KP_Enter &&
              KEYSYM_ESCAPE == XK_Escape && KEYSYM_SPACE == XK_space);

struct MessageBoxState {
    explicit MessageBoxState(const std::string& text)
        : control(text, X11ControlFace(), X11ScaleFactorX()),
          width(control.Width()),
          height(control.Height()),
          pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0) {}
    MessageBoxControl control;
    int width, height;
    std::vector<uint32_t> pixels;  // the box's picture, the window's size
    Window window = 0;
    std::string title;
    bool done = false;
};

void Paint(MessageBoxState& box) {
    const ControlPicture picture{box.pixels.data(), box.width, box.height, box.width};
    box.control.Draw(picture);
    X11ShowPicture(box.window, picture, ControlRect{0, 0, box.width, box.height});
    XFlush(X11().display);
}

void Answer(MessageBoxState& box, const MessageBoxAnswer& answer) {
    if (answer.close) box.done = true;
    if (answer.redraw && !box.done) Paint(box);
}

int64_t HandleBoxEvent(XEvent& event, void* context) {
    auto& box = *static_cast<MessageBoxState*>(context);
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) Paint(box);
            return MESSAGE_PAINT;
        case ClientMessage:
            if (event.xclient.message_type == X11().atoms.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == X11().atoms.wmDeleteWindow) {
                box.done = true;
                return MESSAGE_CLOSE;
            }
            return MESSAGE_X11_OTHER;
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                Answer(box, box.control.PointerPress(event.xbutton.x, event.xbutton.y));
            }
            return MESSAGE_LBUTTONDOWN;
        case MotionNotify:
            Answer(box, box.control.PointerMove(event.xmotion.x, event.xmotion.y));
            return MESSAGE_MOUSEMOVE;
        case ButtonRelease:
            if (event.xbutton.button == Button1) {
                Answer(box, box.control.PointerRelease(event.xbutton.x, event.xbutton.y));
            }
            return MESSAGE_LBUTTONUP;
        case KeyPress:
            Answer(box, box.control.Key(static_cast<uint32_t>(XLookupKeysym(&event.xkey, 0))));
            return MESSAGE_KEYDOWN;
        default:
            return MESSAGE_X11_OTHER;
    }
}

Window CreateBoxWindow(MessageBoxState& box, Window owner) {
    X11State& xs = X11();
    Display* display = xs.display;
    int screenWidth = DisplayWidth(display, xs.screen),
        screenHeight = DisplayHeight(display, xs.screen);
    XSetWindowAttributes attributes = {};
    attributes.background_pixel = X11PixelForColour(COLOUR_WINDOW);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask |
                            KeyPressMask | StructureNotifyMask;
    Window window = XCreateWindow(display, xs.root, (screenWidth - box.width) / 2,
                                  (screenHeight - box.height) / 2, static_cast<unsigned>(box.width),
                                  static_cast<unsigned>(box.height), 0, xs.depth, InputOutput,
                                  xs.visual, CWBackPixel | CWEventMask, &attributes);
    X11SetWindowTitle(display, window, box.title.c_str());
    XSizeHints* size = XAllocSizeHints();
    size->flags = PMinSize | PMaxSize | PPosition;
    size->min_width = size->max_width = box.width;
    size->min_height = size->max_height = box.height;
    X11SetTopLevelHints(display, window, size, NormalState);
    Atom type = xs.atoms.netWmWindowTypeDialog;
    XChangeProperty(display, window, xs.atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    Atom modal = xs.atoms.netWmStateModal;
    XChangeProperty(display, window, xs.atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&modal), 1);
    if (owner != 0) XSetTransientForHint(display, window, owner);
    return window;
}

}  // namespace

int X11ShowMessageBox(const char* title, const char* text, uint32_t /*flags*/) {
    std::string titleText = title ? title : "";
    std::string bodyText = text ? text : "";
    std::fprintf(stderr, "%s: %s\n", titleText.c_str(), bodyText.c_str());
    std::fflush(stderr);
    Display* display = X11().display;
    if (display == nullptr) return MESSAGE_BOX_OK;
    // The menu's grabs would keep every click and key from the box.
    X11DismissPopupMenu(0);

    // The owner is the active window of this process; every window of the
    // layer that takes input now is disabled until the box is answered.
    Window owner = 0;
    std::vector<WindowRecord*> disabled;
    ForEachTopWindow([&](WindowRecord& record) {
        if (record.handle == 0) return;
        if (record.active) owner = record.handle;
        if (!record.disabled) {
            record.disabled = true;
            disabled.push_back(&record);
        }
    });

    MessageBoxState box(bodyText);
    box.title = titleText;
    box.window = CreateBoxWindow(box, owner);
    RegisterPrivateWindow(box.window, HandleBoxEvent, &box);
    XMapRaised(display, box.window);
    XFlush(display);
    while (!box.done && X11().display != nullptr) X11FetchPlatformMessage(-1);
    UnregisterPrivateWindow(box.window);
    XDestroyWindow(display, box.window);
    XFlush(display);
    for (WindowRecord* record : disabled) record->disabled = false;
    return MESSAGE_BOX_OK;
}
