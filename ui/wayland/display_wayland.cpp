// The connection to the Wayland compositor: the globals the layer binds,
// the outputs and their scales, the wait for events beside the posted
// messages, and the end of the process when the compositor goes away.
#include <poll.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fractional-scale-v1-client-protocol.h"
#include "ui/frame_pacing.h"
#include "ui/posted_messages_linux.h"
#include "ui/surface_scale.h"
#include "ui/wayland/layer_wayland.h"
#include "viewporter-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland_layer {

namespace {

void Ping(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener WM_BASE_LISTENER = {Ping};

void OutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t) {}
void OutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height,
                int32_t refresh) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
    auto* output = static_cast<Output*>(data);
    output->width = width;
    output->height = height;
    output->refreshMilliHz = refresh;
}

// Frames are paced for the fastest output, as on the other layers: no
// screen is shown fewer pictures than it can display.
void PaceForOutputs() {
    int32_t fastest = 0;
    for (auto& output : Wayland().outputs) fastest = std::max(fastest, output->refreshMilliHz);
    SetDisplayRefresh(fastest / 1000.0);
}

void OutputsChanged() {
    PaceForOutputs();
    // A window on an output whose scale or size changed takes the new
    // scale, and fits it again.
    for (auto& [number, window] : Windows()) {
        (void)number;
        ApplyScale(window->outputs.empty() && window->preferredScale120 == 0
                       ? Wayland().surfaceScale
                       : WindowScaleFromOutputs(*window));
    }
}

void OutputDone(void*, wl_output*) {
    OutputsChanged();
}
void OutputScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = factor;
}
const wl_output_listener OUTPUT_LISTENER = {OutputGeometry, OutputMode, OutputDone,
                                            OutputScale,    nullptr,    nullptr};

void XdgOutputPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void XdgOutputSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    auto* output = static_cast<Output*>(data);
    output->logicalWidth = width;
    output->logicalHeight = height;
}
void XdgOutputDone(void*, zxdg_output_v1*) {
    OutputsChanged();
}
void XdgOutputName(void*, zxdg_output_v1*, const char*) {}
void XdgOutputDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener XDG_OUTPUT_LISTENER = {
    XdgOutputPosition, XdgOutputSize, XdgOutputDone, XdgOutputName, XdgOutputDescription};

// An output's size in logical pixels, which a window's must not pass, comes
// from xdg-output where the compositor offers it (its mode divided by its
// scale otherwise).
void DescribeOutput(Output& output) {
    WaylandState& w = Wayland();
    if (w.outputManager == nullptr || output.xdgOutput != nullptr) return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(w.outputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &XDG_OUTPUT_LISTENER, &output);
}

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    WaylandState& w = Wayland();
    auto bind = [&](const wl_interface* type, uint32_t highest) {
        return wl_registry_bind(registry, name, type, version < highest ? version : highest);
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4) {
        // Version 4: damage in buffer pixels.
        w.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        w.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        w.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
        xdg_wm_base_add_listener(w.wmBase, &WM_BASE_LISTENER, nullptr);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && w.seat == nullptr) {
        BindSeat(registry, name, version);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        auto output = std::make_unique<Output>();
        output->name = name;
        output->output = static_cast<wl_output*>(bind(&wl_output_interface, 2));
        wl_output_add_listener(output->output, &OUTPUT_LISTENER, output.get());
        DescribeOutput(*output);
        w.outputs.push_back(std::move(output));
    } else if (std::strcmp(interface, zxdg_decoration_manager_v1_interface.name) == 0) {
        w.decorationManager = static_cast<zxdg_decoration_manager_v1*>(
            bind(&zxdg_decoration_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        w.fractionalScaleManager = static_cast<wp_fractional_scale_manager_v1*>(
            bind(&wp_fractional_scale_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        w.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && version >= 2) {
        // Version 2: the logical size is sent whole, with wl_output.done.
        w.outputManager =
            static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 2));
        for (auto& output : w.outputs) DescribeOutput(*output);
    } else if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0) {
        w.activation = static_cast<xdg_activation_v1*>(bind(&xdg_activation_v1_interface, 1));
    }
}

void GlobalRemove(void*, wl_registry*, uint32_t name) {
    auto& outputs = Wayland().outputs;
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        if ((*it)->name != name) continue;
        for (auto& [number, window] : Windows()) {
            (void)number;
            auto& on = window->outputs;
            on.erase(std::remove(on.begin(), on.end(), (*it)->output), on.end());
        }
        if ((*it)->xdgOutput != nullptr) zxdg_output_v1_destroy((*it)->xdgOutput);
        wl_output_destroy((*it)->output);
        outputs.erase(it);
        // The scale of an output that is gone no longer holds: a window
        // takes its scale from the outputs it is still on, or from those left.
        PaceForOutputs();
        for (auto& [number, window] : Windows()) {
            (void)number;
            bool onNone = window->outputs.empty() && window->preferredScale120 == 0;
            ApplyScale(onNone ? ScaleFromAllOutputs() : WindowScaleFromOutputs(*window));
        }
        return;
    }
}

