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

PixelRect Scaled(const StatusTextState& status) {
    return PixelRect{
        ScaleValue(status.x, X11ScaleFactorX()), ScaleValue(status.y, X11ScaleFactorY()),
        ScaleValue(status.width, X11ScaleFactorX()), ScaleValue(status.height, X11ScaleFactorY())};
}

void Clear(Display* display, Window window, const PixelRect& rect) {
    if (rect.width <= 0 || rect.height <= 0) return;
    XClearArea(display, window, rect.x, rect.y, static_cast<unsigned>(rect.width),
               static_cast<unsigned>(rect.height), False);
}

}  // namespace

void X11PaintStatusText(WindowRecord& record) {
    X11State& xs = X11();
    StatusTextState& status = record.status;
    if (xs.display == nullptr || record.handle == 0 || record.destroyed || status.text.empty()) {
        return;
    }
    const PixelRect rect = Scaled(status);
    Clear(xs.display, record.handle, rect);
    if (status.draw == nullptr) {
        status.draw = XftDrawCreate(xs.display, record.handle, xs.visual, xs.colormap);
    }
    if (status.gc == nullptr) status.gc = X11CreateGC(record.handle);
    const ControlTextFont font = ControlTextFontNow();
    const std::string shown = FittedText(status.text, rect.width, [&font](std::string_view text) {
        return ControlTextWidth(font, std::string(text));
    });
    const int baseline = rect.y + (rect.height - (font.ascent + font.descent)) / 2 + font.ascent;
    DrawControlText(font, status.draw, status.gc, record.handle, rect.x, baseline, shown);
}

void X11SetWindowStatusText(int64_t number, int x, int y, int width, int height, const char* text) {
    Display* display = X11().display;
    WindowRecord* record = WindowTable().Find(number);
    if (display == nullptr || record == nullptr || record->handle == 0 || record->destroyed) return;
    StatusTextState& status = record->status;
    if (!status.text.empty()) Clear(display, record->handle, Scaled(status));
    status.text = text != nullptr ? text : "";
    status.x = x;
    status.y = y;
    status.width = width;
    status.height = height;
    X11PaintStatusText(*record);
    XFlush(display);
}
