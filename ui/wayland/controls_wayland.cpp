// The push button and the canvas on Wayland: parts of their window's
// picture. A canvas keeps its own 24-bit bottom-up picture (draw/pixels.h),
// so the portable drawing code writes the same bytes as everywhere; a
// drawing thread holds it from AcquireCanvasPicture to ReleaseCanvasPicture,
// marks what it changed and wakes the main thread, which copies the change
// into the window's picture and presents it with the next frame.
#include <algorithm>

#include "draw/held_pictures.h"
#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/posted_messages_linux.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"

namespace wayland_layer {

namespace {

uint64_t madeSoFar = 0;

using HeldCanvases = HeldPictures<CanvasPicture>;

// Makes the control in the control list target, replacing one of the same
// number; nullptr when there is no target.
Control* MakeControl(int64_t number, ControlKind kind, int x, int y, int width, int height) {
    TopWindow* window = ControlTarget();
    if (window == nullptr || number < 0) return nullptr;
    auto control = std::make_unique<Control>();
    control->number = number;
    control->kind = kind;
    control->window = window;
    control->order = ++madeSoFar;
    control->unscaledX = x;
    control->unscaledY = y;
    control->unscaledWidth = width;
    control->unscaledHeight = height;
    Control* made = control.get();
    std::lock_guard<std::mutex> hold(ControlTableLock());
    Controls()[number] = std::move(control);
    return made;
}

std::shared_ptr<CanvasPicture> CanvasOf(int64_t number) {
    std::lock_guard<std::mutex> hold(ControlTableLock());
    auto found = Controls().find(number);
    if (found == Controls().end() || found->second->kind != ControlKind::CANVAS) return nullptr;
    return found->second->canvas;
}

}  // namespace

void* WaylandCreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                              uint32_t flags) {
    Control* control = MakeControl(number, ControlKind::BUTTON, x, y, width, height);
    if (control == nullptr) return nullptr;
    control->button = ButtonControl(text != nullptr ? text : "", flags);
    control->style = flags;
    control->tabStop = true;
    WaylandPlaceControl(number, x, y, width, height);
    return control;
}

int64_t WaylandCanvasControl(int64_t number, int x, int y, int width, int height, int flags) {
    Control* control = MakeControl(number, ControlKind::CANVAS, x, y, width, height);
    if (control == nullptr) return 0;
    control->flags = flags;
    control->tabStop = (flags & CANVAS_KEYBOARD) != 0;
    control->canvas = std::make_shared<CanvasPicture>();
    control->canvas->windowChanged = control->window->canvasesChanged;
    control->canvas->windowHidden = control->window->hidden;
    WaylandPlaceControl(number, x, y, width, height);
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(control));
}

bool WaylandAcquireCanvasPicture(int64_t control, PixelView* picture) {
    std::shared_ptr<CanvasPicture> canvas = CanvasOf(control);
    if (canvas == nullptr || picture == nullptr) return false;
    CanvasPicture* held = HeldCanvases::Hold(control, std::move(canvas));
    if (held == nullptr) return false;
    *picture = held->view;
    return true;
}

void WaylandReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed) {
    std::shared_ptr<CanvasPicture> canvas = HeldCanvases::Take(control);
    if (canvas == nullptr) return;
    bool wake = false;
    if (show) {
        PictureRect all{0, 0, canvas->view.width, canvas->view.height};
        canvas->changed = JoinedRects(
            canvas->changed,
            changed != nullptr ? ClampedToPicture(*changed, all.right, all.bottom) : all);
        wake = !canvas->waiting.exchange(true);
        canvas->windowChanged->store(true);
    }
    canvas->guard.unlock();
    // The main thread presents; a tick due within a frame wakes it anyway.
    if (wake && !LoopWakesWithin(FrameMilliseconds())) WakeMessageLoop();
}

void WaylandShowDeferredCanvasChanges(int64_t) {
    // Nothing is held back here: the main thread presents every change with
    // the compositor's next frame.
}

bool WaylandCanvasShown(int64_t control) {
    std::shared_ptr<CanvasPicture> canvas = CanvasOf(control);
    return canvas == nullptr || !canvas->windowHidden->load();
}

void AnswerButton(Control& control, const ButtonAnswer& answer) {
    if (answer.redraw) PaintControl(control);
    if (!answer.clicked) return;
    uint64_t wParam = (static_cast<uint64_t>(BUTTON_CLICKED) << 16) |
                      static_cast<uint64_t>(control.number & 0xFFFF);
    WindowProcedure(control.window, MESSAGE_COMMAND, wParam,
                    static_cast<int64_t>(reinterpret_cast<intptr_t>(&control)));
}

}  // namespace wayland_layer
