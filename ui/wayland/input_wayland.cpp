// Pointer and keyboard on Wayland. The compositor gives the pointer's
// position in the surface's logical pixels; the layer finds the control
// under it in the window's picture. A button clicks as on Windows (press
// and release inside it, or Space while it has the focus); a left
// click on a canvas is a press on it and a release inside it; a right click
// anywhere asks for the window menu, as do Shift+F10 and the Menu key. Keys
// come through xkbcommon with the keymap the compositor sends.
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cmath>

#include "ui/event_queue.h"
#include "ui/wayland/layer_wayland.h"

namespace wayland_layer {

namespace {

constexpr int DOUBLE_CLICK_MS = 500;  // GetDoubleClickTime's default
constexpr int DOUBLE_CLICK_BOX = 4;   // SM_CXDOUBLECLK at 96 DPI

Control* ControlAt(TopWindow& window, int x, int y) {
    std::lock_guard<std::mutex> hold(ControlTableLock());
    for (auto& [number, control] : Controls()) {
        (void)number;
        if (control->window != &window) continue;
        if (x >= control->x && y >= control->y && x < control->x + control->width &&
            y < control->y + control->height) {
            return control.get();
        }
    }
    return nullptr;
}

Control* FindControl(int64_t number) {
    std::lock_guard<std::mutex> hold(ControlTableLock());
    auto found = Controls().find(number);
    return found == Controls().end() ? nullptr : found->second.get();
}

// The pointer's point in the window's picture.
void PicturePoint(int* x, int* y) {
    WaylandState& w = Wayland();
    *x = static_cast<int>(std::floor(w.pointerX * w.surfaceScale));
    *y = static_cast<int>(std::floor(w.pointerY * w.surfaceScale));
}

void LeftButton(TopWindow& window, bool press) {
    int x = 0, y = 0;
    PicturePoint(&x, &y);
    if (MessageBoxPointer(window, press ? BoxPointer::PRESS : BoxPointer::RELEASE, x, y)) return;
    Control* control = ControlAt(window, x, y);
    if (press) {
        WaylandState& w = Wayland();
        auto now = std::chrono::steady_clock::now();
        bool isDouble = now - w.lastLeftPress <= std::chrono::milliseconds(DOUBLE_CLICK_MS) &&
                        std::abs(x - w.lastLeftX) <= DOUBLE_CLICK_BOX / 2 &&
                        std::abs(y - w.lastLeftY) <= DOUBLE_CLICK_BOX / 2;
        w.lastLeftPress = isDouble ? std::chrono::steady_clock::time_point() : now;
        w.lastLeftX = x;
        w.lastLeftY = y;
        if (control == nullptr) return;
        if (control->kind == ControlKind::BUTTON) {
            FocusControl(window, control->number);
            AnswerButton(*control, control->button.PointerPress(x - control->x, y - control->y));
        } else {
            control->leftPressed = true;
            QueueEvent(EVENT_CONTROL, control->number, window.number,
                       isDouble ? CANVAS_LEFT_DOUBLE : CANVAS_LEFT_DOWN);
        }
        return;
    }
    // A release belongs to the control the press went down on.
    std::vector<Control*> pressed;
    {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        for (auto& [number, each] : Controls()) {
            (void)number;
            if (each->window == &window && (each->button.Tracking() || each->leftPressed))
                pressed.push_back(each.get());
        }
    }
    for (Control* each : pressed) {
        if (each->kind == ControlKind::BUTTON) {
            AnswerButton(*each, each->button.PointerRelease(x - each->x, y - each->y));
        } else {
            each->leftPressed = false;
            if (each == control)
                QueueEvent(EVENT_CONTROL, each->number, window.number, CANVAS_LEFT_UP);
        }
    }
    WindowProcedure(&window, MESSAGE_LBUTTONUP, 0, 0);
}

// The pointer moved over the window: a button pressed with the left button
// is drawn pushed while the pointer is over it.
void PointerMoved(TopWindow& window) {
    int x = 0, y = 0;
    PicturePoint(&x, &y);
    if (MessageBoxPointer(window, BoxPointer::MOVE, x, y)) return;
    std::vector<Control*> tracking;
    {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        for (auto& [number, each] : Controls()) {
            (void)number;
            if (each->window == &window && each->button.Tracking()) tracking.push_back(each.get());
        }
    }
    for (Control* each : tracking) {
        AnswerButton(*each, each->button.PointerMove(x - each->x, y - each->y));
    }
}

void RightButton(TopWindow& window, bool press) {
    if (press) return;
    int x = 0, y = 0;
    PicturePoint(&x, &y);
    Control* control = ControlAt(window, x, y);
    if (control != nullptr && control->kind == ControlKind::CANVAS) {
        QueueEvent(EVENT_CONTROL, control->number, window.number, CANVAS_RIGHT_UP);
    }
    WindowProcedure(&window, MESSAGE_RBUTTONUP, 0, 0);
    WindowProcedure(&window, MESSAGE_CONTEXTMENU, 0, 0);
}

// --- Pointer ---------------------------------------------------------------

void PointerEnter(void*, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y) {
    WaylandState& w = Wayland();
    w.pointerSurface = surface;
    w.pointerX = wl_fixed_to_double(x);
    w.pointerY = wl_fixed_to_double(y);
    // The compositor leaves the cursor as it was (a resize arrow from the
    // border crossed) until the client sets one, with this enter's serial.
    // The frame's surfaces, libdecor's, get its own cursors.
    if (WindowOfSurface(surface) != nullptr || PopupOwnsSurface(surface)) ShowArrowCursor(serial);
    if (PopupOwnsSurface(surface)) PopupPointerMotion(w.pointerX, w.pointerY);
}

void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface* surface) {
    Wayland().pointerSurface = nullptr;
    if (PopupOwnsSurface(surface)) PopupPointerLeave();
}

void PointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    WaylandState& w = Wayland();
    w.pointerX = wl_fixed_to_double(x);
    w.pointerY = wl_fixed_to_double(y);
    if (PopupOwnsSurface(w.pointerSurface)) {
        PopupPointerMotion(w.pointerX, w.pointerY);
    } else if (TopWindow* window = WindowOfSurface(w.pointerSurface);
               window != nullptr && !window->disabled) {
        PointerMoved(*window);
    }
}

