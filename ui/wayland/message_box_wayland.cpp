// The message box on Wayland: a small toplevel of its own with the text and
// an OK button, modal as MessageBox is: the program's other windows take no
// input while it is up, and ShowMessageBox returns when the user closes it
// (OK, Enter, Escape, Space on the button, or the close button).
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "ui/scaling.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"

namespace wayland_layer {

namespace {

// Numbers the application never uses.
constexpr int64_t BOX_WINDOW = 0x7FFF0000;
constexpr int64_t BOX_BUTTON = 0x7FFF0001;
constexpr int IDOK = 1;
// Layout in 96-DPI pixels.
constexpr int MARGIN = 12;
constexpr int BUTTON_WIDTH = 75, BUTTON_HEIGHT = 23;
constexpr int LINE_HEIGHT = 16;
constexpr int SMALLEST_WIDTH = 200;

struct BoxState {
    TopWindow* window = nullptr;
    std::vector<std::string> lines;
};

BoxState* box = nullptr;

std::vector<std::string> LinesOf(const char* text) {
    std::vector<std::string> lines;
    std::istringstream stream(text != nullptr ? text : "");
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    if (lines.empty()) lines.emplace_back();
    return lines;
}

int64_t BoxHook(void* handle, uint32_t message, uint64_t, int64_t) {
    if (box != nullptr && handle == box->window &&
        (message == MESSAGE_COMMAND || message == MESSAGE_CLOSE)) {
        box->window->closed = true;
    }
    return 0;
}

}  // namespace

bool MessageBoxPaint(TopWindow& window) {
    if (box == nullptr || box->window != &window) return false;
    double scale = Wayland().scale;
    const ControlTextFace& font = Wayland().font;
    int x = ScaleValue(MARGIN, scale), y = ScaleValue(MARGIN, scale);
    int line = ScaleValue(LINE_HEIGHT, scale);
    for (const std::string& text : box->lines) {
        font.Draw(PictureOf(window), ControlRect{0, 0, window.width, window.height}, x,
                  y + font.Ascent(), text, COLOUR_BUTTON_TEXT);
        y += std::max(line, font.Ascent() + font.Descent());
    }
    return true;
}

bool MessageBoxKey(TopWindow& window, uint32_t symbol) {
    if (box == nullptr || box->window != &window) return false;
    if (symbol == XKB_KEY_Return || symbol == XKB_KEY_KP_Enter || symbol == XKB_KEY_Escape) {
        window.closed = true;
        return true;
    }
    return false;
}

int WaylandShowMessageBox(const char* title, const char* text, uint32_t) {
    if (Wayland().display == nullptr || box != nullptr) return 0;
    BoxState state;
    state.lines = LinesOf(text);
    // The size from the text at 96 DPI.
    const ControlTextFace& font = Wayland().font;
    double scale = Wayland().scale;
    int widest = 0;
    for (const std::string& line : state.lines) widest = std::max(widest, font.Width(line));
    int width = std::max(SMALLEST_WIDTH, static_cast<int>(std::ceil(widest / scale)) + 2 * MARGIN);
    int textHeight = static_cast<int>(state.lines.size()) * LINE_HEIGHT;
    int height = MARGIN + textHeight + MARGIN + BUTTON_HEIGHT + MARGIN;

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
    WaylandCreatePushButton(BOX_BUTTON, (width - BUTTON_WIDTH) / 2, height - MARGIN - BUTTON_HEIGHT,
                            BUTTON_WIDTH, BUTTON_HEIGHT, "OK", 0);
    state.window->focus = BOX_BUTTON;
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
    return IDOK;
}

}  // namespace wayland_layer
