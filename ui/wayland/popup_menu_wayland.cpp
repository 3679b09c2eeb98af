// The window menu on Wayland: an xdg_popup drawn by the layer in the look
// of its button, with a raised edge, a check mark before a checked item,
// greyed text for a disabled one and an etched line for a separator. It
// grabs the keyboard and pointer (xdg_popup.grab with the serial of the
// click or key that opened it): the mouse highlights the item under it and
// a release on an enabled item chooses it; Up and Down move to the previous
// or next enabled item, Home and End to the first or last, Enter chooses,
// Escape closes, and a click elsewhere ends it (popup_done). Nothing waits
// for the menu: ShowPopupMenu returns at once, and a choice is posted to
// the owner as WM_COMMAND, which becomes EVENT_MENU as on the other layers.
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cmath>

#include "ui/message_loop.h"
#include "ui/scaling.h"
#include "ui/surface_scale.h"
#include "ui/wayland/decorations_wayland.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland_layer {

namespace {

// Layout in 96-DPI pixels, as the X11 layer's menu has it.
constexpr int EDGE = 2;
constexpr int ITEM_PADDING = 4;
constexpr int CHECK_GUTTER = 24;
constexpr int TEXT_RIGHT = 20;
constexpr int SEPARATOR_HEIGHT = 8;

struct Row {
    PopupMenuItem item;
    int top = 0, height = 0;  // in the popup's picture
};

struct PopupState {
    TopWindow* owner = nullptr;
    std::vector<Row> rows;
    int highlighted = -1;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_popup* popup = nullptr;
    wp_viewport* viewport = nullptr;
    wl_callback* frame = nullptr;
    bool configured = false;
    int logicalWidth = 0, logicalHeight = 0;
    int width = 0, height = 0;  // the picture
    std::vector<uint32_t> image;
    BufferSet buffers;
};

PopupState* open = nullptr;

bool Selectable(const Row& row) {
    return row.item.command != 0 && row.item.enabled;
}

void Draw(PopupState& menu) {
    double scale = Wayland().scale;
    uint32_t* pixels = menu.image.data();
    int stride = menu.width;
    FillRect(pixels, stride, 0, 0, menu.width, menu.height, COLOUR_BUTTON_FACE);
    EdgeRing(pixels, stride, 0, 0, menu.width, menu.height, 0, COLOUR_3D_LIGHT,
             COLOUR_3D_DARK_SHADOW);
    EdgeRing(pixels, stride, 0, 0, menu.width, menu.height, 1, COLOUR_BUTTON_HIGHLIGHT,
             COLOUR_BUTTON_SHADOW);
    const ControlTextFace& font = Wayland().font;
    int edge = ScaleValue(EDGE, scale), gutter = ScaleValue(CHECK_GUTTER, scale);
    for (size_t i = 0; i < menu.rows.size(); ++i) {
        const Row& row = menu.rows[i];
        int inner = menu.width - 2 * edge;
        if (row.item.command == 0) {
            int middle = row.top + row.height / 2;
            FillRect(pixels, stride, edge + 1, middle - 1, inner - 2, 1, COLOUR_BUTTON_SHADOW);
            FillRect(pixels, stride, edge + 1, middle, inner - 2, 1, COLOUR_BUTTON_HIGHLIGHT);
            continue;
        }
        bool lit = static_cast<int>(i) == menu.highlighted;
        if (lit) FillRect(pixels, stride, edge, row.top, inner, row.height, COLOUR_HIGHLIGHT);
        uint32_t ink = !row.item.enabled ? COLOUR_GREY_TEXT
                                         : (lit ? COLOUR_BUTTON_HIGHLIGHT : COLOUR_BUTTON_TEXT);
        int baseline =
            row.top + (row.height - (font.Ascent() + font.Descent())) / 2 + font.Ascent();
        TextTarget target{pixels, menu.width, menu.height,       stride,
                          edge,   row.top,    menu.width - edge, row.top + row.height};
        font.Draw(target, edge + gutter, baseline, row.item.text, ink);
        if (row.item.checked) {
            // A tick: two strokes, as thick as the text's stems.
            int size = std::max(6, row.height / 3), pen = std::max(1, ScaleValue(2, scale) / 2);
            int x = edge + (gutter - size) / 2, y = row.top + (row.height - size) / 2;
            for (int step = 0; step <= size / 3; ++step) {
                FillRect(pixels, stride, x + step, y + size / 2 + step, pen, pen + 1, ink);
            }
            for (int step = 0; step <= size - size / 3; ++step) {
                FillRect(pixels, stride, x + size / 3 + step, y + size - step - 1, pen, pen + 1,
                         ink);
            }
        }
    }
}

void PresentMenu(PopupState& menu);

void MenuFrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* menu = static_cast<PopupState*>(data);
    wl_callback_destroy(callback);
    menu->frame = nullptr;
}
const wl_callback_listener MENU_FRAME_LISTENER = {MenuFrameDone};

