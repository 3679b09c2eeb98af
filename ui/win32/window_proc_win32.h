// The window procedure of every top-level window of the layer.
#pragma once

#include "system/windows_api_win32.h"

LRESULT CALLBACK TopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
