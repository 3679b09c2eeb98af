// The message side of the event layer on X11. FetchPlatformMessage waits on
// the X connection, the timers and the posted-message descriptor together and
// takes one message in the order Windows' GetMessage does: posted messages,
// then input and paint (X events), then a due timer. Every message for a
// top-level window goes through TopWindowProcedure, which calls the message
// hook before the layer maps it to an event, so a tick returns 275 and the
// EVENT_TIMER it queued comes from the next FetchEvent, as on Windows.
#include "ui/x11/dispatch_x11.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/platform_ui.h"
#include "ui/posted_messages_linux.h"
#include "ui/timers_linux.h"
#include "ui/x11/canvas_x11.h"
#include "ui/x11/controls_x11.h"
#include "ui/x11/display_refresh_x11.h"
#include "ui/x11/display_scale_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/focus_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/popup_menu_x11.h"
#include "ui/x11/screen_fit_x11.h"
#include "ui/x11/status_text_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

constexpr int64_t MENU_CONTROL_IDENTIFIER = -10000;
constexpr Time DOUBLE_CLICK_TIME = 500;  // ms, GetDoubleClickTime's default
constexpr int DOUBLE_CLICK_BOX = 4;      // SM_CXDOUBLECLK / SM_CYDOUBLECLK at 96 DPI
constexpr uint64_t MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 16;

thread_local MessageHook threadHook = nullptr;
// Kept for the application's sake only: X11 runs no modal loop that would
// need it (the window manager moves windows, and the layer's menu does not
// hold the thread).
AppEventHandler modalLoopHandler = nullptr;

// WM_CONTEXTMENU's lParam for the keyboard, (-1, -1); otherwise the point
// on the screen.
constexpr int64_t CONTEXT_MENU_FROM_KEYBOARD = -1;
constexpr uint32_t VK_APPS = 0x5D, VK_F10 = 0x79;

// Run by the message loop each time before it waits.
std::atomic<int (*)()> loopTask{nullptr};

// The message loop's view of its descriptors between waits: a tick whose
// wait only timed out reads neither of them again, since the reads could only
// find nothing. Set again when a wait finds one ready.
thread_local bool isLoopThread = false;
thread_local bool wakeMaySignal = true;
thread_local bool connectionMayHaveData = true;

// Where the connection stood at the loop's last full look: the next request
// to be numbered and the last one whose reply or event Xlib has read.
struct ConnectionMarks {
    unsigned long nextRequest = 0;
    unsigned long lastRead = 0;
    bool operator==(const ConnectionMarks&) const = default;
};
thread_local ConnectionMarks marksSeen;

// Read without the display lock, which another thread may hold while it
// uses the connection (a canvas presents on it when no connection of its
// own could be opened): the loop would only wait for it. A value a moment
// old is no loss: a request made after it is sent by the next look, within
// the tick, and a thread that read events wakes the loop to look again.
ConnectionMarks MarksOf(Display* display) {
    auto* fields = reinterpret_cast<_XPrivDisplay>(display);
    return ConnectionMarks{__atomic_load_n(&fields->request, __ATOMIC_RELAXED),
                           __atomic_load_n(&fields->last_request_read, __ATOMIC_RELAXED)};
}

// Events waiting for the loop. The connection is flushed and read (which
// XFlush does as well) only when that can find or send anything: when the
// last wait saw it readable, when any thread made a request since (which is
// then sent), or when any thread read a reply since (which may have brought
// events along). Otherwise only the events already queued count.
int QueuedEvents(Display* display) {
    if (!connectionMayHaveData && MarksOf(display) == marksSeen) {
        return XEventsQueued(display, QueuedAlready);
    }
    int queued = XEventsQueued(display, QueuedAfterFlush);
    connectionMayHaveData = false;
    marksSeen = MarksOf(display);
    return queued;
}

struct PrivateWindow {
    PrivateWindowHandler handler;
    void* context;
};

std::mutex& PrivateLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

std::unordered_map<Window, PrivateWindow>& PrivateWindows() {
    static auto* windows = new std::unordered_map<Window, PrivateWindow>();
    return *windows;
}

void QueueSimple(int32_t code, int64_t object, int64_t window) {
    QueueEvent(code, object, window, 0);
}

