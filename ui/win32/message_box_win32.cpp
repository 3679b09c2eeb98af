// A modal message box that stays in front: the program's other windows are
// disabled and lose their topmost state while it is up, so that the box can
// neither hide behind them nor be bypassed, and get both back afterwards.
#include <vector>

#include "system/text_win32.h"
#include "system/windows_api_win32.h"
#include "ui/platform_ui.h"

namespace {

struct HeldWindow {
    HWND window;
    bool wasTopmost;
    bool disabled;
};

struct Collection {
    HWND foreground;
    std::vector<HeldWindow> held;
};

BOOL CALLBACK HoldWindow(HWND window, LPARAM parameter) {
    auto* collection = reinterpret_cast<Collection*>(parameter);
    if (!IsWindowVisible(window)) return TRUE;
    HeldWindow held{window, false, false};
    if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) {
        held.wasTopmost = true;
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (window != collection->foreground && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        held.disabled = true;
    }
    collection->held.push_back(held);
    return TRUE;
}

}  // namespace

int ShowMessageBox(const char* title, const char* text, uint32_t flags) {
    Collection collection;
    collection.foreground = GetForegroundWindow();
    HWND owner = nullptr;
    if (collection.foreground != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(collection.foreground, &process);
        if (process == GetCurrentProcessId()) owner = collection.foreground;
    }
    EnumThreadWindows(GetCurrentThreadId(), HoldWindow, reinterpret_cast<LPARAM>(&collection));

    std::wstring wideText = WidenText(text);
    std::wstring wideTitle = WidenText(title);
    int result = MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), flags);

    for (const HeldWindow& held : collection.held) {
        if (held.disabled) EnableWindow(held.window, TRUE);
        if (held.wasTopmost) {
            SetWindowPos(held.window, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    return result;
}
