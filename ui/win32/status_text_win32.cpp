// The status line on Win32 (see status_text_win32.h). DrawTextW cuts a text
// that does not fit with "..." itself; the text is drawn transparently, on
// the background that WM_ERASEBKGND filled for exactly the region being
// painted, which BeginPaint clips to.
#include "ui/win32/status_text_win32.h"

#include "system/text_win32.h"
#include "ui/win32/layer_win32.h"

namespace {

RECT Scaled(const StatusTextState& status) {
    const LONG left = Win32ScaleX(status.x), top = Win32ScaleY(status.y);
    return RECT{left, top, left + Win32ScaleX(status.width), top + Win32ScaleY(status.height)};
}

}  // namespace

int64_t Win32PaintStatusText(WindowRecord& record) {
    if (record.status.text.empty()) return NOT_HANDLED;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(record.handle, &paint);
    if (dc == nullptr) return NOT_HANDLED;
    RECT rect = Scaled(record.status);
    HGDIOBJ previous = SelectObject(dc, Win32ControlFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, record.status.text.c_str(), -1, &rect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, previous);
    EndPaint(record.handle, &paint);
    return 0;
}

void Win32RepaintStatusText(const WindowRecord& record) {
    if (!record.status.text.empty()) InvalidateRect(record.handle, nullptr, TRUE);
}

void SetWindowStatusText(int64_t number, int x, int y, int width, int height, const char* text) {
    WindowRecord* record = FindWindowRecord(number);
    if (record == nullptr || record->handle == nullptr) return;
    StatusTextState& status = record->status;
    RECT old = Scaled(status);
    if (!status.text.empty()) InvalidateRect(record->handle, &old, TRUE);
    status = StatusTextState{WidenText(text != nullptr ? text : ""), x, y, width, height};
    RECT now = Scaled(status);
    if (!status.text.empty()) InvalidateRect(record->handle, &now, TRUE);
}