const wl_registry_listener REGISTRY_LISTENER = {Global, GlobalRemove};

}  // namespace

double ScaleFromAllOutputs() {
    std::vector<int> scales;
    for (auto& output : Wayland().outputs) scales.push_back(output->scale);
    return SurfaceScale(0, false, scales, 1.0);
}

WaylandState& Wayland() {
    static auto* state = new WaylandState();
    return *state;
}

void CompositorLost(const char* what) {
    WaylandState& w = Wayland();
    int error = w.display != nullptr ? wl_display_get_error(w.display) : 0;
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        uint32_t code = wl_display_get_protocol_error(w.display, &interface, &id);
        std::fprintf(stderr,
                     "vellumtone: the Wayland compositor ended the connection (%s: "
                     "protocol error %u on %s)\n",
                     what, code, interface != nullptr ? interface->name : "?");
    } else {
        std::fprintf(stderr, "vellumtone: the Wayland compositor went away (%s: %s)\n", what,
                     std::strerror(error != 0 ? error : EPIPE));
    }
    std::fflush(stderr);
    if (w.displayLost != nullptr) w.displayLost();
    std::_Exit(1);
}

void FlushRequests() {
    WaylandState& w = Wayland();
    if (w.display == nullptr) return;
    // A full socket (EAGAIN) sends the rest with the next flush.
    if (wl_display_flush(w.display) < 0 && errno != EAGAIN) CompositorLost("sending");
}

bool PumpCompositor(int timeoutMs) {
    WaylandState& w = Wayland();
    wl_display* display = w.display;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) CompositorLost("reading");
        return true;
    }
    FlushRequests();
    pollfd descriptors[2] = {{wl_display_get_fd(display), POLLIN, 0},
                             {MessageWakeDescriptor(), POLLIN, 0}};
    nfds_t count = descriptors[1].fd >= 0 ? 2 : 1;
    int ready = poll(descriptors, count, timeoutMs);
    if (ready <= 0 || (descriptors[0].revents & (POLLIN | POLLERR | POLLHUP)) == 0) {
        wl_display_cancel_read(display);
        return false;
    }
    if (wl_display_read_events(display) < 0) CompositorLost("reading");
    if (wl_display_dispatch_pending(display) < 0) CompositorLost("reading");
    return true;
}

bool ConnectCompositor() {
    WaylandState& w = Wayland();
    w.display = wl_display_connect(nullptr);
    if (w.display == nullptr) return false;
    w.registry = wl_display_get_registry(w.display);
    wl_registry_add_listener(w.registry, &REGISTRY_LISTENER, nullptr);
    // The globals, then what the first binds send (the outputs' scales, the
    // seat's abilities).
    if (wl_display_roundtrip(w.display) < 0 || wl_display_roundtrip(w.display) < 0 ||
        w.compositor == nullptr || w.shm == nullptr || w.wmBase == nullptr) {
        DisconnectCompositor();
        return false;
    }
    w.xkbContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    return true;
}

void DisconnectCompositor() {
    WaylandState& w = Wayland();
    if (w.display == nullptr) return;
    ReleaseInput();
    for (auto& output : w.outputs) {
        if (output->xdgOutput != nullptr) zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
    }
    w.outputs.clear();
    if (w.outputManager != nullptr) zxdg_output_manager_v1_destroy(w.outputManager);
    w.outputManager = nullptr;
    if (w.decorationManager != nullptr) zxdg_decoration_manager_v1_destroy(w.decorationManager);
    if (w.fractionalScaleManager != nullptr)
        wp_fractional_scale_manager_v1_destroy(w.fractionalScaleManager);
    if (w.viewporter != nullptr) wp_viewporter_destroy(w.viewporter);
    if (w.activation != nullptr) xdg_activation_v1_destroy(w.activation);
    if (w.wmBase != nullptr) xdg_wm_base_destroy(w.wmBase);
    if (w.shm != nullptr) wl_shm_destroy(w.shm);
    if (w.compositor != nullptr) wl_compositor_destroy(w.compositor);
    wl_registry_destroy(w.registry);
    wl_display_flush(w.display);
    wl_display_disconnect(w.display);
    if (w.xkbContext != nullptr) xkb_context_unref(w.xkbContext);
    w.xkbContext = nullptr;
    w.display = nullptr;
    w.registry = nullptr;
    w.compositor = nullptr;
    w.shm = nullptr;
    w.wmBase = nullptr;
    w.decorationManager = nullptr;
    w.fractionalScaleManager = nullptr;
    w.viewporter = nullptr;
    w.activation = nullptr;
}

}  // namespace wayland_layer
