// Controls and the push button. Every control is subclassed with one layer
// procedure that forwards everything to the control's own procedure and, when
// the control goes away, cleans up after it: its queued EVENT_CONTROL events
// are dropped and its number is freed.
#include "ui/win32/controls_win32.h"

#include "system/numbered_table.h"
#include "system/text_win32.h"
#include "ui/event_queue.h"
#include "ui/platform_ui.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/windows_win32.h"

namespace {

constexpr wchar_t CONTROL_NUMBER_PROPERTY[] = L"VellumtoneControlNumber";
constexpr wchar_t PREVIOUS_PROCEDURE_PROPERTY[] = L"VellumtonePreviousProc";
constexpr DWORD PUSH_BUTTON_STYLE = 0x50030000;  // WS_CHILD|WS_VISIBLE|WS_TABSTOP|WS_GROUP

const ControlType BUTTON_TYPE = {1, nullptr, nullptr};

NumberedTable<ControlRecord>& Controls() {
    static NumberedTable<ControlRecord> table;
    return table;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropW(window, PREVIOUS_PROCEDURE_PROPERTY));
    LRESULT result = previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                              : DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        int64_t number;
        if (ReadControlNumber(window, &number)) {
            ControlRecord* record = Controls().Find(number);
            if (record && record->handle == window && record->type && record->type->cleanup) {
                record->type->cleanup(*record);
            }
            RemovePropW(window, CONTROL_NUMBER_PROPERTY);
            SetWindowLongPtrW(window, GWLP_ID, -1);
            DropQueuedEvents(EVENT_CONTROL, number, -1, -1);
            if (record && record->handle == window) Controls().Release(number);
        }
        RemovePropW(window, PREVIOUS_PROCEDURE_PROPERTY);
    }
    return result;
}

}  // namespace

ControlRecord* CreateControlRecord(int64_t number, int64_t* identifier) {
    return Controls().Create(number, identifier);
}

ControlRecord* FindControlRecord(int64_t identifier) {
    return Controls().Find(identifier);
}
void ReleaseControlRecord(int64_t identifier) {
    Controls().Release(identifier);
}

void AttachControl(ControlRecord& record, int64_t identifier, HWND window,
                   const ControlType* type) {
    record.handle = window;
    record.type = type;
    record.identifier = identifier;
    record.previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    SetPropW(window, PREVIOUS_PROCEDURE_PROPERTY, reinterpret_cast<HANDLE>(record.previous));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc));
    SetWindowLongPtrW(window, GWLP_ID, static_cast<LONG_PTR>(identifier));
    SetPropW(window, CONTROL_NUMBER_PROPERTY,
             reinterpret_cast<HANDLE>(static_cast<intptr_t>(identifier + 1)));
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(Win32ControlFont()), TRUE);
}

bool ReadControlNumber(HWND window, int64_t* number) {
    HANDLE value = GetPropW(window, CONTROL_NUMBER_PROPERTY);
    if (value == nullptr) return false;
    *number = static_cast<int64_t>(reinterpret_cast<intptr_t>(value)) - 1;
    return true;
}

ControlRecord* FindControlForHandle(HWND window) {
    int64_t number;
    if (window == nullptr || !ReadControlNumber(window, &number)) return nullptr;
    if (static_cast<int64_t>(GetWindowLongPtrW(window, GWLP_ID)) != number) return nullptr;
    ControlRecord* record = Controls().Find(number);
    return record && record->handle == window ? record : nullptr;
}

void PlaceControl(int64_t control, int x, int y, int width, int height) {
    ControlRecord* record = Controls().Find(control);
    if (record == nullptr || record->handle == nullptr) return;
    // A canvas rebuilds its picture on the WM_SIZE this sends.
    SetWindowPos(record->handle, nullptr, Win32ScaleX(x), Win32ScaleY(y), Win32ScaleX(width),
                 Win32ScaleY(height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void* CreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                       uint32_t flags) {
    std::wstring caption = WidenText(text);
    HWND window = CreateWindowExW(
        0, L"Button", caption.c_str(), flags | PUSH_BUTTON_STYLE, Win32ScaleX(x), Win32ScaleY(y),
        Win32ScaleX(width), Win32ScaleY(height), ControlListTarget(),
        reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)), Win32Instance(), nullptr);
    if (window == nullptr) return nullptr;
    int64_t identifier = number;
    ControlRecord* record = Controls().Create(number, &identifier);
    if (record == nullptr) {
        DestroyWindow(window);
        return nullptr;
    }
    AttachControl(*record, identifier, window, &BUTTON_TYPE);
    if (number == -1) return reinterpret_cast<void*>(static_cast<intptr_t>(identifier));
    return window;
}
