// Fetching one platform message for FetchEvent: wait for it as asked,
// let the active window's Tab accelerators take it, otherwise translate and
// dispatch it. Dispatching runs the window procedures, which may queue
// events; FetchEvent hands those out on its next calls.
#include "ui/win32/message_loop_win32.h"

#include <atomic>
#include <cwchar>

#include "system/windows_api_win32.h"
#include "ui/event_queue.h"
#include "ui/message_loop.h"
#include "ui/platform_ui.h"
#include "ui/win32/layer_win32.h"
#include "ui/win32/modal_loop_win32.h"
#include "ui/win32/windows_win32.h"

namespace {

constexpr wchar_t MESSAGE_WINDOW_CLASS[] = L"VellumtoneMessageWindow";
constexpr UINT UNREGISTER_CLASS_MESSAGE = WM_APP + 1;
constexpr DWORD WAKE_MASK = 0x5FF;  // QS_ALLINPUT without QS_RAWINPUT

thread_local MessageHook threadHook = nullptr;
// Run by the message loop each time before it waits.
std::atomic<int (*)()> loopTask{nullptr};
HWND messageWindow = nullptr;
UINT postedEventMessage = 0;

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == UNREGISTER_CLASS_MESSAGE) {
        wchar_t className[64];
        FormatWindowClassName(static_cast<int64_t>(lParam), className, 64);
        UnregisterClassW(className, Win32Instance());
        return 0;
    }
    if (postedEventMessage != 0 && message == postedEventMessage) {
        // An event posted from another thread: wParam = code, lParam = object.
        QueueEvent(static_cast<int32_t>(wParam), static_cast<int64_t>(lParam), -1, 0);
        Win32ServeModalLoop();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

bool HasClassPrefix(HWND window, const wchar_t* prefix) {
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) == 0) return false;
    return std::wcsncmp(className, prefix, std::wcslen(prefix)) == 0;
}

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) == 0) return false;
    return _wcsicmp(className, name) == 0;
}

// The active window's accelerator table, unless the focus is in a control
// that wants the keys itself: a hot-key field, or an editable rich-edit
// control while Tab alone is down.
HACCEL ActiveAccelerators(HWND active) {
    if (active == nullptr) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(active, &process);
    if (process != GetCurrentProcessId()) return nullptr;
    HWND carrier;
    int64_t number = FindWindowNumber(active, &carrier);
    if (number == -1 || carrier != active) return nullptr;
    WindowRecord* record = FindWindowRecord(number);
    if (record == nullptr) return nullptr;
    HWND focus = GetFocus();
    if (focus != nullptr) {
        if (IsClass(focus, HOTKEY_CLASSW)) return nullptr;
        bool tabAlone =
            KeyDown(VK_TAB) && !KeyDown(VK_CONTROL) && !KeyDown(VK_SHIFT) && !KeyDown(VK_MENU);
        if (tabAlone && HasClassPrefix(focus, L"Rich") &&
            !(SendMessageW(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY)) {
            return nullptr;
        }
    }
    return record->acceleratorTable;
}

void ShowKeyboardCues(HWND window) {
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
}

// The messages TranslateAccelerator can act on.
bool MayBeAccelerator(UINT message) {
    return IsKeyMessage(message) || message == WM_CHAR || message == WM_SYSCHAR;
}

// True when the active window's accelerators took the key.
bool TakenByAccelerators(MSG& message) {
    HWND active = GetActiveWindow();
    HACCEL accelerators = ActiveAccelerators(active);
    if (accelerators == nullptr) return false;
    if (IsKeyMessage(message.message) &&
        (KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT) || KeyDown(VK_MENU))) {
        ShowKeyboardCues(active);
    }
    if (!TranslateAcceleratorW(active, accelerators, &message)) return false;
    ShowKeyboardCues(active);
    return true;
}