int64_t MapSize(WindowRecord* record, bool own, int64_t number, uint64_t kind) {
    if (!own) return 1;
    if (record == nullptr || !record->ready) return NOT_HANDLED;
    if (kind == SIZE_MINIMIZED) {
        record->minimisedOrMaximised = true;
        QueueSimple(EVENT_MINIMIZE, 0, number);
    } else if (kind == SIZE_MAXIMIZED) {
        record->minimisedOrMaximised = true;
        QueueSimple(EVENT_MAXIMIZE, 0, number);
        QueueSimple(EVENT_SIZE_WINDOW, 0, number);
    } else {
        if (kind == SIZE_RESTORED && record->minimisedOrMaximised) {
            record->minimisedOrMaximised = false;
            QueueSimple(EVENT_RESTORE, 0, number);
        }
        DropQueuedEvents(EVENT_SIZE_WINDOW, 0, number, 0);
        QueueSimple(EVENT_SIZE_WINDOW, 0, number);
    }
    return 0;
}

int64_t MapCommand(WindowRecord* record, int64_t number, uint64_t wParam, int64_t lParam) {
    uint16_t low = static_cast<uint16_t>(wParam & 0xFFFF);
    uint16_t high = static_cast<uint16_t>((wParam >> 16) & 0xFFFF);
    if (lParam != 0) {
        int64_t identifier = ControlIdentifierOf(static_cast<Window>(lParam));
        if (identifier == MENU_CONTROL_IDENTIFIER) {
            QueueSimple(EVENT_MENU, low, number);
        } else {
            QueueEvent(EVENT_CONTROL, identifier, number, high);
        }
    } else if (high == 0) {
        QueueSimple(EVENT_MENU, static_cast<int64_t>(wParam), number);
    } else if (low == TAB_NEXT_COMMAND || low == TAB_PREVIOUS_COMMAND) {
        if (record != nullptr) NavigateTab(*record, low == TAB_NEXT_COMMAND);
    } else {
        QueueSimple(EVENT_MENU, low, number);
    }
    return 0;
}

// The layer's handler: hook, then mapping. NOT_HANDLED sends the message on
// to the default processing.
int64_t LayerHandler(Window window, uint32_t message, uint64_t wParam, int64_t lParam) {
    Window holder = 0;
    int64_t number = FindWindowNumber(window, &holder);
    WindowRecord* record = number == -1 ? nullptr : WindowTable().Find(number);
    if (record != nullptr && record->handle != holder) record = nullptr;
    bool own = record != nullptr && holder == window;

    MessageHook hook = (record != nullptr && record->hook != nullptr) ? record->hook : threadHook;
    if (hook != nullptr) {
        int64_t result = hook(HandleOf(window), message, wParam, lParam);
        if (result != HOOK_PASS_THROUGH) return result;
    }

    switch (message) {
        case MESSAGE_MOVE:
            if (own && record->ready) QueueSimple(EVENT_MOVE_WINDOW, number, number);
            return 0;
        case MESSAGE_SIZE:
            return MapSize(record, own, number, wParam);
        case MESSAGE_ACTIVATE:
            if (record != nullptr) {
                if ((wParam & 0xFFFF) != 0) {
                    record->active = true;
                    Window restore = record->rememberedFocus;
                    record->focusControl = 0;
                    SetControlFocus(*record, restore);
                } else {
                    record->rememberedFocus = record->focusControl;
                    record->active = false;
                    SetKeyboardCues(*record, false);
                }
            }
            QueueSimple((wParam & 0xFFFF) != 0 ? EVENT_ACTIVATE : EVENT_DEACTIVATE, 0, number);
            return 1;
        case MESSAGE_CLOSE:
            // The window stays: only the application decides what a close means.
            if (own) QueueSimple(EVENT_CLOSE_WINDOW, number, number);
            return 0;
        case MESSAGE_ERASEBKGND:
            // The server has already filled the exposed area with the
            // window's background pixel, the brush's colour.
            QueueSimple(EVENT_REPAINT, 0, number);
            return (record != nullptr && record->backgroundColour != -1) ? 1 : NOT_HANDLED;
        case MESSAGE_COMMAND:
            return MapCommand(record, number, wParam, lParam);
        case MESSAGE_CLICK_CONTROL:
            // Under a modal message box the window takes no clicks.
            if (!own || record->disabled) return 0;
            return X11ClickButton(window, static_cast<int64_t>(wParam)) ? 0 : NOT_HANDLED;
        case MESSAGE_TIMER:
            if (record == nullptr) return NOT_HANDLED;
            // A destroyed window asks again on every tick: a close request
            // that the application dropped while it drained its events is
            // not lost with the window.
            if (record->destroyed) QueueSimple(EVENT_CLOSE_WINDOW, number, number);
            QueueEvent(EVENT_TIMER, static_cast<int64_t>(wParam), number, 0);
            return 0;
        case MESSAGE_LBUTTONUP:
        case MESSAGE_LBUTTONDBLCLK:
        case MESSAGE_RBUTTONUP:
            QueueSimple(ClickEventOf(message), 0, number);
            return 0;
        case MESSAGE_CONTEXTMENU:
            if (record == nullptr) return NOT_HANDLED;
            QueueEvent(EVENT_RIGHT_CLICK, 0, number, lParam == CONTEXT_MENU_FROM_KEYBOARD ? 1 : 0);
            return 0;
        case MESSAGE_DPICHANGED:
            if (!own) return NOT_HANDLED;
            return X11OnDpiChanged(*record, number, reinterpret_cast<X11ScaleChange*>(lParam));
        default:
            return NOT_HANDLED;
    }
}

