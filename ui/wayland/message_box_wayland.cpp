// The message box on Wayland: a small toplevel of its own whose picture is
// the portable message box control's (ui/message_box_control.h), modal as
// MessageBox is: the program's other windows take no input while it is up,
// and ShowMessageBox returns when the user answers it (OK, Enter, Escape,
// Space, or the close button).
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ui/message_box_control.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"

namespace wayland_layer {

namespace {

// A number the application never uses.
constexpr int64_t BOX_WINDOW = 0x7FFF0000;

struct BoxState {
    TopWindow* window = nullptr;
    std::string text;
    std::unique_ptr<MessageBoxControl> control;
};

BoxState* box = nullptr;

int64_t BoxHook(void* handle, uint32_t message, uint64_t, int64_t) {
    if (box != nullptr && handle == box->window && message == MESSAGE_CLOSE) {
        box->window->closed = true;
    }
    return 0;
}

BoxState* BoxOf(const TopWindow& window) {
    return box != nullptr && box->window == &window ? box : nullptr;
}

void Answer(TopWindow& window, const MessageBoxAnswer& answer) {
    if (answer.close) window.closed = true;
    if (answer.redraw) PaintWindow(window);
}

}  // namespace

bool MessageBoxPaint(TopWindow& window) {
    BoxState* state = BoxOf(window);
    if (state == nullptr) return false;
    // Laid out again for a new scale: the font's measures changed with it.
    if (state->control == nullptr || state->control->Scale() != Wayland().scale) {
        state->control =
            std::make_unique<MessageBoxControl>(state->text, Wayland().font, Wayland().scale);
    }
    state->control->SetPictureSize(window.width, window.height);
    state->control->Draw(PictureOf(window));
    return true;
}

bool MessageBoxKey(TopWindow& window, uint32_t keysym) {
    BoxState* state = BoxOf(window);
    if (state == nullptr || state->control == nullptr) return false;
    MessageBoxAnswer answer = state->control->Key(keysym);
    Answer(window, answer);
    return answer.close;
}

bool MessageBoxPointer(TopWindow& window, BoxPointer what, int x, int y) {
    BoxState* state = BoxOf(window);
    if (state == nullptr) return false;
    if (state->control == nullptr) return true;
    MessageBoxControl& control = *state->control;
    Answer(window, what == BoxPointer::PRESS  ? control.PointerPress(x, y)
                   : what == BoxPointer::MOVE ? control.PointerMove(x, y)
                                              : control.PointerRelease(x, y));
    return true;
}

int WaylandShowMessageBox(const char* title, const char* text, uint32_t) {
    if (Wayland().display == nullptr || box != nullptr) return 0;
    BoxState state;
    state.text = text != nullptr ? text : "";
    // The window's size from the box's at the scale in use, in logical
    // pixels: the least whose picture holds it.
    const double scale = Wayland().scale;
    state.control = std::make_unique<MessageBoxControl>(state.text, Wayland().font, scale);
    int width = static_cast<int>(std::ceil(state.control->Width() / scale));
    int height = static_cast<int>(std::ceil(state.control->Height() / scale));

    TopWindow* previousTarget = ControlTarget();
    std::vector<TopWindow*> others;
    for (auto& [number, window] : Windows()) {
        (void)number;
        if (!window->disabled) others.push_back(window.get());
    }
    box = &state;
    state.window = static_cast<TopWindow*>(
        WaylandCreateTopWindow(BOX_WINDOW, 0, 0, width, height, title, 0, nullptr));
    if (state.window == nullptr) {
        box = nullptr;
        return 0;
    }
    for (TopWindow* window : others) window->disabled = true;
    state.window->hook = BoxHook;
    PaintWindow(*state.window);
    while (!state.window->closed && Wayland().display != nullptr) {
        WaylandFetchPlatformMessage(-1);
    }
    for (TopWindow* window : others) window->disabled = false;
    DestroyTopWindow(*state.window);
    Windows().erase(BOX_WINDOW);
    box = nullptr;
    SetControlTarget(previousTarget);
    FlushRequests();
    return MESSAGE_BOX_OK;
}

}  // namespace wayland_layer
