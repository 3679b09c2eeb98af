// The message side of the Wayland layer. FetchPlatformMessage takes work in
// the order Windows' GetMessage does: posted messages, then what the
// compositor sent (input, configures, frames), then a due timer; before it
// waits it copies the canvases' changes and presents the windows whose frame
// is due. Every message for a window goes through WindowProcedure, which
// calls the message hook before the layer maps it to an event, as the other
// layers do.
#include <algorithm>
#include <chrono>
#include <mutex>

#include "ui/event_queue.h"
#include "ui/frame_pacing.h"
#include "ui/posted_messages_linux.h"
#include "ui/timers_linux.h"
#include "ui/wayland/decorations_wayland.h"
#include "ui/wayland/layer_wayland.h"
#include "ui/wayland/seam_wayland.h"

namespace wayland_layer {

namespace {

thread_local MessageHook threadHook = nullptr;
// Kept for the application's sake: Wayland runs no modal loop of its own
// on the program's thread.
AppEventHandler modalLoopHandler = nullptr;
std::atomic<int (*)()> loopTask{nullptr};

int64_t MapCommand(TopWindow* window, uint64_t wParam, int64_t lParam) {
    uint16_t low = static_cast<uint16_t>(wParam & 0xFFFF);
    uint16_t high = static_cast<uint16_t>((wParam >> 16) & 0xFFFF);
    if (lParam != 0) {
        auto* control = reinterpret_cast<Control*>(static_cast<intptr_t>(lParam));
        QueueEvent(EVENT_CONTROL, control->number, window->number, high);
    } else {
        QueueEvent(EVENT_MENU, high == 0 ? static_cast<int64_t>(wParam) : low, window->number, 0);
    }
    return 0;
}

// A screen reader's click on a button of the window: as under the mouse.
int64_t ClickNumberedButton(TopWindow* window, uint64_t number) {
    Control* button = nullptr;
    {
        std::lock_guard<std::mutex> hold(ControlTableLock());
        auto found = Controls().find(static_cast<int64_t>(number));
        if (found != Controls().end() && found->second->window == window &&
            found->second->kind == ControlKind::BUTTON) {
            button = found->second.get();
        }
    }
    if (button == nullptr) return NOT_HANDLED;
    AnswerButton(*button, button->button.Click());
    return 0;
}

}  // namespace

int64_t WindowProcedure(TopWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (window == nullptr) return 0;
    MessageHook hook = window->hook != nullptr ? window->hook : threadHook;
    if (hook != nullptr) {
        int64_t result = hook(window, message, wParam, lParam);
        if (result != HOOK_PASS_THROUGH) return result;
    }
    int64_t number = window->number;
    switch (message) {
        case MESSAGE_CLOSE:
            // The window stays: only the application decides what a close means.
            QueueEvent(EVENT_CLOSE_WINDOW, number, number, 0);
            return 0;
        case MESSAGE_COMMAND:
            return MapCommand(window, wParam, lParam);
        case MESSAGE_CLICK_CONTROL:
            // Under a modal message box the window takes no clicks.
            return window->disabled ? 0 : ClickNumberedButton(window, wParam);
        case MESSAGE_TIMER:
            QueueEvent(EVENT_TIMER, static_cast<int64_t>(wParam), number, 0);
            return 0;
        case MESSAGE_LBUTTONUP:
        case MESSAGE_LBUTTONDBLCLK:
        case MESSAGE_RBUTTONUP:
            QueueEvent(ClickEventOf(message), 0, number, 0);
            return 0;
        case MESSAGE_CONTEXTMENU:
            QueueEvent(EVENT_RIGHT_CLICK, 0, number, lParam == CONTEXT_MENU_FROM_KEYBOARD ? 1 : 0);
            return 0;
        case MESSAGE_ACTIVATE:
            window->active = (wParam & 0xFFFF) != 0;
            if (!window->active) window->keyboardCues = false;
            if (Control* focused = nullptr; window->focus != 0) {
                std::lock_guard<std::mutex> hold(ControlTableLock());
                auto found = Controls().find(window->focus);
                if (found != Controls().end()) focused = found->second.get();
                if (focused != nullptr) PaintControl(*focused);
            }
            QueueEvent(window->active ? EVENT_ACTIVATE : EVENT_DEACTIVATE, 0, number, 0);
            return 1;
        default:
            return 0;
    }
}

void WaylandSetMessageHook(MessageHook hook, int64_t window) {
    if (window == -1) {
        threadHook = hook;
        return;
    }
    auto found = Windows().find(window);
    if (found != Windows().end()) found->second->hook = hook;
}

void WaylandSetModalLoopEventHandler(AppEventHandler handler) {
    modalLoopHandler = handler;
}

void WaylandSetMessageLoopTask(int (*task)()) {
    loopTask.store(task);
}

uint64_t WaylandStartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    auto found = Windows().find(window);
    if (found == Windows().end()) return 0;
    return StartLinuxTimer(found->second.get(), timerId, intervalMs);
}

