// Per-monitor DPI on Windows. The manifest makes the process per-monitor
// DPI-aware (v2 from Windows 10 1703 on, v1 on 8.1, system-aware before), so
// the system never stretches the window's pixels: when the window moves to a
// monitor of another scale, or the scale of its monitor changes, it sends
// WM_DPICHANGED and expects the window to take the suggested rectangle and
// draw itself for the new DPI. The calls that only newer systems have are
// looked up at run time, so that the program still starts where they are
// missing (Windows 7 and 8 send no such message anyway).
#include "ui/win32/dpi_win32.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ui/display_scale.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/status_text_win32.h"

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

// Whether a suggested rectangle has about the size of the window's own one
// (each side within a quarter).
bool Fits(const RECT& suggested, const RECT& own) {
    const int64_t width = int64_t{own.right} - own.left, height = int64_t{own.bottom} - own.top;
    return std::abs(int64_t{suggested.right} - suggested.left - width) <= width / 4 &&
           std::abs(int64_t{suggested.bottom} - suggested.top - height) <= height / 4;
}

// The window's outer rectangle, where it stands, for the client area of the
// current scale, with the frame that the system draws around it now.
RECT OwnFrame(const WindowRecord& record) {
    RECT frame, client;
    GetWindowRect(record.handle, &frame);
    GetClientRect(record.handle, &client);
    frame.right += Win32ScaleX(record.clientWidth) - client.right;
    frame.bottom += Win32ScaleY(record.clientHeight) - client.bottom;
    return frame;
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

// The frame that the system draws around the window's client area at `dpi`;
// where it cannot say for another DPI, the frame the window has now.
FrameSize FrameSizeAt(const WindowRecord& record, double dpi) {
    RECT frame;
    if (FrameAtDpi(record, dpi, &frame)) {
        const double scale = BoundDisplayDpi(dpi) / DEFAULT_DISPLAY_DPI;
        return FrameSize{frame.right - frame.left - ScaleValue(record.clientWidth, scale),
                         frame.bottom - frame.top - ScaleValue(record.clientHeight, scale)};
    }
    RECT window, client;
    GetWindowRect(record.handle, &window);
    GetClientRect(record.handle, &client);
    return FrameSize{window.right - window.left - client.right,
                     window.bottom - window.top - client.bottom};
}

// The work area of the monitor the window is on, or will be on at `place`.
RECT WorkArea(const WindowRecord& record, const RECT* place) {
    HMONITOR monitor = place != nullptr
                           ? MonitorFromRect(place, MONITOR_DEFAULTTONEAREST)
                           : MonitorFromWindow(record.handle, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    }
    return info.rcWork;
}

// The DPI the window is to have on the display it is on (or will be on at
// `place`): the display's, or less when it is kept on its screen and would
// not fit there.
double ScreenDpi(const WindowRecord& record, double displayDpi, const RECT* place) {
    if (!record.keepOnScreen) return displayDpi;
    const RECT area = WorkArea(record, place);
    return FitDisplayDpi(displayDpi, record.clientWidth, record.clientHeight,
                         area.right - area.left, area.bottom - area.top,
                         [&record](double dpi) { return FrameSizeAt(record, dpi); });
}

// A window kept on its screen that reaches past its work area moves in.
void MoveInside(const WindowRecord& record) {
    if (!record.keepOnScreen) return;
    RECT frame;
    GetWindowRect(record.handle, &frame);
    const RECT area = WorkArea(record, nullptr);
    const int left =
        PlaceInside(frame.left, frame.right - frame.left, area.left, area.right - area.left);
    const int top =
        PlaceInside(frame.top, frame.bottom - frame.top, area.top, area.bottom - area.top);
    if (left != frame.left || top != frame.top) {
        SetWindowPos(record.handle, nullptr, left, top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The window takes the scale for its display's DPI (the system's suggested
// rectangle for it, if any) and is built again for it.
int64_t Rescale(WindowRecord& record, int64_t number, const RECT* suggested) {
    HWND window = record.handle;
    const double fit = ScreenDpi(record, record.displayDpiX, suggested);
    const double dpiX = std::min(record.displayDpiX, fit), dpiY = std::min(record.displayDpiY, fit);
    HFONT previous = Win32SetDisplayDpi(dpiX, dpiY);
    // The system's suggestion differs from the window's own size at the new
    // scale at most by the rounding of the frame. One that does not fit it
    // is not taken: it was made for a DPI out of bounds, which the layer
    // does not use, or for the display's DPI where the window keeps to a
    // smaller one, or it is no suggestion at all (another program sent the
    // message: Wine passes its pointer on as it is). The window then keeps
    // its place and takes its own size.
    const bool bounded = BoundDisplayDpi(dpiX) == dpiX && BoundDisplayDpi(dpiY) == dpiY;
    const bool own = dpiX == record.displayDpiX && dpiY == record.displayDpiY;
    RECT ownFrame = OwnFrame(record);
    if (suggested != nullptr && bounded && own && Fits(*suggested, ownFrame)) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        SetWindowPos(window, nullptr, 0, 0, ownFrame.right - ownFrame.left,
                     ownFrame.bottom - ownFrame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        // A frame that changed with the scale is measured again.
        RECT client;
        GetClientRect(window, &client);
        const LONG wrongX = Win32ScaleX(record.clientWidth) - client.right;
        const LONG wrongY = Win32ScaleY(record.clientHeight) - client.bottom;
        if (wrongX != 0 || wrongY != 0) {
            SetWindowPos(window, nullptr, 0, 0, ownFrame.right - ownFrame.left + wrongX,
                         ownFrame.bottom - ownFrame.top + wrongY,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    MoveInside(record);
    FontChange change{previous, Win32ControlFont()};
    if (change.from != change.to)
        EnumChildWindows(window, ChangeFont, reinterpret_cast<LPARAM>(&change));
    Win32RepaintStatusText(record);
    // The handler may destroy the window, and the record with it.
    if (ScaleChangeHandler handler = record.scaleChanged) handler(number);
    if (change.from != change.to) Win32ReleaseControlFont(previous);
    return 0;
}

}  // namespace

int64_t Win32OnDpiChanged(WindowRecord& record, int64_t number, WPARAM wParam,
                          const RECT* suggested) {
    record.displayDpiX = LOWORD(wParam);
    record.displayDpiY = HIWORD(wParam);
    return Rescale(record, number, suggested);
}

void Win32KeepOnScreen(WindowRecord& record, int64_t number) {
    if (!record.keepOnScreen) return;
    const double dpi = ScreenDpi(record, record.displayDpiX, nullptr);
    if (std::abs(dpi - ScaleFactorX() * DEFAULT_DISPLAY_DPI) > 1e-6) {
        Rescale(record, number, nullptr);
    } else {
        MoveInside(record);
    }
}

void KeepWindowOnScreen(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    if (record == nullptr || record->handle == nullptr) return;
    record->keepOnScreen = true;
    Win32KeepOnScreen(*record, number);
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
