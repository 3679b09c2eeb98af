// Start-up and shutdown of the Win32 window layer, and the values that every
// window and control of it shares.
//
// The process declares itself DPI-aware in its manifest, so GetDeviceCaps on
// the screen reports the real LOGPIXELSX/Y and every coordinate that the
// application gives in 96-DPI pixels is scaled by DPI / 96 here, the DPI
// bounded to 48..480 (display_scale.h).
#include "ui/win32/layer_win32.h"

#include <cmath>

#include "system/windows_api_win32.h"
#include "ui/display_scale.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/win32/display_refresh_win32.h"
#include "ui/win32/message_loop_win32.h"

namespace {

constexpr DWORD COMMON_CONTROL_CLASSES = 0xB48;  // the classes the layer may create
constexpr int PROGRAM_ICON_RESOURCE = 1;
// IDI_APPLICATION and IDC_ARROW, as the wide-character calls take them.
const LPCWSTR STOCK_APPLICATION_ICON = MAKEINTRESOURCEW(32512);
const LPCWSTR STOCK_ARROW_CURSOR = MAKEINTRESOURCEW(32512);

HINSTANCE instance = nullptr;
HICON programIcon = nullptr;
HCURSOR arrowCursor = nullptr;
HFONT controlFont = nullptr;
double scaleX = 1.0;
double scaleY = 1.0;

void ReadScaleFactors() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return;
    // The system DPI (the LogPixels value of the user's desktop settings)
    // is whatever was written there; an absurd one is bounded to 48..480.
    scaleX = BoundDisplayDpi(GetDeviceCaps(screen, LOGPIXELSX)) / DEFAULT_DISPLAY_DPI;
    scaleY = BoundDisplayDpi(GetDeviceCaps(screen, LOGPIXELSY)) / DEFAULT_DISPLAY_DPI;
    ReleaseDC(nullptr, screen);
}

// At 96 DPI the stock GUI font; at any other scale the stock font would stay
// at its 96-DPI size, so "Segoe UI" 9 pt is made for the real DPI.
HFONT ControlFontForScale() {
    HFONT stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (scaleX == 1.0 && scaleY == 1.0) return stock;
    int dpi = static_cast<int>(std::trunc(scaleY * 96.0));
    HFONT font = CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, 0, 0, L"Segoe UI");
    return font != nullptr ? font : stock;
}

void InitCommonControlClasses() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = COMMON_CONTROL_CLASSES;
    InitCommonControlsEx(&classes);
}

}  // namespace

HINSTANCE Win32Instance() {
    return instance;
}
HICON Win32ProgramIcon() {
    return programIcon;
}
HCURSOR Win32ArrowCursor() {
    return arrowCursor;
}
HFONT Win32ControlFont() {
    return controlFont;
}

int32_t Win32ScaleX(int32_t value) {
    return ScaleValue(value, scaleX);
}
int32_t Win32ScaleY(int32_t value) {
    return ScaleValue(value, scaleY);
}
int32_t Win32UnscaleX(int32_t value) {
    return static_cast<int32_t>(static_cast<int64_t>(std::ceil(value / scaleX)));
}

HFONT Win32SetDisplayDpi(double dpiX, double dpiY) {
    scaleX = BoundDisplayDpi(dpiX) / DEFAULT_DISPLAY_DPI;
    scaleY = BoundDisplayDpi(dpiY) / DEFAULT_DISPLAY_DPI;
    HFONT previous = controlFont;
    controlFont = ControlFontForScale();
    return previous;
}

void Win32ReleaseControlFont(HFONT font) {
    if (font != nullptr && font != GetStockObject(DEFAULT_GUI_FONT)) DeleteObject(font);
}

double ScaleFactorX() {
    return scaleX;
}
double ScaleFactorY() {
    return scaleY;
}

bool UiLayerInit() {
    instance = GetModuleHandleW(nullptr);
    // The event side first: other threads may post events from now on.
    CreateHiddenMessageWindow();
    ReadScaleFactors();
    Win32ReadDisplayRefresh();
    programIcon = LoadIconW(instance, MAKEINTRESOURCEW(PROGRAM_ICON_RESOURCE));
    if (programIcon == nullptr) programIcon = LoadIconW(nullptr, STOCK_APPLICATION_ICON);
    arrowCursor = LoadCursorW(nullptr, STOCK_ARROW_CURSOR);
    controlFont = ControlFontForScale();
    InitCommonControlClasses();
    // COM, which the shell needs to open web addresses.
    CoInitialize(nullptr);
    return true;
}

// The window system is part of the process's own session, with no connection
// that could drop: the handler is never called.
void SetDisplayLostHandler(DisplayLostHandler) {}

// Worker threads may still be drawing into canvases when this runs, and the
// process ends right after it: windows, controls, canvases and their
// pictures stay as they are. Only what no other thread can reach goes.
void UiLayerClose() {
    DestroyHiddenMessageWindow();
}
