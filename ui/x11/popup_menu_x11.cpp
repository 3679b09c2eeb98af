// The popup menu on X11, drawn by the layer in the look of its button and
// message box: an override-redirect window (the window manager neither
// frames nor places it) with a raised 3D edge, items in the control text at
// the display scale, a check mark before a checked item, greyed text for a
// disabled one and etched lines for separators. While it is open it holds
// the pointer and the keyboard grabbed, so every click and key comes to it:
// the mouse highlights the item under it and a release on an enabled item
// chooses it; Up and Down move to the previous or next enabled item, Home
// and End to the first or last, Enter chooses, Escape closes. A press
// outside, the owner window losing the focus, being iconified or destroyed
// close it too, and every way out lets the grabs go. Nothing waits for the
// menu: ShowPopupMenu returns at once, and a choice is posted to the owner
// as WM_COMMAND, which becomes EVENT_MENU as on Windows.
#include "ui/x11/popup_menu_x11.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "ui/popup_menu.h"
#include "ui/posted_messages_linux.h"
#include "ui/scaling.h"
#include "ui/x11/control_text_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

// Layout in 96-DPI pixels.
constexpr int EDGE = 2;              // the raised edge around the items
constexpr int ITEM_PADDING = 4;      // above and below an item's text
constexpr int CHECK_GUTTER = 24;     // left of the text: the check mark's place
constexpr int TEXT_RIGHT = 20;       // right of the longest text
constexpr int SEPARATOR_HEIGHT = 8;  // a separator line's row
constexpr int MIN_WIDTH = 120;

constexpr uint32_t COLOUR_HIGHLIGHT = 0xD77800;       // COLOR_HIGHLIGHT, 0, 120, 215
constexpr uint32_t COLOUR_HIGHLIGHT_TEXT = 0xFFFFFF;  // COLOR_HIGHLIGHTTEXT
constexpr uint32_t COLOUR_GRAY_TEXT = 0x6D6D6D;       // COLOR_GRAYTEXT, 109, 109, 109

// A grab can fail for a moment while another client (the window manager
// finishing a key binding) still holds one: as many tries, a millisecond
// apart, before the menu gives up.
constexpr int GRAB_TRIES = 50;

struct MenuRow {
    PopupMenuItem item;
    int top = 0, height = 0;
};

struct MenuState {
    Window window = 0;
    Window owner = 0;
    std::vector<MenuRow> rows;
    int width = 0, height = 0;
    int highlighted = -1;  // row index, -1 for none
    bool pointerGrabbed = false, keyboardGrabbed = false;
};

std::unique_ptr<MenuState> openMenu;

bool Selectable(const MenuRow& row) {
    return row.item.command != 0 && row.item.enabled;
}

void Line(Display* display, Drawable d, GC gc, uint32_t colour, int x0, int y0, int x1, int y1) {
    XSetForeground(display, gc, X11PixelForColour(colour));
    XDrawLine(display, d, gc, x0, y0, x1, y1);
}

void DrawCheckMark(Display* display, Drawable d, GC gc, uint32_t colour, int x, int y, int size) {
    // A tick: down from the left to a third across, then up to the right.
    int thickness = std::max(2, size / 6);
    XSetForeground(display, gc, X11PixelForColour(colour));
    XSetLineAttributes(display, gc, static_cast<unsigned>(thickness), LineSolid, CapButt,
                       JoinMiter);
    XPoint points[3] = {{static_cast<short>(x), static_cast<short>(y + size / 2)},
                        {static_cast<short>(x + size / 3), static_cast<short>(y + size * 5 / 6)},
                        {static_cast<short>(x + size), static_cast<short>(y + size / 6)}};
    XDrawLines(display, d, gc, points, 3, CoordModeOrigin);
    XSetLineAttributes(display, gc, 1, LineSolid, CapButt, JoinMiter);
}

