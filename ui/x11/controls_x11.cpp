// The control table and the control list target. A control is an X child
// window entered here under its number; the window link (windows_x11) lets
// event dispatch find the record from the X window an event names.
#include "ui/x11/controls_x11.h"

#include <algorithm>
#include <atomic>

#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/windows_x11.h"

namespace {

thread_local Window controlListTarget = 0;
std::atomic<uint64_t> nextCreationOrder{1};

}  // namespace

NumberedTable<ControlRecord>& ControlTable() {
    // Never destroyed: the drawing thread may look canvases up until exit.
    static NumberedTable<ControlRecord>* table = new NumberedTable<ControlRecord>();
    return *table;
}

Window ControlListTarget() {
    return controlListTarget;
}
void SetControlListTarget(Window window) {
    controlListTarget = window;
}

ControlRecord* RegisterControl(int64_t number, Window window, Window parent,
                               const ControlType* type, int64_t* identifier) {
    ControlRecord* record = ControlTable().Create(number, identifier);
    if (record == nullptr) return nullptr;
    record->handle = window;
    record->type = type;
    record->holder = parent;
    record->number = *identifier;
    record->creationOrder = nextCreationOrder.fetch_add(1);
    WindowLink link;
    link.parent = parent;
    link.isControl = true;
    link.controlNumber = *identifier;
    SetWindowLink(window, link);
    return record;
}

ControlRecord* FindControlByWindow(Window window) {
    WindowLink link;
    if (!FindWindowLink(window, &link) || !link.isControl) return nullptr;
    ControlRecord* record = ControlTable().Find(link.controlNumber);
    if (record == nullptr || record->handle != window) return nullptr;
    return record;
}

int64_t ControlIdentifierOf(Window window) {
    ControlRecord* record = FindControlByWindow(window);
    return record == nullptr ? 0 : record->number;
}

void X11PlaceControl(int64_t control, int x, int y, int width, int height) {
    Display* display = X11().display;
    ControlRecord* record = ControlTable().Find(control);
    if (display == nullptr || record == nullptr || record->handle == 0) return;
    int w = std::clamp(ScaleValue(width, X11ScaleFactorX()), 1, 32767);
    int h = std::clamp(ScaleValue(height, X11ScaleFactorY()), 1, 32767);
    XMoveResizeWindow(display, record->handle, ScaleValue(x, X11ScaleFactorX()),
                      ScaleValue(y, X11ScaleFactorY()), static_cast<unsigned>(w),
                      static_cast<unsigned>(h));
    // At once, as SetWindowPos sends WM_SIZE before it returns.
    if (record->type != nullptr && record->type->resized != nullptr) {
        record->type->resized(*record, w, h);
    }
    XFlush(display);
}
