// Headless implementation of the window layer and of launching (see
// ui_null.h). Handles are fake, non-null values.
#include "ui/ui_null.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "ui/event_queue.h"
#include "ui/launch.h"
#include "ui/message_loop.h"
#include "ui/platform_ui.h"

namespace {

struct PostedMessage {
    int64_t window;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

std::mutex lock;
std::condition_variable postedOrIdle;  // a message was posted, or a fetch began to wait
std::deque<PostedMessage> posted;
int blockedFetches = 0;  // fetches waiting with no message and no time limit
std::vector<NullTimer> timers;
std::vector<std::string> addresses;
bool addressesFail = false;
std::atomic<int64_t> refusedAddresses{0};
std::vector<std::string> statusTexts;
std::vector<std::string> boxes;
MessageHook threadHook = nullptr;
std::vector<NullShownMenu> shownMenus;
bool menuOpen = false;
std::vector<int64_t> windowsOnTop;
AppEventHandler modalLoopHandler = nullptr;

void* FakeHandle(int64_t number) {
    return reinterpret_cast<void*>(0x10000 + number * 16);
}

}  // namespace

bool UiLayerInit() {
    return true;
}
void UiLayerClose() {}

// There is no display to lose.
void SetDisplayLostHandler(DisplayLostHandler) {}

void* CreateTopWindow(int64_t number, int, int, int, int, const char*, uint32_t, void*) {
    return FakeHandle(number);
}

void* CreatePushButton(int64_t number, int, int, int, int, const char*, uint32_t) {
    return FakeHandle(number + 100000);
}

void SetWindowBackground(int64_t, int32_t) {}

void SetWindowStatusText(int64_t, const TextRoom&, const TextRoom&, const char* text) {
    std::lock_guard<std::mutex> hold(lock);
    statusTexts.emplace_back(text ? text : "");
}
void PlaceControl(int64_t, int, int, int, int) {}
void SetScaleChangeHandler(int64_t, ScaleChangeHandler) {}
// No screen: every size fits.
void KeepWindowOnScreen(int64_t) {}
int GetOsVersionCode() {
    return 200;
}

int ShowMessageBox(const char* title, const char* text, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::lock_guard<std::mutex> hold(lock);
    boxes.push_back(std::string(title) + "|" + text);
    return 1;
}

void SetMessageHook(MessageHook hook, int64_t) {
    threadHook = hook;
}

void SetModalLoopEventHandler(AppEventHandler handler) {
    std::lock_guard<std::mutex> hold(lock);
    modalLoopHandler = handler;
}

void SetWindowOnTop(int64_t window, bool on) {
    std::lock_guard<std::mutex> hold(lock);
    auto found = std::find(windowsOnTop.begin(), windowsOnTop.end(), window);
    if (on && found == windowsOnTop.end()) windowsOnTop.push_back(window);
    if (!on && found != windowsOnTop.end()) windowsOnTop.erase(found);
}

// The checks are those of every layer, so that a test here finds what a
// real one would refuse.
bool WindowOnTopOffered() {
    return true;
}

bool ShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer) {
    if (items.empty()) return false;
    for (const PopupMenuItem& item : items) {
        if (item.command < 0 || item.command > POPUP_MENU_LAST_COMMAND) return false;
    }
    std::lock_guard<std::mutex> hold(lock);
    shownMenus.push_back(NullShownMenu{window, items, atPointer});
    menuOpen = true;
    return true;
}

uint64_t StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs) {
    std::lock_guard<std::mutex> hold(lock);
    timers.push_back(NullTimer{window, timerId, intervalMs < 10 ? 10u : intervalMs});
    return timerId;
}

void RestWindowTimer(int64_t window, uint64_t timerId, std::chrono::steady_clock::time_point) {
    std::lock_guard<std::mutex> hold(lock);
    for (NullTimer& timer : timers) {
        if (timer.window == window && timer.id == timerId) ++timer.rests;
    }
}

// The stand-in's timers never fire by themselves: nothing rests to wake.
void WakeRestingTimers() {}

