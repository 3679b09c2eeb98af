// Top-level windows on Wayland: an xdg_toplevel of a fixed size in logical
// pixels (the 96-DPI client size), drawn by the layer into a picture of its
// own at the display's scale, and presented through wl_shm buffers: only
// the changed squares are copied and damaged, and a new picture goes out
// only when the compositor's frame callback says the last one was used, so
// a hidden window (no callbacks) costs no drawing. The scale is the
// output's integer scale (wl_surface.set_buffer_scale), or the exact
// fractional one where wp_fractional_scale_v1 and wp_viewporter are offered.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "draw/pixel_formats.h"
#include "fractional-scale-v1-client-protocol.h"
#include "ui/desktop_identity.h"
#include "ui/display_scale.h"
#include "ui/event_queue.h"
#include "ui/scaling.h"
#include "ui/status_line_picture.h"
#include "ui/surface_scale.h"
#include "ui/wayland/decorations_wayland.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"
#include "viewporter-client-protocol.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland_layer {

ControlPicture PictureOf(TopWindow& window) {
    return ControlPicture{window.image.data(), window.width, window.height, window.width};
}

namespace {

constexpr int CANVAS_EDGE = 2;  // the sunken client edge around a canvas's picture
constexpr int MAX_BUFFERS = 3;
// A frame callback this late means the compositor does not show the window.
constexpr auto HIDDEN_AFTER = std::chrono::milliseconds(250);
constexpr uint32_t CREATE_NOT_TARGET = 8;  // flags bit 3: controls do not go into it

TopWindow* controlTarget = nullptr;

// --- Buffers -------------------------------------------------------------

void BufferReleased(void* data, wl_buffer*) {
    static_cast<ShmBuffer*>(data)->busy = false;
}
const wl_buffer_listener BUFFER_LISTENER = {BufferReleased};

std::unique_ptr<ShmBuffer> MakeBuffer(int width, int height) {
    auto made = std::make_unique<ShmBuffer>();
    size_t stride = static_cast<size_t>(width) * 4;
    size_t bytes = stride * static_cast<size_t>(height);
    int fd = memfd_create("vellumtone-picture", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(Wayland().shm, fd, static_cast<int32_t>(bytes));
    made->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride),
                                             WL_SHM_FORMAT_XRGB8888);
    // The buffer keeps the memory; the pool and the descriptor are no
    // longer needed.
    wl_shm_pool_destroy(pool);
    close(fd);
    made->pixels = static_cast<uint32_t*>(memory);
    made->bytes = bytes;
    made->width = width;
    made->height = height;
    made->stale.Add(PictureRect{0, 0, width, height});
    wl_buffer_add_listener(made->buffer, &BUFFER_LISTENER, made.get());
    return made;
}

// --- Listeners -----------------------------------------------------------

void FrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* window = static_cast<TopWindow*>(data);
    wl_callback_destroy(callback);
    if (window->frame == callback) window->frame = nullptr;
    // The compositor shows the window again: what its canvases let wait is
    // drawn now.
    if (window->hidden->exchange(false)) {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        for (auto& [number, control] : Controls()) {
            if (control->window == window && control->kind == ControlKind::CANVAS)
                QueueEvent(EVENT_CONTROL, number, window->number, CANVAS_SHOWN);
        }
    }
}
const wl_callback_listener FRAME_LISTENER = {FrameDone};

void SurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    auto* window = static_cast<TopWindow*>(data);
    xdg_surface_ack_configure(surface, serial);
    if (!window->configured) {
        window->configured = true;
        PaintWindow(*window);
    } else {
        // An acknowledged configure takes effect with the next commit; the
        // picture already there serves.
        wl_surface_commit(window->surface);
    }
}
const xdg_surface_listener XDG_SURFACE_LISTENER = {SurfaceConfigure};

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t, int32_t, wl_array* states) {
    auto* window = static_cast<TopWindow*>(data);
    bool active = false;
    for (auto* state = static_cast<uint32_t*>(states->data);
         reinterpret_cast<char*>(state) < static_cast<char*>(states->data) + states->size;
         ++state) {
        if (*state == XDG_TOPLEVEL_STATE_ACTIVATED) active = true;
    }
    if (active != window->active) WindowProcedure(window, MESSAGE_ACTIVATE, active ? 1 : 0, 0);
}
void ToplevelClose(void* data, xdg_toplevel*) {
    auto* window = static_cast<TopWindow*>(data);
    if (!window->disabled) WindowProcedure(window, MESSAGE_CLOSE, 0, 0);
}
const xdg_toplevel_listener TOPLEVEL_LISTENER = {ToplevelConfigure, ToplevelClose, nullptr,
                                                 nullptr};

