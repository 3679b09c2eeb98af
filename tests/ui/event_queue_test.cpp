// The event queue's order, coalescing and dropping, and how FetchEvent
// interleaves queued events with platform messages.
#include "ui/event_queue.h"

#include <gtest/gtest.h>

#include "ui/messages.h"
#include "ui/platform_ui.h"
#include "ui/ui_null.h"

namespace {

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEventState();
        ResetNullUi();
    }
    void TearDown() override {
        ResetEventState();
        ResetNullUi();
    }
};

TEST_F(EventQueueTest, IdenticalEventsAtTheTailCoalesceOthersDoNot) {
    QueueEvent(EVENT_TIMER, 2, 1962, 0);
    QueueEvent(EVENT_TIMER, 2, 1962, 0);  // merges with the waiting one
    QueueEvent(EVENT_TIMER, 3, 1962, 0);  // other timer id
    QueueEvent(EVENT_TIMER, 2, 1962, 0);  // not the tail any more: appended
    QueueEvent(EVENT_TIMER, 2, 1962, 0, 0, nullptr, EVENT_FLAG_NO_COALESCE);
    QueueEvent(70000, 1, 1, 1);  // codes from 65536 up never merge
    QueueEvent(70000, 1, 1, 1);
    QueueEvent(EVENT_CONTROL, 3, 1962, 1);
    QueueEvent(EVENT_CONTROL, 3, 1962, 2);  // other data
    EXPECT_EQ(QueuedEventCount(), 8);

    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    EXPECT_EQ(EventTimerId(), 2);
    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    EXPECT_EQ(EventTimerId(), 3);
    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    EXPECT_EQ(PollEvent(), 70000);
    EXPECT_EQ(PollEvent(), 70000);
    EXPECT_EQ(PollEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventData(), 1);
    EXPECT_EQ(PollEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventData(), 2);
    EXPECT_EQ(PollEvent(), 0);

    // An emptied queue starts afresh: the same event again is a new one.
    QueueEvent(EVENT_CONTROL, 3, 1962, 2);
    QueueEvent(EVENT_TIMER, 2, 1962, 0);
    EXPECT_EQ(PollEvent(), EVENT_CONTROL);
    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    EXPECT_EQ(PollEvent(), 0);
}

TEST_F(EventQueueTest, DropMatchesEveryGivenFieldAndKeepsTheRestInOrder) {
    QueueEvent(EVENT_CONTROL, 1962, 1962, 0);
    QueueEvent(EVENT_TIMER, 2, 1962, 0);
    QueueEvent(EVENT_CONTROL, 5, 1962, 0);
    QueueEvent(EVENT_SIZE_WINDOW, 0, 7, 0);
    QueueEvent(EVENT_CONTROL, 1962, 1962, 6);
    DropQueuedEvents(EVENT_CONTROL, 1962, -1, -1);
    EXPECT_EQ(QueuedEventCount(), 3);
    // The tail was dropped: a new event must still be appended after the rest.
    QueueEvent(EVENT_CLOSE_WINDOW, 1962, 1962, 0);
    DropQueuedEvents(-1, -1, 7, -1);

    EXPECT_EQ(PopQueuedEvent(), EVENT_TIMER);
    EXPECT_EQ(PopQueuedEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventControl(), 5);
    EXPECT_EQ(PopQueuedEvent(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(PopQueuedEvent(), 0);
}

TEST_F(EventQueueTest, AnEmptyPopKeepsObjectAndWindowButClearsData) {
    QueueEvent(EVENT_CONTROL, 1962, 1962, 0);
    EXPECT_EQ(PopQueuedEvent(), EVENT_CONTROL);
    EXPECT_EQ(EventData(), 0);
    EXPECT_EQ(PopQueuedEvent(), 0);
    EXPECT_EQ(EventControl(), 1962);
    EXPECT_EQ(EventWindow(), 1962);
    EXPECT_EQ(EventData(), -1);
}

int releasedExtra = 0;
void RecordRelease(int64_t extra) {
    releasedExtra = static_cast<int>(extra);
}

TEST_F(EventQueueTest, AnExtraValueIsReleasedWhenTheNextEventIsTaken) {
    releasedExtra = 0;
    QueueEvent(EVENT_MENU, 1, 1, 0, 42, RecordRelease);
    EXPECT_EQ(PopQueuedEvent(), EVENT_MENU);
    EXPECT_EQ(releasedExtra, 0);
    PopQueuedEvent();
    EXPECT_EQ(releasedExtra, 42);
}

TEST_F(EventQueueTest, APlatformMessageComesFirstAndItsEventFromTheNextFetch) {
    NullPostMessage(1962, MESSAGE_TIMER, 2, 0);
    EXPECT_EQ(WaitEvent(), 275);
    EXPECT_EQ(EventWParam(), 2u);
    EXPECT_EQ(WaitEvent(), EVENT_TIMER);
    EXPECT_EQ(EventTimerId(), 2);
    EXPECT_EQ(EventWParam(), 0u);  // a queued event carries no message parameters

    NullPostMessage(1962, MESSAGE_CAPTURE_DATA, 1, 2);
    EXPECT_EQ(WaitEvent(), 960);
    EXPECT_EQ(PollEvent(), 0);
}

TEST_F(EventQueueTest, TwoTimerTicksWithoutAFetchBetweenComeOutOnce) {
    NullPostMessage(1962, MESSAGE_TIMER, 2, 0);
    NullPostMessage(1962, MESSAGE_TIMER, 2, 0);
    // Dispatch both messages without taking events: the second tick merges.
    EXPECT_EQ(FetchPlatformMessage(0), 275);
    EXPECT_EQ(FetchPlatformMessage(0), 275);
    EXPECT_EQ(PollEvent(), EVENT_TIMER);
    EXPECT_EQ(PollEvent(), 0);
}

int64_t SwallowTimers(void*, uint32_t message, uint64_t, int64_t) {
    return message == MESSAGE_TIMER ? 0 : HOOK_PASS_THROUGH;
}

TEST_F(EventQueueTest, OnlyPassThroughFromTheHookLetsAMessageBecomeAnEvent) {
    SetMessageHook(SwallowTimers);
    NullPostMessage(1962, MESSAGE_TIMER, 2, 0);
    NullPostMessage(1962, MESSAGE_CLOSE, 0, 0);
    EXPECT_EQ(PollEvent(), 275);
    EXPECT_EQ(PollEvent(), 16);
    EXPECT_EQ(PollEvent(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(EventControl(), 1962);
    EXPECT_EQ(EventWindow(), 1962);
    EXPECT_EQ(PollEvent(), 0);
}

}  // namespace
