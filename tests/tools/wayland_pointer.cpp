// wayland_pointer: gives the seat of a Wayland compositor a pointer device
// and holds it until the compositor goes or the tool is ended. A headless
// compositor has no input devices, so its seat offers no pointer, clients
// never ask for one, and the clicks that `swaymsg seat - cursor press` makes
// reach nobody. A virtual pointer (wlroots' virtual-pointer protocol) is a
// device of that seat like a mouse, and the compositor's own cursor commands
// then move and click it. Prints "ready" once the compositor has taken it.
//
//   wayland_pointer    (WAYLAND_DISPLAY names the compositor)
//
// Exit status: 0 when the compositor closed the connection, 1 without a
// compositor or without the protocol.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    // The first seat: a compositor made for tests has one.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener REGISTRY_LISTENER = {OnGlobal, OnGlobalRemove};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wayland_pointer: no Wayland compositor answers\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &REGISTRY_LISTENER, &globals);
    wl_display_roundtrip(display);
    if (globals.seat == nullptr || globals.manager == nullptr) {
        std::fprintf(stderr, "wayland_pointer: the compositor offers no %s\n",
                     globals.seat == nullptr ? "seat" : "virtual pointer");
        wl_display_disconnect(display);
        return 1;
    }
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    // Once the compositor has answered, it has added the device to the seat.
    if (wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "wayland_pointer: the compositor refused the pointer\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    // Nothing comes for this client: dispatch sleeps until the connection ends.
    while (wl_display_dispatch(display) >= 0) {
    }
    wl_display_disconnect(display);
    return 0;
}
