// The status line on Win32 (see status_text_win32.h). Where the line goes,
// and where it is cut, is the portable SplitFittedText's choice, measured
// with GetTextExtentPoint32W in the control font, so that it breaks as on
// the Linux layers; DrawTextW then draws each part transparently, on the
// background that WM_ERASEBKGND filled for exactly the region being painted,
// which BeginPaint clips to.
#include "ui/win32/status_text_win32.h"

#include <string>
#include <string_view>

#include "system/text_win32.h"
#include "ui/fitted_text.h"
#include "ui/win32/layer_win32.h"

namespace {

RECT Scaled(const TextRoom& room) {
    const LONG left = Win32ScaleX(room.x), top = Win32ScaleY(room.y);
    return RECT{left, top, left + Win32ScaleX(room.width), top + Win32ScaleY(room.height)};
}

void Draw(HDC dc, const std::string& text, RECT rect, UINT alignment) {
    if (text.empty()) return;
    DrawTextW(dc, WidenText(text.c_str()).c_str(), -1, &rect,
              alignment | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void InvalidateRooms(const WindowRecord& record) {
    if (record.status.text.empty()) return;
    for (const TextRoom& room : {record.status.room, record.status.headRoom}) {
        RECT rect = Scaled(room);
        InvalidateRect(record.handle, &rect, TRUE);
    }
}

}  // namespace

int64_t Win32PaintStatusText(WindowRecord& record) {
    if (record.status.text.empty()) return NOT_HANDLED;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(record.handle, &paint);
    if (dc == nullptr) return NOT_HANDLED;
    const RECT room = Scaled(record.status.room), headRoom = Scaled(record.status.headRoom);
    HGDIOBJ previous = SelectObject(dc, Win32ControlFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    auto measure = [dc](std::string_view text) {
        const std::wstring wide = WidenText(std::string(text).c_str());
        SIZE size = {};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        return static_cast<int>(size.cx);
    };
    const SplitTextRecord split = SplitFittedText(
        record.status.text, headRoom.right - headRoom.left, room.right - room.left, measure);
    Draw(dc, split.head, headRoom, DT_RIGHT);
    Draw(dc, split.tail, room, DT_LEFT);
    SelectObject(dc, previous);
    EndPaint(record.handle, &paint);
    return 0;
}

void Win32RepaintStatusText(const WindowRecord& record) {
    if (!record.status.text.empty()) InvalidateRect(record.handle, nullptr, TRUE);
}

void SetWindowStatusText(int64_t number, const TextRoom& room, const TextRoom& headRoom,
                         const char* text) {
    WindowRecord* record = FindWindowRecord(number);
    if (record == nullptr || record->handle == nullptr) return;
    InvalidateRooms(*record);
    record->status = StatusTextState{text != nullptr ? text : "", room, headRoom};
    InvalidateRooms(*record);
}
