// The popup menu on X11: an override-redirect window (the window manager
// neither frames nor places it) showing the picture of the portable menu
// control (ui/menu_control), which also keeps the menu's rules for the mouse
// and the keys. This file keeps X11's part: while the menu is open it holds
// the pointer and the keyboard grabbed, so every click and key comes to it
// and goes on to the control; a press outside, the owner window losing the
// focus, being iconified or destroyed close it, and every way out lets the
// grabs go. Nothing waits for the menu: ShowPopupMenu returns at once, and a
// choice is posted to the owner as WM_COMMAND, which becomes EVENT_MENU as
// on Windows.
#include "ui/x11/popup_menu_x11.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "ui/menu_control.h"
#include "ui/popup_menu.h"
#include "ui/posted_messages_linux.h"
#include "ui/scaling.h"
#include "ui/x11/control_face_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/picture_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

// A grab can fail for a moment while another client (the window manager
// finishing a key binding) still holds one: as many tries, a millisecond
// apart, before the menu gives up.
constexpr int GRAB_TRIES = 50;

struct MenuState {
    MenuState(std::vector<PopupMenuItem> items, double scale)
        : control(std::move(items), X11ControlFace(), scale),
          width(control.Width()),
          height(control.Height()),
          image(static_cast<size_t>(width) * static_cast<size_t>(height)) {}
    MenuControl control;
    int width, height;
    std::vector<uint32_t> image;
    Window window = 0;
    Window owner = 0;
    bool pointerGrabbed = false, keyboardGrabbed = false;
};

std::unique_ptr<MenuState> openMenu;

// Draws the menu and shows the rows from `top` to `bottom`.
void Paint(MenuState& menu, int top, int bottom) {
    ControlPicture picture{menu.image.data(), menu.width, menu.height, menu.width};
    menu.control.Draw(picture);
    X11ShowPicture(menu.window, picture, ControlRect{0, top, menu.width, bottom});
    XFlush(X11().display);
}

void Close() {
    std::unique_ptr<MenuState> menu = std::move(openMenu);
    Display* display = X11().display;
    if (menu == nullptr || display == nullptr) return;
    if (menu->pointerGrabbed) XUngrabPointer(display, CurrentTime);
    if (menu->keyboardGrabbed) XUngrabKeyboard(display, CurrentTime);
    UnregisterPrivateWindow(menu->window);
    XDestroyWindow(display, menu->window);
    XFlush(display);
}

// Carries out what the control answered: the rows it changed are drawn and
// shown again; a choice goes to the owner after the menu has gone, as
// TrackPopupMenu posts its WM_COMMAND with a high word of 0.
void Follow(const MenuAnswer& answer) {
    if (openMenu == nullptr) return;
    if (answer.close) {
        Window owner = openMenu->owner;
        Close();
        if (answer.command != 0) {
            PostLinuxMessage(HandleOf(owner), MESSAGE_COMMAND,
                             static_cast<uint64_t>(answer.command), 0);
        }
        return;
    }
    if (answer.firstRow < 0) return;
    const MenuControl& control = openMenu->control;
    Paint(*openMenu, control.RowTop(answer.firstRow),
          control.RowTop(answer.lastRow) + control.RowHeight(answer.lastRow));
}

// The keypad's arrows, Home and End move as the others do.
uint32_t MainKeysym(KeySym symbol) {
    switch (symbol) {
        case XK_KP_Up:
            return XK_Up;
        case XK_KP_Down:
            return XK_Down;
        case XK_KP_Home:
            return XK_Home;
        case XK_KP_End:
            return XK_End;
        default:
            return static_cast<uint32_t>(symbol);
    }
}

int64_t HandleMenuEvent(XEvent& event, void*) {
    if (openMenu == nullptr || event.xany.window != openMenu->window) return MESSAGE_X11_OTHER;
    MenuState& menu = *openMenu;
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) Paint(menu, 0, menu.height);
            return MESSAGE_PAINT;
        case MotionNotify:
            Follow(menu.control.PointerMove(event.xmotion.x, event.xmotion.y));
            return MESSAGE_MOUSEMOVE;
        case LeaveNotify:
            Follow(menu.control.PointerLeave());
            return MESSAGE_X11_OTHER;
        case ButtonPress:
            // The grab reports presses anywhere relative to the menu: one
            // outside it closes the menu (and goes nowhere else).
            if (event.xbutton.x < 0 || event.xbutton.y < 0 || event.xbutton.x >= menu.width ||
                event.xbutton.y >= menu.height) {
                Close();
            }
            return event.xbutton.button == Button3 ? MESSAGE_RBUTTONDOWN : MESSAGE_LBUTTONDOWN;
        case ButtonRelease: {
            unsigned button = event.xbutton.button;
            Follow(menu.control.PointerRelease(event.xbutton.x, event.xbutton.y,
                                               button == Button1 || button == Button3));
            return button == Button3 ? MESSAGE_RBUTTONUP : MESSAGE_LBUTTONUP;
        }
        case KeyPress:
            Follow(menu.control.Key(MainKeysym(XLookupKeysym(&event.xkey, 0))));
            return MESSAGE_KEYDOWN;
        case FocusOut:
            // Another client took the keyboard from the menu's grab.
            if (event.xfocus.mode == NotifyNormal || event.xfocus.mode == NotifyWhileGrabbed) {
                Close();
            }
            return MESSAGE_X11_OTHER;
        case DestroyNotify:
        case UnmapNotify:
            Close();
            return MESSAGE_X11_OTHER;
        default:
            return MESSAGE_X11_OTHER;
    }
}