// What DefWindowProc does for the messages the layer leaves to it.
int64_t DefaultProcessing(Window window, uint32_t message) {
    if (message == MESSAGE_PAINT) {
        // BeginPaint: the background is erased through WM_ERASEBKGND.
        TopWindowProcedure(window, MESSAGE_ERASEBKGND, 0, 0);
        if (WindowRecord* record = FindTopWindowRecord(window)) X11PaintStatusText(*record);
    }
    return 0;
}

uint64_t MouseKeyState(unsigned state) {
    uint64_t keys = 0;
    if (state & Button1Mask) keys |= MK_LBUTTON;
    if (state & Button2Mask) keys |= MK_MBUTTON;
    if (state & Button3Mask) keys |= MK_RBUTTON;
    if (state & ShiftMask) keys |= MK_SHIFT;
    if (state & ControlMask) keys |= MK_CONTROL;
    return keys;
}

int64_t HandleButton(WindowRecord* record, XButtonEvent& event, bool press) {
    Window window = event.window;
    int64_t lParam = MakeLParam(event.x, event.y);
    uint64_t keys = MouseKeyState(event.state);
    if (record != nullptr && record->disabled)
        return press ? MESSAGE_LBUTTONDOWN : MESSAGE_LBUTTONUP;
    uint32_t message = MESSAGE_X11_OTHER;
    if (event.button == Button1) {
        if (press) {
            message = MESSAGE_LBUTTONDOWN;
            if (record != nullptr) {
                // The class has CS_DBLCLKS: a second press soon after, near the
                // first, is a double click.
                bool isDouble = !record->lastClickWasDouble &&
                                event.time - record->lastClickTime <= DOUBLE_CLICK_TIME &&
                                std::abs(event.x - record->lastClickX) <= DOUBLE_CLICK_BOX / 2 &&
                                std::abs(event.y - record->lastClickY) <= DOUBLE_CLICK_BOX / 2;
                if (isDouble) message = MESSAGE_LBUTTONDBLCLK;
                record->lastClickWasDouble = isDouble;
                record->lastClickTime = event.time;
                record->lastClickX = event.x;
                record->lastClickY = event.y;
            }
        } else {
            message = MESSAGE_LBUTTONUP;
        }
    } else if (event.button == Button2) {
        message = press ? MESSAGE_MBUTTONDOWN : MESSAGE_MBUTTONUP;
    } else if (event.button == Button3) {
        message = press ? MESSAGE_RBUTTONDOWN : MESSAGE_RBUTTONUP;
    } else if ((event.button == Button4 || event.button == Button5) && press) {
        message = MESSAGE_MOUSEWHEEL;
        int delta = event.button == Button4 ? 120 : -120;
        keys |= static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16;
    }
    if (message != MESSAGE_X11_OTHER) TopWindowProcedure(window, message, keys, lParam);
    SetEventMessageParams(keys, lParam);
    return message;
}