void SurfaceEnter(void* data, wl_surface*, wl_output* output) {
    auto* window = static_cast<TopWindow*>(data);
    window->outputs.push_back(output);
    ApplyScale(WindowScaleFromOutputs(*window));
}
void SurfaceLeave(void* data, wl_surface*, wl_output* output) {
    auto* window = static_cast<TopWindow*>(data);
    auto& on = window->outputs;
    on.erase(std::remove(on.begin(), on.end(), output), on.end());
    if (!on.empty()) ApplyScale(WindowScaleFromOutputs(*window));
}
const wl_surface_listener SURFACE_LISTENER = {SurfaceEnter, SurfaceLeave};

void PreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale120) {
    auto* window = static_cast<TopWindow*>(data);
    window->preferredScale120 = scale120;
    ApplyScale(WindowScaleFromOutputs(*window));
}
const wp_fractional_scale_v1_listener FRACTIONAL_LISTENER = {PreferredScale};

void MakeToplevel(TopWindow& window, bool askForFrame);

// The compositor's answer to the frame asked for: a compositor that leaves
// it to the client gets libdecor's. The role objects are made again for
// libdecor, which owns its own; a surface must show no picture while its
// xdg_surface is made.
void DecorationConfigure(void* data, zxdg_toplevel_decoration_v1*, uint32_t mode) {
    auto* window = static_cast<TopWindow*>(data);
    if (mode != ZXDG_TOPLEVEL_DECORATION_V1_MODE_CLIENT_SIDE) return;
    if (window->presentedOnce) {
        wl_surface_attach(window->surface, nullptr, 0, 0);
        wl_surface_commit(window->surface);
    }
    if (window->frame != nullptr) wl_callback_destroy(window->frame);
    zxdg_toplevel_decoration_v1_destroy(window->decoration);
    xdg_toplevel_destroy(window->toplevel);
    xdg_surface_destroy(window->xdgSurface);
    window->frame = nullptr;
    window->decoration = nullptr;
    window->toplevel = nullptr;
    window->xdgSurface = nullptr;
    window->configured = false;
    window->presentedOnce = false;
    window->surfaceChanged = true;
    window->damage.Add(PictureRect{0, 0, window->width, window->height});
    if (!DecorateOnClient(*window)) MakeToplevel(*window, false);
    FlushRequests();
}
const zxdg_toplevel_decoration_v1_listener DECORATION_LISTENER = {DecorationConfigure};

