// Control focus, tab order and keyboard cues (see focus_x11.h).
#include "ui/x11/focus_x11.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <vector>

#include "ui/x11/controls_x11.h"
#include "ui/x11/display_x11.h"

namespace {

void NotifyFocusChange(Window control) {
    if (control == 0) return;
    ControlRecord* record = FindControlByWindow(control);
    if (record != nullptr && record->type != nullptr && record->type->focusChanged != nullptr) {
        record->type->focusChanged(*record);
    }
}

}  // namespace

void SetControlFocus(WindowRecord& window, Window control) {
    Window previous = window.focusControl;
    if (previous == control) return;
    window.focusControl = control;
    NotifyFocusChange(previous);
    NotifyFocusChange(control);
}

void NavigateTab(WindowRecord& window, bool next) {
    std::vector<const ControlRecord*> candidates;
    ControlTable().ForEach([&](int64_t, ControlRecord& control) {
        if (control.holder == window.handle && control.tabStop && control.enabled &&
            control.visible) {
            candidates.push_back(&control);
        }
    });
    if (candidates.empty()) return;
    std::sort(candidates.begin(), candidates.end(),
              [](const ControlRecord* a, const ControlRecord* b) {
                  return a->creationOrder < b->creationOrder;
              });
    auto current = std::find_if(candidates.begin(), candidates.end(), [&](const ControlRecord* c) {
        return c->handle == window.focusControl;
    });
    const ControlRecord* target = nullptr;
    if (next) {
        if (window.focusControl == 0) {
            target = candidates.front();
        } else if (current != candidates.end()) {
            target = (current + 1 == candidates.end()) ? candidates.front() : *(current + 1);
        }
    } else {
        if (current == candidates.end() || current == candidates.begin()) {
            target = candidates.back();
        } else {
            target = *(current - 1);
        }
    }
    if (target != nullptr) SetControlFocus(window, target->handle);
}

void SetKeyboardCues(WindowRecord& window, bool visible) {
    if (window.keyboardCues == visible) return;
    window.keyboardCues = visible;
    NotifyFocusChange(window.focusControl);
}

bool ShowsFocusRectangle(Window control) {
    ControlRecord* record = FindControlByWindow(control);
    if (record == nullptr) return false;
    WindowRecord* window = FindTopWindowRecord(record->holder);
    return window != nullptr && window->focusControl == control && window->active &&
           window->keyboardCues;
}

uint32_t VirtualKeyOf(XKeyEvent& event) {
    Display* display = X11().display;
    if (display == nullptr) return 0;
    KeySym symbol = XkbKeycodeToKeysym(display, static_cast<KeyCode>(event.keycode), 0, 0);
    if (symbol >= XK_a && symbol <= XK_z) return static_cast<uint32_t>(symbol - XK_a + 'A');
    if (symbol >= XK_0 && symbol <= XK_9) return static_cast<uint32_t>(symbol);
    if (symbol >= XK_F1 && symbol <= XK_F12) return static_cast<uint32_t>(0x70 + symbol - XK_F1);
    switch (symbol) {
        case XK_BackSpace:
            return 0x08;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return 0x09;
        case XK_Return:
        case XK_KP_Enter:
            return 0x0D;
        case XK_Shift_L:
        case XK_Shift_R:
            return 0x10;
        case XK_Control_L:
        case XK_Control_R:
            return 0x11;
        case XK_Alt_L:
        case XK_Alt_R:
            return 0x12;
        case XK_Escape:
            return 0x1B;
        case XK_space:
            return 0x20;
        case XK_Left:
            return 0x25;
        case XK_Up:
            return 0x26;
        case XK_Right:
            return 0x27;
        case XK_Down:
            return 0x28;
        case XK_Delete:
            return 0x2E;
        case XK_End:
            return 0x23;
        case XK_Home:
            return 0x24;
        case XK_Menu:
            return 0x5D;
        default:
            return 0;
    }
}