void PointerButton(void*, wl_pointer*, uint32_t serial, uint32_t, uint32_t button, uint32_t state) {
    WaylandState& w = Wayland();
    bool press = state == WL_POINTER_BUTTON_STATE_PRESSED;
    // A popup's grab and a launch's activation are granted only for the
    // serial of a press (mutter refuses a release's): the press that began
    // the click that opens or launches.
    if (press) w.pressSerial = serial;
    if (PopupOpen()) {
        // The popup's grab brings every click to it, or ends it.
        PopupPointerButton(button == BTN_LEFT || button == BTN_RIGHT, press);
        return;
    }
    TopWindow* window = WindowOfSurface(w.pointerSurface);
    if (window == nullptr || window->disabled) return;
    if (button == BTN_LEFT) {
        LeftButton(*window, press);
    } else if (button == BTN_RIGHT) {
        RightButton(*window, press);
    }
}

void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener POINTER_LISTENER = {
    PointerEnter, PointerLeave,      PointerMotion,   PointerButton,       PointerAxis,
    PointerFrame, PointerAxisSource, PointerAxisStop, PointerAxisDiscrete, nullptr};

// --- Keyboard --------------------------------------------------------------

void StopKeyRepeat() {
    Wayland().repeatKey = 0;
}

void KeyboardKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    WaylandState& w = Wayland();
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || w.xkbContext == nullptr) {
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_string(w.xkbContext, static_cast<const char*>(text),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) return;
    if (w.xkbState != nullptr) xkb_state_unref(w.xkbState);
    if (w.keymap != nullptr) xkb_keymap_unref(w.keymap);
    w.keymap = keymap;
    w.xkbState = xkb_state_new(keymap);
}

void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    Wayland().keyboardSurface = surface;
}

void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {
    Wayland().keyboardSurface = nullptr;
    StopKeyRepeat();
}

bool Held(const char* modifier) {
    xkb_state* state = Wayland().xkbState;
    return state != nullptr &&
           xkb_state_mod_name_is_active(state, modifier, XKB_STATE_MODS_EFFECTIVE) > 0;
}

