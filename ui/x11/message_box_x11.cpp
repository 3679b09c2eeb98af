// The modal message box on X11: a small fixed-size dialog with the text over
// a white area and an OK button on a button-face strip, as MessageBoxW
// shows it. While it is up, the other windows of the layer take no input and
// no close request, and messages keep flowing (posted capture blocks,
// timers, repaints) through the layer's own dispatch, like the modal loop of
// MessageBoxW. The text also goes to stderr, which is all that is shown when
// there is no display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/control_text_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/focus_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/popup_menu_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

constexpr int IDOK = 1;

// Layout in 96-DPI pixels.
constexpr int MARGIN = 24;
constexpr int MIN_TEXT_WIDTH = 160;
constexpr int BUTTON_WIDTH = 88;
constexpr int BUTTON_HEIGHT = 26;
constexpr int STRIP_HEIGHT = 44;

struct MessageBoxState {
    Window window = 0;
    std::vector<std::string> lines;
    std::string title;
    int width = 0, height = 0;
    int buttonX = 0, buttonY = 0, buttonW = 0, buttonH = 0;
    int lineHeight = 0, textX = 0, textY = 0;
    bool pressed = false;   // drawn pressed
    bool tracking = false;  // left button went down on OK
    bool done = false;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

void Rect(Display* display, Drawable d, GC gc, uint32_t colour, int x, int y, int w, int h) {
    XSetForeground(display, gc, X11PixelForColour(colour));
    XDrawRectangle(display, d, gc, x, y, static_cast<unsigned>(w - 1),
                   static_cast<unsigned>(h - 1));
}

void Paint(MessageBoxState& box) {
    X11State& xs = X11();
    Display* display = xs.display;
    Pixmap buffer =
        XCreatePixmap(display, box.window, static_cast<unsigned>(box.width),
                      static_cast<unsigned>(box.height), static_cast<unsigned>(xs.depth));
    GC gc = X11CreateGC(buffer);
    XftDraw* draw = XftDrawCreate(display, buffer, xs.visual, xs.colormap);
    ControlTextFont font = ControlTextFontNow();
    int strip = ScaleValue(STRIP_HEIGHT, X11ScaleFactorY());

    XSetForeground(display, gc, X11PixelForColour(COLOUR_WINDOW));
    XFillRectangle(display, buffer, gc, 0, 0, static_cast<unsigned>(box.width),
                   static_cast<unsigned>(box.height - strip));
    XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_FACE));
    XFillRectangle(display, buffer, gc, 0, box.height - strip, static_cast<unsigned>(box.width),
                   static_cast<unsigned>(strip));
    for (size_t i = 0; i < box.lines.size(); ++i) {
        DrawControlText(font, draw, gc, buffer, box.textX,
                        box.textY + static_cast<int>(i) * box.lineHeight + font.ascent,
                        box.lines[i]);
    }

    // The OK button: the default button's black frame, then the 3D edge.
    int x = box.buttonX, y = box.buttonY, w = box.buttonW, h = box.buttonH;
    Rect(display, buffer, gc, COLOUR_BUTTON_TEXT, x, y, w, h);
    if (box.pressed) {
        Rect(display, buffer, gc, COLOUR_BUTTON_SHADOW, x + 1, y + 1, w - 2, h - 2);
    } else {
        XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_HIGHLIGHT));
        XDrawLine(display, buffer, gc, x + 1, y + 1, x + w - 3, y + 1);
        XDrawLine(display, buffer, gc, x + 1, y + 1, x + 1, y + h - 3);
        XSetForeground(display, gc, X11PixelForColour(COLOUR_3D_DARK_SHADOW));
        XDrawLine(display, buffer, gc, x + 1, y + h - 2, x + w - 2, y + h - 2);
        XDrawLine(display, buffer, gc, x + w - 2, y + 1, x + w - 2, y + h - 2);
        XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_SHADOW));
        XDrawLine(display, buffer, gc, x + 2, y + h - 3, x + w - 3, y + h - 3);
        XDrawLine(display, buffer, gc, x + w - 3, y + 2, x + w - 3, y + h - 3);
    }
    int shift = box.pressed ? 1 : 0;
    int labelWidth = ControlTextWidth(font, "OK");
    int fontHeight = font.ascent + font.descent;
    DrawControlText(font, draw, gc, buffer, x + (w - labelWidth) / 2 + shift,
                    y + (h - fontHeight) / 2 + font.ascent + shift, "OK");
    // The focus is on OK.
    char dots[] = {1, 1};
    XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_TEXT));
    XSetLineAttributes(display, gc, 1, LineOnOffDash, CapButt, JoinMiter);
    XSetDashes(display, gc, 0, dots, 2);
    XDrawRectangle(display, buffer, gc, x + 4, y + 4, static_cast<unsigned>(w - 9),
                   static_cast<unsigned>(h - 9));

    XCopyArea(display, buffer, box.window, gc, 0, 0, static_cast<unsigned>(box.width),
              static_cast<unsigned>(box.height), 0, 0);
    XftDrawDestroy(draw);
    XFreeGC(display, gc);
    XFreePixmap(display, buffer);
    XFlush(display);
}

