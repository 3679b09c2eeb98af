// The line of text on a top-level window's background (SetWindowStatusText)
// on Win32: drawn by the window procedure's WM_PAINT over the background that
// BeginPaint has the window erase.
#pragma once

#include <cstdint>

#include "ui/win32/windows_win32.h"

// WM_PAINT of a window with a line of text: paints it and returns 0;
// NOT_HANDLED for a window without one, which DefWindowProc paints.
int64_t Win32PaintStatusText(WindowRecord& record);

// The whole window is drawn again (its scale changed) with its line.
void Win32RepaintStatusText(const WindowRecord& record);