// The window's xdg_surface and xdg_toplevel, with the compositor's frame
// asked for where it offers one.
void MakeToplevel(TopWindow& window, bool askForFrame) {
    WaylandState& w = Wayland();
    window.xdgSurface = xdg_wm_base_get_xdg_surface(w.wmBase, window.surface);
    xdg_surface_add_listener(window.xdgSurface, &XDG_SURFACE_LISTENER, &window);
    window.toplevel = xdg_surface_get_toplevel(window.xdgSurface);
    xdg_toplevel_add_listener(window.toplevel, &TOPLEVEL_LISTENER, &window);
    xdg_toplevel_set_title(window.toplevel, window.title.c_str());
    xdg_toplevel_set_app_id(window.toplevel, DESKTOP_APP_ID);
    // A fixed size: the smallest and the largest are the logical size.
    xdg_toplevel_set_min_size(window.toplevel, window.logicalWidth, window.logicalHeight);
    xdg_toplevel_set_max_size(window.toplevel, window.logicalWidth, window.logicalHeight);
    if (askForFrame) {
        window.decoration = zxdg_decoration_manager_v1_get_toplevel_decoration(w.decorationManager,
                                                                               window.toplevel);
        zxdg_toplevel_decoration_v1_add_listener(window.decoration, &DECORATION_LISTENER, &window);
        zxdg_toplevel_decoration_v1_set_mode(window.decoration,
                                             ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
    // The first commit carries no picture: the compositor answers with the
    // configure after which the window may be shown.
    wl_surface_commit(window.surface);
}

bool UsesViewport(const TopWindow& window) {
    return window.viewport != nullptr;
}

// The picture's size and how the surface maps it to logical pixels. The
// compositor is told at the next present, together with a picture of the
// new size: a buffer scale committed over a buffer of the old size that it
// does not divide is a protocol error on some compositors.
void SizePicture(TopWindow& window) {
    WaylandState& w = Wayland();
    window.logicalWidth = window.clientWidth;
    window.logicalHeight = window.clientHeight;
    if (window.keepOnScreen && w.scale < w.surfaceScale) {
        // Drawn smaller than the output's scale: the least logical size
        // whose picture holds it.
        auto logical = [&](int client) {
            return static_cast<int>(std::ceil(ScaleValue(client, w.scale) / w.surfaceScale));
        };
        window.logicalWidth = logical(window.clientWidth);
        window.logicalHeight = logical(window.clientHeight);
    }
    SurfacePicture picture = SurfacePictureFor(window.logicalWidth, window.logicalHeight,
                                               w.surfaceScale, UsesViewport(window));
    window.width = picture.width;
    window.height = picture.height;
    window.bufferScale = picture.bufferScale;
    window.surfaceChanged = true;
    window.image.assign(static_cast<size_t>(window.width) * window.height, 0);
    window.buffers.Drop();
}

// What SizePicture set, told the compositor before a picture of that size is
// attached.
void TellSurfaceSize(TopWindow& window) {
    if (!window.surfaceChanged) return;
    window.surfaceChanged = false;
    if (UsesViewport(window)) {
        wp_viewport_set_destination(window.viewport, window.logicalWidth, window.logicalHeight);
    } else {
        wl_surface_set_buffer_scale(window.surface, window.bufferScale);
    }
    // A fixed size: the smallest and the largest are the logical size.
    if (window.toplevel != nullptr && window.clientDecoration == nullptr) {
        xdg_toplevel_set_min_size(window.toplevel, window.logicalWidth, window.logicalHeight);
        xdg_toplevel_set_max_size(window.toplevel, window.logicalWidth, window.logicalHeight);
    }
    ResizeClientDecoration(window);
}

void PlaceScaled(Control& control) {
    double scale = Wayland().scale;
    control.x = ScaleValue(control.unscaledX, scale);
    control.y = ScaleValue(control.unscaledY, scale);
    control.width = std::clamp(ScaleValue(control.unscaledWidth, scale), 1, 32767);
    control.height = std::clamp(ScaleValue(control.unscaledHeight, scale), 1, 32767);
    control.button.SetSize(control.width, control.height);
}

// A canvas given a new size: a new picture, white, with the old one at its
// top-left corner, as the Windows canvas keeps it.
void ResizeCanvasPicture(Control& control) {
    CanvasPicture& canvas = *control.canvas;
    int width = control.width, height = control.height;
    if (control.flags & CANVAS_BORDER) {
        width -= 2 * CANVAS_EDGE;
        height -= 2 * CANVAS_EDGE;
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    std::lock_guard<std::mutex> hold(canvas.guard);
    if (canvas.view.width == width && canvas.view.height == height) return;
    int stride = RowStride(width, 24);
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height, 0xFF);
    PixelView view{pixels.data(), width, height, 24, stride};
    int rows = std::min(canvas.view.height, height);
    int bytes = 3 * std::min(canvas.view.width, width);
    for (int y = 0; y < rows; ++y) std::memcpy(view.At(0, y), canvas.view.At(0, y), bytes);
    canvas.pixels = std::move(pixels);
    canvas.view = view;
    canvas.changed = PictureRect{0, 0, width, height};
}

void CopyCanvas(TopWindow& window, Control& control, const PictureRect& area) {
    CanvasPicture& canvas = *control.canvas;
    PictureRect part = ClampedToPicture(area, canvas.view.width, canvas.view.height);
    int edge = (control.flags & CANVAS_BORDER) ? CANVAS_EDGE : 0;
    int left = control.x + edge, top = control.y + edge;
    // Only what lies inside the window.
    part = ClampedToPicture(part, window.width - left, window.height - top);
    if (IsEmptyRect(part) || left < 0 || top < 0) return;
    auto* origin = reinterpret_cast<uint8_t*>(window.image.data() +
                                              static_cast<size_t>(top) * window.width + left);
    CopyToXrgb32(canvas.view, part.left, part.top, part.right, part.bottom, origin,
                 static_cast<intptr_t>(window.width) * 4);
    AddDamage(window,
              PictureRect{left + part.left, top + part.top, left + part.right, top + part.bottom});
}

ControlRect ScaledRoom(const TextRoom& room) {
    const double scale = Wayland().scale;
    const int x = ScaleValue(room.x, scale), y = ScaleValue(room.y, scale);
    return ControlRect{x, y, x + ScaleValue(room.width, scale), y + ScaleValue(room.height, scale)};
}

// Both rooms of the line filled with the background and lettered with
// `text`, to be shown anew.
void DrawStatus(TopWindow& window, const std::string& text) {
    if (window.image.empty()) return;
    const uint32_t background = window.background == -1 ? COLOUR_BUTTON_FACE : window.background;
    const ControlRect room = ScaledRoom(window.statusRoom);
    const ControlRect headRoom = ScaledRoom(window.statusHeadRoom);
    DrawStatusLine(PictureOf(window), 0, 0, room, headRoom, text, Wayland().font, background);
    for (const ControlRect& rect : {room, headRoom}) {
        AddDamage(window, PictureRect{rect.left, rect.top, rect.right, rect.bottom});
    }
}

void ClearStatus(TopWindow& window) {
    DrawStatus(window, std::string());
}

void PaintStatus(TopWindow& window) {
    if (!window.status.empty()) DrawStatus(window, window.status);
}

void PaintButton(TopWindow& window, Control& control) {
    const bool focusShown = window.focus == control.number && window.keyboardCues && window.active;
    control.button.Draw(PictureOf(window), control.x, control.y, Wayland().font, focusShown);
    AddDamage(window, PictureRect{control.x, control.y, control.x + control.width,
                                  control.y + control.height});
}

void PaintCanvas(TopWindow& window, Control& control) {
    if (control.flags & CANVAS_BORDER) {
        // EDGE_SUNKEN: the outer ring shadow over highlight, the inner ring
        // dark shadow over light.
        const ControlPicture picture = PictureOf(window);
        DrawEdgeRing(picture, control.x, control.y, control.width, control.height, 0,
                     COLOUR_BUTTON_SHADOW, COLOUR_BUTTON_HIGHLIGHT);
        DrawEdgeRing(picture, control.x, control.y, control.width, control.height, 1,
                     COLOUR_3D_DARK_SHADOW, COLOUR_3D_LIGHT);
    }
    CanvasPicture& canvas = *control.canvas;
    // A drawing thread that holds the picture marks what it drew; the whole
    // picture then follows with the next look.
    if (!canvas.guard.try_lock()) {
        control.canvas->waiting.store(true);
        window.canvasesChanged->store(true);
        return;
    }
    canvas.changed = PictureRect{0, 0, canvas.view.width, canvas.view.height};
    canvas.guard.unlock();
    window.canvasesChanged->store(true);
    AddDamage(window, PictureRect{control.x, control.y, control.x + control.width,
                                  control.y + control.height});
}

void Present(TopWindow& window) {
    if (!window.configured || window.frame != nullptr || window.damage.IsEmpty()) return;
    ShmBuffer* buffer = window.buffers.Free(window.width, window.height);
    if (buffer == nullptr) return;  // the compositor holds them all; a release brings one back
    // This buffer lacks what changed since it was last filled, and what
    // changed now.
    DamageList copy = buffer->stale;
    copy.Add(window.damage);
    for (const PictureRect& each : copy.Rects()) {
        PictureRect part = ClampedToPicture(each, window.width, window.height);
        for (int y = part.top; y < part.bottom; ++y) {
            size_t at = static_cast<size_t>(y) * window.width + part.left;
            std::memcpy(buffer->pixels + at, window.image.data() + at,
                        static_cast<size_t>(part.right - part.left) * 4);
        }
    }
    buffer->stale.Clear();
    for (auto& other : window.buffers.buffers) {
        if (other.get() != buffer) other->stale.Add(window.damage);
    }
    wl_surface_attach(window.surface, buffer->buffer, 0, 0);
    TellSurfaceSize(window);
    // Each changed square on its own: the compositor recomposites only
    // those, not the box around both meters.
    for (const PictureRect& d : window.damage.Rects()) {
        wl_surface_damage_buffer(window.surface, d.left, d.top, d.right - d.left, d.bottom - d.top);
    }
    window.frame = wl_surface_frame(window.surface);
    window.frameAsked = std::chrono::steady_clock::now();
    wl_callback_add_listener(window.frame, &FRAME_LISTENER, &window);
    wl_surface_commit(window.surface);
    buffer->busy = true;
    window.damage.Clear();
    window.presentedOnce = true;
}

}  // namespace

// --- Tables --------------------------------------------------------------

std::map<int64_t, std::unique_ptr<TopWindow>>& Windows() {
    static auto* windows = new std::map<int64_t, std::unique_ptr<TopWindow>>();
    return *windows;
}

std::map<int64_t, std::unique_ptr<Control>>& Controls() {
    static auto* controls = new std::map<int64_t, std::unique_ptr<Control>>();
    return *controls;
}

std::mutex& ControlTableLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

TopWindow* WindowOfSurface(wl_surface* surface) {
    for (auto& [number, window] : Windows()) {
        (void)number;
        if (window->surface == surface) return window.get();
    }
    return nullptr;
}

TopWindow* WindowOfHandle(const void* handle) {
    for (auto& [number, window] : Windows()) {
        (void)number;
        if (window.get() == handle) return window.get();
    }
    return nullptr;
}

TopWindow* ControlTarget() {
    return controlTarget;
}

void SetControlTarget(TopWindow* window) {
    controlTarget = window;
}

BufferSet::~BufferSet() {
    Drop();
}

void BufferSet::Drop() {
    for (auto& buffer : buffers) {
        // A buffer the compositor still shows keeps its picture there.
        wl_buffer_destroy(buffer->buffer);
        munmap(buffer->pixels, buffer->bytes);
    }
    buffers.clear();
}

ShmBuffer* BufferSet::Free(int width, int height) {
    for (auto& buffer : buffers) {
        if (!buffer->busy && buffer->width == width && buffer->height == height)
            return buffer.get();
    }
    if (static_cast<int>(buffers.size()) >= MAX_BUFFERS) return nullptr;
    std::unique_ptr<ShmBuffer> made = MakeBuffer(width, height);
    if (!made) return nullptr;
    buffers.push_back(std::move(made));
    return buffers.back().get();
}

// --- Drawing -------------------------------------------------------------

void AddDamage(TopWindow& window, const PictureRect& area) {
    window.damage.Add(ClampedToPicture(area, window.width, window.height));
}

void PaintControl(Control& control) {
    if (control.window == nullptr || control.window->image.empty()) return;
    if (control.kind == ControlKind::BUTTON) {
        PaintButton(*control.window, control);
    } else {
        PaintCanvas(*control.window, control);
    }
}

void PaintWindow(TopWindow& window) {
    if (window.image.empty()) return;
    uint32_t background = window.background == -1 ? COLOUR_BUTTON_FACE : window.background;
    FillControlRect(PictureOf(window), 0, 0, window.width, window.height, background);
    AddDamage(window, PictureRect{0, 0, window.width, window.height});
    std::lock_guard<std::mutex> hold(ControlTableLock());
    for (auto& [number, control] : Controls()) {
        (void)number;
        if (control->window == &window) PaintControl(*control);
    }
    PaintStatus(window);
    MessageBoxPaint(window);
}

int PresentWindows() {
    int again = -1;
    for (auto& [number, window] : Windows()) {
        (void)number;
        if (window->canvasesChanged->exchange(false)) {
            std::lock_guard<std::mutex> hold(ControlTableLock());
            for (auto& [controlNumber, control] : Controls()) {
                (void)controlNumber;
                if (control->window != window.get() || control->kind != ControlKind::CANVAS)
                    continue;
                CanvasPicture& canvas = *control->canvas;
                if (!canvas.guard.try_lock()) {
                    // Being drawn: the drawing thread marks it again at its release.
                    window->canvasesChanged->store(true);
                    again = LookAgainSoonest(again, BUSY_LOOK_MS);
                    continue;
                }
                PictureRect changed = canvas.changed;
                canvas.changed = PictureRect{};
                canvas.waiting.store(false);
                if (!IsEmptyRect(changed)) CopyCanvas(*window, *control, changed);
                canvas.guard.unlock();
            }
        }
        Present(*window);
        // A picture the compositor has not used for this long is one nobody
        // sees: a shown window's frame comes within a refresh or two.
        if (window->frame != nullptr && !window->hidden->load()) {
            auto waited = std::chrono::steady_clock::now() - window->frameAsked;
            if (waited >= HIDDEN_AFTER) {
                window->hidden->store(true);
            } else {
                int left = static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(HIDDEN_AFTER - waited)
                        .count());
                again = LookAgainSoonest(again, std::max(left, 1));
            }
        }
    }
    FlushRequests();
    return again;
}

