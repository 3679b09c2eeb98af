// Tab navigation without a dialog manager: the candidates are the active
// window's enabled, visible WS_TABSTOP descendants in EnumChildWindows order.
// Composite controls (an editable ComboBoxEx, an IP address field) count as
// one stop, and an MDI child is a root of its own.
#include "ui/win32/tab_navigation_win32.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "system/windows_api_win32.h"

namespace {

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) == 0) return false;
    return _wcsicmp(className, name) == 0;
}

// Root and current control as the focus lies now.
void FindRootAndCurrent(HWND* root, HWND* current) {
    *root = GetActiveWindow();
    *current = nullptr;
    HWND focus = GetFocus();
    if (*root == nullptr || focus == nullptr || !IsChild(*root, focus)) return;
    *current = focus;
    for (HWND walk = focus; walk != nullptr && walk != *root; walk = GetParent(walk)) {
        if (HasClass(walk, L"ComboBoxEx32") && (GetWindowLongPtrW(walk, GWL_STYLE) & 1)) {
            *current = walk;
        } else if (HasClass(walk, L"SysIPAddress32")) {
            *current = walk;
        } else if (HasClass(walk, L"MDI_ChildClass")) {
            *root = walk;
            *current = walk == focus ? nullptr : *current;
            break;
        }
    }
}

BOOL CALLBACK CollectTabStop(HWND window, LPARAM list) {
    if (IsWindowEnabled(window) && IsWindowVisible(window) &&
        (GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> TabStops(HWND root) {
    std::vector<HWND> stops;
    EnumChildWindows(root, CollectTabStop, reinterpret_cast<LPARAM>(&stops));
    return stops;
}

}  // namespace

void FocusNextTabStop() {
    HWND root, current;
    FindRootAndCurrent(&root, &current);
    if (root == nullptr) return;
    std::vector<HWND> stops = TabStops(root);
    if (stops.empty()) return;
    if (current == nullptr) {
        SetFocus(stops.front());
        return;
    }
    auto found = std::find(stops.begin(), stops.end(), current);
    if (found == stops.end()) return;
    ++found;
    SetFocus(found == stops.end() ? stops.front() : *found);
}

void FocusPreviousTabStop() {
    HWND root, current;
    FindRootAndCurrent(&root, &current);
    if (root == nullptr) return;
    std::vector<HWND> stops = TabStops(root);
    if (stops.empty()) return;
    auto found = std::find(stops.begin(), stops.end(), current);
    if (current == nullptr || found == stops.end() || found == stops.begin()) {
        SetFocus(stops.back());
        return;
    }
    SetFocus(*(found - 1));
}
