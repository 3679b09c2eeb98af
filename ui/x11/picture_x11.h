// Showing a control's picture (ui/control_picture.h) on an X drawable.
#pragma once

#include <X11/Xlib.h>

#include "ui/control_picture.h"

// Puts the part of the picture at the same place on `target` (a window or
// pixmap of the default depth) with XPutImage. Main thread only.
void X11ShowPicture(Drawable target, const ControlPicture& picture, const ControlRect& part);

// Puts the part of the picture on `target` with its corner at (x, y).
void X11ShowPictureAt(Drawable target, const ControlPicture& picture, const ControlRect& part,
                      int x, int y);
