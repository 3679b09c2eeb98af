// How the top-level window procedure turns messages into events, and what
// WaitEvent hands out: first the number of the message it dispatched, then
// the event that the message queued.
#include <gtest/gtest.h>

#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t WINDOW = 4101;

class EventMapping : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLayerState();
        window_ = static_cast<HWND>(
            CreateTopWindow(WINDOW, 40, 40, 300, 120, "events", CAPTION_AND_SYSTEM_MENU, nullptr));
        ASSERT_NE(window_, nullptr);
        DrainEvents();
        ResetEventState();
    }
    void TearDown() override {
        SetMessageHook(nullptr);
        if (window_) DestroyWindow(window_);
        DrainEvents();
    }
    HWND window_ = nullptr;
};

int64_t seenByHook = 0;
int64_t SuppressTimers(void*, uint32_t message, uint64_t, int64_t) {
    if (message == WM_TIMER) return 0;
    return HOOK_PASS_THROUGH;
}
int64_t CountWaveData(void*, uint32_t message, uint64_t, int64_t) {
    if (message == MESSAGE_CAPTURE_DATA) ++seenByHook;
    return HOOK_PASS_THROUGH;
}
int64_t AnswerSeven(void*, uint32_t message, uint64_t, int64_t) {
    return message == WM_CLOSE ? 7 : HOOK_PASS_THROUGH;
}

TEST_F(EventMapping, TimerTickGivesTheMessageNumberThenTheTimerEvent) {
    ASSERT_NE(StartWindowTimer(WINDOW, 2, 1), 0u);
    int64_t code = 0;
    for (int i = 0; i < 200 && code != WM_TIMER; ++i) code = FetchEvent(2000);
    KillTimer(window_, 2);
    ASSERT_EQ(code, 275);
    EXPECT_EQ(EventWParam(), 2u);
    EXPECT_EQ(WaitEvent(), EVENT_TIMER);
    EXPECT_EQ(EventTimerId(), 2);
    EXPECT_EQ(EventWindow(), WINDOW);
    EXPECT_EQ(EventWParam(), 0u);  // the result came from the queue
}

TEST_F(EventMapping, TimerOnUnknownWindowStartsNothing) {
    EXPECT_EQ(StartWindowTimer(987654, 2, 10), 0u);
}

TEST_F(EventMapping, WaveDataMessageComesOutAloneAndReachesTheHook) {
    seenByHook = 0;
    SetMessageHook(CountWaveData);
    PostMessageW(window_, MESSAGE_CAPTURE_DATA, 0x1234, 0x5678);
    int64_t code = 0;
    for (int i = 0; i < 50 && code != 960; ++i) code = FetchEvent(2000);
    ASSERT_EQ(code, 960);
    EXPECT_EQ(EventWParam(), 0x1234u);
    EXPECT_EQ(EventLParam(), 0x5678);
    EXPECT_EQ(seenByHook, 1);
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(EventMapping, CloseRequestOnlyQueuesTheCloseEvent) {
    // The way the system menu and Alt+F4 ask.
    SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(PollEvent(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(EventControl(), WINDOW);
    EXPECT_EQ(EventWindow(), WINDOW);
    EXPECT_EQ(QueuedEventCount(), 0);
    DrainEvents();
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(EventMapping, TwoTicksWithoutFetchComeOutOnce) {
    SendMessageW(window_, WM_TIMER, 2, 0);
    SendMessageW(window_, WM_TIMER, 2, 0);
    EXPECT_EQ(QueuedEventCount(), 1);
    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    // Another timer id is another event.
    SendMessageW(window_, WM_TIMER, 2, 0);
    SendMessageW(window_, WM_TIMER, 3, 0);
    EXPECT_EQ(QueuedEventCount(), 2);
}

TEST_F(EventMapping, HookResultOtherThanPassThroughSuppressesTheEvent) {
    SetMessageHook(SuppressTimers);
    EXPECT_EQ(SendMessageW(window_, WM_TIMER, 2, 0), 0);
    EXPECT_EQ(QueuedEventCount(), 0);
    // The window's own hook comes before the thread's, and its result is the
    // message's result.
    SetMessageHook(AnswerSeven, WINDOW);
    EXPECT_EQ(SendMessageW(window_, WM_CLOSE, 0, 0), 7);
    EXPECT_EQ(QueuedEventCount(), 0);
    SendMessageW(window_, WM_TIMER, 2, 0);  // passed by the window's hook
    EXPECT_EQ(QueuedEventCount(), 1);
}

TEST_F(EventMapping, PollReturnsZeroWhenNothingIsPending) {
    DrainEvents();
    EXPECT_EQ(PollEvent(), 0);
    EXPECT_EQ(FetchEvent(30), 0);
}

TEST_F(EventMapping, EventControlAfterRawMessageReportsTheLastQueuedEvent) {
    SendMessageW(window_, WM_TIMER, 5, 0);
    ASSERT_EQ(PollEvent(), EVENT_TIMER);
    PostMessageW(window_, MESSAGE_CAPTURE_DATA, 0, 0);
    int64_t code = 0;
    for (int i = 0; i < 50 && code != 960; ++i) code = FetchEvent(2000);
    ASSERT_EQ(code, 960);
    EXPECT_EQ(EventControl(), 5);
}

TEST_F(EventMapping, SameBackgroundColourCausesNoRepaint) {
    SetWindowBackground(WINDOW, 0x123456);
    std::vector<SeenEvent> first = CollectEvents(300);
    bool repainted = false;
    for (const SeenEvent& event : first) repainted |= event.code == EVENT_REPAINT;
    EXPECT_TRUE(repainted);

    SetWindowBackground(WINDOW, 0x123456);
    for (const SeenEvent& event : CollectEvents(300)) EXPECT_NE(event.code, EVENT_REPAINT);
}

TEST_F(EventMapping, DestroyingTheWindowDropsItsEventsAndFreesItsNumber) {
    SendMessageW(window_, WM_TIMER, 2, 0);
    ASSERT_EQ(QueuedEventCount(), 1);
    DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_EQ(QueuedEventCount(), 0);
    EXPECT_EQ(StartWindowTimer(WINDOW, 2, 10), 0u);
    // The number can serve again, with a class of the same name.
    DrainEvents();
    window_ = static_cast<HWND>(
        CreateTopWindow(WINDOW, 40, 40, 300, 120, "again", CAPTION_AND_SYSTEM_MENU, nullptr));
    ASSERT_NE(window_, nullptr);
    EXPECT_NE(StartWindowTimer(WINDOW, 2, 10), 0u);
    KillTimer(window_, 2);
}

}  // namespace
