// The status line's picture: a line of text on the window's background,
// after the button when it fits there, else broken across the button (see
// ui/fitted_text), its head right-aligned before the button so that the
// line reads on across it. Both rooms are filled with the background first,
// so a shorter text leaves nothing of a longer one.
#pragma once

#include <cstdint>
#include <string>

#include "ui/control_picture.h"

// Draws `text` into `picture`, whose pixel (0, 0) lies at (originX,
// originY) of the window; the rooms are in window pixels, at the scale the
// text's face is open at. `background` is 0xBBGGRR.
void DrawStatusLine(const ControlPicture& picture, int originX, int originY,
                    const ControlRect& room, const ControlRect& headRoom, const std::string& text,
                    const ControlText& face, uint32_t background);
