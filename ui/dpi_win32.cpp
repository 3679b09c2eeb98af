// Per-monitor DPI on Windows. The manifest makes the process per-monitor
// DPI-aware (v2 from Windows 10 1703 on, v1 on 8.1, system-aware before), so
// the system never stretches the window's pixels: when the window moves to a
// monitor of another scale, or the scale of its monitor changes, it sends
// WM_DPICHANGED and expects the window to take the suggested rectangle and
// draw itself for the new DPI. The calls that only newer systems have are
// looked up at run time, so that the program still starts where they are
// missing (Windows 7 and 8 send no such message anyway).
#include "ui/dpi_win32.h"

#include <cmath>

#include "ui/display_scale.h"
#include "ui/layer_win32.h"
#include "ui/scaling.h"

namespace {

// AdjustWindowRectExForDpi (Windows 10 1607): the frame at a given DPI,
// where AdjustWindowRectEx gives it at the system DPI.
using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

AdjustForDpiCall AdjustForDpi() {
    static const AdjustForDpiCall call = [] {
        HMODULE user = GetModuleHandleW(L"user32.dll");
        FARPROC found =
            user != nullptr ? GetProcAddress(user, "AdjustWindowRectExForDpi") : nullptr;
        return reinterpret_cast<AdjustForDpiCall>(reinterpret_cast<void*>(found));
    }();
    return call;
}

// The window's outer rectangle for its client area at `dpi`, at (0, 0);
// false where the system cannot give the frame at another DPI.
bool FrameAtDpi(const WindowRecord& record, double dpi, RECT* frame) {
    AdjustForDpiCall adjust = AdjustForDpi();
    if (adjust == nullptr || record.clientWidth <= 0 || record.clientHeight <= 0) return false;
    const double scale = BoundDisplayDpi(dpi) / DEFAULT_DISPLAY_DPI;
    *frame =
        RECT{0, 0, ScaleValue(record.clientWidth, scale), ScaleValue(record.clientHeight, scale)};
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(record.handle, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(record.handle, GWL_EXSTYLE));
    return adjust(frame, style, FALSE, exStyle,
                  static_cast<UINT>(std::lround(BoundDisplayDpi(dpi)))) != FALSE;
}

struct FontChange {
    HFONT from;
    HFONT to;
};

// Gives every control that has the old control font the new one.
BOOL CALLBACK ChangeFont(HWND child, LPARAM parameter) {
    const FontChange* change = reinterpret_cast<const FontChange*>(parameter);
    if (reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)) == change->from) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(change->to), TRUE);
    }
    return TRUE;
}

}  // namespace

int64_t Win32OnDpiChanged(WindowRecord& record, int64_t number, WPARAM wParam,
                          const RECT* suggested) {
    HWND window = record.handle;
    const double dpiX = LOWORD(wParam), dpiY = HIWORD(wParam);
    HFONT previous = Win32SetDisplayDpi(dpiX, dpiY);
    // A DPI out of bounds makes the window for the bounded one, so the
    // rectangle suggested for the DPI as sent does not fit it.
    const bool bounded = BoundDisplayDpi(dpiX) == dpiX && BoundDisplayDpi(dpiY) == dpiY;
    RECT frame;
    if (suggested != nullptr && bounded) {
        frame = *suggested;
    } else {
        RECT now;
        GetWindowRect(window, &now);
        frame = RECT{0, 0, Win32ScaleX(record.clientWidth), Win32ScaleY(record.clientHeight)};
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
        DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
        if (!FrameAtDpi(record, dpiY, &frame)) AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        OffsetRect(&frame, now.left - frame.left, now.top - frame.top);
    }
    SetWindowPos(window, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FontChange change{previous, Win32ControlFont()};
    if (change.from != change.to)
        EnumChildWindows(window, ChangeFont, reinterpret_cast<LPARAM>(&change));
    // The handler may destroy the window, and the record with it.
    if (ScaleChangeHandler handler = record.scaleChanged) handler(number);
    if (change.from != change.to) Win32ReleaseControlFont(previous);
    return 0;
}

int64_t Win32OnGetDpiScaledSize(const WindowRecord& record, WPARAM dpi, SIZE* size) {
    RECT frame;
    if (size == nullptr || !FrameAtDpi(record, static_cast<double>(LOWORD(dpi)), &frame)) {
        return NOT_HANDLED;
    }
    size->cx = frame.right - frame.left;
    size->cy = frame.bottom - frame.top;
    return TRUE;
}
