// The push button on X11: a child window showing the portable button
// control's picture (ui/button_control.h), drawn into a picture of the
// button's size and put on the window at once. A click (press and release
// inside, or Space) sends WM_COMMAND with BN_CLICKED to the window the
// button is in, which the window procedure turns into EVENT_CONTROL, as the
// Windows button does.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/button_control.h"
#include "ui/control_keys.h"
#include "ui/event_queue.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/control_face_x11.h"
#include "ui/x11/controls_x11.h"
#include "ui/x11/dispatch_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/focus_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/picture_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

constexpr uint32_t BUTTON_CHILD_STYLE =
    0x50030000;  // WS_CHILD + WS_VISIBLE + WS_TABSTOP + WS_GROUP

static_assert(KEYSYM_SPACE == XK_space);

struct ButtonState : ControlExtra {
    ButtonControl button;
    std::vector<uint32_t> pixels;  // the button's picture, its size
};

ButtonState* StateOf(ControlRecord& control) {
    return static_cast<ButtonState*>(control.extra.get());
}

void Paint(ControlRecord& control) {
    ButtonState* state = StateOf(control);
    if (X11().display == nullptr || state == nullptr || state->pixels.empty()) return;
    const int w = state->button.Width(), h = state->button.Height();
    const ControlPicture picture{state->pixels.data(), w, h, w};
    state->button.Draw(picture, 0, 0, X11ControlFace(), ShowsFocusRectangle(control.handle));
    X11ShowPicture(control.handle, picture, ControlRect{0, 0, w, h});
    XFlush(X11().display);
}

// Draws the button again if it asks, and tells its window of a click.
void Answer(ControlRecord& control, const ButtonAnswer& answer) {
    if (answer.redraw) Paint(control);
    if (!answer.clicked) return;
    uint64_t wParam = (static_cast<uint64_t>(BUTTON_CLICKED) << 16) |
                      static_cast<uint64_t>(control.number & 0xFFFF);
    SendWindowMessage(control.holder, MESSAGE_COMMAND, wParam,
                      static_cast<int64_t>(control.handle));
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
            Answer(control, state->button.PointerPress(event.xbutton.x, event.xbutton.y));
            SetEventMessageParams(1, MakeLParam(event.xbutton.x, event.xbutton.y));
            return MESSAGE_LBUTTONDOWN;
        case MotionNotify:
            Answer(control, state->button.PointerMove(event.xmotion.x, event.xmotion.y));
            return MESSAGE_MOUSEMOVE;
        case ButtonRelease: {
            if (event.xbutton.button != Button1) return MESSAGE_X11_OTHER;
            SetEventMessageParams(0, MakeLParam(event.xbutton.x, event.xbutton.y));
            Answer(control, state->button.PointerRelease(event.xbutton.x, event.xbutton.y));
            return MESSAGE_LBUTTONUP;
        }
        default:
            return MESSAGE_X11_OTHER;
    }
}

int64_t HandleButtonKey(ControlRecord& control, XKeyEvent& event) {
    ButtonState* state = StateOf(control);
    bool press = event.type == KeyPress;
    if (state != nullptr) {
        Answer(control, state->button.Key(static_cast<uint32_t>(XLookupKeysym(&event, 0)), press));
    }
    return press ? MESSAGE_KEYDOWN : MESSAGE_KEYUP;
}

// The focus came or went, or the keyboard cues changed: a press of Space
// or of the mouse is forgotten with the focus.
void FocusChanged(ControlRecord& control) {
    ButtonState* state = StateOf(control);
    if (state == nullptr) return;
    WindowRecord* window = FindTopWindowRecord(control.holder);
    if (window == nullptr || window->focusControl != control.handle) state->button.FocusLost();
    Paint(control);
}

// The picture is drawn at the new size from now on.
void ResizeButton(ControlRecord& control, int width, int height) {
    ButtonState* state = StateOf(control);
    if (state == nullptr) return;
    state->button.SetSize(width, height);
    state->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    Paint(control);
}

const ControlType BUTTON_TYPE = {1, HandleButtonEvent, HandleButtonKey, FocusChanged, ResizeButton};

}  // namespace

bool X11ClickButton(Window holder, int64_t control) {
    ControlRecord* record = ControlTable().Find(control);
    if (record == nullptr || record->type != &BUTTON_TYPE || record->holder != holder) return false;
    if (ButtonState* state = StateOf(*record)) Answer(*record, state->button.Click());
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
    state->button = ButtonControl(text ? text : "", flags);
    state->button.SetSize(w, h);
    state->pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);

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
