// The layer's own popup menu on X11 (popup_menu_x11.cpp): what the rest of
// the layer tells it, and what tests look at.
#pragma once

#include <X11/Xlib.h>

// Closes the open menu, giving no choice, when it belongs to this top-level
// window (0: whichever window it belongs to). For the owner's loss of the
// focus, its iconification or destruction, a message box, the layer's end.
void X11DismissPopupMenu(Window owner);

// The open menu's window, 0 when none is open.
Window X11PopupMenuWindow();
