// The hand-off of finished blocks: nothing is lost when buffer-done messages
// pile up, each block goes back to the device exactly once, and the work
// buffer always holds one whole block, the newest.
#include "capture/handoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "capture/block_exchange.h"
#include "capture/capture_null.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "capture/open_capture.h"
#include "ui/event_queue.h"
#include "ui/messages.h"
#include "ui/platform_ui.h"
#include "ui/ui_null.h"

namespace {

std::vector<uint8_t> Filled(uint32_t bytes, uint8_t value) {
    return std::vector<uint8_t>(bytes, value);
}

class HandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetNullUi();
        ResetEventState();
        ResetNullCapture(true);
        CaptureWorkBuffer().Reset();
        Capture() = CaptureState{};
        PresetCaptureState();
        Capture().WaveFormat.nChannels = 2;
        Capture().WaveFormat.nSamplesPerSec = 44100;
        Capture().WaveFormat.wBitsPerSample = 16;
        OpenCapture(reinterpret_cast<void*>(0x10000 + 1962 * 16), 1962);
        DisarmCaptureWatchdog();  // capture_watchdog_test.cpp covers it
        CaptureSemaphore = SemaphoreCreate(0);
        SetMessageHook(WaveMessageHook);
    }
    void TearDown() override { ResetNullUi(); }

    // Dispatches every pending platform message, as the main thread does
    // once it runs again.
    int DispatchAll() {
        int messages = 0;
        while (FetchPlatformMessage(0) != 0) ++messages;
        return messages;
    }
};

TEST_F(HandoffTest, TheHookPassesEveryMessageThroughAndPostsOncePerFinishedBlock) {
    EXPECT_EQ(WaveMessageHook(nullptr, MESSAGE_TIMER, 2, 0), HOOK_PASS_THROUGH);
    EXPECT_EQ(WaveMessageHook(nullptr, MESSAGE_CAPTURE_OPEN, 0, 0), HOOK_PASS_THROUGH);
    EXPECT_EQ(WaveMessageHook(nullptr, MESSAGE_CAPTURE_CLOSE, 0, 0), HOOK_PASS_THROUGH);
    EXPECT_FALSE(NativeSemaphoreWaitFor(CaptureSemaphore->handle, 0));

    auto samples = Filled(8192, 1);
    ASSERT_TRUE(NullFinishNextBlock(samples.data(), 8192));
    EXPECT_EQ(DispatchAll(), 1);
    EXPECT_TRUE(NativeSemaphoreWaitFor(CaptureSemaphore->handle, 0));
    EXPECT_FALSE(NativeSemaphoreWaitFor(CaptureSemaphore->handle, 0));
    EXPECT_EQ(PollEvent(), 0);  // the message itself queues no event
}

TEST_F(HandoffTest, MessagesHandledBackToBackLoseNoBlock) {
    // The main thread was held up: five blocks finished meanwhile.
    for (uint8_t i = 1; i <= 5; ++i) {
        auto samples = Filled(8192, i);
        ASSERT_TRUE(NullFinishNextBlock(samples.data(), 8192));
    }
    EXPECT_EQ(NullCaptureQueuedCount(), 11);
    EXPECT_EQ(DispatchAll(), 5);
    for (int i = 0; i < 5; ++i) {
        SemaphoreWait(CaptureSemaphore);
        ASSERT_TRUE(HandOffOneBlock());
    }
    EXPECT_FALSE(HandOffOneBlock());
    EXPECT_EQ(NullCaptureQueuedCount(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(NullCaptureAddCount(&Capture().HeaderRing[i]), i < 5 ? 2 : 1) << "block " << i;
    }
    const CapturedBlock& newest = CaptureWorkBuffer().Latest();
    EXPECT_EQ(newest.length, 8192u);
    EXPECT_EQ(newest.bytes[0], 5);
    EXPECT_EQ(newest.bytes[8191], 5);
}

TEST_F(HandoffTest, ShortAndEmptyBlocksPublishOnlyWhatWasRecorded) {
    auto loud = Filled(8192, 9);
    ASSERT_TRUE(NullFinishNextBlock(loud.data(), 8192));
    auto quiet = Filled(100, 3);
    ASSERT_TRUE(NullFinishNextBlock(quiet.data(), 100));
    ASSERT_TRUE(NullFinishNextBlock(nullptr, 0));
    DispatchAll();
    while (HandOffOneBlock()) {
    }
    const CapturedBlock& newest = CaptureWorkBuffer().Latest();
    EXPECT_EQ(newest.length, 100u);  // the empty block published nothing
    EXPECT_EQ(newest.bytes[99], 3);
    EXPECT_EQ(NullCaptureAddCount(&Capture().HeaderRing[2]), 2);  // yet it went back
}

TEST_F(HandoffTest, TheCaptureThreadKeepsEveryBlockCirculating) {
    std::thread worker(CaptureThread, nullptr);
    worker.detach();  // like the program's own: it runs until the process ends
    auto samples = Filled(8192, 7);
    int64_t finishedBlocks = 0;
    for (int round = 0; round < 64; ++round) {
        // Blocks finish in bursts while the main thread is away, then it runs.
        for (int i = 0; i < 1 + round % 7; ++i) {
            if (NullFinishNextBlock(samples.data(), 8192)) ++finishedBlocks;
        }
        DispatchAll();
        for (int wait = 0; wait < 500 && NullCaptureQueuedCount() < 16; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(NullCaptureQueuedCount(), 16) << "round " << round;
    }
    int64_t total = 0;
    for (const WaveHeader& header : Capture().HeaderRing) total += NullCaptureAddCount(&header);
    EXPECT_EQ(total, 16 + finishedBlocks);
    // The worker stays blocked on this semaphore; later tests get their own.
    CaptureSemaphore = SemaphoreCreate(0);
}

// A capture thread whose wait ran out takes the close notices by itself
// while the hook keeps filling the ring: each slot it frees must be free
// before the hook writes it again (ThreadSanitizer checks the ordering).
TEST_F(HandoffTest, CloseNoticesTakenOnTimeoutsFreeTheirSlotsSafely) {
    std::atomic<bool> done{false};
    std::thread capture([&] {
        while (!done.load()) {
            SemaphoreWaitFor(CaptureSemaphore, 1);
            TakeCloseNotices();
        }
    });
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 64; ++i) WaveMessageHook(nullptr, MESSAGE_CAPTURE_CLOSE, 0x5150, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    done.store(true);
    capture.join();
    TakeCloseNotices();
    EXPECT_TRUE(HandoffIdle());
}

}  // namespace