int64_t HandleKey(WindowRecord* record, XKeyEvent& event, bool press) {
    uint32_t message = press ? MESSAGE_KEYDOWN : MESSAGE_KEYUP;
    if (record == nullptr || record->disabled) return message;
    uint32_t key = VirtualKeyOf(event);
    SetEventMessageParams(key, 0);
    if (press && (event.state & (ShiftMask | ControlMask | Mod1Mask)))
        SetKeyboardCues(*record, true);
    // What DefWindowProc makes of Shift+F10 (as the key goes down) and of the
    // Menu key (as it comes up), wherever the focus is in the window.
    bool shiftF10 = press && key == VK_F10 && (event.state & ShiftMask) != 0;
    bool menuKey = !press && key == VK_APPS;
    if (shiftF10 || menuKey) {
        TopWindowProcedure(record->handle, MESSAGE_CONTEXTMENU, record->handle,
                           CONTEXT_MENU_FROM_KEYBOARD);
        return message;
    }
    // The Tab and Shift+Tab accelerators of every top-level window.
    if (press && key == 0x09 && (event.state & (ControlMask | Mod1Mask)) == 0) {
        SetKeyboardCues(*record, true);
        uint16_t command = (event.state & ShiftMask) ? TAB_PREVIOUS_COMMAND : TAB_NEXT_COMMAND;
        TopWindowProcedure(record->handle, MESSAGE_COMMAND, (uint64_t{1} << 16) | command, 0);
        return message;
    }
    if (press && key >= 'A' && key <= 'Z' &&
        (event.state & (ShiftMask | ControlMask | Mod1Mask)) == 0) {
        Window holder = 0;
        QueueEvent(EVENT_LETTER_KEY, 0, FindWindowNumber(record->handle, &holder), key);
    }
    ControlRecord* control =
        record->focusControl != 0 ? FindControlByWindow(record->focusControl) : nullptr;
    if (control != nullptr && control->type != nullptr && control->type->handleKey != nullptr) {
        return control->type->handleKey(*control, event);
    }
    TopWindowProcedure(record->handle, message, key, 0);
    return message;
}

int64_t HandleConfigure(WindowRecord* record, XConfigureEvent& event) {
    if (record == nullptr) return MESSAGE_X11_OTHER;
    int64_t result = MESSAGE_X11_OTHER;
    if (event.width != record->width || event.height != record->height) {
        record->width = event.width;
        record->height = event.height;
        TopWindowProcedure(record->handle, MESSAGE_SIZE, SIZE_RESTORED,
                           MakeLParam(event.width, event.height));
        result = MESSAGE_SIZE;
    }
    // Real configure events of a framed window are relative to the frame;
    // the window manager's synthetic ones give the position on the screen.
    bool screenPosition = event.send_event || !record->reparented;
    if (screenPosition && (event.x != record->x || event.y != record->y)) {
        record->x = event.x;
        record->y = event.y;
        TopWindowProcedure(record->handle, MESSAGE_MOVE, 0, MakeLParam(event.x, event.y));
        if (result == MESSAGE_X11_OTHER) result = MESSAGE_MOVE;
    }
    return result;
}

int64_t HandleFocus(WindowRecord* record, XFocusChangeEvent& event, bool in) {
    if (record == nullptr) return MESSAGE_X11_OTHER;
    // Focus moving between the window and its own children, or following
    // the pointer under PointerRoot, is no activation.
    if (event.detail == NotifyInferior || event.detail == NotifyPointer ||
        event.detail == NotifyPointerRoot || event.detail == NotifyDetailNone) {
        return MESSAGE_X11_OTHER;
    }
    // A keyboard grab (the layer's popup menu, a window manager's key
    // binding) takes the keys for a moment, not the activation: Windows
    // leaves a window active under its popup menu.
    if (event.mode == NotifyGrab || event.mode == NotifyUngrab) return MESSAGE_X11_OTHER;
    if (!in) X11DismissPopupMenu(record->handle);
    if (record->active == in) return MESSAGE_X11_OTHER;
    TopWindowProcedure(record->handle, MESSAGE_ACTIVATE, in ? 1 : 0, 0);
    return MESSAGE_ACTIVATE;
}