void PresentMenu(PopupState& menu) {
    if (!menu.configured) return;
    ShmBuffer* buffer = menu.buffers.Free(menu.width, menu.height);
    if (buffer == nullptr) return;
    Draw(menu);
    std::copy(menu.image.begin(), menu.image.end(), buffer->pixels);
    wl_surface_attach(menu.surface, buffer->buffer, 0, 0);
    wl_surface_damage_buffer(menu.surface, 0, 0, menu.width, menu.height);
    if (menu.frame == nullptr) {
        menu.frame = wl_surface_frame(menu.surface);
        wl_callback_add_listener(menu.frame, &MENU_FRAME_LISTENER, &menu);
    }
    wl_surface_commit(menu.surface);
    buffer->busy = true;
    FlushRequests();
}

void MenuConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    auto* menu = static_cast<PopupState*>(data);
    xdg_surface_ack_configure(surface, serial);
    menu->configured = true;
    PresentMenu(*menu);
}
const xdg_surface_listener MENU_SURFACE_LISTENER = {MenuConfigure};

void PopupConfigure(void*, xdg_popup*, int32_t, int32_t, int32_t, int32_t) {}
void PopupDone(void*, xdg_popup*) {
    DismissPopup();
}
void PopupRepositioned(void*, xdg_popup*, uint32_t) {}
const xdg_popup_listener POPUP_LISTENER = {PopupConfigure, PopupDone, PopupRepositioned};

void Choose(int index) {
    PopupState* menu = open;
    if (menu == nullptr || index < 0 || index >= static_cast<int>(menu->rows.size()) ||
        !Selectable(menu->rows[index])) {
        return;
    }
    TopWindow* owner = menu->owner;
    int64_t command = menu->rows[index].item.command;
    DismissPopup();
    PostWindowMessage(owner, MESSAGE_COMMAND, static_cast<uint64_t>(command), 0);
}

void Move(int direction, bool toEnd) {
    PopupState* menu = open;
    int count = static_cast<int>(menu->rows.size());
    int at = toEnd ? (direction > 0 ? -1 : count) : menu->highlighted;
    for (int step = 0; step < count; ++step) {
        at += direction;
        if (!toEnd) at = (at + count) % count;
        if (at < 0 || at >= count) return;
        if (Selectable(menu->rows[at])) {
            menu->highlighted = at;
            PresentMenu(*menu);
            return;
        }
    }
}

}  // namespace

bool PopupOpen() {
    return open != nullptr;
}

bool PopupOwnsSurface(wl_surface* surface) {
    return open != nullptr && surface != nullptr && open->surface == surface;
}

void PopupPointerMotion(double x, double y) {
    PopupState* menu = open;
    int py = static_cast<int>(std::floor(y * Wayland().surfaceScale));
    int px = static_cast<int>(std::floor(x * Wayland().surfaceScale));
    int lit = -1;
    for (size_t i = 0; i < menu->rows.size(); ++i) {
        const Row& row = menu->rows[i];
        if (px >= 0 && px < menu->width && py >= row.top && py < row.top + row.height &&
            Selectable(row)) {
            lit = static_cast<int>(i);
        }
    }
    if (lit != menu->highlighted) {
        menu->highlighted = lit;
        PresentMenu(*menu);
    }
}

void PopupPointerButton(bool left, bool press) {
    if (open == nullptr || press) return;
    if (!PopupOwnsSurface(Wayland().pointerSurface)) {
        DismissPopup();
        return;
    }
    if (left) Choose(open->highlighted);
}

void PopupKey(uint32_t symbol) {
    switch (symbol) {
        case XKB_KEY_Up:
            Move(-1, false);
            break;
        case XKB_KEY_Down:
            Move(1, false);
            break;
        case XKB_KEY_Home:
            Move(1, true);
            break;
        case XKB_KEY_End:
            Move(-1, true);
            break;
        case XKB_KEY_Return:
        case XKB_KEY_KP_Enter:
        case XKB_KEY_space:
            Choose(open->highlighted);
            break;
        case XKB_KEY_Escape:
            DismissPopup();
            break;
        default:
            break;
    }
}