void Paint(MenuState& menu) {
    X11State& xs = X11();
    Display* display = xs.display;
    if (display == nullptr || menu.window == 0) return;
    int w = menu.width, h = menu.height;
    Pixmap buffer = XCreatePixmap(display, menu.window, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), static_cast<unsigned>(xs.depth));
    GC gc = X11CreateGC(buffer);
    XftDraw* draw = XftDrawCreate(display, buffer, xs.visual, xs.colormap);
    ControlTextFont font = ControlTextFontNow();
    double fx = X11ScaleFactorX();

    XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_FACE));
    XFillRectangle(display, buffer, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    // The raised edge of a menu: light outside top-left, dark bottom-right.
    Line(display, buffer, gc, COLOUR_3D_LIGHT, 0, 0, w - 2, 0);
    Line(display, buffer, gc, COLOUR_3D_LIGHT, 0, 0, 0, h - 2);
    Line(display, buffer, gc, COLOUR_3D_DARK_SHADOW, 0, h - 1, w - 1, h - 1);
    Line(display, buffer, gc, COLOUR_3D_DARK_SHADOW, w - 1, 0, w - 1, h - 1);
    Line(display, buffer, gc, COLOUR_BUTTON_HIGHLIGHT, 1, 1, w - 3, 1);
    Line(display, buffer, gc, COLOUR_BUTTON_HIGHLIGHT, 1, 1, 1, h - 3);
    Line(display, buffer, gc, COLOUR_BUTTON_SHADOW, 1, h - 2, w - 2, h - 2);
    Line(display, buffer, gc, COLOUR_BUTTON_SHADOW, w - 2, 1, w - 2, h - 2);

    int edge = EDGE;
    int gutter = ScaleValue(CHECK_GUTTER, fx);
    int fontHeight = font.ascent + font.descent;
    for (size_t i = 0; i < menu.rows.size(); ++i) {
        const MenuRow& row = menu.rows[i];
        if (row.item.command == 0) {
            // An etched line across the row's middle.
            int y = row.top + row.height / 2 - 1;
            Line(display, buffer, gc, COLOUR_BUTTON_SHADOW, edge + 1, y, w - edge - 2, y);
            Line(display, buffer, gc, COLOUR_BUTTON_HIGHLIGHT, edge + 1, y + 1, w - edge - 2,
                 y + 1);
            continue;
        }
        bool lit = static_cast<int>(i) == menu.highlighted;
        uint32_t textColour = !row.item.enabled ? COLOUR_GRAY_TEXT
                              : lit             ? COLOUR_HIGHLIGHT_TEXT
                                                : COLOUR_BUTTON_TEXT;
        if (lit) {
            XSetForeground(display, gc, X11PixelForColour(COLOUR_HIGHLIGHT));
            XFillRectangle(display, buffer, gc, edge, row.top, static_cast<unsigned>(w - 2 * edge),
                           static_cast<unsigned>(row.height));
        }
        if (row.item.checked) {
            int size = std::min(gutter, row.height) / 2;
            DrawCheckMark(display, buffer, gc, textColour, edge + (gutter - size) / 2,
                          row.top + (row.height - size) / 2, size);
        }
        DrawControlText(font, draw, gc, buffer, edge + gutter,
                        row.top + (row.height - fontHeight) / 2 + font.ascent, row.item.text,
                        textColour);
    }

    XCopyArea(display, buffer, menu.window, gc, 0, 0, static_cast<unsigned>(w),
              static_cast<unsigned>(h), 0, 0);
    XftDrawDestroy(draw);
    XFreeGC(display, gc);
    XFreePixmap(display, buffer);
    XFlush(display);
}

void Layout(MenuState& menu) {
    ControlTextFont font = ControlTextFontNow();
    double fx = X11ScaleFactorX(), fy = X11ScaleFactorY();
    int fontHeight = std::max(font.ascent + font.descent, 1);
    int itemHeight = fontHeight + 2 * ScaleValue(ITEM_PADDING, fy);
    int separatorHeight = ScaleValue(SEPARATOR_HEIGHT, fy);
    int textWidth = 0;
    int y = EDGE;
    for (MenuRow& row : menu.rows) {
        row.top = y;
        row.height = row.item.command == 0 ? separatorHeight : itemHeight;
        y += row.height;
        if (row.item.command != 0) {
            textWidth = std::max(textWidth, ControlTextWidth(font, row.item.text));
        }
    }
    menu.height = y + EDGE;
    menu.width = std::max(ScaleValue(MIN_WIDTH, fx), 2 * EDGE + ScaleValue(CHECK_GUTTER, fx) +
                                                         textWidth + ScaleValue(TEXT_RIGHT, fx));
}

int RowAt(const MenuState& menu, int x, int y) {
    if (x < 0 || x >= menu.width) return -1;
    for (size_t i = 0; i < menu.rows.size(); ++i) {
        const MenuRow& row = menu.rows[i];
        if (y >= row.top && y < row.top + row.height) return static_cast<int>(i);
    }
    return -1;
}

