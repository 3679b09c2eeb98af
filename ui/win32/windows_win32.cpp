// Numbered top-level windows: creation with the application's flag bits,
// client-size based layout scaled for the display, the Tab accelerators and
// the background colour.
#include "ui/win32/windows_win32.h"

#include <cwchar>
#include <mutex>
#include <unordered_map>

#include "system/numbered_table.h"
#include "system/text_win32.h"
#include "ui/display_scale.h"
#include "ui/platform_ui.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/window_proc_win32.h"
#include "ui/window_flags.h"

namespace {

constexpr wchar_t WINDOW_NUMBER_PROPERTY[] = L"VellumtoneWindowNumber";

// The program's own bits of CreateTopWindow's flags go before the style
// reaches Windows.
constexpr uint32_t CREATE_STYLE_MASK = 0xFDFFFFF8;  // drops bit 25 and bits 0-2
constexpr uint32_t CAPTION_AND_THICK_FRAME = 0xC40000;
constexpr BYTE TAB_KEY_FLAGS = FVIRTKEY | FNOINVERT;  // 3; with FSHIFT 7

NumberedTable<WindowRecord>& Windows() {
    static NumberedTable<WindowRecord> table;
    return table;
}

thread_local HWND controlListTarget = nullptr;

// The window-number property of each window that carries one, as it was
// set. The window procedure looks the property up for every message, and
// under Wine each GetProp is a round trip to the server: the hundred timer
// ticks a second read it here instead. Every set and removal of the
// property goes through this file, so the two never differ.
std::mutex numberLock;
std::unordered_map<HWND, HANDLE>& NumberProperties() {
    static auto* properties = new std::unordered_map<HWND, HANDLE>();
    return *properties;
}

void SetWindowNumberProperty(HWND window, int64_t number) {
    auto value = reinterpret_cast<HANDLE>(static_cast<intptr_t>(number + 1));
    SetPropW(window, WINDOW_NUMBER_PROPERTY, value);
    std::lock_guard<std::mutex> hold(numberLock);
    NumberProperties()[window] = value;
}

HANDLE WindowNumberProperty(HWND window) {
    {
        std::lock_guard<std::mutex> hold(numberLock);
        auto found = NumberProperties().find(window);
        if (found != NumberProperties().end()) return found->second;
    }
    return GetPropW(window, WINDOW_NUMBER_PROPERTY);
}

bool RegisterTopWindowClass(const wchar_t* name) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = TopWindowProc;
    windowClass.hInstance = Win32Instance();
    windowClass.hIcon = Win32ProgramIcon();
    windowClass.hCursor = Win32ArrowCursor();
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

// The part of a sizeable frame that the desktop window manager draws
// invisibly (Windows 10 and later), in device pixels.
int32_t InvisibleFrameBorder() {
    if (GetOsVersionCode() < 110) return 0;
    return GetSystemMetrics(SM_CXSIZEFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
}

// Centres across (bit 0) and/or down (bit 1) on the parent, or on the work
// area of the window's monitor for a window without parent.
void CentreWindow(HWND window, HWND parent, uint32_t centreBits) {
    RECT frame;
    GetWindowRect(window, &frame);
    RECT area;
    if (parent != nullptr) {
        GetWindowRect(parent, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    LONG x = frame.left;
    LONG y = frame.top;
    if (centreBits & 1) x = area.left + ((area.right - area.left) - (frame.right - frame.left)) / 2;
    if (centreBits & 2) y = area.top + ((area.bottom - area.top) - (frame.bottom - frame.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ShowCommand(uint32_t style, bool noActivate) {
    if (style & WS_MAXIMIZE) return noActivate ? SW_SHOWNA : SW_SHOWMAXIMIZED;
    if (style & WS_MINIMIZE) return noActivate ? SW_SHOWMINNOACTIVE : SW_SHOWMINIMIZED;
    return noActivate ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL;
}

}  // namespace

WindowRecord* FindWindowRecord(int64_t number) {
    return Windows().Find(number);
}
void ReleaseWindowRecord(int64_t number) {
    Windows().Release(number);
}

bool HasWindowNumberProperty(HWND window) {
    return WindowNumberProperty(window) != nullptr;
}

void RemoveWindowNumberProperty(HWND window) {
    {
        std::lock_guard<std::mutex> hold(numberLock);
        NumberProperties().erase(window);
    }
    RemovePropW(window, WINDOW_NUMBER_PROPERTY);
}

int64_t FindWindowNumber(HWND window, HWND* carrier) {
    HWND desktop = GetDesktopWindow();
    for (HWND walk = window; walk != nullptr && walk != desktop;
         walk = GetAncestor(walk, GA_PARENT)) {
        HANDLE value = WindowNumberProperty(walk);
        if (value != nullptr) {
            if (carrier) *carrier = walk;
            return static_cast<int64_t>(reinterpret_cast<intptr_t>(value)) - 1;
        }
    }
    if (carrier) *carrier = nullptr;
    return -1;
}

void FormatWindowClassName(int64_t number, wchar_t* name, size_t capacity) {
    std::swprintf(name, capacity, L"WindowClass_%lld", static_cast<long long>(number));
}

HWND ControlListTarget() {
    return controlListTarget;
}
void SetControlListTarget(HWND window) {
    controlListTarget = window;
}

void* CreateTopWindow(int64_t number, int x, int y, int width, int height, const char* title,
                      uint32_t flags, void* parent) {
    int64_t identifier = number;
    WindowRecord* record = Windows().Find(number);
    if (record == nullptr) record = Windows().Create(number, &identifier);
    if (record == nullptr) return nullptr;

    wchar_t className[64];
    FormatWindowClassName(identifier, className, sizeof className / sizeof *className);
    RegisterTopWindowClass(className);  // already registered: the old class serves

    TopWindowFlags decoded = DecodeTopWindowFlags(flags);
    uint32_t style = decoded.style;
    DWORD exStyle = decoded.tool ? WS_EX_TOOLWINDOW : 0;

    RECT frame = {0, 0, Win32ScaleX(width), Win32ScaleY(height)};
    AdjustWindowRectEx(&frame, style & ~0x7u, FALSE, exStyle);

    int left, top;
    if (DefaultPlacement(x, y, decoded)) {
        left = top = CW_USEDEFAULT;
    } else {
        if ((style & CAPTION_AND_THICK_FRAME) == CAPTION_AND_THICK_FRAME) {
            x -= Win32UnscaleX(InvisibleFrameBorder());
        }
        left = Win32ScaleX(x);
        top = Win32ScaleY(y);
    }

    std::wstring text = WidenText(title);
    HWND parentWindow = static_cast<HWND>(parent);
    HWND window = CreateWindowExW(exStyle, className, text.c_str(), style & CREATE_STYLE_MASK, left,
                                  top, frame.right - frame.left, frame.bottom - frame.top,
                                  parentWindow, nullptr, Win32Instance(), nullptr);
    if (window == nullptr) {
        UnregisterClassW(className, Win32Instance());
        Windows().Release(identifier);
        return nullptr;
    }
    record->handle = window;
    record->ready = 0;
    SetWindowNumberProperty(window, identifier);
    if (decoded.centre != 0) CentreWindow(window, parentWindow, decoded.centre);
    if (!decoded.hidden) ShowWindow(window, ShowCommand(style, decoded.noActivate));

    record->clientWidth = width;
    record->clientHeight = height;
    record->displayDpiX = ScaleFactorX() * DEFAULT_DISPLAY_DPI;
    record->displayDpiY = ScaleFactorY() * DEFAULT_DISPLAY_DPI;
    record->acceleratorCount = 2;
    record->minimisedOrMaximised = (style & (WS_MINIMIZE | WS_MAXIMIZE)) != 0;
    record->accelerators[0] = ACCEL{TAB_KEY_FLAGS, VK_TAB, TAB_NEXT_COMMAND};
    record->accelerators[1] = ACCEL{TAB_KEY_FLAGS | FSHIFT, VK_TAB, TAB_PREVIOUS_COMMAND};
    record->acceleratorTable = CreateAcceleratorTableW(record->accelerators, 2);
    record->background = -1;
    record->borrowedClass = 0;

    if (decoded.controls) controlListTarget = window;
    record->ready = 1;
    if (number == -1) return reinterpret_cast<void*>(static_cast<intptr_t>(identifier));
    return window;
}

void SetScaleChangeHandler(int64_t window, ScaleChangeHandler handler) {
    WindowRecord* record = Windows().Find(window);
    if (record != nullptr) record->scaleChanged = handler;
}

void SetWindowBackground(int64_t window, int32_t colour) {
    WindowRecord* record = Windows().Find(window);
    if (record == nullptr || record->background == colour) return;
    if (record->brush != nullptr) DeleteObject(record->brush);
    record->brush = colour == -1 ? nullptr : CreateSolidBrush(static_cast<COLORREF>(colour));
    record->background = colour;
    RedrawWindow(record->handle, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
}

void SetWindowOnTop(int64_t window, bool on) {
    WindowRecord* record = Windows().Find(window);
    if (record == nullptr || record->handle == nullptr) return;
    // Only the place in the Z order changes: WS_EX_TOPMOST follows it.
    SetWindowPos(record->handle, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