// Moves the focus to the next (or previous) tab stop of the window.
void NavigateTab(TopWindow& window, bool forward) {
    std::vector<Control*> stops;
    {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        for (auto& [number, control] : Controls()) {
            (void)number;
            if (control->window == &window && control->tabStop) stops.push_back(control.get());
        }
    }
    if (stops.empty()) return;
    std::sort(stops.begin(), stops.end(),
              [](const Control* a, const Control* b) { return a->order < b->order; });
    auto at = std::find_if(stops.begin(), stops.end(),
                           [&](const Control* c) { return c->number == window.focus; });
    size_t next = 0;
    if (at != stops.end()) {
        size_t index = static_cast<size_t>(at - stops.begin());
        next = forward ? (index + 1) % stops.size() : (index + stops.size() - 1) % stops.size();
    } else if (!forward) {
        next = stops.size() - 1;
    }
    FocusControl(window, stops[next]->number);
}

void Key(TopWindow& window, xkb_keysym_t symbol, bool press) {
    Control* focused = window.focus != 0 ? FindControl(window.focus) : nullptr;
    bool shift = Held(XKB_MOD_NAME_SHIFT), alt = Held(XKB_MOD_NAME_ALT);
    bool control = Held(XKB_MOD_NAME_CTRL);
    if (press && (symbol == XKB_KEY_Tab || symbol == XKB_KEY_ISO_Left_Tab) && !alt && !control) {
        window.keyboardCues = true;
        NavigateTab(window, !shift);
        return;
    }
    if ((press && symbol == XKB_KEY_F10 && shift) || (!press && symbol == XKB_KEY_Menu)) {
        WindowProcedure(&window, MESSAGE_CONTEXTMENU, 0, CONTEXT_MENU_FROM_KEYBOARD);
        return;
    }
    if (press && symbol == XKB_KEY_F4 && alt) {
        WindowProcedure(&window, MESSAGE_CLOSE, 0, 0);
        return;
    }
    if (press && !shift && !alt && !control) {
        const xkb_keysym_t lower = xkb_keysym_to_lower(symbol);
        if (lower >= XKB_KEY_a && lower <= XKB_KEY_z) {
            QueueEvent(EVENT_LETTER_KEY, 0, window.number, 'A' + (lower - XKB_KEY_a));
        }
    }
    if (press && (shift || alt || control) && !window.keyboardCues) {
        window.keyboardCues = true;
        if (focused != nullptr) PaintControl(*focused);
    }
    if (focused == nullptr || focused->kind != ControlKind::BUTTON) {
        if (press && focused != nullptr) {
            QueueEvent(EVENT_CONTROL, focused->number, window.number, CANVAS_KEY_DOWN);
        }
        return;
    }
    AnswerButton(*focused, focused->button.Key(symbol, press));
}

// A key pressed or released, or repeated while held (press, no serial).
void DeliverKey(uint32_t key, bool press) {
    WaylandState& w = Wayland();
    if (w.xkbState == nullptr) return;
    // Evdev codes are 8 below the XKB key codes.
    xkb_keysym_t symbol = xkb_state_key_get_one_sym(w.xkbState, key + 8);
    if (PopupOpen()) {
        if (press) PopupKey(symbol);
        return;
    }
    TopWindow* window = WindowOfSurface(w.keyboardSurface);
    if (window == nullptr) return;
    if (press && MessageBoxKey(*window, symbol)) return;
    if (window->disabled) return;
    Key(*window, symbol, press);
}

void KeyboardKey(void*, wl_keyboard*, uint32_t serial, uint32_t, uint32_t key, uint32_t state) {
    WaylandState& w = Wayland();
    bool press = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    if (press) w.pressSerial = serial;
    // The compositor sends a held key once; the client repeats it, at the
    // delay and rate the compositor gives, until its release or another
    // key's press.
    if (press && w.keymap != nullptr && w.repeatRate > 0 &&
        xkb_keymap_key_repeats(w.keymap, key + 8)) {
        w.repeatKey = key;
        w.repeatDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(w.repeatDelay);
    } else if (press || key == w.repeatKey) {
        StopKeyRepeat();
    }
    DeliverKey(key, press);
}

