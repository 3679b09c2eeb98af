// A launch's activation token (xdg_activation_v1): asked for with the serial
// of the press that began the click (or of the key) and the program's surface, so the compositor
// can judge whether the program it starts may take the focus. The answer is awaited on a queue of
// its own, so no other event is handled meanwhile.
#include <string>

#include "ui/desktop_identity.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"
#include "xdg-activation-v1-client-protocol.h"

namespace wayland_layer {

namespace {

void TokenDone(void* data, xdg_activation_token_v1*, const char* token) {
    *static_cast<std::string*>(data) = token != nullptr ? token : "";
}
const xdg_activation_token_v1_listener TOKEN_LISTENER = {TokenDone};

}  // namespace

std::string WaylandActivationToken() {
    WaylandState& w = Wayland();
    if (w.display == nullptr || w.activation == nullptr) return {};
    wl_event_queue* queue = wl_display_create_queue(w.display);
    if (queue == nullptr) return {};
    auto* activation = static_cast<xdg_activation_v1*>(wl_proxy_create_wrapper(w.activation));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(activation), queue);
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
    wl_proxy_wrapper_destroy(activation);
    std::string token;
    xdg_activation_token_v1_add_listener(request, &TOKEN_LISTENER, &token);
    if (w.seat != nullptr) xdg_activation_token_v1_set_serial(request, w.pressSerial, w.seat);
    wl_surface* surface = w.keyboardSurface != nullptr ? w.keyboardSurface : w.pointerSurface;
    if (surface != nullptr) xdg_activation_token_v1_set_surface(request, surface);
    xdg_activation_token_v1_set_app_id(request, DESKTOP_APP_ID);
    xdg_activation_token_v1_commit(request);
    // The compositor answers every commit with done, even when it refuses;
    // one that takes longer than two round trips gives the launch no token.
    for (int trip = 0; trip < 2 && token.empty(); ++trip) {
        if (wl_display_roundtrip_queue(w.display, queue) < 0) break;
    }
    xdg_activation_token_v1_destroy(request);
    wl_event_queue_destroy(queue);
    return token;
}

}  // namespace wayland_layer
