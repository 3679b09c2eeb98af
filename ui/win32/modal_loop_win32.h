// The application's events while a modal loop of Windows holds the thread:
// TrackPopupMenu and the move and size loop of a dragged window dispatch
// messages to the window procedures themselves, and only return when the
// menu closes or the mouse button is let go. The window procedure tells this
// file when such a loop starts and ends, and lets it hand the events queued
// in between to the application's handler (SetModalLoopEventHandler).
#pragma once

// WM_ENTERMENULOOP / WM_ENTERSIZEMOVE and WM_EXITMENULOOP / WM_EXITSIZEMOVE.
void Win32EnterModalLoop(bool menu);
void Win32ExitModalLoop(bool menu);

// Called by the layer's window procedures after each message: inside a
// modal loop, hands the queued events to the application's handler.
void Win32ServeModalLoop();
