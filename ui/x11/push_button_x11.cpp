// The push button on X11, drawn by the layer in the classic 3D look with
// the control text (control_text_x11.h): a raised edge when up, a sunken
// edge with the text moved one pixel down and right while pressed, and for
// a checked push-like toggle additionally the half-tone face of a latched
// button. A click (press and release inside, or Space) flips an auto check
// box and then sends WM_COMMAND with BN_CLICKED to the window the button is
// in, which the window procedure turns into EVENT_CONTROL, as the Windows
// button does.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <string>

#include "ui/event_queue.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/control_text_x11.h"
#include "ui/x11/controls_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/focus_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

constexpr uint32_t BUTTON_CHILD_STYLE =
    0x50030000;  // WS_CHILD + WS_VISIBLE + WS_TABSTOP + WS_GROUP
constexpr uint32_t BS_TYPE_MASK = 0xF;
constexpr uint32_t BS_AUTOCHECKBOX = 3;

struct ButtonState : ControlExtra {
    std::string text;
    int width = 0;
    int height = 0;
    bool checked = false;   // BST_CHECKED
    bool pushed = false;    // drawn pressed: mouse held inside, or Space held
    bool tracking = false;  // the left button went down on it and is still down
    bool spaceDown = false;
    Pixmap buffer = 0;  // the picture is composed here, then copied at once
    GC gc = nullptr;
    XftDraw* draw = nullptr;

    ~ButtonState() override {
        Display* display = X11().display;
        if (display == nullptr) return;
        if (draw != nullptr) XftDrawDestroy(draw);
        if (gc != nullptr) XFreeGC(display, gc);
        if (buffer != 0) XFreePixmap(display, buffer);
    }
};

ButtonState* StateOf(ControlRecord& control) {
    return static_cast<ButtonState*>(control.extra.get());
}

void Line(Display* display, GC gc, uint32_t colour, int x0, int y0, int x1, int y1, Drawable d) {
    XSetForeground(display, gc, X11PixelForColour(colour));
    XDrawLine(display, d, gc, x0, y0, x1, y1);
}

// One ring of a DrawEdge border: top and left in one colour, bottom and
// right in the other, `inset` pixels in from the outside.
void EdgeRing(Display* display, GC gc, Drawable d, int w, int h, int inset, uint32_t topLeft,
              uint32_t bottomRight) {
    int left = inset, top = inset, right = w - 1 - inset, bottom = h - 1 - inset;
    if (right < left || bottom < top) return;
    Line(display, gc, topLeft, left, top, right - 1, top, d);
    Line(display, gc, topLeft, left, top, left, bottom - 1, d);
    Line(display, gc, bottomRight, left, bottom, right, bottom, d);
    Line(display, gc, bottomRight, right, top, right, bottom, d);
}

void Paint(ControlRecord& control) {
    Display* display = X11().display;
    ButtonState* state = StateOf(control);
    if (display == nullptr || state == nullptr || state->buffer == 0) return;
    Drawable d = state->buffer;
    GC gc = state->gc;
    int w = state->width, h = state->height;
    bool sunken = state->pushed || state->checked;

    XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_FACE));
    XFillRectangle(display, d, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (state->checked && !state->pushed) {
        // The latched face: every other pixel in the highlight colour.
        XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_HIGHLIGHT));
        for (int y = 2; y < h - 2; ++y) {
            for (int x = 2 + (y & 1); x < w - 2; x += 2) XDrawPoint(display, d, gc, x, y);
        }
    }
    if (sunken) {
        EdgeRing(display, gc, d, w, h, 0, COLOUR_3D_DARK_SHADOW, COLOUR_BUTTON_HIGHLIGHT);
        EdgeRing(display, gc, d, w, h, 1, COLOUR_BUTTON_SHADOW, COLOUR_3D_LIGHT);
    } else {
        EdgeRing(display, gc, d, w, h, 0, COLOUR_BUTTON_HIGHLIGHT, COLOUR_3D_DARK_SHADOW);
        EdgeRing(display, gc, d, w, h, 1, COLOUR_3D_LIGHT, COLOUR_BUTTON_SHADOW);
    }

    if (!state->text.empty()) {
        ControlTextFont font = ControlTextFontNow();
        int shift = sunken ? 1 : 0;
        int x = (w - ControlTextWidth(font, state->text)) / 2 + shift;
        int y = (h - (font.ascent + font.descent)) / 2 + font.ascent + shift;
        DrawControlText(font, state->draw, gc, d, x, y, state->text);
    }

    if (ShowsFocusRectangle(control.handle) && w > 8 && h > 8) {
        // DrawFocusRect: a dotted rectangle inside the edge.
        char dots[] = {1, 1};
        XSetForeground(display, gc, X11PixelForColour(COLOUR_BUTTON_TEXT));
        XSetLineAttributes(display, gc, 1, LineOnOffDash, CapButt, JoinMiter);
        XSetDashes(display, gc, 0, dots, 2);
        XDrawRectangle(display, d, gc, 3, 3, static_cast<unsigned>(w - 7),
                       static_cast<unsigned>(h - 7));
        XSetLineAttributes(display, gc, 1, LineSolid, CapButt, JoinMiter);
    }
    XCopyArea(display, d, control.handle, gc, 0, 0, static_cast<unsigned>(w),
              static_cast<unsigned>(h), 0, 0);
    XFlush(display);
}

