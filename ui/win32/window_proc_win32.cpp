// The top-level window procedure: it finds the window's number, lets the
// application's message hook see the message first and otherwise turns the
// message into a queued event. Whatever it does not take goes on to
// DefWindowProcW.
#include "ui/win32/window_proc_win32.h"

#include "ui/event_queue.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/display_refresh_win32.h"
#include "ui/win32/dpi_win32.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/message_loop_win32.h"
#include "ui/win32/modal_loop_win32.h"
#include "ui/win32/status_text_win32.h"
#include "ui/win32/tab_navigation_win32.h"
#include "ui/win32/windows_win32.h"

namespace {

constexpr wchar_t FOCUS_PROPERTY[] = L"VellumtoneFocus";
constexpr UINT TRAY_MESSAGE = 12501;
constexpr UINT CONTROL_PRIVATE_MESSAGE = 13120;
constexpr LONG_PTR MENU_CONTROL_IDENTIFIER = -10000;

// What the layer knows about the window a message is for.
struct Target {
    HWND window;     // the handle the message came with
    HWND carrier;    // the handle that carries the window-number property
    int64_t number;  // R: the window number, -1 if none
    WindowRecord* record;
};

void Queue(int32_t code, int64_t object, const Target& target, int64_t data = 0) {
    QueueEvent(code, object, target.number, data);
}

int64_t ForwardToControl(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlRecord* record = FindControlForHandle(control);
    if (record == nullptr || record->type == nullptr || record->type->handler == nullptr) {
        return NOT_HANDLED;
    }
    return record->type->handler(*record, parent, message, wParam, lParam);
}

int64_t OnSize(const Target& target, WPARAM kind) {
    if (target.carrier != target.window) return 1;
    WindowRecord* record = target.record;
    if (record == nullptr || !record->ready) return NOT_HANDLED;
    switch (kind) {
        case SIZE_MINIMIZED:
            record->minimisedOrMaximised = 1;
            Queue(EVENT_MINIMIZE, 0, target);
            return 0;
        case SIZE_MAXIMIZED:
            record->minimisedOrMaximised = 1;
            Queue(EVENT_MAXIMIZE, 0, target);
            Queue(EVENT_SIZE_WINDOW, 0, target);
            return 0;
        case SIZE_RESTORED:
            if (record->minimisedOrMaximised) {
                record->minimisedOrMaximised = 0;
                Queue(EVENT_RESTORE, 0, target);
                // Its canvases were not drawn while it was an icon.
                Win32QueueCanvasesShown(target.window, target.number);
            }
            break;
        default:
            break;
    }
    // Only the newest size matters: one size event per window waits at most.
    DropQueuedEvents(EVENT_SIZE_WINDOW, 0, target.number, 0);
    Queue(EVENT_SIZE_WINDOW, 0, target);
    return 0;
}

int64_t OnActivate(const Target& target, WPARAM wParam) {
    if (LOWORD(wParam) != 0) {
        HWND remembered = static_cast<HWND>(GetPropW(target.window, FOCUS_PROPERTY));
        if (remembered != nullptr && IsWindow(remembered) && IsChild(target.window, remembered)) {
            SetFocus(remembered);
        }
        Queue(EVENT_ACTIVATE, 0, target);
    } else {
        SetPropW(target.window, FOCUS_PROPERTY, GetFocus());
        SendMessageW(target.window, WM_CHANGEUISTATE,
                     MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
        Queue(EVENT_DEACTIVATE, 0, target);
    }
    return 1;
}

int64_t OnEraseBackground(const Target& target, HDC dc) {
    int64_t result = NOT_HANDLED;
    WindowRecord* record = target.record;
    if (record != nullptr && record->brush != nullptr) {
        RECT client;
        GetClientRect(target.window, &client);
        FillRect(dc, &client, record->brush);
        result = 1;
    } else if (record != nullptr && record->erase != nullptr && target.window == record->handle) {
        result = record->erase(dc, target.window, COLOR_BTNFACE + 1);
    }
    Queue(EVENT_REPAINT, 0, target);
    return result;
}

BOOL CALLBACK SendColourChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

int64_t OnMinMaxInfo(const Target& target, MINMAXINFO* info) {
    WindowRecord* record = target.record;
    if (record == nullptr) return NOT_HANDLED;
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(target.window, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(target.window, GWL_EXSTYLE));
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    LONG frameWidth = frame.right - frame.left;
    LONG frameHeight = frame.bottom - frame.top;
    if (record->minWidth) {
        info->ptMinTrackSize.x = Win32ScaleX(record->minWidth) + frameWidth;
    } else if (exStyle & WS_EX_TOOLWINDOW) {
        info->ptMinTrackSize.x = 1;
    }
    if (record->minHeight) info->ptMinTrackSize.y = Win32ScaleY(record->minHeight) + frameHeight;
    if (record->maxWidth) info->ptMaxTrackSize.x = Win32ScaleX(record->maxWidth) + frameWidth;
    if (record->maxHeight) info->ptMaxTrackSize.y = Win32ScaleY(record->maxHeight) + frameHeight;
    return 0;
}

int64_t OnCommand(const Target& target, WPARAM wParam, LPARAM lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control != nullptr) {
        int64_t claimed = ForwardToControl(control, target.window, WM_COMMAND, wParam, lParam);
        if (claimed != NOT_HANDLED) return claimed;
        LONG_PTR identifier = GetWindowLongPtrW(control, GWLP_ID);
        if (identifier == MENU_CONTROL_IDENTIFIER) {
            Queue(EVENT_MENU, LOWORD(wParam), target);
        } else {
            Queue(EVENT_CONTROL, static_cast<int64_t>(identifier), target, HIWORD(wParam));
        }
        return 0;
    }
    if (HIWORD(wParam) == 0) {
        Queue(EVENT_MENU, static_cast<int64_t>(wParam), target);
    } else if (LOWORD(wParam) == TAB_NEXT_COMMAND) {
        FocusNextTabStop();
    } else if (LOWORD(wParam) == TAB_PREVIOUS_COMMAND) {
        FocusPreviousTabStop();
    } else {
        Queue(EVENT_MENU, LOWORD(wParam), target);
    }
    return 0;
}

int64_t OnTray(const Target& target, WPARAM wParam, LPARAM lParam) {
    int64_t data = -1;
    switch (lParam) {
        case WM_LBUTTONDOWN:
            data = 0;
            break;
        case WM_LBUTTONDBLCLK:
            data = 2;
            break;
        case WM_RBUTTONDOWN:
            data = 1;
            break;
        case WM_RBUTTONDBLCLK:
            data = 3;
            break;
        default:
            break;
    }
    if (data != -1) Queue(EVENT_TRAY, static_cast<int64_t>(wParam), target, data);
    PostMessageW(target.window, WM_NULL, 0, 0);
    return 0;
}

// DefWindowProc sends WM_CONTEXTMENU for a right click that a child left
// to it (a canvas, the button), passing it up from child to parent, and for
// Shift+F10 or the Menu key, with the point (-1, -1). A right click on the
// window itself is WM_RBUTTONUP, which the layer takes without
// DefWindowProc, so that it never comes twice. A point outside the client
// area (the caption) is left to DefWindowProc, which opens the system menu.
int64_t OnContextMenu(const Target& target, LPARAM lParam) {
    if (target.record == nullptr || target.carrier == nullptr) return NOT_HANDLED;
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (point.x == -1 && point.y == -1) {
        Queue(EVENT_RIGHT_CLICK, 0, target, 1);
        return 0;
    }
    RECT client;
    if (!ScreenToClient(target.carrier, &point) || !GetClientRect(target.carrier, &client) ||
        !PtInRect(&client, point)) {
        return NOT_HANDLED;
    }
    Queue(EVENT_RIGHT_CLICK, 0, target);
    return 0;
}

int64_t OnNcDestroy(const Target& target) {
    if (!HasWindowNumberProperty(target.window)) return 1;
    DropQueuedEvents(-1, -1, target.number, -1);
    RemoveWindowNumberProperty(target.window);
    RemovePropW(target.window, FOCUS_PROPERTY);
    WindowRecord* record = target.record;
    if (record != nullptr && record->handle == target.window) {
        if (record->acceleratorTable) DestroyAcceleratorTable(record->acceleratorTable);
        if (record->brush) DeleteObject(record->brush);
        // The class still has this window until the call returns.
        if (!record->borrowedClass) UnregisterWindowClassLater(target.number);
        ReleaseWindowRecord(target.number);
    }
    if (ControlListTarget() == target.window) SetControlListTarget(nullptr);
    return 1;
}

int64_t MapMessage(const Target& target, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = target.record;
    switch (message) {
        case WM_MOVE:
            if (record && record->ready && target.window == record->handle) {
                Queue(EVENT_MOVE_WINDOW, target.number, target);
            }
            return 0;
        case WM_SIZE:
            return OnSize(target, wParam);
        case WM_ACTIVATE:
            return OnActivate(target, wParam);
        case WM_CLOSE:
            // A close request only asks: the application decides, and the
            // window stays until it is destroyed.
            if (record && target.window == record->handle) {
                Queue(EVENT_CLOSE_WINDOW, target.number, target);
            }
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBackground(target, reinterpret_cast<HDC>(wParam));
        case WM_PAINT:
            if (record == nullptr || target.window != record->handle) return NOT_HANDLED;
            return Win32PaintStatusText(*record);
        case WM_SYSCOLORCHANGE:
            if (record && !record->borrowedClass) {
                EnumChildWindows(target.window, SendColourChange, 0);
            }
            return NOT_HANDLED;
        case WM_GETMINMAXINFO:
            return OnMinMaxInfo(target, reinterpret_cast<MINMAXINFO*>(lParam));
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header == nullptr) return NOT_HANDLED;
            return ForwardToControl(header->hwndFrom, target.window, message, wParam, lParam);
        }
        case WM_COMMAND:
            return OnCommand(target, wParam, lParam);
        case WM_TIMER:
            if (record == nullptr) return NOT_HANDLED;
            Queue(EVENT_TIMER, static_cast<int64_t>(wParam), target);
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
        case CONTROL_PRIVATE_MESSAGE:
            return ForwardToControl(reinterpret_cast<HWND>(lParam), target.window, message, wParam,
                                    lParam);
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONUP:
            Queue(ClickEventOf(message), 0, target);
            return 0;
        case WM_CONTEXTMENU:
            return OnContextMenu(target, lParam);
        case WM_ENTERMENULOOP:
        case WM_ENTERSIZEMOVE:
            Win32EnterModalLoop(message == WM_ENTERMENULOOP);
            return NOT_HANDLED;
        case WM_EXITMENULOOP:
        case WM_EXITSIZEMOVE:
            Win32ExitModalLoop(message == WM_EXITMENULOOP);
            return NOT_HANDLED;
        case TRAY_MESSAGE:
            return OnTray(target, wParam, lParam);
        case DPI_CHANGED_MESSAGE:
            if (record == nullptr || !record->ready || target.window != record->handle) {
                return NOT_HANDLED;
            }
            return Win32OnDpiChanged(*record, target.number, wParam,
                                     reinterpret_cast<const RECT*>(lParam));
        case WM_SETTINGCHANGE:
        case WM_DISPLAYCHANGE:
            // A new work area, or a new screen size or refresh.
            if (message == WM_DISPLAYCHANGE) Win32ReadDisplayRefresh();
            if (record != nullptr && target.window == record->handle &&
                (message == WM_DISPLAYCHANGE || wParam == SPI_SETWORKAREA)) {
                Win32KeepOnScreen(*record, target.number);
            }
            return NOT_HANDLED;
        case GET_DPI_SCALED_SIZE_MESSAGE:
            if (record == nullptr || target.window != record->handle) return NOT_HANDLED;
            return Win32OnGetDpiScaledSize(*record, wParam, reinterpret_cast<SIZE*>(lParam));
        case WM_NCDESTROY:
            return OnNcDestroy(target);
        default:
            return NOT_HANDLED;
    }
}

int64_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Target target{window, nullptr, -1, nullptr};
    target.number = FindWindowNumber(window, &target.carrier);
    if (target.number != -1) target.record = FindWindowRecord(target.number);

    MessageHook hook =
        target.record && target.record->hook ? target.record->hook : ThreadMessageHook();
    if (hook != nullptr) {
        int64_t result =
            hook(window, message, static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam));
        if (result != HOOK_PASS_THROUGH) return result;
        // The hook may have changed the window table.
        if (target.number != -1) target.record = FindWindowRecord(target.number);
    }
    return MapMessage(target, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK TopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    int64_t result = HandleMessage(window, message, wParam, lParam);
    SetLastError(0);
    LRESULT answer = result == NOT_HANDLED ? DefWindowProcW(window, message, wParam, lParam)
                                           : static_cast<LRESULT>(result);
    // Inside a menu's or a drag's modal loop nothing else takes what the
    // message queued.
    Win32ServeModalLoop();
    return answer;
}
