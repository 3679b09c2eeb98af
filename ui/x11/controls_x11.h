// Numbered controls on X11: the control table, the control types (push
// button, canvas) with the handlers that take their X events, and the
// per-thread control list target in which new controls are created.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

#include "system/numbered_table.h"

struct ControlRecord;

// What a control type does with the X events of its window. Each handler
// returns the message number that FetchPlatformMessage reports for the event.
struct ControlType {
    int typeNumber;  // 1 = button, 33 = canvas
    int64_t (*handleEvent)(ControlRecord& control, XEvent& event);
    // Keyboard input while the control has the focus (press or release).
    int64_t (*handleKey)(ControlRecord& control, XKeyEvent& event);
    // The control gained or lost the focus, or the keyboard cues changed.
    void (*focusChanged)(ControlRecord& control);
    // The control's window was given this size (PlaceControl).
    void (*resized)(ControlRecord& control, int width, int height);
};

// Type-specific fields that follow the common ones.
struct ControlExtra {
    virtual ~ControlExtra() = default;
};

struct ControlRecord {
    Window handle = 0;
    const ControlType* type = nullptr;
    Window holder = 0;   // the top-level window (or container) it was created in
    int64_t number = 0;  // control identifier; also what the link records
    uint32_t style = 0;
    bool tabStop = false;
    bool enabled = true;
    bool visible = true;
    uint64_t creationOrder = 0;  // tab order: the order in which controls were made
    std::unique_ptr<ControlExtra> extra;
};

NumberedTable<ControlRecord>& ControlTable();

// The calling thread's control list target (0 when none).
Window ControlListTarget();
void SetControlListTarget(Window window);

// Enters an already created X window in the control table as control
// `number` (-1: a new identifier, returned in *identifier) and links it to
// its parent. nullptr if the number is not valid.
ControlRecord* RegisterControl(int64_t number, Window window, Window parent,
                               const ControlType* type, int64_t* identifier);

// The control whose window this is, or nullptr. Like the control-number
// property check on Windows, only a record that still owns the window counts.
ControlRecord* FindControlByWindow(Window window);

// The control identifier of a window (GWLP_ID): its number, 0 when it is not
// a control.
int64_t ControlIdentifierOf(Window window);

// A click asked for by a screen reader on the push button numbered `control`
// in the top-level window `holder`: it clicks itself as under the mouse
// (push_button_x11.cpp). False if the window has no such button.
bool X11ClickButton(Window holder, int64_t control);
