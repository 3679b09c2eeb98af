// The message side of the X11 layer: what FetchPlatformMessage returns and in
// which order, what the message hook sees and suppresses, close requests and
// the window's destruction by another client, messages posted from other
// threads, and the timer rules of WM_TIMER.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/x11/x11_test_support.h"
#include "ui/message_loop.h"

namespace {

struct SeenMessage {
    void* window;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

std::vector<SeenMessage> seen;
int64_t hookResult = HOOK_PASS_THROUGH;

int64_t RecordingHook(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    seen.push_back(SeenMessage{window, message, wParam, lParam});
    return hookResult;
}

class DispatchX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UiLayerInit()) GTEST_SKIP() << "no X display to test with";
        seen.clear();
        hookResult = HOOK_PASS_THROUGH;
    }
    void TearDown() override { SetMessageHook(nullptr); }

    // A fresh top-level window under `number`, shown and settled.
    Window MakeWindow(int64_t number) {
        void* handle =
            CreateTopWindow(number, 40, 40, 200, 100, "dispatch test", 0xC80000, nullptr);
        EXPECT_NE(handle, nullptr);
        Settle();
        return AsWindow(handle);
    }

    size_t CountSeen(uint32_t message) {
        size_t count = 0;
        for (const SeenMessage& m : seen) count += m.message == message;
        return count;
    }
};

TEST_F(DispatchX11, TimerTickReturns275ThenTheQueuedTimerEvent) {
    MakeWindow(3001);
    ASSERT_EQ(StartWindowTimer(3001, 2, 1), 2u);
    int64_t first = 0;
    ASSERT_TRUE(RepeatUntil([&] { return (first = FetchEvent(50)) == MESSAGE_TIMER; }));
    EXPECT_EQ(EventWParam(), 2u);
    EXPECT_EQ(FetchEvent(0), EVENT_TIMER);
    EXPECT_EQ(EventTimerId(), 2);
    EXPECT_EQ(EventWindow(), 3001);
    StartWindowTimer(3001, 2, 0x7FFFFFFF);  // park it
}

TEST_F(DispatchX11, TimersFireNoFasterThanEveryTenMilliseconds) {
    MakeWindow(3002);
    // Asked for 1 ms, the timer runs at 10 ms: tick k cannot come before
    // k times 10 ms after the start, however the ticks are taken.
    auto start = std::chrono::steady_clock::now();
    StartWindowTimer(3002, 7, 1);
    std::vector<std::chrono::steady_clock::time_point> ticks;
    ASSERT_TRUE(RepeatUntil(
        [&] {
            if (FetchPlatformMessage(50) == MESSAGE_TIMER && EventWParam() == 7) {
                ticks.push_back(std::chrono::steady_clock::now());
            }
            return ticks.size() == 4;
        },
        5000));
    StartWindowTimer(3002, 7, 0x7FFFFFFF);
    for (size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_GE(ticks[i] - start, std::chrono::milliseconds(10 * (i + 1))) << "tick " << i + 1;
    }
}

TEST_F(DispatchX11, ALateTimerGivesOneTickNotABurst) {
    MakeWindow(3003);
    StartWindowTimer(3003, 4, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));  // about 12 intervals
    int ticks = 0;
    std::chrono::steady_clock::time_point first;
    while (int64_t message = FetchPlatformMessage(0)) {
        if (message != MESSAGE_TIMER) continue;
        if (ticks++ == 0) first = std::chrono::steady_clock::now();
    }
    auto drained = std::chrono::steady_clock::now() - first;
    StartWindowTimer(3003, 4, 0x7FFFFFFF);
    // One tick for all the missed intervals; another only if a whole new
    // interval passed while draining.
    EXPECT_GE(ticks, 1);
    EXPECT_LE(ticks, 1 + drained / std::chrono::milliseconds(10));
}

