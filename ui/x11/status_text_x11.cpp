// The status line on X11 (see status_text_x11.h): its picture, drawn by the
// portable status line (ui/status_line) over both its rooms, goes onto the
// top-level window, as the Windows layer draws the line in WM_PAINT. The
// picture spans the button between the rooms; the button's own window clips
// what lands there.
#include "ui/x11/status_text_x11.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/status_line_picture.h"
#include "ui/x11/control_face_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"
#include "ui/x11/picture_x11.h"

namespace {

ControlRect Scaled(const TextRoom& room) {
    const int x = ScaleValue(room.x, X11ScaleFactorX()), y = ScaleValue(room.y, X11ScaleFactorY());
    return ControlRect{x, y, x + ScaleValue(room.width, X11ScaleFactorX()),
                       y + ScaleValue(room.height, X11ScaleFactorY())};
}

// Both rooms drawn with `text` (none: only the background) and shown.
void Show(const WindowRecord& record, const std::string& text) {
    const StatusTextState& status = record.status;
    const ControlRect room = Scaled(status.room), headRoom = Scaled(status.headRoom);
    const ControlRect all{std::min(room.left, headRoom.left), std::min(room.top, headRoom.top),
                          std::max(room.right, headRoom.right),
                          std::max(room.bottom, headRoom.bottom)};
    const int width = all.right - all.left, height = all.bottom - all.top;
    if (width <= 0 || height <= 0) return;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    const ControlPicture picture{pixels.data(), width, height, width};
    const uint32_t background = record.backgroundColour == -1
                                    ? COLOUR_BUTTON_FACE
                                    : static_cast<uint32_t>(record.backgroundColour);
    DrawStatusLine(picture, all.left, all.top, room, headRoom, text, X11ControlFace(), background);
    // The picture's pixels land at the window's by an offset: a window of
    // the picture's size would take them at (0, 0).
    for (const ControlRect& rect : {room, headRoom}) {
        if (rect.right <= rect.left || rect.bottom <= rect.top) continue;
        X11ShowPictureAt(record.handle, picture,
                         ControlRect{rect.left - all.left, rect.top - all.top,
                                     rect.right - all.left, rect.bottom - all.top},
                         rect.left, rect.top);
    }
}

}  // namespace

void X11PaintStatusText(WindowRecord& record) {
    if (X11().display == nullptr || record.handle == 0 || record.destroyed ||
        record.status.text.empty()) {
        return;
    }
    Show(record, record.status.text);
}

void X11SetWindowStatusText(int64_t number, const TextRoom& room, const TextRoom& headRoom,
                            const char* text) {
    Display* display = X11().display;
    WindowRecord* record = WindowTable().Find(number);
    if (display == nullptr || record == nullptr || record->handle == 0 || record->destroyed) return;
    StatusTextState& status = record->status;
    if (!status.text.empty()) Show(*record, std::string());
    status.text = text != nullptr ? text : "";
    status.room = room;
    status.headRoom = headRoom;
    X11PaintStatusText(*record);
    XFlush(display);
}
