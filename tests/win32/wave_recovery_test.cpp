// The capture watchdog over wave-in under a real sound server, with the
// program's own capture: OpenCapture, the message hook and the capture
// thread.
//   - The window's thread is held up for three stall times while the device
//     records: the device marks its blocks done all the same, so nothing is
//     reopened, and recording goes on once the thread is back.
//   - The sound server is killed and started again: while it is gone no
//     device opens and the watchdog keeps trying; once it is back,
//     recording resumes by itself and a new signal reaches the work buffer.
//     Wine's device keeps its blocks when the server goes, so the ring is
//     left with it and the new device gets a fresh one; the second time,
//     past the bound of one such ring, reopening stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/settings.h"
#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "capture/open_capture.h"
#include "system/threads.h"
#include "tests/win32/program_capture.h"
#include "tests/win32/unix_process.h"
#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t WINDOW = 4402;

class WaveInRecovery : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = PrepareProgramCapture(WINDOW, "recovery", WaveMessageHook);
        ASSERT_NE(window_, nullptr);
        OpenCapture(window_, WINDOW);
        ASSERT_NE(Capture().DeviceHandle.Get(), nullptr) << "no capture device";
        // Armed again, before the capture thread starts, with room for one
        // ring left behind.
        ArmCaptureWatchdog(static_cast<uint32_t>(Capture().Device - 1), Capture().WaveFormat,
                           window_, CAPTURE_STALL_MS, 1);
        CaptureSemaphore = SemaphoreCreate(0);
        ASSERT_NE(ThreadStart(CaptureThread, nullptr), 0);
        ASSERT_TRUE(DispatchUntil(10000, [] { return Published() >= 3; }))
            << "capture never started";
    }
    void TearDown() override {
        DisarmCaptureWatchdog();
        EndProgramCapture(window_);
    }
    HWND window_ = nullptr;
};

TEST_F(WaveInRecovery, AHeldUpWindowThreadReopensNothingWhileTheDeviceRecords) {
    void* device = Capture().DeviceHandle.Get();
    // As a browser start can hold it up: no block reaches the capture thread.
    Sleep(3 * CAPTURE_STALL_MS);
    uint64_t published = Published();
    ASSERT_TRUE(DispatchUntil(10000, [&] { return Published() >= published + 32; }))
        << "recording did not go on";
    EXPECT_EQ(CaptureRecoveryCount(), 0);
    EXPECT_EQ(Capture().DeviceHandle.Get(), device);
}

// A square wave of the given peaks, as tools/make_signal.pl writes it.
bool WriteSquareWave(const std::wstring& path, int16_t left, int16_t right, int seconds) {
    std::vector<int16_t> samples;
    for (int frame = 0; frame < 44100 * seconds; ++frame) {
        int sign = frame % 100 < 50 ? 1 : -1;
        samples.push_back(static_cast<int16_t>(sign * left));
        samples.push_back(static_cast<int16_t>(sign * right));
    }
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    size_t written = fwrite(samples.data(), sizeof(int16_t), samples.size(), file);
    fclose(file);
    return written == samples.size();
}

TEST_F(WaveInRecovery, RecordingResumesOnceTheSoundServerIsBackUpToTheBoundOfLeftRings) {
    std::string script = std::string(VELLUMTONE_SOURCE_DIR) + "/tests/sound_server.sh";
    if (FindUnixSpawn() == nullptr || EnvironmentValue("VELLUMTONE_SOUND") != "pulse") {
        GTEST_SKIP() << "needs Wine and the sound server of tests/with_services.sh";
    }
    const WaveHeader* oldRing = Capture().HeaderRing.data();
    ASSERT_EQ(RunUnixProgram({"/bin/bash", script, "kill"}), 0) << "could not kill the server";
    uint64_t published = Published();
    // Gone: blocks stop, and the tries find no device.
    ASSERT_TRUE(DispatchUntil(10000, [] { return CaptureRecoveryCount() >= 2; }));
    EXPECT_EQ(Capture().DeviceHandle.Get(), nullptr);
    EXPECT_LE(Published(), published + 16) << "blocks went on without a server";
    EXPECT_EQ(AbandonedCaptureRings(), 1) << "the old device gave its blocks back";
    EXPECT_NE(Capture().HeaderRing.data(), oldRing);

    ASSERT_EQ(RunUnixProgram({"/bin/bash", script, "start", "pulse"}), 0) << "no new server";
    published = Published();
    ASSERT_TRUE(DispatchUntil(15000, [&] { return Published() >= published + 10; }))
        << "recording did not come back (" << CaptureRecoveryCount() << " tries)";
    EXPECT_NE(Capture().DeviceHandle.Get(), nullptr);

    // A new signal reaches the work buffer exactly as played.
    const SharedFile signal = SharedFileNamed("vellumtone-recovery");
    const std::wstring& windowsPath = signal.windowsPath;
    const std::string& unixPath = signal.unixPath;
    ASSERT_TRUE(WriteSquareWave(windowsPath, 12000, 6000, 3));
    PacatPlayer pacat(unixPath);
    pacat.Start();
    bool heard = DispatchUntil(10000, [] { return NewestBlockPeaks(12000, 6000); });
    EXPECT_EQ(pacat.Status(), 0) << "pacat failed";
    DeleteFileW(windowsPath.c_str());
    EXPECT_TRUE(heard) << "the signal played after the restart never arrived";

    // Gone again: a second ring left behind would pass the bound, so the
    // watchdog gives up and tries no more.
    ASSERT_EQ(RunUnixProgram({"/bin/bash", script, "kill"}), 0) << "could not kill the server";
    EXPECT_TRUE(DispatchUntil(10000, [] { return CaptureWatchdogArming() == 0; }));
    int64_t tries = CaptureRecoveryCount();
    CollectEvents(2 * CAPTURE_STALL_MS);
    EXPECT_EQ(CaptureRecoveryCount(), tries);
    EXPECT_EQ(AbandonedCaptureRings(), 1);
    EXPECT_EQ(Capture().DeviceHandle.Get(), nullptr);
    // The tests that follow record again.
    ASSERT_EQ(RunUnixProgram({"/bin/bash", script, "start", "pulse"}), 0) << "no new server";
}

}  // namespace