// The letter, for the window that has the keyboard; the focused control
// (the button) still gets the key as it would anyway.
void QueueLetterKey(const MSG& message) {
    HWND top = GetAncestor(message.hwnd, GA_ROOT);
    HWND carrier = nullptr;
    const int64_t number = top != nullptr ? FindWindowNumber(top, &carrier) : -1;
    if (number != -1) QueueEvent(EVENT_LETTER_KEY, 0, number, static_cast<int64_t>(message.wParam));
}

void Dispatch(MSG& message) {
    // Finding the accelerators asks for the active window, the focus and the
    // Tab key, each a round trip to the server under Wine: only keys need
    // them, not the hundred timer ticks a second.
    if (MayBeAccelerator(message.message) && TakenByAccelerators(message)) return;
    if (message.message == WM_KEYDOWN && message.wParam >= 'A' && message.wParam <= 'Z' &&
        !KeyDown(VK_CONTROL) && !KeyDown(VK_SHIFT) && !KeyDown(VK_MENU)) {
        QueueLetterKey(message);
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace

MessageHook ThreadMessageHook() {
    return threadHook;
}

void SetMessageHook(MessageHook hook, int64_t window) {
    if (window == -1) {
        threadHook = hook;
        return;
    }
    WindowRecord* record = FindWindowRecord(window);
    if (record != nullptr) record->hook = hook;
}

void SetMessageLoopTask(int (*task)()) {
    loopTask.store(task);
}

void RunMessageLoopTask() {
    if (int (*task)() = loopTask.load(); task != nullptr) task();
}

int64_t FetchPlatformMessage(int32_t timeoutMs) {
    MSG message{};
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        int again = -1;
        if (int (*task)() = loopTask.load(); task != nullptr && timeoutMs != 0) again = task();
        if (timeoutMs == -1 && again < 0) {
            GetMessageW(&message, nullptr, 0, 0);
            break;
        }
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) break;
        if (timeoutMs == 0) return 0;
        DWORD wait = INFINITE;
        if (timeoutMs > 0) {
            ULONGLONG now = GetTickCount64();
            if (now >= deadline) return 0;
            wait = static_cast<DWORD>(deadline - now);
        }
        // The task's next look may come before any message.
        if (again >= 0 && static_cast<DWORD>(again) < wait) wait = static_cast<DWORD>(again);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, WAKE_MASK);
    }
    WakeRestingTimers();
    Dispatch(message);
    SetEventMessageParams(static_cast<uint64_t>(message.wParam),
                          static_cast<int64_t>(message.lParam));
    return message.message;
}

void CreateHiddenMessageWindow() {
    if (messageWindow != nullptr) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MessageWindowProc;
    windowClass.hInstance = Win32Instance();
    windowClass.lpszClassName = MESSAGE_WINDOW_CLASS;
    RegisterClassExW(&windowClass);
    postedEventMessage = RegisterWindowMessageW(L"VellumtonePostedEvent");
    messageWindow = CreateWindowExW(0, MESSAGE_WINDOW_CLASS, L"", WS_CAPTION, 0, 0, 1, 1, nullptr,
                                    nullptr, Win32Instance(), nullptr);
}

void DestroyHiddenMessageWindow() {
    if (messageWindow == nullptr) return;
    DestroyWindow(messageWindow);
    messageWindow = nullptr;
    UnregisterClassW(MESSAGE_WINDOW_CLASS, Win32Instance());
}

void UnregisterWindowClassLater(int64_t windowNumber) {
    if (messageWindow != nullptr) {
        PostMessageW(messageWindow, UNREGISTER_CLASS_MESSAGE, 0, static_cast<LPARAM>(windowNumber));
    }
}

bool PostWindowMessage(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    return PostMessageW(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != FALSE;
}

// Windows wakes the thread for each posted message; there is no later tick
// to leave it to.
bool PostWindowMessageByNextTick(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    return PostWindowMessage(window, message, wParam, lParam);
}
