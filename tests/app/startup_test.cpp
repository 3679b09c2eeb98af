// The whole program on the headless platform: start-up order, a signal
// reaching both meters through capture, hand-off and analysis, the donation
// button, the close request and the fatal path.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/peak_analysis.h"
#include "app/app_identity.h"
#include "app/main_window.h"
#include "app/settings_writer.h"
#include "app/status_line.h"
#include "capture/capture_inputs_null.h"
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

constexpr int32_t WAIT_MS = 10000;

NullTimer AnalysisTimer() {
    for (const NullTimer& timer : NullTimers())
        if (timer.id == ANALYSIS_TIMER) return timer;
    return NullTimer{};
}

// One block of sound, handed over and given back to the device, then one
// analysis tick, served, so that the meters may be read.
void RecordAndTick(std::vector<uint8_t>& block, uint64_t& ticks) {
    ASSERT_TRUE(NullFinishNextBlock(block.data(), static_cast<uint32_t>(block.size())));
    ASSERT_TRUE(NullWaitForQueuedBlocks(16, WAIT_MS));
    NullPostMessageFromAnyThread(MAIN_WINDOW, MESSAGE_TIMER, ANALYSIS_TIMER, 0);
    ASSERT_TRUE(WaitForAnalysisTicks(++ticks, WAIT_MS));
}

// Posts a message once the loop sleeps in WaitEvent: a click's two drains
// discard whatever arrives while they run.
void PostWhenIdle(uint32_t message, uint64_t wParam, int64_t lParam) {
    ASSERT_TRUE(NullWaitUntilIdle(WAIT_MS));
    NullPostMessageFromAnyThread(MAIN_WINDOW, message, wParam, lParam);
}

TEST(Program, StartsUpRecordsAnalysesAndAnswersTheButtonAndTheCloseRequest) {
    // A settings write an earlier test made fail would be said on the line.
    ForgetSettingsWriteFailure();
    ResetNullUi();
    ResetNullCapture(true);
    StartUp();

    // Meter 3 took the first slot, meter 4 the second; capture runs, opened
    // by the capture thread.
    EXPECT_EQ(MeterSlot(LEFT_METER), 1);
    EXPECT_EQ(MeterSlot(RIGHT_METER), 2);
    EXPECT_TRUE(NullWaitForQueuedBlocks(16, WAIT_MS));
    // The analysis timer, and the status line's.
    ASSERT_EQ(NullTimers().size(), 2u);
    EXPECT_EQ(AnalysisTimer().window, MAIN_WINDOW);
    EXPECT_EQ(Capture().WaveFormat.nChannels, 4);

    std::thread loop(RunEventLoop);
    // A square wave of 16384 left and 8192 right, then the same with a
    // full-scale sample in an odd frame of the right channel.
    uint64_t ticks = AnalysisTicksServed();
    auto block = SquareWave(2048, 16384, 8192);
    for (int round = 0; round < 20; ++round) RecordAndTick(block, ticks);
    // The layer can hand the loop's events on while a modal loop holds it.
    EXPECT_NE(NullModalLoopEventHandler(), nullptr);
    EXPECT_EQ(MeterAt(1).value, 51.0f);
    EXPECT_EQ(MeterAt(2).value, 25.0f);

    block[4 * 1001 + 2] = 0xFF;
    block[4 * 1001 + 3] = 0x7F;
    for (int round = 0; round < 5; ++round) RecordAndTick(block, ticks);
    EXPECT_GT(MeterAt(2).overloadHold, 0);
    EXPECT_EQ(MeterAt(1).overloadHold, 0);
    EXPECT_EQ(AnalysisTimer().rests, 0) << "every tick had a new block to show";

    // The window's menu, asked from the keyboard, and a choice from it:
    // "Clear overload" puts the light out.
    PostWhenIdle(MESSAGE_CONTEXTMENU, 0, -1);
    ASSERT_TRUE(NullWaitUntilIdle(WAIT_MS));
    const std::vector<NullShownMenu> menus = NullShownMenus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_FALSE(menus[0].atPointer);
    int64_t clear = 0;
    for (const PopupMenuItem& item : menus[0].items) {
        if (item.text == "Clear overload") clear = item.command;
    }
    PostWhenIdle(MESSAGE_COMMAND, static_cast<uint64_t>(clear), 0);
    ASSERT_TRUE(NullWaitUntilIdle(WAIT_MS));
    {
        std::lock_guard<std::mutex> hold(MeterUpdateLock());
        EXPECT_EQ(MeterAt(2).overloadHold, 0);
    }

    // No block comes: the input turns stale, the needles fall to rest, and
    // a tick that then has nothing to do lets the timer rest.
    std::this_thread::sleep_for(StaleInputLimit() + std::chrono::milliseconds(20));
    for (int round = 0; round < 100; ++round) {
        PostWhenIdle(MESSAGE_TIMER, ANALYSIS_TIMER, 0);
        ASSERT_TRUE(NullWaitUntilIdle(WAIT_MS));
        if (AnalysisTimer().rests != 0) break;
        // Not resting: the tick went to the analysis thread.
        ASSERT_TRUE(WaitForAnalysisTicks(++ticks, WAIT_MS));
    }
    EXPECT_EQ(AnalysisTimer().rests, 1);
    EXPECT_EQ(MeterAt(1).value, 0.0f);
    EXPECT_EQ(MeterAt(2).overloadHold, 0);

    // The status line's timer: a state that held a second is said, and
    // the default input recording again clears the line.
    EXPECT_EQ(NullStatusTexts(), std::vector<std::string>{})
        << "the default input recording says nothing";
    for (CaptureCondition condition : {CaptureCondition::NO_DEVICE, CaptureCondition::RECORDING}) {
        SetNullCaptureStatus({condition, ""});
        PostWhenIdle(MESSAGE_TIMER, STATUS_TIMER, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1050));
        PostWhenIdle(MESSAGE_TIMER, STATUS_TIMER, 0);
        ASSERT_TRUE(NullWaitUntilIdle(WAIT_MS));
    }
    const std::vector<std::string> said{"No input to record from: waiting", ""};
    EXPECT_EQ(NullStatusTexts(), said);

    // Timer 1 does nothing; each click opens the page once; one that
    // cannot is said beside the button.
    PostWhenIdle(MESSAGE_TIMER, 1, 0);
    PostWhenIdle(MESSAGE_COMMAND, BUTTON_CLICKED, DONATION_BUTTON);
    PostWhenIdle(MESSAGE_COMMAND, BUTTON_CLICKED, DONATION_BUTTON);
    ASSERT_TRUE(NullWaitUntilIdle(WAIT_MS));
    EXPECT_EQ(NullStatusTexts(), said) << "the clicks that opened the page say nothing";
    NullFailAddresses(true);
    PostWhenIdle(MESSAGE_COMMAND, BUTTON_CLICKED, DONATION_BUTTON);
    PostWhenIdle(MESSAGE_CLOSE, 0, 0);
    loop.join();
    ASSERT_EQ(NullOpenedAddresses().size(), 2u);
    EXPECT_EQ(NullOpenedAddresses()[0], DONATION_ADDRESS);
    EXPECT_EQ(NullStatusTexts().back(), "Could not open the web browser");
    NullFailAddresses(false);
    EXPECT_EQ(AnalysisTicksServed(), ticks);

    // Both workers stay blocked for good on semaphores nobody posts, so that
    // later tests own the meters.
    AnalysisSemaphore = SemaphoreCreate(0);
    CaptureSemaphore = SemaphoreCreate(0);
}

}  // namespace