double WindowScaleFromOutputs(const TopWindow& window) {
    WaylandState& w = Wayland();
    std::vector<int> scales;
    for (wl_output* on : window.outputs) {
        for (auto& output : w.outputs) {
            if (output->output == on) scales.push_back(output->scale);
        }
    }
    return SurfaceScale(window.preferredScale120, UsesViewport(window), scales, w.surfaceScale);
}

namespace {

// The output a window is on (the first it entered), else the first there is.
const Output* OutputOf(const TopWindow& window) {
    WaylandState& w = Wayland();
    for (wl_output* on : window.outputs) {
        for (auto& output : w.outputs) {
            if (output->output == on) return output.get();
        }
    }
    return w.outputs.empty() ? nullptr : w.outputs.front().get();
}

// The scale to draw at so that every window kept on its output fits there
// with a title bar, at `surfaceScale`: that scale, or the largest whole DPI
// below it that fits (FitDisplayDpi, as the X11 layer fits its work area).
// The compositor tells no client how large its frame is; a title bar of
// TITLE_BAR logical pixels (libdecor's, about the compositors') is allowed.
double FitScale(double surfaceScale) {
    constexpr int TITLE_BAR = 37;
    double dpi = surfaceScale * DEFAULT_DISPLAY_DPI;
    for (auto& [number, window] : Windows()) {
        (void)number;
        const Output* output = OutputOf(*window);
        if (!window->keepOnScreen || output == nullptr) continue;
        int width = output->logicalWidth, height = output->logicalHeight;
        if ((width <= 0 || height <= 0) && output->scale > 0) {
            width = output->width / output->scale;
            height = output->height / output->scale;
        }
        if (width <= 0 || height <= 0) continue;  // nothing known of its size
        const FrameSize frame{0, ScaleValue(TITLE_BAR, surfaceScale)};
        dpi = std::min(dpi, FitDisplayDpi(surfaceScale * DEFAULT_DISPLAY_DPI, window->clientWidth,
                                          window->clientHeight, ScaleValue(width, surfaceScale),
                                          ScaleValue(height, surfaceScale),
                                          [frame](double) { return frame; }));
    }
    return dpi / DEFAULT_DISPLAY_DPI;
}

}  // namespace

