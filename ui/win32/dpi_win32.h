// Per-monitor DPI on Windows: what the top-level window procedure does when
// the system tells a window that its display scale changed.
#pragma once

#include <cstdint>

#include "system/windows_api_win32.h"
#include "ui/win32/windows_win32.h"

constexpr UINT DPI_CHANGED_MESSAGE = 0x02E0;  // WM_DPICHANGED
constexpr UINT GET_DPI_SCALED_SIZE_MESSAGE =
    0x02E4;  // A window kept on its screen (KeepWindowOnScreen) that no longer fits its
// work area at the scale in use, or fits at a larger one (the work area or
// the display changed: WM_SETTINGCHANGE, WM_DISPLAYCHANGE), takes the scale
// that fits, as on WM_DPICHANGED; one that reaches past it moves in.
void Win32KeepOnScreen(WindowRecord& record, int64_t number);

// WM_GETDPISCALEDSIZE

// WM_DPICHANGED: the window's new DPI in wParam (x low, y high) and the
// rectangle the system suggests for it at that DPI. The layer takes the
// scale (bounded) and makes the control font for it, the window takes the
// rectangle (or, should it not fit the window at that scale, its own size
// where it stands), its controls the font, and the window's scale-change
// handler runs. A window kept on its screen takes a smaller scale where the
// new one would not let it fit there. Returns the message's result, 0.
int64_t Win32OnDpiChanged(WindowRecord& record, int64_t number, WPARAM wParam,
                          const RECT* suggested);

// A window kept on its screen (KeepWindowOnScreen) that no longer fits its
// work area at the scale in use, or fits at a larger one (the work area or
// the display changed: WM_SETTINGCHANGE, WM_DISPLAYCHANGE), takes the scale
// that fits, as on WM_DPICHANGED; one that reaches past it moves in.
void Win32KeepOnScreen(WindowRecord& record, int64_t number);

// WM_GETDPISCALEDSIZE (per-monitor v2 only, before WM_DPICHANGED): the
// outer size of the window at the DPI in wParam, so that the rectangle the
// system then suggests gives the client area the layer's own rounding.
// Returns TRUE with *size set, NOT_HANDLED where it cannot tell.
int64_t Win32OnGetDpiScaledSize(const WindowRecord& record, WPARAM dpi, SIZE* size);
