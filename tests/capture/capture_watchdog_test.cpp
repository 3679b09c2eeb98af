// The capture watchdog against the headless device: a recording that stops
// delivering is reopened once the stall time has passed, the whole ring goes
// to the new device exactly once, and whatever the old device still had on
// its way is neither copied nor given back; while no device can be opened,
// the capture thread tries again after pauses that grow to a bound, and
// records once one opens; while a chosen device
// is missing the default stands in, and recording goes back to the chosen
// one by itself once the lookup finds it.
#include "capture/capture_watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/capture_null.h"
#include "capture/capture_state.h"
#include "capture/handoff.h"
#include "capture/open_capture.h"
#include "ui/event_queue.h"
#include "ui/platform_ui.h"
#include "ui/ui_null.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t STALL_MS = 150;
void* const WINDOW = reinterpret_cast<void*>(0x10000 + 1962 * 16);

template <typename Condition>
bool Eventually(Condition condition) {
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

class CaptureWatchdogTest : public ::testing::Test {
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
        OpenCapture(WINDOW, 1962);
        ArmCaptureWatchdog(DEFAULT_CAPTURE_DEVICE, NullCaptureFormat(), WINDOW, STALL_MS);
        CaptureSemaphore = SemaphoreCreate(0);
        SetMessageHook(WaveMessageHook);
    }
    void TearDown() override {
        // The capture thread stays blocked for good on its own semaphore.
        DisarmCaptureWatchdog();
        CaptureSemaphore = SemaphoreCreate(0);
        ResetNullUi();
    }
    void StartCaptureThread() { std::thread(CaptureThread, nullptr).detach(); }
    int64_t TotalAdds() {
        int64_t total = 0;
        for (const WaveHeader& header : Capture().HeaderRing) total += NullCaptureAddCount(&header);
        return total;
    }
    static void DispatchAll() {
        while (FetchPlatformMessage(0) != 0) {
        }
    }
};

TEST_F(CaptureWatchdogTest, AStalledDeviceIsReopenedOnceAndItsLeftoverBlocksAreDropped) {
    void* old = NullCaptureHandle();
    Capture().WaveFormat.nChannels = 4;  // start-up's rescale, for the analysis only
    StartCaptureThread();
    std::vector<uint8_t> oldSound(8192, 1);
    ASSERT_TRUE(NullFinishNextBlock(oldSound.data(), 8192));
    DispatchAll();
    ASSERT_TRUE(Eventually([] { return CaptureWorkBuffer().Latest().sequence == 1; }));
    // Then nothing: every block waits with the device.
    ASSERT_TRUE(Eventually([] { return CaptureRecoveryCount() >= 1; }));
    DisarmCaptureWatchdog();  // the thread hands off on, without watching
    EXPECT_EQ(CaptureRecoveryCount(), 1);

    void* fresh = NullCaptureHandle();
    EXPECT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(Capture().DeviceHandle.Get(), fresh);
    EXPECT_EQ(NullCaptureDeviceId(), DEFAULT_CAPTURE_DEVICE);
    EXPECT_EQ(NullCaptureFormat().nChannels, 2);
    EXPECT_TRUE(NullCaptureStarted());
    EXPECT_EQ(NullCaptureQueuedCount(), 16);

    // The new device finishes a block; then the main thread handles the
    // sixteen blocks the old device's reset handed back, its close notice
    // and the new block, in that order.
    std::vector<uint8_t> newSound(8192, 9);
    ASSERT_TRUE(NullFinishNextBlock(newSound.data(), 8192));
    DispatchAll();
    ASSERT_TRUE(Eventually([] { return NullCaptureQueuedCount() == 16; }));
    const CapturedBlock& newest = CaptureWorkBuffer().Latest();
    EXPECT_EQ(newest.sequence, 2u);  // nothing of the old device's since the first
    EXPECT_EQ(newest.bytes[0], 9);
    // Every header: queued at the start and once with the new device; the
    // first went round once more with each device.
    EXPECT_EQ(TotalAdds(), 16 + 1 + 16 + 1);
    for (const WaveHeader& header : Capture().HeaderRing) {
        EXPECT_EQ(NullCaptureAddCount(&header), &header == &Capture().HeaderRing[0] ? 4 : 2);
    }
}