void Click(ControlRecord& control) {
    ButtonState* state = StateOf(control);
    if ((control.style & BS_TYPE_MASK) == BS_AUTOCHECKBOX) state->checked = !state->checked;
    Paint(control);
    uint64_t wParam = (static_cast<uint64_t>(BUTTON_CLICKED) << 16) |
                      static_cast<uint64_t>(control.number & 0xFFFF);
    SendWindowMessage(control.holder, MESSAGE_COMMAND, wParam,
                      static_cast<int64_t>(control.handle));
}

bool Inside(ButtonState* state, int x, int y) {
    return x >= 0 && y >= 0 && x < state->width && y < state->height;
}

int64_t HandleButtonEvent(ControlRecord& control, XEvent& event) {
    ButtonState* state = StateOf(control);
    if (state == nullptr) return MESSAGE_X11_OTHER;
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) Paint(control);
            return MESSAGE_PAINT;
        case ButtonPress:
            if (event.xbutton.button != Button1) return MESSAGE_X11_OTHER;
            // A button takes the focus when it is pressed.
            if (WindowRecord* window = FindTopWindowRecord(control.holder)) {
                SetControlFocus(*window, control.handle);
            }
            state->tracking = true;
            state->pushed = true;
            Paint(control);
            SetEventMessageParams(1, MakeLParam(event.xbutton.x, event.xbutton.y));
            return MESSAGE_LBUTTONDOWN;
        case MotionNotify:
            if (state->tracking) {
                bool inside = Inside(state, event.xmotion.x, event.xmotion.y);
                if (inside != state->pushed) {
                    state->pushed = inside;
                    Paint(control);
                }
            }
            return MESSAGE_MOUSEMOVE;
        case ButtonRelease: {
            if (event.xbutton.button != Button1) return MESSAGE_X11_OTHER;
            bool clicked = state->tracking && Inside(state, event.xbutton.x, event.xbutton.y);
            state->tracking = false;
            state->pushed = state->spaceDown;
            SetEventMessageParams(0, MakeLParam(event.xbutton.x, event.xbutton.y));
            if (clicked) {
                Click(control);
            } else {
                Paint(control);
            }
            return MESSAGE_LBUTTONUP;
        }
        default:
            return MESSAGE_X11_OTHER;
    }
}

int64_t HandleButtonKey(ControlRecord& control, XKeyEvent& event) {
    ButtonState* state = StateOf(control);
    bool press = event.type == KeyPress;
    if (state == nullptr || VirtualKeyOf(event) != 0x20)
        return press ? MESSAGE_KEYDOWN : MESSAGE_KEYUP;
    if (press) {
        state->spaceDown = true;
        state->pushed = true;
        Paint(control);
        return MESSAGE_KEYDOWN;
    }
    if (state->spaceDown) {
        state->spaceDown = false;
        state->pushed = state->tracking;
        Click(control);
    }
    return MESSAGE_KEYUP;
}

// The picture is composed at the new size from now on.
void ResizeButton(ControlRecord& control, int width, int height) {
    Display* display = X11().display;
    ButtonState* state = StateOf(control);
    if (display == nullptr || state == nullptr) return;
    Pixmap buffer =
        XCreatePixmap(display, control.handle, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), static_cast<unsigned>(X11().depth));
    if (state->draw != nullptr) XftDrawChange(state->draw, buffer);
    if (state->buffer != 0) XFreePixmap(display, state->buffer);
    state->buffer = buffer;
    state->width = width;
    state->height = height;
    Paint(control);
}

const ControlType BUTTON_TYPE = {1, HandleButtonEvent, HandleButtonKey, Paint, ResizeButton};

}  // namespace

bool X11ClickButton(Window holder, int64_t control) {
    ControlRecord* record = ControlTable().Find(control);
    if (record == nullptr || record->type != &BUTTON_TYPE || record->holder != holder) return false;
    Click(*record);
    return true;
}

void* X11CreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                          uint32_t flags) {
    X11State& xs = X11();
    Display* display = xs.display;
    Window parent = ControlListTarget();
    if (display == nullptr || parent == 0 || number < -1) return nullptr;
    int left = ScaleValue(x, X11ScaleFactorX()), top = ScaleValue(y, X11ScaleFactorY());
    int w = std::max(1, ScaleValue(width, X11ScaleFactorX()));
    int h = std::max(1, ScaleValue(height, X11ScaleFactorY()));

    XSetWindowAttributes attributes = {};
    attributes.background_pixmap = None;  // the button paints every pixel itself
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask;
    Window window = XCreateWindow(display, parent, left, top, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), 0, xs.depth, InputOutput, xs.visual,
                                  CWBackPixmap | CWEventMask, &attributes);
    if (window == 0) return nullptr;

    auto state = std::make_unique<ButtonState>();
    state->text = text ? text : "";
    state->width = w;
    state->height = h;
    state->buffer = XCreatePixmap(display, window, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), static_cast<unsigned>(xs.depth));
    state->gc = X11CreateGC(state->buffer);
    state->draw = XftDrawCreate(display, state->buffer, xs.visual, xs.colormap);

    int64_t identifier = 0;
    ControlRecord* record = RegisterControl(number, window, parent, &BUTTON_TYPE, &identifier);
    if (record == nullptr) {
        state.reset();
        XDestroyWindow(display, window);
        return nullptr;
    }
    record->style = flags | BUTTON_CHILD_STYLE;
    record->tabStop = true;
    record->extra = std::move(state);
    XMapWindow(display, window);
    XFlush(display);
    // A record made for number -1 is known by its identifier instead.
    if (number == -1) return reinterpret_cast<void*>(static_cast<intptr_t>(identifier));
    return HandleOf(window);
}
