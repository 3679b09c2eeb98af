// The pointer's cursor over the program's surfaces. On Wayland the cursor
// over a surface is the client's to set, with the serial of the pointer's
// enter; a client that sets none keeps whatever the compositor showed last
// (a resize arrow from the border the pointer crossed). The arrow comes from
// the user's cursor theme (XCURSOR_THEME, XCURSOR_SIZE, as toolkits read
// them) through libwayland-cursor, which has a built-in arrow where no theme
// is installed.
#include <wayland-cursor.h>

#include <cmath>
#include <cstdlib>

#include "ui/wayland/layer_wayland.h"

namespace wayland_layer {

namespace {

constexpr int DEFAULT_CURSOR_SIZE = 24;  // logical pixels
constexpr int LARGEST_CURSOR_SIZE = 256;

int CursorSize() {
    const char* size = std::getenv("XCURSOR_SIZE");
    int value = size != nullptr ? std::atoi(size) : 0;
    return value > 0 && value <= LARGEST_CURSOR_SIZE ? value : DEFAULT_CURSOR_SIZE;
}

// The theme for the layer's scale (whole, rounded up: a cursor surface has
// no viewport).
wl_cursor_theme* Theme(int scale) {
    WaylandState& w = Wayland();
    if (w.cursorTheme != nullptr && w.cursorScale == scale) return w.cursorTheme;
    if (w.cursorTheme != nullptr) wl_cursor_theme_destroy(w.cursorTheme);
    w.cursorTheme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), CursorSize() * scale, w.shm);
    w.cursorScale = scale;
    return w.cursorTheme;
}

}  // namespace

void ShowArrowCursor(uint32_t serial) {
    WaylandState& w = Wayland();
    if (w.pointer == nullptr || w.shm == nullptr || w.compositor == nullptr) return;
    int scale = std::max(1, static_cast<int>(std::ceil(w.surfaceScale)));
    wl_cursor_theme* theme = Theme(scale);
    wl_cursor* arrow = nullptr;
    if (theme != nullptr) {
        arrow = wl_cursor_theme_get_cursor(theme, "left_ptr");
        if (arrow == nullptr) arrow = wl_cursor_theme_get_cursor(theme, "default");
    }
    if (arrow == nullptr || arrow->image_count == 0) {
        // No arrow at all: the compositor's default is better than the last
        // one it showed.
        wl_pointer_set_cursor(w.pointer, serial, nullptr, 0, 0);
        return;
    }
    wl_cursor_image* image = arrow->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (w.cursorSurface == nullptr) w.cursorSurface = wl_compositor_create_surface(w.compositor);
    if (buffer == nullptr || w.cursorSurface == nullptr) return;
    // A buffer scale must divide the buffer's size (a protocol error
    // otherwise); a theme without the scaled size gives a smaller arrow.
    int bufferScale = image->width % scale == 0 && image->height % scale == 0 ? scale : 1;
    wl_surface_set_buffer_scale(w.cursorSurface, bufferScale);
    wl_surface_attach(w.cursorSurface, buffer, 0, 0);
    wl_surface_damage_buffer(w.cursorSurface, 0, 0, static_cast<int32_t>(image->width),
                             static_cast<int32_t>(image->height));
    wl_surface_commit(w.cursorSurface);
    wl_pointer_set_cursor(w.pointer, serial, w.cursorSurface,
                          static_cast<int32_t>(image->hotspot_x) / bufferScale,
                          static_cast<int32_t>(image->hotspot_y) / bufferScale);
}

void ReleaseCursor() {
    WaylandState& w = Wayland();
    if (w.cursorSurface != nullptr) wl_surface_destroy(w.cursorSurface);
    if (w.cursorTheme != nullptr) wl_cursor_theme_destroy(w.cursorTheme);
    w.cursorSurface = nullptr;
    w.cursorTheme = nullptr;
    w.cursorScale = 0;
}

}  // namespace wayland_layer