// X11's keysyms are the ones the control names.
static_assert(KEYSYM_UP == XK_Up && KEYSYM_DOWN == XK_Down && KEYSYM_HOME == XK_Home &&
              KEYSYM_END == XK_End && KEYSYM_RETURN == XK_Return &&
              KEYSYM_KP_ENTER == XK_KP_Enter && KEYSYM_SPACE == XK_space &&
              KEYSYM_ESCAPE == XK_Escape);

// Where the menu's top-left corner goes: the pointer, or the owner's client
// area's corner, then moved back onto the screen.
void Place(const MenuState& menu, bool atPointer, int* x, int* y) {
    X11State& xs = X11();
    Display* display = xs.display;
    *x = *y = 0;
    if (atPointer) {
        Window rootReturn, child;
        int windowX, windowY;
        unsigned mask;
        XQueryPointer(display, xs.root, &rootReturn, &child, x, y, &windowX, &windowY, &mask);
    } else {
        Window child;
        XTranslateCoordinates(display, menu.owner, xs.root, 0, 0, x, y, &child);
    }
    int screenWidth = DisplayWidth(display, xs.screen);
    int screenHeight = DisplayHeight(display, xs.screen);
    *x = std::max(0, std::min(*x, screenWidth - menu.width));
    *y = std::max(0, std::min(*y, screenHeight - menu.height));
}

bool Grab(MenuState& menu) {
    Display* display = X11().display;
    for (int tries = 0; tries < GRAB_TRIES; ++tries) {
        if (!menu.pointerGrabbed) {
            menu.pointerGrabbed =
                XGrabPointer(display, menu.window, False,
                             ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                 LeaveWindowMask | EnterWindowMask,
                             GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
        }
        if (!menu.keyboardGrabbed) {
            menu.keyboardGrabbed = XGrabKeyboard(display, menu.window, False, GrabModeAsync,
                                                 GrabModeAsync, CurrentTime) == GrabSuccess;
        }
        if (menu.pointerGrabbed && menu.keyboardGrabbed) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

}  // namespace

bool X11ShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer) {
    X11State& xs = X11();
    Display* display = xs.display;
    WindowRecord* record = WindowTable().Find(window);
    if (display == nullptr || record == nullptr || record->handle == 0 || record->destroyed ||
        items.empty()) {
        return false;
    }
    for (const PopupMenuItem& item : items) {
        if (item.command < 0 || item.command > POPUP_MENU_LAST_COMMAND) return false;
    }
    // One menu at a time, as the system's menus go.
    Close();

    auto menu = std::make_unique<MenuState>(items, X11ScaleFactorY());
    menu->owner = record->handle;
    int x, y;
    Place(*menu, atPointer, &x, &y);

    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    attributes.save_under = True;  // a server that offers it keeps what lies beneath
    attributes.background_pixel = X11PixelForColour(COLOUR_BUTTON_FACE);
    attributes.border_pixel = 0;
    attributes.colormap = xs.colormap;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | KeyPressMask | StructureNotifyMask | FocusChangeMask;
    menu->window = XCreateWindow(
        display, xs.root, x, y, static_cast<unsigned>(menu->width),
        static_cast<unsigned>(menu->height), 0, xs.depth, InputOutput, xs.visual,
        CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWBorderPixel | CWColormap | CWEventMask,
        &attributes);
    if (menu->window == 0) return false;
    XSetTransientForHint(display, menu->window, record->handle);
    RegisterPrivateWindow(menu->window, HandleMenuEvent, nullptr);
    XMapRaised(display, menu->window);
    openMenu = std::move(menu);
    // The map is done before the grabs are asked for: both go in order on
    // the one connection, and a grab needs a viewable window.
    if (!Grab(*openMenu)) {
        Close();
        return false;
    }
    // Opened from the keyboard, the first item is lit for Enter to choose.
    if (!atPointer) openMenu->control.HighlightFirst();
    Paint(*openMenu, 0, openMenu->height);
    return true;
}

void X11DismissPopupMenu(Window owner) {
    if (openMenu != nullptr && (owner == 0 || openMenu->owner == owner)) Close();
}

Window X11PopupMenuWindow() {
    return openMenu != nullptr ? openMenu->window : 0;
}
