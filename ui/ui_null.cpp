// Headless implementation of the window layer and of launching (see
// ui_null.h). Handles are fake, non-null values.
#include "ui/ui_null.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "ui/event_queue.h"
#include "ui/launch.h"
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
std::vector<std::string> boxes;
MessageHook threadHook = nullptr;

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
void PlaceControl(int64_t, int, int, int, int) {}
void SetScaleChangeHandler(int64_t, ScaleChangeHandler) {}
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
            QueueEvent(EVENT_CONTROL, message.lParam, message.window,
                       static_cast<int64_t>((message.wParam >> 16) & 0xFFFF));
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
    addresses.emplace_back(address ? address : "");
    return 1;
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
    boxes.clear();
    threadHook = nullptr;
}

int64_t NullWindowNumber(void* handle) {
    return (static_cast<int64_t>(reinterpret_cast<intptr_t>(handle)) - 0x10000) / 16;
}
