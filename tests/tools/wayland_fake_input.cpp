// wayland_fake_input: moves KWin's pointer, presses its buttons and types its
// keys through org_kde_kwin_fake_input, which KWin offers to every client
// when it runs with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 (a test's private
// KWin has no input devices of its own). It reads commands, one a line, from
// stdin, so that one process serves a whole test:
//   move X Y          the pointer to X Y, in the compositor's logical pixels
//   press BTN         a button down; BTN is an evdev code (272 left, 273 right)
//   release BTN       that button up
//   key CODE down|up  a key, as an evdev code (1 Escape, 28 Enter, 108 Down)
// and answers each on stdout, once the compositor has handled it: "ok" and
// the command, or "bad" and the line it could not read (it goes on).
// Prints "ready" first, once it holds the interface.
//
//   wayland_fake_input    (WAYLAND_DISPLAY names the compositor)
//
// Exit status: 0 at the end of stdin, 1 without a compositor, without the
// interface (KWin without the variable hides it) or when the connection ends.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "fake-input-client-protocol.h"

namespace {

// Version 4 has the absolute motion (3) and the keys (4).
constexpr uint32_t FAKE_INPUT_VERSION = 4;

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto** fake = static_cast<org_kde_kwin_fake_input**>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
        version >= FAKE_INPUT_VERSION && *fake == nullptr) {
        *fake = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, FAKE_INPUT_VERSION));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener REGISTRY_LISTENER = {OnGlobal, OnGlobalRemove};

// Sends one command's request; false if the line is not a command.
bool Send(org_kde_kwin_fake_input* fake, const std::string& line) {
    std::istringstream words(line);
    std::string verb, rest;
    if (!(words >> verb)) return false;
    if (verb == "move") {
        double x = 0, y = 0;
        if (!(words >> x >> y) || words >> rest) return false;
        org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_double(x),
                                                        wl_fixed_from_double(y));
    } else if (verb == "press" || verb == "release") {
        uint32_t button = 0;
        if (!(words >> button) || words >> rest) return false;
        org_kde_kwin_fake_input_button(
            fake, button,
            verb == "press" ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (verb == "key") {
        uint32_t code = 0;
        std::string state;
        if (!(words >> code >> state) || (state != "down" && state != "up") || words >> rest) {
            return false;
        }
        org_kde_kwin_fake_input_keyboard_key(
            fake, code,
            state == "down" ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wayland_fake_input: no Wayland compositor answers\n");
        return 1;
    }
    org_kde_kwin_fake_input* fake = nullptr;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &REGISTRY_LISTENER, &fake);
    wl_display_roundtrip(display);
    if (fake == nullptr) {
        std::fprintf(stderr,
                     "wayland_fake_input: the compositor offers no org_kde_kwin_fake_input %u "
                     "(KWin offers it with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1)\n",
                     FAKE_INPUT_VERSION);
        wl_display_disconnect(display);
        return 1;
    }
    // KWin ignores the events of a device that has not said who it is.
    org_kde_kwin_fake_input_authenticate(fake, "wayland_fake_input", "end-to-end tests");
    if (wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "wayland_fake_input: the compositor closed the connection\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        bool sent = Send(fake, line);
        // The roundtrip returns once the compositor has read the request
        // and answered the sync after it: the event went into its input.
        if (sent && wl_display_roundtrip(display) < 0) {
            std::fprintf(stderr, "wayland_fake_input: the compositor closed the connection\n");
            return 1;
        }
        std::printf("%s %s\n", sent ? "ok" : "bad", line.c_str());
        std::fflush(stdout);
    }
    org_kde_kwin_fake_input_destroy(fake);
    wl_display_disconnect(display);
    return 0;
}