void ApplyScale(double surfaceScale) {
    WaylandState& w = Wayland();
    double scale = FitScale(surfaceScale);
    if (scale == w.scale && surfaceScale == w.surfaceScale && w.font.IsOpen()) return;
    w.scale = scale;
    w.surfaceScale = surfaceScale;
    // DEFAULT_GUI_FONT's place: the desktop's sans at 9 points.
    w.font.Open(9.0 * DEFAULT_DISPLAY_DPI * scale / 72.0);
    for (auto& [number, window] : Windows()) {
        (void)number;
        if (window->surface == nullptr) continue;
        SizePicture(*window);
        {
            std::lock_guard<std::mutex> hold(ControlTableLock());
            for (auto& [controlNumber, control] : Controls()) {
                (void)controlNumber;
                if (control->window != window.get()) continue;
                PlaceScaled(*control);
                if (control->kind == ControlKind::CANVAS) ResizeCanvasPicture(*control);
            }
        }
        if (window->scaleChanged != nullptr) window->scaleChanged(window->number);
        PaintWindow(*window);
    }
}

void DestroyTopWindow(TopWindow& window) {
    {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        auto& controls = Controls();
        for (auto it = controls.begin(); it != controls.end();) {
            it = it->second->window == &window ? controls.erase(it) : std::next(it);
        }
    }
    if (window.frame != nullptr) wl_callback_destroy(window.frame);
    window.buffers.Drop();
    Undecorate(window);
    if (window.decoration != nullptr) zxdg_toplevel_decoration_v1_destroy(window.decoration);
    if (window.fractionalScale != nullptr) wp_fractional_scale_v1_destroy(window.fractionalScale);
    if (window.viewport != nullptr) wp_viewport_destroy(window.viewport);
    if (window.toplevel != nullptr) xdg_toplevel_destroy(window.toplevel);
    if (window.xdgSurface != nullptr) xdg_surface_destroy(window.xdgSurface);
    if (window.surface != nullptr) wl_surface_destroy(window.surface);
    window.frame = nullptr;
    window.decoration = nullptr;
    window.fractionalScale = nullptr;
    window.viewport = nullptr;
    window.toplevel = nullptr;
    window.xdgSurface = nullptr;
    window.surface = nullptr;
    if (controlTarget == &window) controlTarget = nullptr;
}

