// Text in the control font, for the layer's own controls (the push button,
// the message box). The font is the desktop's sans through Xft; where Xft
// finds no font at all (a minimal system with no fonts installed), the X
// server's core font "fixed", which every server has built in, stands in,
// so that a label is never left blank.
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "ui/x11/display_x11.h"

struct ControlTextFont {
    XftFont* xft = nullptr;       // the control font, when Xft found one
    XFontStruct* core = nullptr;  // otherwise the server's core font
    int ascent = 0, descent = 0;  // pixels above and below the baseline
};

// The font to draw control text with; both fonts nullptr when there is no
// display or not even a core font. Main thread only.
ControlTextFont ControlTextFontNow();

// Width of a UTF-8 text in pixels (the advance to where the next text
// would start).
int ControlTextWidth(const ControlTextFont& font, const std::string& text);

// Draws a UTF-8 text in a colour (0xBBGGRR; the button text colour unless
// told) with its baseline at y: Xft
// text through `draw`, core text with `gc` (whose font and foreground it
// changes) on `drawable`. Characters the core font's Latin-1 lacks show
// as '?'.
void DrawControlText(const ControlTextFont& font, XftDraw* draw, GC gc, Drawable drawable, int x,
                     int y, const std::string& text, uint32_t colour = COLOUR_BUTTON_TEXT);