bool OnButton(const MessageBoxState& box, int x, int y) {
    return x >= box.buttonX && y >= box.buttonY && x < box.buttonX + box.buttonW &&
           y < box.buttonY + box.buttonH;
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
            if (event.xbutton.button == Button1 &&
                OnButton(box, event.xbutton.x, event.xbutton.y)) {
                box.tracking = box.pressed = true;
                Paint(box);
            }
            return MESSAGE_LBUTTONDOWN;
        case MotionNotify:
            if (box.tracking && box.pressed != OnButton(box, event.xmotion.x, event.xmotion.y)) {
                box.pressed = !box.pressed;
                Paint(box);
            }
            return MESSAGE_MOUSEMOVE;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && box.tracking) {
                box.tracking = box.pressed = false;
                if (OnButton(box, event.xbutton.x, event.xbutton.y)) box.done = true;
                Paint(box);
            }
            return MESSAGE_LBUTTONUP;
        case KeyPress: {
            // Enter, Space and Escape all answer a box with OK alone.
            uint32_t key = VirtualKeyOf(event.xkey);
            if (key == 0x0D || key == 0x20 || key == 0x1B) box.done = true;
            return MESSAGE_KEYDOWN;
        }
        default:
            return MESSAGE_X11_OTHER;
    }
}

void Layout(MessageBoxState& box) {
    ControlTextFont font = ControlTextFontNow();
    double fx = X11ScaleFactorX(), fy = X11ScaleFactorY();
    int textWidth = ScaleValue(MIN_TEXT_WIDTH, fx);
    for (const std::string& line : box.lines)
        textWidth = std::max(textWidth, ControlTextWidth(font, line));
    box.lineHeight = font.ascent + font.descent > 0 ? font.ascent + font.descent : 12;
    int margin = ScaleValue(MARGIN, fx);
    box.textX = margin;
    box.textY = ScaleValue(MARGIN, fy);
    int textHeight = box.lineHeight * static_cast<int>(box.lines.size());
    box.buttonW = ScaleValue(BUTTON_WIDTH, fx);
    box.buttonH = ScaleValue(BUTTON_HEIGHT, fy);
    box.width = std::max(textWidth + 2 * margin, box.buttonW + 2 * margin);
    int strip = ScaleValue(STRIP_HEIGHT, fy);
    box.height = box.textY * 2 + textHeight + strip;
    box.buttonX = box.width - margin / 2 - box.buttonW;
    box.buttonY = box.height - strip + (strip - box.buttonH) / 2;
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
    if (display == nullptr) return IDOK;
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

    MessageBoxState box;
    box.title = titleText;
    box.lines = SplitLines(bodyText);
    Layout(box);
    box.window = CreateBoxWindow(box, owner);
    RegisterPrivateWindow(box.window, HandleBoxEvent, &box);
    XMapRaised(display, box.window);
    XFlush(display);
    while (!box.done && X11().display != nullptr) X11FetchPlatformMessage(-1);
    UnregisterPrivateWindow(box.window);
    XDestroyWindow(display, box.window);
    XFlush(display);
    for (WindowRecord* record : disabled) record->disabled = false;
    return IDOK;
}
