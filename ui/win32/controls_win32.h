// Numbered controls: the control table, the per-type operations and the
// registration that every control (button, canvas) goes through.
#pragma once

#include <cstdint>

#include "system/windows_api_win32.h"
#include "ui/messages.h"

struct ControlRecord;

struct ControlType {
    int typeNumber;  // 1 = button, 33 = canvas
    // Takes the command, notification, scroll and colour messages that the
    // parent receives about a control of this type; NOT_HANDLED if it does
    // not claim them. nullptr: the type has no handler.
    int64_t (*handler)(ControlRecord& control, HWND parent, UINT message, WPARAM wParam,
                       LPARAM lParam);
    // Called while the control's window is being destroyed.
    void (*cleanup)(ControlRecord& control);
};

struct ControlRecord {
    HWND handle = nullptr;
    const ControlType* type = nullptr;
    WNDPROC previous = nullptr;  // the window procedure before subclassing
    int64_t identifier = 0;      // the control's number (or allocated identifier)
};

// A slot for `number` (-1: a new identifier, returned in *identifier).
ControlRecord* CreateControlRecord(int64_t number, int64_t* identifier);
ControlRecord* FindControlRecord(int64_t identifier);
void ReleaseControlRecord(int64_t identifier);

// Makes `window` control `identifier`: fills the record, subclasses the
// window with the layer's control procedure, sets its control identifier and
// control-number property and gives it the control font.
void AttachControl(ControlRecord& record, int64_t identifier, HWND window, const ControlType* type);

// The control number in the control-number property of `window`; false if
// the window has none.
bool ReadControlNumber(HWND window, int64_t* number);

// The record of the control behind `window` when its control-number property
// equals its control identifier (the condition for using its type handler).
ControlRecord* FindControlForHandle(HWND window);

// The top-level window `top` (number `windowNumber`) is no longer an icon:
// each of its canvases queues EVENT_CONTROL with CANVAS_SHOWN
// (canvas_win32.cpp).
void Win32QueueCanvasesShown(HWND top, int64_t windowNumber);
