// The window's popup menu: what the platform shows and how the choice comes
// back. Windows shows its own menu; X11 one drawn by the layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// command 0 makes a separator line (its other fields are not looked at).
// Other commands go from 1 to 65535: a Windows menu identifier reaches the
// window as the low word of WM_COMMAND.
struct PopupMenuItem {
    int64_t command = 0;
    std::string text;  // UTF-8
    bool checked = false;
    bool enabled = true;
};

// The highest command an item may carry.
constexpr int64_t POPUP_MENU_LAST_COMMAND = 0xFFFF;

// Opens a popup menu for the window with this number: at the mouse pointer,
// or (atPointer false, for the keyboard) at the top-left corner of its client
// area, moved as far as needed to lie on the screen. Returns at once on X11
// and when the menu has closed on Windows. A chosen item arrives later as
// EVENT_MENU with the item's command as object and the window number as
// window; a menu dismissed gives no event. False, and no menu, for an
// unknown window, no items, or a command out of range. On the window's
// thread; one menu is open at a time.
bool ShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer);

// Whether the window layer can keep a window above the others
// (SetWindowOnTop): Wayland has no such request for ordinary windows.
bool WindowOnTopOffered();