// A resting timer gives no tick until its rest ends or another message is
// taken; from then on it ticks at its interval again.
TEST_F(DispatchX11, ARestingTimerTicksAgainAtTheEndOfItsRestOrWithTheNextMessage) {
    Window window = MakeWindow(3014);
    auto tickWithin = [](int milliseconds) {
        return RepeatUntil([] { return FetchPlatformMessage(20) == MESSAGE_TIMER; }, milliseconds);
    };
    StartWindowTimer(3014, 6, 10);
    ASSERT_TRUE(tickWithin(1000));

    auto rested = std::chrono::steady_clock::now();
    RestWindowTimer(3014, 6, rested + std::chrono::milliseconds(150));
    ASSERT_TRUE(tickWithin(3000));
    EXPECT_GE(std::chrono::steady_clock::now() - rested, std::chrono::milliseconds(150));
    ASSERT_TRUE(tickWithin(1000)) << "ticking again after the rest";

    RestWindowTimer(3014, 6, std::chrono::steady_clock::time_point::max());
    EXPECT_FALSE(tickWithin(200));
    PostWindowMessage(reinterpret_cast<void*>(static_cast<uintptr_t>(window)), MESSAGE_CAPTURE_DATA,
                      0, 0);
    EXPECT_EQ(FetchPlatformMessage(100), MESSAGE_CAPTURE_DATA);
    EXPECT_TRUE(tickWithin(1000)) << "a message ends the rest";
    StartWindowTimer(3014, 6, 0x7FFFFFFF);  // park it
}

TEST_F(DispatchX11, UnknownWindowGetsNoTimer) {
    EXPECT_EQ(StartWindowTimer(987654, 2, 10), 0u);
}

TEST_F(DispatchX11, RepeatedTimerEventsCoalesceInTheQueue) {
    MakeWindow(3004);
    StartWindowTimer(3004, 5, 10);
    int ticks = 0;
    ASSERT_TRUE(RepeatUntil([&] {
        ticks += FetchPlatformMessage(50) == MESSAGE_TIMER;
        return ticks == 2;
    }));
    StartWindowTimer(3004, 5, 0x7FFFFFFF);
    EXPECT_EQ(NextQueued(), EVENT_TIMER);
    EXPECT_EQ(NextQueued(), 0);
}

TEST_F(DispatchX11, HookSeesTheTimerFirstAndCanSuppressItsEvent) {
    Window window = MakeWindow(3005);
    SetMessageHook(RecordingHook);
    hookResult = 0;
    StartWindowTimer(3005, 9, 10);
    ASSERT_TRUE(RepeatUntil([&] { return FetchPlatformMessage(50) == MESSAGE_TIMER; }));
    StartWindowTimer(3005, 9, 0x7FFFFFFF);
    ASSERT_GE(CountSeen(MESSAGE_TIMER), 1u);
    EXPECT_EQ(seen.back().window, reinterpret_cast<void*>(static_cast<uintptr_t>(window)));
    EXPECT_EQ(seen.back().wParam, 9u);
    EXPECT_EQ(NextQueued(), 0) << "a hook result other than HOOK_PASS_THROUGH queues nothing";
}

TEST_F(DispatchX11, PerWindowHookTakesPrecedenceOverTheThreadHook) {
    Window window = MakeWindow(3006);
    std::vector<uint32_t> perWindow;
    static std::vector<uint32_t>* target = nullptr;
    target = &perWindow;
    SetMessageHook(RecordingHook);
    SetMessageHook(
        [](void*, uint32_t message, uint64_t, int64_t) -> int64_t {
            target->push_back(message);
            return HOOK_PASS_THROUGH;
        },
        3006);
    SendCloseRequest(window);
    ASSERT_TRUE(PumpUntil([&] { return !perWindow.empty(); }));
    SetMessageHook(nullptr, 3006);
    EXPECT_EQ(perWindow.front(), MESSAGE_CLOSE);
    EXPECT_EQ(CountSeen(MESSAGE_CLOSE), 0u);
}

