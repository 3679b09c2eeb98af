// The seam's functions on Linux: each calls the chosen layer's table.
#include "ui/window_layer_linux.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/message_loop.h"
#include "ui/window_layer_choice_linux.h"

namespace {

// Drawing threads release pictures through it while the main thread may
// choose; X11's serves until a layer is chosen (tests use it directly).
std::atomic<const WindowLayer*> current{nullptr};
// The layer UiLayerInit brought up, until UiLayerClose: a second start
// goes to it rather than choosing again under its windows.
std::atomic<bool> chosen{false};
std::atomic<DisplayLostHandler> lostHandler{nullptr};

const WindowLayer* TryLayer(const WindowLayer& layer, DisplayLostHandler lost) {
    layer.setDisplayLostHandler(lost);
    return layer.uiLayerInit() ? &layer : nullptr;
}

// What did not answer when the layer could not start, and the layer's name
// for people.
const char* ServerOf(const WindowLayer& layer, const WindowLayer& x11) {
    return &layer == &x11 ? "X display" : "Wayland compositor";
}
const char* TitleOf(const WindowLayer& layer, const WindowLayer& x11) {
    return &layer == &x11 ? "X11" : "Wayland";
}

}  // namespace

const WindowLayer* BringUpWindowLayer(const char* backend, const WindowLayer& wayland,
                                      const WindowLayer& x11, DisplayLostHandler lost) {
    const WindowLayer* first = &wayland;
    const WindowLayer* second = &x11;
    bool forced = false;
    if (backend != nullptr && std::strcmp(backend, x11.name) == 0) {
        first = &x11;
        second = &wayland;
        forced = true;
    } else if (backend != nullptr && std::strcmp(backend, wayland.name) == 0) {
        forced = true;
    } else if (backend != nullptr) {
        std::fprintf(stderr,
                     "vellumtone: VELLUMTONE_BACKEND=%s is neither \"%s\" nor \"%s\"; trying "
                     "Wayland, then X11\n",
                     backend, wayland.name, x11.name);
    }
    if (const WindowLayer* layer = TryLayer(*first, lost)) return layer;
    const WindowLayer* layer = TryLayer(*second, lost);
    if (forced && layer != nullptr) {
        std::fprintf(stderr, "vellumtone: no %s answered (VELLUMTONE_BACKEND=%s); using %s\n",
                     ServerOf(*first, x11), backend, TitleOf(*second, x11));
    }
    return layer;
}

const WindowLayer& CurrentWindowLayer() {
    const WindowLayer* layer = current.load(std::memory_order_acquire);
    return layer != nullptr ? *layer : X11WindowLayer();
}

bool CanvasShown(int64_t control) {
    return CurrentWindowLayer().canvasShown(control);
}

bool WindowOnTopOffered() {
    const WindowLayer& layer = CurrentWindowLayer();
    return layer.windowOnTopOffered == nullptr || layer.windowOnTopOffered();
}

std::string LaunchActivationToken() {
    const WindowLayer& layer = CurrentWindowLayer();
    return layer.activationToken != nullptr ? layer.activationToken() : std::string();
}

bool UiLayerInit() {
    if (chosen.load()) return CurrentWindowLayer().uiLayerInit();
    const WindowLayer* layer =
        BringUpWindowLayer(std::getenv("VELLUMTONE_BACKEND"), WaylandWindowLayer(),
                           X11WindowLayer(), lostHandler.load());
    if (layer == nullptr) return false;
    current.store(layer, std::memory_order_release);
    chosen.store(true);
    return true;
}

void UiLayerClose() {
    CurrentWindowLayer().uiLayerClose();
    chosen.store(false);
}

void SetDisplayLostHandler(DisplayLostHandler handler) {
    lostHandler.store(handler);
    CurrentWindowLayer().setDisplayLostHandler(handler);
}

void* CreateTopWindow(int64_t number, int x, int y, int width, int height, const char* title,
                      uint32_t flags, void* parent) {
    return CurrentWindowLayer().createTopWindow(number, x, y, width, height, title, flags, parent);
}

void* CreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                       uint32_t flags) {
    return CurrentWindowLayer().createPushButton(number, x, y, width, height, text, flags);
}

void PlaceControl(int64_t control, int x, int y, int width, int height) {
    CurrentWindowLayer().placeControl(control, x, y, width, height);
}

void SetScaleChangeHandler(int64_t window, ScaleChangeHandler handler) {
    CurrentWindowLayer().setScaleChangeHandler(window, handler);
}

void KeepWindowOnScreen(int64_t window) {
    CurrentWindowLayer().keepWindowOnScreen(window);
}

void SetWindowBackground(int64_t window, int32_t colour) {
    CurrentWindowLayer().setWindowBackground(window, colour);
}

void SetWindowStatusText(int64_t window, const TextRoom& room, const TextRoom& headRoom,
                         const char* text) {
    CurrentWindowLayer().setWindowStatusText(window, room, headRoom, text);
}

void SetWindowOnTop(int64_t window, bool on) {
    CurrentWindowLayer().setWindowOnTop(window, on);
}

int ShowMessageBox(const char* title, const char* text, uint32_t flags) {
    return CurrentWindowLayer().showMessageBox(title, text, flags);
}

void SetMessageHook(MessageHook hook, int64_t window) {
    CurrentWindowLayer().setMessageHook(hook, window);
}

void SetModalLoopEventHandler(AppEventHandler handler) {
    CurrentWindowLayer().setModalLoopEventHandler(handler);
}

uint64_t StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    return CurrentWindowLayer().startWindowTimer(window, timerId, intervalMs);
}

void RestWindowTimer(int64_t window, uint64_t timerId,
                     std::chrono::steady_clock::time_point until) {
    CurrentWindowLayer().restWindowTimer(window, timerId, until);
}

int64_t FetchPlatformMessage(int32_t timeoutMs) {
    return CurrentWindowLayer().fetchPlatformMessage(timeoutMs);
}

double ScaleFactorX() {
    return CurrentWindowLayer().scaleFactorX();
}

double ScaleFactorY() {
    return CurrentWindowLayer().scaleFactorY();
}

void SetMessageLoopTask(int (*task)()) {
    CurrentWindowLayer().setMessageLoopTask(task);
}

bool LoopWakesWithin(int milliseconds) {
    return CurrentWindowLayer().loopWakesWithin(milliseconds);
}

void WakeRestingTimers() {
    CurrentWindowLayer().wakeRestingTimers();
}

bool PostWindowMessage(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    return CurrentWindowLayer().postWindowMessage(window, message, wParam, lParam);
}

bool PostWindowMessageByNextTick(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    return CurrentWindowLayer().postWindowMessageByNextTick(window, message, wParam, lParam);
}

bool ShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer) {
    return CurrentWindowLayer().showPopupMenu(window, items, atPointer);
}

int64_t CanvasControl(int64_t number, int x, int y, int width, int height, int flags) {
    return CurrentWindowLayer().canvasControl(number, x, y, width, height, flags);
}

bool AcquireCanvasPicture(int64_t control, PixelView* picture) {
    return CurrentWindowLayer().acquireCanvasPicture(control, picture);
}

void ReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed) {
    CurrentWindowLayer().releaseCanvasPicture(control, show, changed);
}

void ShowDeferredCanvasChanges(int64_t control) {
    CurrentWindowLayer().showDeferredCanvasChanges(control);
}
