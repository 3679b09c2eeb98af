// The popup menu on Windows is the system's own (TrackPopupMenu), which
// screen readers know. Without TPM_RETURNCMD the chosen item's identifier is
// posted to the owner window as WM_COMMAND with a high word of 0, which the
// window procedure turns into EVENT_MENU; a dismissed menu posts nothing.
// TrackPopupMenu runs a modal loop until the menu closes; the window
// procedure sees WM_ENTERMENULOOP and WM_EXITMENULOOP around it and keeps
// the application's events served meanwhile (modal_loop_win32.h).
#include <string>
#include <vector>

#include "system/text_win32.h"
#include "system/windows_api_win32.h"
#include "ui/popup_menu.h"
#include "ui/win32/windows_win32.h"

namespace {

bool ValidItems(const std::vector<PopupMenuItem>& items) {
    if (items.empty()) return false;
    for (const PopupMenuItem& item : items) {
        if (item.command < 0 || item.command > POPUP_MENU_LAST_COMMAND) return false;
    }
    return true;
}

// A single & in a menu text marks the next letter as the item's access key;
// the item's text is shown as it is.
std::wstring MenuText(const std::string& text) {
    std::wstring wide = WidenText(text.c_str());
    std::wstring escaped;
    escaped.reserve(wide.size());
    for (wchar_t c : wide) {
        if (c == L'&') escaped.push_back(L'&');
        escaped.push_back(c);
    }
    return escaped;
}

HMENU BuildMenu(const std::vector<PopupMenuItem>& items) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return nullptr;
    for (const PopupMenuItem& item : items) {
        BOOL added;
        if (item.command == 0) {
            added = AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            std::wstring text = MenuText(item.text);
            UINT flags = MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED) |
                         (item.enabled ? MF_ENABLED : MF_GRAYED);
            added = AppendMenuW(menu, flags, static_cast<UINT_PTR>(item.command), text.c_str());
        }
        if (!added) {
            DestroyMenu(menu);
            return nullptr;
        }
    }
    return menu;
}

}  // namespace

bool WindowOnTopOffered() {
    return true;
}

bool ShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || record->handle == nullptr || !ValidItems(items)) return false;
    HWND owner = record->handle;
    POINT point = {0, 0};
    if (atPointer) {
        if (!GetCursorPos(&point)) return false;
    } else if (!ClientToScreen(owner, &point)) {
        return false;
    }
    HMENU menu = BuildMenu(items);
    if (menu == nullptr) return false;
    // The system keeps the menu on the monitor, flipping it to the left of
    // or above the point where it would not fit.
    BOOL shown = TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, point.x,
                                point.y, 0, owner, nullptr);
    DestroyMenu(menu);
    return shown != FALSE;
}