void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                       uint32_t locked, uint32_t group) {
    xkb_state* state = Wayland().xkbState;
    if (state != nullptr) xkb_state_update_mask(state, depressed, latched, locked, 0, 0, group);
}

void KeyboardRepeat(void*, wl_keyboard*, int32_t rate, int32_t delay) {
    WaylandState& w = Wayland();
    // Keys a second (0: no repeat) and milliseconds before the first.
    w.repeatRate = std::clamp(rate, 0, 1000);
    w.repeatDelay = std::clamp(delay, 0, 10000);
    if (w.repeatRate == 0) StopKeyRepeat();
}

const wl_keyboard_listener KEYBOARD_LISTENER = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                KeyboardKey,    KeyboardModifiers, KeyboardRepeat};

void DropPointer() {
    WaylandState& w = Wayland();
    if (w.pointer == nullptr) return;
    // release (version 3) also tells the compositor; destroy only forgets.
    if (wl_pointer_get_version(w.pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
        wl_pointer_release(w.pointer);
    } else {
        wl_pointer_destroy(w.pointer);
    }
    w.pointer = nullptr;
    w.pointerSurface = nullptr;
}

void DropKeyboard() {
    WaylandState& w = Wayland();
    if (w.keyboard == nullptr) return;
    if (wl_keyboard_get_version(w.keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(w.keyboard);
    } else {
        wl_keyboard_destroy(w.keyboard);
    }
    w.keyboard = nullptr;
    w.keyboardSurface = nullptr;
    StopKeyRepeat();
}

// Sent at the bind and whenever the seat gains or loses a device kind (a
// mouse unplugged and plugged again, a KVM switch): the old wl_pointer or
// wl_keyboard is dead once its kind went, and a new one must be asked for
// when it comes back.
void SeatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    WaylandState& w = Wayland();
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) == 0) {
        DropPointer();
    } else if (w.pointer == nullptr) {
        w.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(w.pointer, &POINTER_LISTENER, nullptr);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0) {
        DropKeyboard();
    } else if (w.keyboard == nullptr) {
        w.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(w.keyboard, &KEYBOARD_LISTENER, nullptr);
    }
}
void SeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener SEAT_LISTENER = {SeatCapabilities, SeatName};

}  // namespace

void BindSeat(wl_registry* registry, uint32_t name, uint32_t version) {
    WaylandState& w = Wayland();
    // Version 5 at most: the pointer events up to axis_discrete.
    w.seat = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, version < 5 ? version : 5));
    wl_seat_add_listener(w.seat, &SEAT_LISTENER, nullptr);
}

void ReleaseInput() {
    WaylandState& w = Wayland();
    DropPointer();
    DropKeyboard();
    ReleaseCursor();
    if (w.seat != nullptr) wl_seat_destroy(w.seat);
    if (w.xkbState != nullptr) xkb_state_unref(w.xkbState);
    if (w.keymap != nullptr) xkb_keymap_unref(w.keymap);
    w.seat = nullptr;
    w.xkbState = nullptr;
    w.keymap = nullptr;
}

int MillisecondsUntilKeyRepeat() {
    WaylandState& w = Wayland();
    if (w.repeatKey == 0) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    w.repeatDue - std::chrono::steady_clock::now())
                    .count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, 10000));
}

bool TakeDueKeyRepeat() {
    WaylandState& w = Wayland();
    auto now = std::chrono::steady_clock::now();
    if (w.repeatKey == 0 || w.repeatRate <= 0 || now < w.repeatDue) return false;
    // From the last due time, so the rate holds however late the loop
    // looks; after a stall, one repeat and no burst.
    w.repeatDue += std::chrono::microseconds(1000000 / w.repeatRate);
    if (w.repeatDue < now) w.repeatDue = now + std::chrono::microseconds(1000000 / w.repeatRate);
    DeliverKey(w.repeatKey, true);
    return true;
}

void FocusControl(TopWindow& window, int64_t number) {
    if (window.focus == number) return;
    Control* old = window.focus != 0 ? FindControl(window.focus) : nullptr;
    window.focus = number;
    if (old != nullptr) {
        old->button.FocusLost();
        PaintControl(*old);
    }
    if (Control* now = FindControl(number)) PaintControl(*now);
}

}  // namespace wayland_layer
