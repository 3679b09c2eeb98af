// Screen readers and the meter canvases on Windows. A canvas shows a meter
// as a picture only; attached, it also answers screen readers as a
// read-only level meter: a name ("Left channel"), a level in dBFS from -60
// to 0 and the level as read out ("-12.3 dB", "-inf dB" in silence, "over").
//
// UI Automation first (WM_GETOBJECT with UiaRootObjectId, answered through
// uiautomationcore.dll, loaded only when a client first asks); MSAA through
// oleacc for OBJID_CLIENT always, for readers that speak only MSAA and for
// systems without UI Automation. A changed level is announced to listening
// clients (a property-changed event, and EVENT_OBJECT_VALUECHANGE) on the
// window's thread; nothing is posted while no client listens.
#pragma once

#include <string>

#include "system/windows_api_win32.h"
#include "ui/win32/com_ref_win32.h"
#include "ui/win32/uia_core_win32.h"

// Makes the canvas window `canvas` a level meter named `name` (UTF-8),
// reading "-inf dB" until its first level; attaching it again renames it.
// Call on the window's thread. False for a window that does not exist, or
// without memory.
bool Win32AttachMeterAccessibility(HWND canvas, const char* name);

// The meter's level: `dbfs` for the range (held within -60 and 0, NaN and
// -infinity as -60) and `text` (UTF-8) as read out. Any thread; the caller
// limits how often (the readout's four times a second). Clients hear of a
// change at the window thread's next message. Does nothing for a canvas not
// attached.
void Win32SetMeterAccessibleLevel(HWND canvas, double dbfs, const std::string& text);

// Lets go of the meter: UI Automation is told to drop what it got from the
// window, and objects clients still hold answer that the element is gone.
// Call on the window's thread; WM_DESTROY does it by itself.
void Win32DetachMeterAccessibility(HWND canvas);

// For the canvas's window procedure, first thing: answers WM_GETOBJECT for
// an attached meter, announces changes posted by Win32SetMeterAccessibleLevel
// and detaches at WM_DESTROY. True when *result is the message's answer.
bool Win32AnswerMeterAccessibility(HWND canvas, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result);

// The attached meter's UI Automation provider (null for another window), as
// clients get it: to raise further events on it (a notification for a
// spoken announcement), and for tests.
ComRef<IRawElementProviderSimple> Win32MeterUiaProvider(HWND canvas);