// --- The seam ------------------------------------------------------------

void* WaylandCreateTopWindow(int64_t number, int, int, int width, int height, const char* title,
                             uint32_t flags, void*) {
    WaylandState& w = Wayland();
    if (w.display == nullptr || number < 0 || width <= 0 || height <= 0) return nullptr;
    auto window = std::make_unique<TopWindow>();
    TopWindow* made = window.get();
    made->number = number;
    made->title = title != nullptr ? title : "";
    made->clientWidth = made->logicalWidth = width;
    made->clientHeight = made->logicalHeight = height;
    made->surface = wl_compositor_create_surface(w.compositor);
    wl_surface_add_listener(made->surface, &SURFACE_LISTENER, made);
    if (w.fractionalScaleManager != nullptr && w.viewporter != nullptr) {
        made->viewport = wp_viewporter_get_viewport(w.viewporter, made->surface);
        made->fractionalScale = wp_fractional_scale_manager_v1_get_fractional_scale(
            w.fractionalScaleManager, made->surface);
        wp_fractional_scale_v1_add_listener(made->fractionalScale, &FRACTIONAL_LISTENER, made);
    }
    Windows()[number] = std::move(window);
    SizePicture(*made);
    // Where the compositor draws no frames, the client draws one.
    if (w.decorationManager == nullptr && DecorateOnClient(*made)) {
        FlushRequests();
        if ((flags & CREATE_NOT_TARGET) == 0) controlTarget = made;
        return made;
    }
    MakeToplevel(*made, w.decorationManager != nullptr);
    if ((flags & CREATE_NOT_TARGET) == 0) controlTarget = made;
    return made;
}