int64_t HandleTopWindowEvent(XEvent& event) {
    Window window = event.xany.window;
    WindowRecord* record = FindTopWindowRecord(window);
    // Windows of other programs or of no record never reach the procedure.
    if (record == nullptr) return event.type == Expose ? MESSAGE_PAINT : MESSAGE_X11_OTHER;
    const X11Atoms& atoms = X11().atoms;
    switch (event.type) {
        case Expose:
            // One WM_PAINT for a run of exposures.
            if (event.xexpose.count == 0) {
                TopWindowProcedure(window, MESSAGE_PAINT, 0, 0);
            }
            return MESSAGE_PAINT;
        case ClientMessage:
            if (event.xclient.message_type == atoms.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == atoms.wmDeleteWindow) {
                // A disabled window (under a modal box) takes no close request.
                if (record != nullptr && !record->disabled) {
                    TopWindowProcedure(window, MESSAGE_CLOSE, 0, 0);
                }
                return MESSAGE_CLOSE;
            }
            return MESSAGE_X11_OTHER;
        case ButtonPress:
        case ButtonRelease:
            return HandleButton(record, event.xbutton, event.type == ButtonPress);
        case KeyPress:
        case KeyRelease:
            return HandleKey(record, event.xkey, event.type == KeyPress);
        case ConfigureNotify:
            return HandleConfigure(record, event.xconfigure);
        case ReparentNotify:
            if (record != nullptr) record->reparented = event.xreparent.parent != X11().root;
            return MESSAGE_X11_OTHER;
        case UnmapNotify:
            // The layer never unmaps its windows: this is an iconification.
            X11DismissPopupMenu(window);
            X11SetWindowCanvasesHidden(window, true);
            if (record != nullptr) {
                TopWindowProcedure(window, MESSAGE_SIZE, SIZE_MINIMIZED, 0);
                return MESSAGE_SIZE;
            }
            return MESSAGE_X11_OTHER;
        case MapNotify:
            X11SetWindowCanvasesHidden(window, false);
            if (record != nullptr && record->minimisedOrMaximised) {
                TopWindowProcedure(window, MESSAGE_SIZE, SIZE_RESTORED,
                                   MakeLParam(record->width, record->height));
                return MESSAGE_SIZE;
            }
            return MESSAGE_SHOWWINDOW;
        case FocusIn:
        case FocusOut:
            return HandleFocus(record, event.xfocus, event.type == FocusIn);
        case PropertyNotify:
            // A new frame may no longer fit the screen at the scale in use.
            if (record->keepOnScreen && X11IsFrameExtentsProperty(event.xproperty.atom)) {
                X11ApplyDisplayScale();
            }
            return MESSAGE_X11_OTHER;
        case DestroyNotify:
            // The layer never destroys a numbered window: another client did
            // (a window or session manager, xdotool). A window that is gone
            // makes a close request that nothing refuses.
            if (event.xdestroywindow.window != window) return MESSAGE_X11_OTHER;
            X11DismissPopupMenu(window);
            record->destroyed = true;
            TopWindowProcedure(window, MESSAGE_CLOSE, 0, 0);
            return MESSAGE_CLOSE;
        default:
            return MESSAGE_X11_OTHER;
    }
}

}  // namespace

int64_t TopWindowProcedure(Window window, uint32_t message, uint64_t wParam, int64_t lParam) {
    int64_t result = LayerHandler(window, message, wParam, lParam);
    if (result == NOT_HANDLED) return DefaultProcessing(window, message);
    return result;
}

int64_t SendWindowMessage(Window window, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (FindTopWindowRecord(window) == nullptr) return 0;
    return TopWindowProcedure(window, message, wParam, lParam);
}

void RegisterPrivateWindow(Window window, PrivateWindowHandler handler, void* context) {
    std::lock_guard<std::mutex> hold(PrivateLock());
    PrivateWindows()[window] = PrivateWindow{handler, context};
}

void UnregisterPrivateWindow(Window window) {
    std::lock_guard<std::mutex> hold(PrivateLock());
    PrivateWindows().erase(window);
}

void X11SetMessageHook(MessageHook hook, int64_t window) {
    if (window == -1) {
        threadHook = hook;
        return;
    }
    WindowRecord* record = WindowTable().Find(window);
    if (record != nullptr) record->hook = hook;
}