void DismissPopup() {
    PopupState* menu = open;
    if (menu == nullptr) return;
    open = nullptr;
    if (menu->frame != nullptr) wl_callback_destroy(menu->frame);
    if (menu->popup != nullptr) xdg_popup_destroy(menu->popup);
    if (menu->xdgSurface != nullptr) xdg_surface_destroy(menu->xdgSurface);
    if (menu->viewport != nullptr) wp_viewport_destroy(menu->viewport);
    menu->buffers.Drop();
    if (menu->surface != nullptr) wl_surface_destroy(menu->surface);
    delete menu;
    FlushRequests();
}

bool WaylandShowPopupMenu(int64_t number, const std::vector<PopupMenuItem>& items, bool atPointer) {
    WaylandState& w = Wayland();
    auto found = Windows().find(number);
    if (found == Windows().end() || items.empty() || w.display == nullptr) return false;
    TopWindow& owner = *found->second;
    DismissPopup();
    double scale = w.scale;
    auto* menu = new PopupState();
    menu->owner = &owner;
    const ControlTextFace& font = w.font;
    int itemHeight = font.Ascent() + font.Descent() + 2 * ScaleValue(ITEM_PADDING, scale);
    int top = ScaleValue(EDGE, scale), widest = 0;
    for (const PopupMenuItem& item : items) {
        Row row{item, top, item.command == 0 ? ScaleValue(SEPARATOR_HEIGHT, scale) : itemHeight};
        top += row.height;
        widest = std::max(widest, font.Width(item.text));
        menu->rows.push_back(row);
    }
    // The size in logical pixels, and the picture at the window's scale.
    bool viewport = w.viewporter != nullptr && owner.viewport != nullptr;
    int pictureWidth = 2 * ScaleValue(EDGE, scale) + ScaleValue(CHECK_GUTTER, scale) + widest +
                       ScaleValue(TEXT_RIGHT, scale);
    int pictureHeight = top + ScaleValue(EDGE, scale);
    // Drawn at the layer's scale, shown at the output's (the two differ
    // only for a window shrunk to fit its output).
    menu->logicalWidth = static_cast<int>(std::ceil(pictureWidth / w.surfaceScale));
    menu->logicalHeight = static_cast<int>(std::ceil(pictureHeight / w.surfaceScale));
    SurfacePicture picture =
        SurfacePictureFor(menu->logicalWidth, menu->logicalHeight, w.surfaceScale, viewport);
    int integerScale = picture.bufferScale;
    menu->width = picture.width;
    menu->height = picture.height;
    menu->image.assign(static_cast<size_t>(menu->width) * menu->height, 0);

    menu->surface = wl_compositor_create_surface(w.compositor);
    if (viewport) {
        menu->viewport = wp_viewporter_get_viewport(w.viewporter, menu->surface);
        wp_viewport_set_destination(menu->viewport, menu->logicalWidth, menu->logicalHeight);
    } else {
        wl_surface_set_buffer_scale(menu->surface, integerScale);
    }
    menu->xdgSurface = xdg_wm_base_get_xdg_surface(w.wmBase, menu->surface);
    xdg_surface_add_listener(menu->xdgSurface, &MENU_SURFACE_LISTENER, menu);
    xdg_positioner* positioner = xdg_wm_base_create_positioner(w.wmBase);
    xdg_positioner_set_size(positioner, menu->logicalWidth, menu->logicalHeight);
    int x = 0, y = 0;
    if (atPointer && w.pointerSurface == owner.surface) {
        x = static_cast<int>(w.pointerX);
        y = static_cast<int>(w.pointerY);
    }
    // The anchor is in the parent's window geometry, not its surface.
    ToWindowGeometry(owner, &x, &y);
    xdg_positioner_set_anchor_rect(positioner, x, y, 1, 1);
    xdg_positioner_set_anchor(positioner, XDG_POSITIONER_ANCHOR_TOP_LEFT);
    xdg_positioner_set_gravity(positioner, XDG_POSITIONER_GRAVITY_BOTTOM_RIGHT);
    xdg_positioner_set_constraint_adjustment(positioner,
                                             XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_X |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_Y |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_FLIP_X |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_FLIP_Y);
    menu->popup = xdg_surface_get_popup(menu->xdgSurface, owner.xdgSurface, positioner);
    xdg_positioner_destroy(positioner);
    xdg_popup_add_listener(menu->popup, &POPUP_LISTENER, menu);
    if (w.seat != nullptr) xdg_popup_grab(menu->popup, w.seat, w.pressSerial);
    wl_surface_commit(menu->surface);
    open = menu;
    // Opened by the keyboard, the first item is lit so Enter chooses it.
    if (!atPointer) {
        for (size_t i = 0; i < menu->rows.size(); ++i) {
            if (Selectable(menu->rows[i])) {
                menu->highlighted = static_cast<int>(i);
                break;
            }
        }
    }
    FlushRequests();
    return true;
}

}  // namespace wayland_layer
