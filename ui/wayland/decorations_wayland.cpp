// Client-side decorations where the compositor draws none (GNOME's offers
// no xdg-decoration): libdecor puts a title bar with a close button around
// the window's surface and owns its xdg_surface and xdg_toplevel; the layer
// answers its configures with the window's fixed size. Without libdecor at
// build time the window simply has no frame there.
#include "ui/wayland/decorations_wayland.h"

#ifdef VELLUMTONE_LIBDECOR
#include <dirent.h>
#include <libdecor.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/desktop_identity.h"

namespace wayland_layer {

namespace {

libdecor* context = nullptr;

void LibdecorError(libdecor*, libdecor_error, const char* message) {
    // A broken decoration leaves the window without a frame, not the user
    // without the program.
    std::fprintf(stderr, "vellumtone: window decorations: %s\n", message);
}
// The reserved members stay empty.
libdecor_interface LIBDECOR_INTERFACE = [] {
    libdecor_interface made{};
    made.error = LibdecorError;
    return made;
}();

void FrameConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
    auto* window = static_cast<TopWindow*>(data);
    libdecor_state* state = libdecor_state_new(window->logicalWidth, window->logicalHeight);
    libdecor_frame_commit(frame, state, configuration);
    libdecor_state_free(state);
    libdecor_window_state windowState = LIBDECOR_WINDOW_STATE_NONE;
    if (libdecor_configuration_get_window_state(configuration, &windowState)) {
        bool active = (windowState & LIBDECOR_WINDOW_STATE_ACTIVE) != 0;
        if (active != window->active) {
            WindowProcedure(window, MESSAGE_ACTIVATE, active ? 1 : 0, 0);
        }
    }
    if (!window->configured) {
        window->configured = true;
        window->xdgSurface = libdecor_frame_get_xdg_surface(frame);
        PaintWindow(*window);
    } else {
        wl_surface_commit(window->surface);
    }
}

void FrameClose(libdecor_frame*, void* data) {
    auto* window = static_cast<TopWindow*>(data);
    if (!window->disabled) WindowProcedure(window, MESSAGE_CLOSE, 0, 0);
}

void FrameCommit(libdecor_frame*, void* data) {
    wl_surface_commit(static_cast<TopWindow*>(data)->surface);
}

void FrameDismissPopup(libdecor_frame*, const char*, void*) {
    DismissPopup();
}

libdecor_frame_interface FRAME_INTERFACE = [] {
    libdecor_frame_interface made{};
    made.configure = FrameConfigure;
    made.close = FrameClose;
    made.commit = FrameCommit;
    made.dismiss_popup = FrameDismissPopup;
    return made;
}();

// Whether libdecor will find a plugin to draw with: without one it maps the
// window bare, with no title bar and no close button, and says so only in
// its own words.
bool HasFramePlugin() {
    const char* folder = std::getenv("LIBDECOR_PLUGIN_DIR");
#ifdef VELLUMTONE_LIBDECOR_PLUGIN_DIR
    if (folder == nullptr) folder = VELLUMTONE_LIBDECOR_PLUGIN_DIR;
#endif
    DIR* listing = folder != nullptr ? opendir(folder) : nullptr;
    if (listing == nullptr) return false;
    bool found = false;
    while (dirent* entry = readdir(listing)) {
        size_t length = std::strlen(entry->d_name);
        if (length > 3 && std::strcmp(entry->d_name + length - 3, ".so") == 0) found = true;
    }
    closedir(listing);
    return found;
}

}  // namespace

bool DecorateOnClient(TopWindow& window) {
    if (context == nullptr) {
        if (!HasFramePlugin()) {
            std::fprintf(stderr,
                         "vellumtone: the window has no frame: this desktop leaves it to the "
                         "program, and libdecor has no plugin to draw one (install "
                         "libdecor-0-plugin-1-cairo); close it with Alt+F4\n");
        }
        context = libdecor_new(Wayland().display, &LIBDECOR_INTERFACE);
    }
    if (context == nullptr) return false;
    libdecor_frame* frame = libdecor_decorate(context, window.surface, &FRAME_INTERFACE, &window);
    if (frame == nullptr) return false;
    window.clientDecoration = frame;
    libdecor_frame_set_title(frame, window.title.c_str());
    libdecor_frame_set_app_id(frame, DESKTOP_APP_ID);
    libdecor_frame_set_min_content_size(frame, window.logicalWidth, window.logicalHeight);
    libdecor_frame_set_max_content_size(frame, window.logicalWidth, window.logicalHeight);
    libdecor_frame_unset_capabilities(
        frame,
        static_cast<libdecor_capabilities>(LIBDECOR_ACTION_RESIZE | LIBDECOR_ACTION_FULLSCREEN));
    libdecor_frame_map(frame);
    return true;
}

void Undecorate(TopWindow& window) {
    if (window.clientDecoration == nullptr) return;
    libdecor_frame_unref(static_cast<libdecor_frame*>(window.clientDecoration));
    window.clientDecoration = nullptr;
    // The frame's xdg objects went with it.
    window.xdgSurface = nullptr;
    window.toplevel = nullptr;
}

void ResizeClientDecoration(TopWindow& window) {
    auto* frame = static_cast<libdecor_frame*>(window.clientDecoration);
    if (frame == nullptr) return;
    libdecor_frame_set_min_content_size(frame, window.logicalWidth, window.logicalHeight);
    libdecor_frame_set_max_content_size(frame, window.logicalWidth, window.logicalHeight);
    if (!window.configured) return;  // the first configure brings the size
    libdecor_state* state = libdecor_state_new(window.logicalWidth, window.logicalHeight);
    libdecor_frame_commit(frame, state, nullptr);
    libdecor_state_free(state);
}

void ToWindowGeometry(const TopWindow& window, int* x, int* y) {
    auto* frame = static_cast<libdecor_frame*>(window.clientDecoration);
    if (frame != nullptr) libdecor_frame_translate_coordinate(frame, *x, *y, x, y);
}

void DispatchClientDecorations() {
    // The decorations' library may have work of its own queued.
    if (context != nullptr) libdecor_dispatch(context, 0);
}

void EndClientDecorations() {
    if (context != nullptr) libdecor_unref(context);
    context = nullptr;
}

}  // namespace wayland_layer

#else

namespace wayland_layer {

bool DecorateOnClient(TopWindow&) {
    return false;
}
void ResizeClientDecoration(TopWindow&) {}
void ToWindowGeometry(const TopWindow&, int*, int*) {}
void DispatchClientDecorations() {}
void Undecorate(TopWindow&) {}
void EndClientDecorations() {}

}  // namespace wayland_layer

#endif