int64_t DispatchXEvent(XEvent& event) {
    Window window = event.xany.window;
    SetEventMessageParams(0, 0);
    // A new keyboard layout (or another keyboard): Xlib's key translation
    // keeps the old mapping until told, and keys would read wrong.
    if (event.type == MappingNotify) {
        if (event.xmapping.request != MappingPointer) XRefreshKeyboardMapping(&event.xmapping);
        return MESSAGE_X11_OTHER;
    }
    if (X11TakeDisplayRefreshEvent(X11().display, event)) return MESSAGE_X11_OTHER;
    PrivateWindow privateWindow = {nullptr, nullptr};
    {
        std::lock_guard<std::mutex> hold(PrivateLock());
        auto found = PrivateWindows().find(window);
        if (found != PrivateWindows().end()) privateWindow = found->second;
    }
    if (privateWindow.handler != nullptr)
        return privateWindow.handler(event, privateWindow.context);

    if (ControlRecord* control = FindControlByWindow(window)) {
        WindowRecord* holder = FindTopWindowRecord(control->holder);
        bool input = event.type == ButtonPress || event.type == ButtonRelease ||
                     event.type == MotionNotify || event.type == KeyPress ||
                     event.type == KeyRelease;
        if (holder != nullptr && holder->disabled && input) return MESSAGE_X11_OTHER;
        int64_t message = event.type == Expose ? MESSAGE_PAINT : MESSAGE_X11_OTHER;
        Window controlWindow = control->handle;
        if (control->type != nullptr && control->type->handleEvent != nullptr) {
            message = control->type->handleEvent(*control, event);
        }
        // DefWindowProc passes a right click on a control up to the window
        // that holds it as WM_CONTEXTMENU, with the point on the screen.
        if (event.type == ButtonRelease && event.xbutton.button == Button3 && holder != nullptr &&
            !holder->disabled) {
            TopWindowProcedure(holder->handle, MESSAGE_CONTEXTMENU, controlWindow,
                               MakeLParam(event.xbutton.x_root, event.xbutton.y_root));
        }
        return message;
    }
    return HandleTopWindowEvent(event);
}

void X11SetModalLoopEventHandler(AppEventHandler handler) {
    modalLoopHandler = handler;
}

bool X11OnMessageLoopThread() {
    return isLoopThread;
}

void X11SetMessageLoopTask(int (*task)()) {
    loopTask.store(task);
}

int64_t X11FetchPlatformMessage(int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    isLoopThread = true;
    for (;;) {
        if (wakeMaySignal) {
            ClearMessageWake();
            wakeMaySignal = false;
        }
        PostedMessage posted;
        if (TakePostedMessage(&posted)) {
            WakeRestingLinuxTimers();
            SendWindowMessage(WindowOf(posted.window), posted.message, posted.wParam,
                              posted.lParam);
            SetEventMessageParams(posted.wParam, posted.lParam);
            return posted.message;
        }
        Display* display = X11().display;
        if (display != nullptr && QueuedEvents(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            WakeRestingLinuxTimers();
            return DispatchXEvent(event);
        }
        void* timerWindow = nullptr;
        uint64_t timerId = 0;
        if (TakeDueTimer(&timerWindow, &timerId)) {
            SendWindowMessage(WindowOf(timerWindow), MESSAGE_TIMER, timerId, 0);
            SetEventMessageParams(timerId, 0);
            return MESSAGE_TIMER;
        }
        if (timeoutMs == 0) return 0;
        int again = -1;
        if (int (*task)() = loopTask.load()) again = task();
        int wait = MillisecondsUntilNextTimer();
        if (again >= 0 && (wait < 0 || again < wait)) wait = again;
        if (timeoutMs > 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) return 0;
            wait = wait < 0 ? static_cast<int>(left) : std::min(wait, static_cast<int>(left));
        }
        pollfd descriptors[2];
        nfds_t count = 0;
        int connection = -1, wake = -1;
        if (display != nullptr) {
            connection = static_cast<int>(count);
            descriptors[count++] = pollfd{ConnectionNumber(display), POLLIN, 0};
        }
        if (MessageWakeDescriptor() >= 0) {
            wake = static_cast<int>(count);
            descriptors[count++] = pollfd{MessageWakeDescriptor(), POLLIN, 0};
        }
        if (poll(descriptors, count, wait) < 0) {
            connectionMayHaveData = wakeMaySignal = true;
            continue;
        }
        if (connection >= 0 && descriptors[connection].revents != 0) connectionMayHaveData = true;
        if (wake >= 0 && descriptors[wake].revents != 0) wakeMaySignal = true;
    }
}
