// The whole program on the headless platform: start-up order, a signal
// reaching both meters through capture, hand-off and analysis, the donation
// button, the close request and the fatal path.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "analysis/peak_analysis.h"
#include "app/app_identity.h"
#include "app/main_window.h"
#include "capture/capture_null.h"
#include "capture/capture_state.h"
#include "capture/handoff.h"
#include "meter/meter_table.h"
#include "ui/event_queue.h"
#include "ui/messages.h"
#include "ui/ui_null.h"

namespace {

TEST(FatalPathDeathTest, ShowsTheBoxAndExitsWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FatalIfZero(int64_t{0}, "op"), ::testing::ExitedWithCode(0),
                "Fatal Error!: Unable to execute --> op\n");
    EXPECT_EXIT(FatalIfZero(nullptr, "mtgd1"), ::testing::ExitedWithCode(0),
                "Unable to execute --> mtgd1");
    EXPECT_EQ(FatalIfZero(int64_t{5}, "op"), 5);
}

std::vector<uint8_t> SquareWave(int frames, int16_t left, int16_t right) {
    std::vector<uint8_t> block;
    for (int frame = 0; frame < frames; ++frame) {
        int sign = (frame / 50) % 2 ? -1 : 1;
        for (int16_t amplitude : {left, right}) {
            auto value = static_cast<int16_t>(sign * amplitude);
            block.push_back(static_cast<uint8_t>(value & 0xFF));
            block.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
        }
    }
    return block;
}

template <typename Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 2000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

TEST(Program, StartsUpRecordsAnalysesAndAnswersTheButtonAndTheCloseRequest) {
    ResetNullUi();
    ResetNullCapture(true);
    StartUp();

    // Meter 3 took the first slot, meter 4 the second; capture runs.
    EXPECT_EQ(MeterSlot(LEFT_METER), 1);
    EXPECT_EQ(MeterSlot(RIGHT_METER), 2);
    EXPECT_EQ(NullCaptureQueuedCount(), 16);
    ASSERT_EQ(NullTimers().size(), 1u);
    EXPECT_EQ(NullTimers()[0].window, MAIN_WINDOW);
    EXPECT_EQ(NullTimers()[0].id, ANALYSIS_TIMER);
    EXPECT_EQ(Capture().WaveFormat.nChannels, 4);

    std::thread loop(RunEventLoop);
    // A square wave of 16384 left and 8192 right, with a full-scale sample in
    // an odd frame of the right channel in the second block.
    auto block = SquareWave(2048, 16384, 8192);
    ASSERT_TRUE(NullFinishNextBlock(block.data(), static_cast<uint32_t>(block.size())));
    // The ticks come once the capture thread has handed the block over and
    // given it back: ticks served before that would still scan the last one.
    EXPECT_TRUE(Eventually([] { return NullCaptureQueuedCount() == 16; }));
    for (int tick = 0; tick < 20; ++tick)
        NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_TIMER, 2, 0);
    EXPECT_TRUE(Eventually([] { return MeterAt(1).value == 51.0f && MeterAt(2).value == 25.0f; }));

    block[4 * 1001 + 2] = 0xFF;
    block[4 * 1001 + 3] = 0x7F;
    ASSERT_TRUE(NullFinishNextBlock(block.data(), static_cast<uint32_t>(block.size())));
    EXPECT_TRUE(Eventually([] { return NullCaptureQueuedCount() == 16; }));
    for (int tick = 0; tick < 5; ++tick)
        NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_TIMER, 2, 0);
    EXPECT_TRUE(Eventually([] { return MeterAt(2).overloadHold > 0; }));
    EXPECT_EQ(MeterAt(1).overloadHold, 0);

    // Timer 1 does nothing; each click opens the page once.
    NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_TIMER, 1, 0);
    NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_COMMAND, BN_CLICKED, DONATION_BUTTON);
    EXPECT_TRUE(Eventually([] { return NullOpenedAddresses().size() == 1; }));
    NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_COMMAND, BN_CLICKED, DONATION_BUTTON);
    EXPECT_TRUE(Eventually([] { return NullOpenedAddresses().size() == 2; }));
    EXPECT_EQ(NullOpenedAddresses()[0], DONATION_ADDRESS);

    NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_CLOSE, 0, 0);
    loop.join();
    EXPECT_EQ(NullOpenedAddresses().size(), 2u);

    // Take the ticks the analysis thread has not served yet and leave both
    // workers blocked for good, so that later tests own the meters.
    while (NativeSemaphoreWaitFor(AnalysisSemaphore->handle, 0)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    AnalysisSemaphore = SemaphoreCreate(0);
    CaptureSemaphore = SemaphoreCreate(0);
}

}  // namespace