void WaylandSetWindowBackground(int64_t number, int32_t colour) {
    auto found = Windows().find(number);
    if (found == Windows().end()) return;
    found->second->background = colour;
    PaintWindow(*found->second);
}

void WaylandSetWindowStatusText(int64_t number, const TextRoom& room, const TextRoom& headRoom,
                                const char* text) {
    auto found = Windows().find(number);
    if (found == Windows().end()) return;
    TopWindow& window = *found->second;
    if (!window.status.empty()) ClearStatus(window);
    window.status = text != nullptr ? text : "";
    window.statusRoom = room;
    window.statusHeadRoom = headRoom;
    PaintStatus(window);
}

void WaylandSetScaleChangeHandler(int64_t number, ScaleChangeHandler handler) {
    auto found = Windows().find(number);
    if (found != Windows().end()) found->second->scaleChanged = handler;
}

void WaylandKeepWindowOnScreen(int64_t number) {
    // The compositor places a window, but one larger than its output runs
    // off it: such a window is drawn at the largest scale that fits.
    auto found = Windows().find(number);
    if (found == Windows().end()) return;
    found->second->keepOnScreen = true;
    ApplyScale(Wayland().surfaceScale);
}

void WaylandSetWindowOnTop(int64_t, bool) {
    // Wayland has no request for keeping an ordinary window above others.
}

double WaylandScaleFactor() {
    return Wayland().scale;
}

void WaylandPlaceControl(int64_t number, int x, int y, int width, int height) {
    Control* control = nullptr;
    {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        auto found = Controls().find(number);
        if (found == Controls().end()) return;
        control = found->second.get();
        control->unscaledX = x;
        control->unscaledY = y;
        control->unscaledWidth = width;
        control->unscaledHeight = height;
        PlaceScaled(*control);
        if (control->kind == ControlKind::CANVAS) ResizeCanvasPicture(*control);
    }
    if (control->window != nullptr) PaintWindow(*control->window);
}

}  // namespace wayland_layer