TEST_F(DispatchX11, CloseRequestOnlyQueuesTheCloseEvent) {
    Window window = MakeWindow(3007);
    SendCloseRequest(window);
    int64_t message = 0;
    ASSERT_TRUE(RepeatUntil([&] { return (message = FetchPlatformMessage(50)) == MESSAGE_CLOSE; }));
    EXPECT_EQ(FetchEvent(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(EventControl(), 3007);
    EXPECT_EQ(EventWindow(), 3007);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(TestDisplay(), window, &attributes));
    EXPECT_EQ(attributes.map_state, IsViewable) << "the window stays on screen";
}

// Another client destroys the window: a close request, made again with each
// tick, so that the application cannot lose it by draining its events.
TEST_F(DispatchX11, WindowDestroyedByAnotherClientAsksToCloseOnEveryTick) {
    Window window = MakeWindow(3013);
    Display* other = XOpenDisplay(DisplayString(TestDisplay()));
    ASSERT_NE(other, nullptr);
    XDestroyWindow(other, window);
    XCloseDisplay(other);
    ASSERT_TRUE(PumpUntil([] { return NextQueued() == EVENT_CLOSE_WINDOW; }));
    EXPECT_EQ(EventWindow(), 3013);
    Settle();
    ASSERT_EQ(StartWindowTimer(3013, 2, 10), 2u);
    ASSERT_TRUE(RepeatUntil([] { return FetchPlatformMessage(50) == MESSAGE_TIMER; }));
    EXPECT_EQ(NextQueued(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(NextQueued(), EVENT_TIMER);
    StartWindowTimer(3013, 2, 0x7FFFFFFF);  // park it
}

TEST_F(DispatchX11, PostedBufferDoneMessagePassesTheHookAndQueuesNothing) {
    Window window = MakeWindow(3008);
    SetMessageHook(RecordingHook);
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostWindowMessage(reinterpret_cast<void*>(static_cast<uintptr_t>(window)),
                          MESSAGE_CAPTURE_DATA, 0x1234, 0x5678);
    });
    // A blocking wait wakes for a message posted from another thread.
    int64_t message = FetchPlatformMessage(-1);
    poster.join();
    EXPECT_EQ(message, MESSAGE_CAPTURE_DATA);
    EXPECT_EQ(EventWParam(), 0x1234u);
    EXPECT_EQ(EventLParam(), 0x5678);
    ASSERT_EQ(CountSeen(MESSAGE_CAPTURE_DATA), 1u);
    EXPECT_EQ(seen.back().wParam, 0x1234u);
    EXPECT_EQ(seen.back().lParam, 0x5678);
    EXPECT_EQ(NextQueued(), 0);
}

TEST_F(DispatchX11, PostedMessagesComeOutInPostingOrder) {
    Window window = MakeWindow(3009);
    void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(window));
    for (int i = 1; i <= 5; ++i) PostWindowMessage(handle, MESSAGE_CAPTURE_DATA, 0, i);
    std::vector<int64_t> order;
    while (order.size() < 5) {
        if (FetchPlatformMessage(100) == MESSAGE_CAPTURE_DATA) order.push_back(EventLParam());
    }
    EXPECT_EQ(order, (std::vector<int64_t>{1, 2, 3, 4, 5}));
}

TEST_F(DispatchX11, PollReturnsZeroWhenNothingIsPending) {
    MakeWindow(3010);
    EXPECT_EQ(PollEvent(), 0);
    EXPECT_EQ(FetchPlatformMessage(0), 0);
}

TEST_F(DispatchX11, TimeoutReturnsZero) {
    MakeWindow(3011);
    EXPECT_EQ(FetchEvent(30), 0);
}

TEST_F(DispatchX11, ExposeGivesPaintThenTheRepaintEvent) {
    Window window = MakeWindow(3012);
    XClearArea(TestDisplay(), window, 0, 0, 0, 0, True);
    XFlush(TestDisplay());
    int64_t message = 0;
    ASSERT_TRUE(RepeatUntil([&] { return (message = FetchPlatformMessage(50)) == MESSAGE_PAINT; }));
    EXPECT_EQ(NextQueued(), EVENT_REPAINT);
    EXPECT_EQ(EventWindow(), 3012);
}

}  // namespace