TEST_F(CaptureWatchdogTest, WhileNoDeviceOpensTheTriesBackOffThenRecordingResumes) {
    SetNullCaptureAvailable(false);
    // Driven here as the capture thread drives it after each wait: the
    // stalled device goes, then each try that opens none doubles the pause
    // before the next, up to twice the stall time.
    const uint64_t arming = CaptureWatchdogArming();
    std::vector<int32_t> pauses;
    for (int i = 0; i < 5; ++i) {
        RecoverStalledCapture(arming);
        pauses.push_back(CaptureStallTimeout(arming));
    }
    const int32_t first = STALL_MS / 4;
    EXPECT_EQ(pauses,
              (std::vector<int32_t>{2 * first, 4 * first, 8 * first, 2 * STALL_MS, 2 * STALL_MS}));
    EXPECT_EQ(CaptureRecoveryCount(), 5);
    EXPECT_EQ(Capture().DeviceHandle.Get(), nullptr);

    StartCaptureThread();
    SetNullCaptureAvailable(true);
    ASSERT_TRUE(Eventually([] { return NullCaptureQueuedCount() == 16; }));
    DisarmCaptureWatchdog();
    // Disarmed, no arming counts: the program's first (1) included.
    EXPECT_EQ(CaptureStallTimeout(1), -1);
    EXPECT_EQ(Capture().DeviceHandle.Get(), NullCaptureHandle());
    std::vector<uint8_t> sound(8192, 5);
    ASSERT_TRUE(NullFinishNextBlock(sound.data(), 8192));
    DispatchAll();
    ASSERT_TRUE(Eventually([] { return NullCaptureAddCount(&Capture().HeaderRing[0]) == 3; }));
    EXPECT_EQ(CaptureWorkBuffer().Latest().sequence, 1u);
    EXPECT_EQ(CaptureWorkBuffer().Latest().bytes[0], 5);
}

// A platform's lookup that finds the chosen device as number 7 while it is
// listed.
std::atomic<bool> chosenListed{false};
uint32_t LookUpDeviceSeven(uint32_t, const WaveFormatRecord&, bool* standIn) {
    *standIn = !chosenListed.load();
    return *standIn ? DEFAULT_CAPTURE_DEVICE : 7u;
}

TEST_F(CaptureWatchdogTest, TheDefaultStandsInForAMissingChosenDeviceUntilItIsBack) {
    chosenListed = false;
    SetCaptureDeviceLookup(LookUpDeviceSeven);
    StartCaptureThread();
    RequestCaptureReopen();
    ASSERT_TRUE(Eventually([] { return CaptureRecoveryCount() == 1; }));
    EXPECT_TRUE(CaptureStandingIn());
    EXPECT_EQ(NullCaptureDeviceId(), DEFAULT_CAPTURE_DEVICE);

    // The stand-in records on; the lookup, asked again while it does, finds
    // the chosen device back.
    chosenListed = true;
    std::vector<uint8_t> sound(8192, 3);
    bool moved = Eventually([&] {
        NullFinishNextBlock(sound.data(), 8192);
        DispatchAll();
        return NullCaptureDeviceId() == 7u;
    });
    DisarmCaptureWatchdog();
    SetCaptureDeviceLookup(nullptr);
    ASSERT_TRUE(moved);
    EXPECT_FALSE(CaptureStandingIn());
    EXPECT_EQ(CaptureRecoveryCount(), 2) << "only the choice and the return reopen";
}

// A chosen device that is listed but refuses to open (another program holds
// it) is tried again after pauses that double from two stall times to 32,
// and each try that fails reopens the default to stand in for it.
TEST_F(CaptureWatchdogTest, ARefusedChosenDeviceIsTriedAgainAfterGrowingPauses) {
    constexpr int32_t stall = 5;
    ArmCaptureWatchdog(DEFAULT_CAPTURE_DEVICE, NullCaptureFormat(), WINDOW, stall);
    const uint64_t arming = CaptureWatchdogArming();
    chosenListed = true;
    SetNullCaptureRefusedDevice(7);
    SetCaptureDeviceLookup(LookUpDeviceSeven);
    RequestCaptureReopen();
    // As the capture thread serves it after each wake.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (NullCaptureRefusals().size() < 8 && Clock::now() < deadline) {
        ServeCaptureReopen(arming);
        EXPECT_TRUE(CaptureStandingIn());
        EXPECT_EQ(NullCaptureDeviceId(), DEFAULT_CAPTURE_DEVICE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    DisarmCaptureWatchdog();
    SetCaptureDeviceLookup(nullptr);
    const auto refusals = NullCaptureRefusals();
    ASSERT_EQ(refusals.size(), 8u);
    EXPECT_EQ(CaptureRecoveryCount(), 8);
    for (size_t i = 1; i < refusals.size(); ++i) {
        // The watchdog counts whole milliseconds: a pause may end up to one early.
        const int32_t pause = std::min(stall << i, 32 * stall) - 1;
        EXPECT_GE(refusals[i] - refusals[i - 1], std::chrono::milliseconds(pause)) << "try " << i;
    }
}

}  // namespace