int64_t FetchPlatformMessage(int32_t timeoutMs) {
    PostedMessage message;
    {
        // Sleeps until a message is posted, as a real message queue does,
        // so an event loop on this layer never spins.
        std::unique_lock<std::mutex> hold(lock);
        if (posted.empty() && timeoutMs != 0) {
            if (timeoutMs < 0) {
                ++blockedFetches;
                postedOrIdle.notify_all();
                postedOrIdle.wait(hold, [] { return !posted.empty(); });
                --blockedFetches;
            } else {
                postedOrIdle.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                      [] { return !posted.empty(); });
            }
        }
        if (posted.empty()) return 0;
        message = posted.front();
        posted.pop_front();
    }
    SetEventMessageParams(message.wParam, message.lParam);
    if (threadHook) {
        int64_t result =
            threadHook(FakeHandle(message.window), message.message, message.wParam, message.lParam);
        if (result != HOOK_PASS_THROUGH) return message.message;
    }
    switch (message.message) {
        case MESSAGE_TIMER:
            QueueEvent(EVENT_TIMER, static_cast<int64_t>(message.wParam), message.window, 0);
            break;
        case MESSAGE_CLOSE:
            QueueEvent(EVENT_CLOSE_WINDOW, message.window, message.window, 0);
            break;
        case MESSAGE_COMMAND:
            // A menu's command names no control, as WM_COMMAND from a menu.
            if (message.lParam == 0) {
                QueueEvent(EVENT_MENU, static_cast<int64_t>(message.wParam & 0xFFFF),
                           message.window, 0);
            } else {
                QueueEvent(EVENT_CONTROL, message.lParam, message.window,
                           static_cast<int64_t>((message.wParam >> 16) & 0xFFFF));
            }
            break;
        case MESSAGE_CONTEXTMENU:
            // lParam -1: asked from the keyboard, as WM_CONTEXTMENU says it.
            QueueEvent(EVENT_RIGHT_CLICK, 0, message.window, message.lParam == -1 ? 1 : 0);
            break;
        default:
            break;
    }
    return message.message;
}

double ScaleFactorX() {
    return 1.0;
}
double ScaleFactorY() {
    return 1.0;
}

int OpenAddress(const char* address) {
    std::lock_guard<std::mutex> hold(lock);
    if (addressesFail) return 0;
    addresses.emplace_back(address ? address : "");
    return 1;
}

int64_t RefusedAddressCount() {
    return refusedAddresses.load();
}

void NullFailAddresses(bool fail) {
    std::lock_guard<std::mutex> hold(lock);
    addressesFail = fail;
}

void NullRefuseAddress() {
    refusedAddresses.fetch_add(1);
}

std::vector<std::string> NullStatusTexts() {
    std::lock_guard<std::mutex> hold(lock);
    return statusTexts;
}

void NullPostMessage(int64_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
    NullPostMessageFromAnyThread(window, message, wParam, lParam);
}

void NullPostMessageFromAnyThread(int64_t window, uint32_t message, uint64_t wParam,
                                  int64_t lParam) {
    {
        std::lock_guard<std::mutex> hold(lock);
        posted.push_back(PostedMessage{window, message, wParam, lParam});
    }
    postedOrIdle.notify_all();
}

bool NullWaitUntilIdle(int32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(lock);
    return postedOrIdle.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [] { return posted.empty() && blockedFetches > 0; });
}

std::vector<NullTimer> NullTimers() {
    std::lock_guard<std::mutex> hold(lock);
    return timers;
}

std::vector<std::string> NullOpenedAddresses() {
    std::lock_guard<std::mutex> hold(lock);
    return addresses;
}

std::vector<std::string> NullMessageBoxes() {
    std::lock_guard<std::mutex> hold(lock);
    return boxes;
}

void ResetNullUi() {
    std::lock_guard<std::mutex> hold(lock);
    posted.clear();
    timers.clear();
    addresses.clear();
    addressesFail = false;
    statusTexts.clear();
    boxes.clear();
    threadHook = nullptr;
    shownMenus.clear();
    menuOpen = false;
    windowsOnTop.clear();
    modalLoopHandler = nullptr;
}

int64_t NullWindowNumber(void* handle) {
    return (static_cast<int64_t>(reinterpret_cast<intptr_t>(handle)) - 0x10000) / 16;
}

std::vector<NullShownMenu> NullShownMenus() {
    std::lock_guard<std::mutex> hold(lock);
    return shownMenus;
}

bool NullChooseMenuItem(int64_t command) {
    int64_t window = 0;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!menuOpen || command == 0) return false;
        const std::vector<PopupMenuItem>& items = shownMenus.back().items;
        auto found = std::find_if(items.begin(), items.end(), [&](const PopupMenuItem& item) {
            return item.command == command && item.enabled;
        });
        if (found == items.end()) return false;
        menuOpen = false;
        window = shownMenus.back().window;
    }
    QueueEvent(EVENT_MENU, command, window, 0);
    return true;
}

void NullDismissMenu() {
    std::lock_guard<std::mutex> hold(lock);
    menuOpen = false;
}

std::vector<int64_t> NullWindowsOnTop() {
    std::lock_guard<std::mutex> hold(lock);
    return windowsOnTop;
}

AppEventHandler NullModalLoopEventHandler() {
    std::lock_guard<std::mutex> hold(lock);
    return modalLoopHandler;
}
