// The status line on X11 (see status_text_x11.h). The text goes straight on
// the top-level window, as the Windows layer draws it in WM_PAINT; its
// rectangle is filled with the background first, because Xft blends each
// glyph's edge into what is there, and text drawn twice would grow darker.
#include "ui/x11/status_text_x11.h"

#include <string>

#include "ui/fitted_text.h"
#include "ui/platform_ui.h"
#include "ui/scaling.h"
#include "ui/x11/control_text_x11.h"
#include "ui/x11/display_x11.h"
#include "ui/x11/layer_x11.h"

namespace {

struct PixelRect {
    int x, y, width, height;
};

PixelRect Scaled(const TextRoom& room) {
    return PixelRect{ScaleValue(room.x, X11ScaleFactorX()), ScaleValue(room.y, X11ScaleFactorY()),
                     ScaleValue(room.width, X11ScaleFactorX()),
                     ScaleValue(room.height, X11ScaleFactorY())};
}

void Clear(Display* display, Window window, const PixelRect& rect) {
    if (rect.width <= 0 || rect.height <= 0) return;
    XClearArea(display, window, rect.x, rect.y, static_cast<unsigned>(rect.width),
               static_cast<unsigned>(rect.height), False);
}

void ClearRooms(Display* display, Window window, const StatusTextState& status) {
    Clear(display, window, Scaled(status.room));
    Clear(display, window, Scaled(status.headRoom));
}

}  // namespace

void X11PaintStatusText(WindowRecord& record) {
    X11State& xs = X11();
    StatusTextState& status = record.status;
    if (xs.display == nullptr || record.handle == 0 || record.destroyed || status.text.empty()) {
        return;
    }
    const PixelRect room = Scaled(status.room), headRoom = Scaled(status.headRoom);
    ClearRooms(xs.display, record.handle, status);
    if (status.draw == nullptr) {
        status.draw = XftDrawCreate(xs.display, record.handle, xs.visual, xs.colormap);
    }
    if (status.gc == nullptr) status.gc = X11CreateGC(record.handle);
    const ControlTextFont font = ControlTextFontNow();
    auto measure = [&font](std::string_view text) {
        return ControlTextWidth(font, std::string(text));
    };
    const SplitTextRecord split = SplitFittedText(status.text, headRoom.width, room.width, measure);
    auto baseline = [&font](const PixelRect& rect) {
        return rect.y + (rect.height - (font.ascent + font.descent)) / 2 + font.ascent;
    };
    if (!split.head.empty()) {
        DrawControlText(font, status.draw, status.gc, record.handle,
                        headRoom.x + headRoom.width - measure(split.head), baseline(headRoom),
                        split.head);
    }
    DrawControlText(font, status.draw, status.gc, record.handle, room.x, baseline(room),
                    split.tail);
}

void X11SetWindowStatusText(int64_t number, const TextRoom& room, const TextRoom& headRoom,
                            const char* text) {
    Display* display = X11().display;
    WindowRecord* record = WindowTable().Find(number);
    if (display == nullptr || record == nullptr || record->handle == 0 || record->destroyed) return;
    StatusTextState& status = record->status;
    if (!status.text.empty()) ClearRooms(display, record->handle, status);
    status.text = text != nullptr ? text : "";
    status.room = room;
    status.headRoom = headRoom;
    X11PaintStatusText(*record);
    XFlush(display);
}
