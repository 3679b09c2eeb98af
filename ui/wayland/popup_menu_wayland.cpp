// The window menu on Wayland: an xdg_popup showing the picture of the
// portable menu control (ui/menu_control), which also keeps the menu's
// rules for the mouse and the keys. This file keeps the protocol's part: the
// popup grabs the keyboard and pointer (xdg_popup.grab with the serial of
// the click or key that opened it), its pointer and key events go to the
// control, its pictures go out through wl_shm buffers, and a click elsewhere
// ends it (popup_done). Nothing waits for the menu: ShowPopupMenu returns at
// once, and a choice is posted to the owner as WM_COMMAND, which becomes
// EVENT_MENU as on the other layers.
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "draw/picture_rect.h"
#include "ui/menu_control.h"
#include "ui/message_loop.h"
#include "ui/surface_scale.h"
#include "ui/wayland/decorations_wayland.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland_layer {

namespace {

struct PopupState {
    PopupState(std::vector<PopupMenuItem> items, double scale)
        : control(std::move(items), Wayland().font, scale) {}
    TopWindow* owner = nullptr;
    MenuControl control;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_popup* popup = nullptr;
    wp_viewport* viewport = nullptr;
    wl_callback* frame = nullptr;
    bool configured = false;
    PictureRect stale;  // what the next picture shows anew
    int logicalWidth = 0, logicalHeight = 0;
    int width = 0, height = 0;  // the picture
    std::vector<uint32_t> image;
    BufferSet buffers;
};

PopupState* open = nullptr;

void PresentMenu(PopupState& menu);

void MenuFrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* menu = static_cast<PopupState*>(data);
    wl_callback_destroy(callback);
    menu->frame = nullptr;
}
const wl_callback_listener MENU_FRAME_LISTENER = {MenuFrameDone};

void PresentMenu(PopupState& menu) {
    if (!menu.configured || IsEmptyRect(menu.stale)) return;
    ShmBuffer* buffer = menu.buffers.Free(menu.width, menu.height);
    if (buffer == nullptr) return;
    menu.control.Draw(ControlPicture{menu.image.data(), menu.width, menu.height, menu.width});
    std::copy(menu.image.begin(), menu.image.end(), buffer->pixels);
    PictureRect damage = ClampedToPicture(menu.stale, menu.width, menu.height);
    menu.stale = PictureRect{};
    wl_surface_attach(menu.surface, buffer->buffer, 0, 0);
    wl_surface_damage_buffer(menu.surface, damage.left, damage.top, damage.right - damage.left,
                             damage.bottom - damage.top);
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

// Carries out what the control answered: the rows it changed are drawn
// and shown again, a choice goes to the owner as WM_COMMAND.
void Follow(const MenuAnswer& answer) {
    PopupState* menu = open;
    if (menu == nullptr) return;
    if (answer.close) {
        TopWindow* owner = menu->owner;
        DismissPopup();
        if (answer.command != 0) {
            PostWindowMessage(owner, MESSAGE_COMMAND, static_cast<uint64_t>(answer.command), 0);
        }
        return;
    }
    if (answer.firstRow < 0) return;
    const MenuControl& control = menu->control;
    PictureRect rows{0, control.RowTop(answer.firstRow), menu->width,
                     control.RowTop(answer.lastRow) + control.RowHeight(answer.lastRow)};
    menu->stale = IsEmptyRect(menu->stale) ? rows : JoinedRects(menu->stale, rows);
    PresentMenu(*menu);
}

// Wayland's keysyms are X11's, which the control names.
static_assert(KEYSYM_UP == XKB_KEY_Up && KEYSYM_DOWN == XKB_KEY_Down &&
              KEYSYM_HOME == XKB_KEY_Home && KEYSYM_END == XKB_KEY_End &&
              KEYSYM_RETURN == XKB_KEY_Return && KEYSYM_KP_ENTER == XKB_KEY_KP_Enter &&
              KEYSYM_SPACE == XKB_KEY_space && KEYSYM_ESCAPE == XKB_KEY_Escape);

}  // namespace

bool PopupOpen() {
    return open != nullptr;
}

bool PopupOwnsSurface(wl_surface* surface) {
    return open != nullptr && surface != nullptr && open->surface == surface;
}

// Surface coordinates in the picture's pixels.
void PopupPointerMotion(double x, double y) {
    if (open == nullptr) return;
    double scale = Wayland().surfaceScale;
    Follow(open->control.PointerMove(static_cast<int>(std::floor(x * scale)),
                                     static_cast<int>(std::floor(y * scale))));
}

void PopupPointerLeave() {
    if (open != nullptr) Follow(open->control.PointerLeave());
}

void PopupPointerButton(bool leftOrRight, bool press) {
    if (open == nullptr || press) return;
    WaylandState& w = Wayland();
    // The grab brings this client's clicks anywhere to the menu: a release
    // over another of its surfaces ends the menu.
    if (!PopupOwnsSurface(w.pointerSurface)) {
        DismissPopup();
        return;
    }
    Follow(open->control.PointerRelease(static_cast<int>(std::floor(w.pointerX * w.surfaceScale)),
                                        static_cast<int>(std::floor(w.pointerY * w.surfaceScale)),
                                        leftOrRight));
}

void PopupKey(uint32_t symbol) {
    if (open != nullptr) Follow(open->control.Key(symbol));
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
    // Drawn at the layer's scale, shown at the output's (the two differ
    // only for a window shrunk to fit its output).
    auto* menu = new PopupState(items, w.scale);
    menu->owner = &owner;
    bool viewport = w.viewporter != nullptr && owner.viewport != nullptr;
    int pictureWidth = menu->control.Width(), pictureHeight = menu->control.Height();
    menu->logicalWidth = static_cast<int>(std::ceil(pictureWidth / w.surfaceScale));
    menu->logicalHeight = static_cast<int>(std::ceil(pictureHeight / w.surfaceScale));
    SurfacePicture picture =
        SurfacePictureFor(menu->logicalWidth, menu->logicalHeight, w.surfaceScale, viewport);
    int integerScale = picture.bufferScale;
    menu->width = picture.width;
    menu->height = picture.height;
    menu->image.assign(static_cast<size_t>(menu->width) * menu->height, 0);
    menu->control.SetPictureSize(menu->width, menu->height);
    menu->stale = PictureRect{0, 0, menu->width, menu->height};

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
    if (!atPointer) menu->control.HighlightFirst();
    FlushRequests();
    return true;
}

}  // namespace wayland_layer
