// Control text through Xft or, without any Xft font, through the core font
// protocol: the server draws that text itself from its own font, so it needs
// nothing installed beside the program.
#include "ui/x11/control_text_x11.h"

#include <cstdint>

#include "ui/x11/display_x11.h"

namespace {

// The core font's characters are Latin-1 (the server's built-in "fixed"
// is ISO 8859-1; a two-byte font reads each byte with a first byte of 0):
// code points past it, and bytes that are no UTF-8, become '?'.
std::string Latin1Of(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        uint32_t code = lead;
        bool valid = true;
        if (lead >= 0xC0 && lead < 0xE0) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF8) {
            extra = 3;
            code = lead & 0x07;
        } else if (lead >= 0x80) {
            valid = false;  // a stray continuation byte, or no UTF-8 at all
        }
        valid = valid && text.size() - i > extra;
        for (size_t k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        out.push_back(valid && code <= 0xFF ? static_cast<char>(code) : '?');
        i += valid ? extra + 1 : 1;
    }
    return out;
}

}  // namespace

ControlTextFont ControlTextFontNow() {
    X11State& x = X11();
    ControlTextFont font;
    if (x.display == nullptr) return font;
    if (x.controlFont != nullptr) {
        font.xft = x.controlFont;
        font.ascent = x.controlFont->ascent;
        font.descent = x.controlFont->descent;
        return font;
    }
    if (x.coreFont == nullptr) x.coreFont = XLoadQueryFont(x.display, "fixed");
    if (x.coreFont != nullptr) {
        font.core = x.coreFont;
        font.ascent = x.coreFont->ascent;
        font.descent = x.coreFont->descent;
    }
    return font;
}

int ControlTextWidth(const ControlTextFont& font, const std::string& text) {
    if (text.empty()) return 0;
    if (font.xft != nullptr) {
        XGlyphInfo extents;
        XftTextExtentsUtf8(X11().display, font.xft, reinterpret_cast<const FcChar8*>(text.data()),
                           static_cast<int>(text.size()), &extents);
        return extents.xOff;
    }
    if (font.core != nullptr) {
        std::string latin1 = Latin1Of(text);
        return XTextWidth(font.core, latin1.data(), static_cast<int>(latin1.size()));
    }
    return 0;
}

void DrawControlText(const ControlTextFont& font, XftDraw* draw, GC gc, Drawable drawable, int x,
                     int y, const std::string& text, uint32_t colour) {
    X11State& xs = X11();
    if (text.empty() || xs.display == nullptr) return;
    if (font.xft != nullptr && draw != nullptr) {
        XftColor xftColour = X11XftColour(colour);
        XftDrawStringUtf8(draw, &xftColour, font.xft, x, y,
                          reinterpret_cast<const FcChar8*>(text.data()),
                          static_cast<int>(text.size()));
        XftColorFree(xs.display, xs.visual, xs.colormap, &xftColour);
    } else if (font.core != nullptr && gc != nullptr) {
        std::string latin1 = Latin1Of(text);
        XSetFont(xs.display, gc, font.core->fid);
        XSetForeground(xs.display, gc, X11PixelForColour(colour));
        XDrawString(xs.display, drawable, gc, x, y, latin1.data(), static_cast<int>(latin1.size()));
    }
}