void Highlight(MenuState& menu, int row) {
    if (row >= 0 && !Selectable(menu.rows[static_cast<size_t>(row)])) row = -1;
    if (row == menu.highlighted) return;
    menu.highlighted = row;
    Paint(menu);
}

// The next selectable row from `from` in steps of `step` (+1 or -1),
// wrapping around; -1 when there is none.
int NextSelectable(const MenuState& menu, int from, int step) {
    int count = static_cast<int>(menu.rows.size());
    for (int k = 1; k <= count; ++k) {
        int i = ((from + step * k) % count + count) % count;
        if (Selectable(menu.rows[static_cast<size_t>(i)])) return i;
    }
    return -1;
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

void Choose(int row) {
    if (openMenu == nullptr || row < 0) return;
    const MenuRow& chosen = openMenu->rows[static_cast<size_t>(row)];
    if (!Selectable(chosen)) return;
    uint64_t command = static_cast<uint64_t>(chosen.item.command);
    Window owner = openMenu->owner;
    Close();
    // As TrackPopupMenu does: the owner gets the choice as a posted
    // WM_COMMAND whose high word is 0, after the menu has gone.
    PostLinuxMessage(HandleOf(owner), MESSAGE_COMMAND, command, 0);
}

int64_t HandleKey(MenuState& menu, XKeyEvent& event) {
    KeySym symbol = XLookupKeysym(&event, 0);
    switch (symbol) {
        case XK_Up:
        case XK_KP_Up:
            Highlight(menu, NextSelectable(menu, menu.highlighted < 0 ? 0 : menu.highlighted, -1));
            break;
        case XK_Down:
        case XK_KP_Down:
            Highlight(menu, NextSelectable(menu, menu.highlighted, 1));
            break;
        case XK_Home:
        case XK_KP_Home:
            Highlight(menu, NextSelectable(menu, -1, 1));
            break;
        case XK_End:
        case XK_KP_End:
            Highlight(menu, NextSelectable(menu, static_cast<int>(menu.rows.size()), -1));
            break;
        case XK_Return:
        case XK_KP_Enter:
            if (menu.highlighted >= 0) {
                Choose(menu.highlighted);
            } else {
                Close();
            }
            break;
        case XK_Escape:
            Close();
            break;
        default:
            break;
    }
    return MESSAGE_KEYDOWN;
}

int64_t HandleMenuEvent(XEvent& event, void*) {
    if (openMenu == nullptr || event.xany.window != openMenu->window) return MESSAGE_X11_OTHER;
    MenuState& menu = *openMenu;
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) Paint(menu);
            return MESSAGE_PAINT;
        case MotionNotify:
            Highlight(menu, RowAt(menu, event.xmotion.x, event.xmotion.y));
            return MESSAGE_MOUSEMOVE;
        case LeaveNotify:
            Highlight(menu, -1);
            return MESSAGE_X11_OTHER;
        case ButtonPress:
            // The grab reports presses anywhere relative to the menu: one
            // outside it closes the menu (and goes nowhere else).
            if (event.xbutton.x < 0 || event.xbutton.y < 0 || event.xbutton.x >= menu.width ||
                event.xbutton.y >= menu.height) {
                Close();
            }
            return event.xbutton.button == Button3 ? MESSAGE_RBUTTONDOWN : MESSAGE_LBUTTONDOWN;
        case ButtonRelease:
            if (event.xbutton.button == Button1 || event.xbutton.button == Button3) {
                Choose(RowAt(menu, event.xbutton.x, event.xbutton.y));
            }
            return event.xbutton.button == Button3 ? MESSAGE_RBUTTONUP : MESSAGE_LBUTTONUP;
        case KeyPress:
            return HandleKey(menu, event.xkey);
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

    auto menu = std::make_unique<MenuState>();
    menu->owner = record->handle;
    for (const PopupMenuItem& item : items) menu->rows.push_back(MenuRow{item, 0, 0});
    Layout(*menu);
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
    Paint(*openMenu);
    return true;
}

void X11DismissPopupMenu(Window owner) {
    if (openMenu != nullptr && (owner == 0 || openMenu->owner == owner)) Close();
}

Window X11PopupMenuWindow() {
    return openMenu != nullptr ? openMenu->window : 0;
}
