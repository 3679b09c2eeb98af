// Thread numbering, pruning of ended threads, and counting semaphores.
#include "system/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<int> runs{0};
void CountRun(void*) {
    runs.fetch_add(1);
}

void WaitOn(void* semaphore) {
    SemaphoreWait(static_cast<SemaphoreRecord*>(semaphore));
}

bool WaitUntilEnded(SemaphoreRecord* done, int count) {
    for (int i = 0; i < count; ++i) {
        if (!NativeSemaphoreWaitFor(done->handle, 5000)) return false;
    }
    return true;
}

SemaphoreRecord* finished = nullptr;
void SignalFinished(void*) {
    SemaphorePost(finished);
}

TEST(ThreadLayer, NumbersCountFromOneAreNeverReusedAndEndedThreadsArePruned) {
    ThreadLayerInit();
    ThreadLayerClose();  // start from an empty list whatever ran before
    finished = SemaphoreCreate(0);
    ASSERT_NE(finished, nullptr);
    int64_t first = ThreadStart(SignalFinished, nullptr);
    int64_t second = ThreadStart(SignalFinished, nullptr);
    EXPECT_GT(first, 0);
    EXPECT_EQ(second, first + 1);
    ASSERT_TRUE(WaitUntilEnded(finished, 2));

    // Both have ended (or are about to): the next start prunes them.
    SemaphoreRecord* gate = SemaphoreCreate(0);
    int64_t third = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        third = ThreadStart(WaitOn, gate);
        if (ThreadRecordCount() == 1) break;
        SemaphorePost(gate);  // let the extra waiter go and try again
        NativeSemaphoreWaitFor(finished->handle, 10);
    }
    EXPECT_GE(third, second + 1);
    EXPECT_EQ(ThreadRecordCount(), 1);

    // Closing the layer with a thread blocked in a wait returns at once.
    ThreadLayerClose();
    EXPECT_EQ(ThreadRecordCount(), 0);
    for (int i = 0; i < 100; ++i) SemaphorePost(gate);
}

TEST(ThreadLayer, EveryPostIsRememberedByTheCountingSemaphore) {
    SemaphoreRecord* semaphore = SemaphoreCreate(0);
    ASSERT_NE(semaphore, nullptr);
    EXPECT_FALSE(NativeSemaphoreWaitFor(semaphore->handle, 20));  // count 0 blocks
    SemaphorePost(semaphore);
    SemaphorePost(semaphore);
    SemaphorePost(semaphore);
    SemaphoreWait(semaphore);
    SemaphoreWait(semaphore);
    SemaphoreWait(semaphore);
    EXPECT_FALSE(NativeSemaphoreWaitFor(semaphore->handle, 20));

    SemaphoreRecord* initial = SemaphoreCreate(2);
    ASSERT_NE(initial, nullptr);
    EXPECT_TRUE(NativeSemaphoreWaitFor(initial->handle, 0));
    EXPECT_TRUE(NativeSemaphoreWaitFor(initial->handle, 0));
    EXPECT_FALSE(NativeSemaphoreWaitFor(initial->handle, 0));
}

TEST(ThreadLayer, AThreadRunsAtOnceAndARefusedSemaphoreIsNull) {
    runs = 0;
    SemaphoreRecord* done = SemaphoreCreate(0);
    finished = done;
    ASSERT_GT(ThreadStart(SignalFinished, nullptr), 0);
    EXPECT_TRUE(WaitUntilEnded(done, 1));
    EXPECT_EQ(SemaphoreCreate(-1), nullptr);
    SemaphorePost(nullptr);  // a missing semaphore is ignored, not a crash
    ThreadStart(CountRun, nullptr);
    ThreadLayerClose();
}

// A worker loop as the program's: one round per post, until asked to stop.
void WorkUntilStopped(void* semaphore) {
    for (;;) {
        SemaphoreWait(static_cast<SemaphoreRecord*>(semaphore));
        if (ThreadLayerStopping()) return;
    }
}

// Shutdown's stop, in a child process of its own since the request holds for
// the rest of the process: workers that look end and are waited for; one
// that never looks only costs the time allowed.
TEST(ThreadLayerDeathTest, StopEndsTheWorkersThatLookAndGivesUpOnTheRest) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ThreadLayerClose();
            SemaphoreRecord* ticks = SemaphoreCreate(0);
            ThreadStart(WorkUntilStopped, ticks);
            bool ended = StopThreads(&ticks, 1, 5000);
            ThreadStart(WaitOn, SemaphoreCreate(0));  // never posted again
            bool stuck = !StopThreads(nullptr, 0, 50);
            std::_Exit(ended && stuck ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