void WaylandRestWindowTimer(int64_t window, uint64_t timerId,
                            std::chrono::steady_clock::time_point until) {
    auto found = Windows().find(window);
    if (found != Windows().end()) RestLinuxTimer(found->second.get(), timerId, until);
}

int64_t WaylandFetchPlatformMessage(int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    WaylandState& w = Wayland();
    if (w.display == nullptr) return 0;
    Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        ClearMessageWake();
        PostedMessage posted;
        if (TakePostedMessage(&posted)) {
            WakeRestingLinuxTimers();
            SetEventMessageParams(posted.wParam, posted.lParam);
            WindowProcedure(WindowOfHandle(posted.window), posted.message, posted.wParam,
                            posted.lParam);
            SetEventMessageParams(posted.wParam, posted.lParam);
            return posted.message;
        }
        int dispatched = wl_display_dispatch_pending(w.display);
        if (dispatched < 0) CompositorLost("reading");
        if (dispatched > 0) {
            DispatchClientDecorations();
            WakeRestingLinuxTimers();
            return MESSAGE_WAYLAND_OTHER;
        }
        void* timerWindow = nullptr;
        uint64_t timerId = 0;
        if (TakeDueTimer(&timerWindow, &timerId)) {
            SetEventMessageParams(timerId, 0);
            WindowProcedure(WindowOfHandle(timerWindow), MESSAGE_TIMER, timerId, 0);
            SetEventMessageParams(timerId, 0);
            return MESSAGE_TIMER;
        }
        if (TakeDueKeyRepeat()) return MESSAGE_WAYLAND_OTHER;
        int again = MillisecondsUntilKeyRepeat();
        if (int (*task)() = loopTask.load()) again = LookAgainSoonest(again, task());
        again = LookAgainSoonest(again, PresentWindows());
        if (timeoutMs == 0) return PumpCompositor(0) ? MESSAGE_WAYLAND_OTHER : 0;
        int wait = LookAgainSoonest(MillisecondsUntilNextTimer(), again);
        if (timeoutMs > 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) return 0;
            wait = LookAgainSoonest(wait, static_cast<int>(left));
        }
        if (PumpCompositor(wait)) {
            WakeRestingLinuxTimers();
            return MESSAGE_WAYLAND_OTHER;
        }
    }
}

void WaylandSetDisplayLostHandler(DisplayLostHandler handler) {
    Wayland().displayLost = handler;
}

bool WaylandUiLayerInit() {
    WaylandState& w = Wayland();
    if (w.display != nullptr) return true;
    if (!ConnectCompositor()) return false;
    // Until the window is on an output, the largest scale any output has:
    // a window on the only output is sharp from its first picture.
    w.scale = 0;  // so that the font is opened for this one
    ApplyScale(ScaleFromAllOutputs());
    return true;
}

void WaylandUiLayerClose() {
    WaylandState& w = Wayland();
    if (w.display == nullptr) return;
    DismissPopup();
    for (auto& [number, window] : Windows()) {
        (void)number;
        DestroyTopWindow(*window);
    }
    Windows().clear();
    EndClientDecorations();
    DisconnectCompositor();
}

}  // namespace wayland_layer
