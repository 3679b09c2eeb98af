// The screens' refresh on Windows, which paces the pictures
// (ui/frame_pacing.h).
#pragma once

// Reads the fastest refresh of the screens attached to the desktop into the
// frame pacing: at start, and when WM_DISPLAYCHANGE tells of new modes.
void Win32ReadDisplayRefresh();
