// The X11 layer's controls are lettered with the same FreeType face as the
// Wayland layer's (ui/text_freetype), so that their pictures are the same on
// both: the desktop's sans at 9 points at the scale in use.
#pragma once

#include "ui/text_freetype.h"

// Opens the face for the scale in use; at start and at each scale change.
void X11OpenControlFace();

// The face to measure and draw control text with. Main thread only.
const ControlTextFace& X11ControlFace();
