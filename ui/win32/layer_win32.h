// Process-wide state of the Win32 window layer that its files share: the
// program instance, icon and arrow cursor, the display scale factors and the
// font that new controls receive.
#pragma once

#include <cstdint>

#include "system/windows_api_win32.h"

HINSTANCE Win32Instance();
HICON Win32ProgramIcon();
HCURSOR Win32ArrowCursor();
HFONT Win32ControlFont();

// 96-DPI pixels to device pixels, rounded down; and the inverse, rounded up
// (used for frame widths that the system gives in device pixels).
int32_t Win32ScaleX(int32_t value);
int32_t Win32ScaleY(int32_t value);
int32_t Win32UnscaleX(int32_t value);

// Makes the display scale DPI / 96 on each axis (each DPI bounded as at
// start-up) and the control font for it. Returns the font new controls got
// until now: the caller releases it with Win32ReleaseControlFont once no
// control uses it any more.
HFONT Win32SetDisplayDpi(double dpiX, double dpiY);
// Deletes a font that Win32SetDisplayDpi handed back, unless it is a stock one.
void Win32ReleaseControlFont(HFONT font);
