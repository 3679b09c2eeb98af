// Recording under Wine with the program's own capture (OpenCapture, the
// message hook, the capture thread):
//   - what Wine gives for a loopback stream of the default output, printed;
//     Wine 8 takes its mix format and initialises one but has no capture
//     service for it (AUDCLNT_E_WRONG_ENDPOINT_TYPE), so "What's playing" is
//     unavailable, and the system is asked again each time; choosing it is
//     kept all the same, as a remembered choice at start is, and the default
//     input stands in, the lookup asking about loopback at a slowing pace;
//   - nothing to record at start (a device number past the list): the
//     window's recording is tried for, without spinning, and begins by
//     itself once the lookup names a device that opens.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/settings.h"
#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/capture_inputs.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "capture/loopback_wasapi.h"
#include "capture/open_capture.h"
#include "system/threads.h"
#include "tests/win32/program_capture.h"
#include "tests/win32/unix_process.h"
#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t WINDOW = 4404;

// Opens the window and the recording as start-up does, `device` standing
// for the Device setting.
class WineRecording : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindUnixSpawn() == nullptr) GTEST_SKIP() << "what Wine gives";
        window_ = PrepareProgramCapture(WINDOW, "loopback", WaveMessageHook);
        ASSERT_NE(window_, nullptr);
        SetCaptureDeviceLookup(nullptr);
    }
    void Open(int32_t device) {
        Capture().Device = device;
        OpenCapture(window_, WINDOW);
        CaptureSemaphore = SemaphoreCreate(0);
        ASSERT_NE(ThreadStart(CaptureThread, nullptr), 0);
    }
    void TearDown() override {
        DisarmCaptureWatchdog();
        SetCaptureDeviceLookup(nullptr);
        EndProgramCapture(window_);
    }
    HWND window_ = nullptr;
};

TEST_F(WineRecording, WhatIsPlayingIsUnavailableAndChoosingItHasTheDefaultStandIn) {
    Open(0);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(DispatchUntil(10000, [] { return Published() >= 3; })) << "capture never started";
    EXPECT_FALSE(PlayingCaptureAvailable());
    const std::string answer = DescribeLoopbackProbe();
    std::printf("[ loopback ] %s\n", answer.c_str());
    EXPECT_EQ(answer.find("the mix format"), std::string::npos) << "Wine's mix format was refused";
    // A failure is not remembered: the menu's next opening asks again.
    const int64_t asked = LoopbackProbeCount();
    EXPECT_FALSE(PlayingCaptureAvailable());
    EXPECT_EQ(LoopbackProbeCount(), asked + 1);
    // The loopback device itself refuses to open, as the probe found.
    EXPECT_EQ(OpenCaptureDevice(PLAYING_DEVICE_ID, Capture().WaveFormat, window_), nullptr);

    void* device = Capture().DeviceHandle.Get();
    const int64_t askedBefore = LoopbackProbeCount();
    const ULONGLONG chosen = GetTickCount64();
    EXPECT_TRUE(ChooseCaptureTarget(device, CaptureTarget::PLAYING, ""));
    ASSERT_TRUE(DispatchUntil(10000, [] { return CaptureRecoveryCount() >= 1; }))
        << "the choice was not taken up";
    // Seven seconds or so of standing in.
    uint64_t published = Published();
    ASSERT_TRUE(DispatchUntil(20000, [&] { return Published() >= published + 150; }))
        << "recording did not go on";
    EXPECT_TRUE(CaptureStandingIn());
    EXPECT_FALSE(IsLoopbackDevice(Capture().DeviceHandle.Get()));
    EXPECT_EQ(CaptureRecoveryCount(), 1) << "only the choice reopens";
    const int64_t askedSince = LoopbackProbeCount() - askedBefore;
    const ULONGLONG since = GetTickCount64() - chosen;
    std::printf("[ stand-in ] %lld probes in the %llu ms since the choice\n",
                static_cast<long long>(askedSince), static_cast<unsigned long long>(since));
    // At the choice, then after pauses of one second, two, four ...: over
    // seven seconds four, where a probe at each of the stand-in's lookups,
    // one a second, would make eight.
    EXPECT_GE(askedSince, 2);
    EXPECT_LE(askedSince, 2 + static_cast<int64_t>(since) / 2000);
    ChooseCaptureTarget(nullptr, CaptureTarget::DEFAULT_INPUT, "");
}

// Nothing opens at start; a choice the user makes meanwhile is kept, and the
// next try opens the chosen input.
TEST_F(WineRecording, NothingToRecordAtStartThenRecordingBeginsByItself) {
    // No lookup, so no stand-in: nothing opens.
    Open(static_cast<int32_t>(waveInGetNumDevs()) + 5);
    if (HasFatalFailure()) return;
    EXPECT_EQ(Capture().DeviceHandle.Get(), nullptr);
    ASSERT_TRUE(DispatchUntil(10000, [] { return CaptureRecoveryCount() >= 2; }))
        << "no device was tried for";
    EXPECT_EQ(Capture().DeviceHandle.Get(), nullptr);
    EXPECT_EQ(Published(), 0u);

    // The user chooses an input while nothing records: the next try opens it.
    std::vector<CaptureInputRecord> inputs = ListCaptureInputs(2000);
    ASSERT_FALSE(inputs.empty());
    ASSERT_TRUE(ChooseCaptureTarget(nullptr, CaptureTarget::NAMED_INPUT, inputs[0].id));
    ULONGLONG came = GetTickCount64();
    int64_t tries = CaptureRecoveryCount();
    EXPECT_TRUE(DispatchUntil(10000, [] { return Published() >= 3; }))
        << "recording did not begin (" << CaptureRecoveryCount() << " tries)";
    EXPECT_NE(Capture().DeviceHandle.Get(), nullptr);
    std::printf("[ no input ] %lld tries before the input came; its third block %llu ms after\n",
                static_cast<long long>(tries),
                static_cast<unsigned long long>(GetTickCount64() - came));
    ChooseCaptureTarget(nullptr, CaptureTarget::DEFAULT_INPUT, "");
}

}  // namespace
