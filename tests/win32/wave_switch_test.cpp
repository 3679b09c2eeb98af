// Choosing the input of a running wave-in recording, under a real sound
// server with two more inputs, Mic_A and Mic_B, that carry known signals of
// their own (square waves of different peaks on the two channels):
//   - choosing Mic_B's endpoint ID moves recording to it: the work buffer
//     carries Mic_B's signal, no block of the old device is copied after the
//     move, and the new device gives every header back once per turn of the
//     ring; the time from the choice to the new device's first block is
//     printed;
//   - the chosen input unplugged (its sink unloaded, which takes it along):
//     the default stands in, and once it is back recording returns to it;
//   - an endpoint ID that no device has: the default input stands in;
//   - an input that cannot be named is refused.
// Wine's wave-in takes its list of devices once per process, at its first
// use, and earlier tests of this executable have used it; so the sources are
// made first and the recording runs in a child process.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/settings.h"
#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/capture_inputs.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "capture/open_capture.h"
#include "system/threads.h"
#include "tests/win32/program_capture.h"
#include "tests/win32/unix_process.h"
#include "tests/win32/win32_support.h"

#ifndef DRV_QUERYFUNCTIONINSTANCEID
#define DRV_QUERYFUNCTIONINSTANCEID (DRV_RESERVED + 17)
#define DRV_QUERYFUNCTIONINSTANCEIDSIZE (DRV_RESERVED + 18)
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t WINDOW = 4403;
constexpr const char* CHILD = "VELLUMTONE_SWITCH_CHILD";

// Peaks (left, right) of the square wave each sink plays.
constexpr int DEFAULT_PEAKS[2] = {12000, 6000};  // "meter", whose monitor is the default
constexpr int A_PEAKS[2] = {5000, 10000};
constexpr int B_PEAKS[2] = {3000, 9000};
constexpr int SIGNAL_SECONDS = 40;  // longer than the child runs; pacat is ended after it

bool NewestBlockPeaks(const int (&wanted)[2]) {
    return ::NewestBlockPeaks(wanted[0], wanted[1]);
}

// Dispatches as DispatchUntil does, looking every 5 ms: the switch is timed.
template <typename Condition>
bool DispatchFinelyUntil(int milliseconds, Condition condition) {
    return DispatchUntil(milliseconds, condition, 5);
}

// Waits without dispatching, so that no new block reaches the hand-off.
template <typename Condition>
bool WaitUntil(int milliseconds, Condition condition) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    while (!condition()) {
        if (GetTickCount64() >= end) return false;
        Sleep(2);
    }
    return true;
}

// The endpoint ID of the first wave-in device whose name starts with
// `prefix`, in UTF-8; empty when there is none.
std::string EndpointIdOf(const wchar_t* prefix) {
    for (UINT i = 0; i < waveInGetNumDevs(); ++i) {
        WAVEINCAPSW caps{};
        if (waveInGetDevCapsW(i, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        if (wcsncmp(caps.szPname, prefix, wcslen(prefix)) != 0) continue;
        auto device = reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(i));
        ULONG size = 0;
        if (waveInMessage(device, DRV_QUERYFUNCTIONINSTANCEIDSIZE,
                          reinterpret_cast<DWORD_PTR>(&size), 0) != MMSYSERR_NOERROR) {
            return std::string();
        }
        std::wstring id(size / sizeof(wchar_t) + 1, L'\0');
        if (waveInMessage(device, DRV_QUERYFUNCTIONINSTANCEID,
                          reinterpret_cast<DWORD_PTR>(id.data()), size) != MMSYSERR_NOERROR) {
            return std::string();
        }
        return NarrowText(id.c_str());
    }
    return std::string();
}

LONG RunShell(const std::string& script) {
    return RunUnixProgram({"/bin/sh", "-c", script});
}

// The files of one run share the prefix `files` (SharedFileNamed):
// FILES.modules and FILES.pids note what the run made, for its end.

// Shell lines that make the null sink NAME and the input mic_NAME on its
// monitor; the sink's module number goes to FILES.NAME-sink as well.
std::string MakeInputScript(const std::string& files, const std::string& name) {
    std::string upper = name == "a" ? "A" : "B";
    return "timeout 5 pactl load-module module-null-sink sink_name=" + name +
           " rate=44100 channels=2 | tee " + files + "." + name + "-sink >> " + files +
           ".modules\n" + "timeout 5 pactl load-module module-remap-source master=" + name +
           ".monitor source_name=mic_" + name + " source_properties=device.description=Mic_" +
           upper + " >> " + files + ".modules\n";
}

// A shell line that plays FILES-SINK.raw into the sink in the background;
// pacat's process id goes to FILES.SINK-pid as well.
// A null sink renders in chunks as long as its players' latency allows (with
// pacat's default, a new stream's first block came after about two seconds);
// 20 ms keeps that to about a block's time, as with a real input.
std::string PlayScript(const std::string& files, const std::string& sink) {
    return "pacat --raw --device=" + sink +
           " --rate=44100 --channels=2 --format=s16le --latency-msec=20 " + files + "-" + sink +
           ".raw </dev/null >/dev/null 2>&1 & echo $! | tee " + files + "." + sink + "-pid >> " +
           files + ".pids\n";
}

// --- the child: the program's own capture ----------------------------------

void* newDevice = nullptr;              // the device recording moved to (main thread)
std::vector<WaveHeader*> newAnnounced;  // its finished headers, in the hook's order
Clock::time_point firstNewBlock{};

int64_t NoteAndHandOff(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    void* device = reinterpret_cast<void*>(static_cast<uintptr_t>(wParam));
    if (message == MESSAGE_CAPTURE_DATA && device != nullptr && device == newDevice) {
        if (newAnnounced.empty()) firstNewBlock = Clock::now();
        newAnnounced.push_back(reinterpret_cast<WaveHeader*>(static_cast<intptr_t>(lParam)));
    }
    return WaveMessageHook(window, message, wParam, lParam);
}

class WaveInSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        if (EnvironmentValue(CHILD).empty()) GTEST_SKIP() << "run by WaveInSwitchParent";
        window_ = PrepareProgramCapture(WINDOW, "switch", NoteAndHandOff);
        ASSERT_NE(window_, nullptr);
        OpenCapture(window_, WINDOW);
        ASSERT_NE(Capture().DeviceHandle.Get(), nullptr) << "no capture device";
        CaptureSemaphore = SemaphoreCreate(0);
        ASSERT_NE(ThreadStart(CaptureThread, nullptr), 0);
        ASSERT_TRUE(DispatchFinelyUntil(10000, [] { return NewestBlockPeaks(DEFAULT_PEAKS); }))
            << "the default input's signal never arrived";
    }
    void TearDown() override {
        DisarmCaptureWatchdog();
        // The next test opens on the default again.
        if (void* device = Capture().DeviceHandle.Get()) {
            ChooseCaptureTarget(device, CaptureTarget::DEFAULT_INPUT, "");
        }
        EndProgramCapture(window_);
    }

    // Chooses while no block is on its way to the capture thread and nothing
    // is dispatched until the capture thread has reopened, so that any block
    // copied after the choice is the new device's.
    void ChooseAndWaitForReopen(CaptureTarget target, const std::string& id) {
        ASSERT_TRUE(WaitUntil(5000, HandoffIdle));
        void* old = Capture().DeviceHandle.Get();
        published_ = CaptureWorkBuffer().PublishedCount();
        newAnnounced.clear();
        chosen_ = Clock::now();
        ASSERT_TRUE(ChooseCaptureTarget(old, target, id));
        ASSERT_TRUE(WaitUntil(5000, [&] { return Capture().DeviceHandle.Get() != old; }))
            << "recording did not move";
        reopened_ = Clock::now();
        newDevice = Capture().DeviceHandle.Get();
        ASSERT_NE(newDevice, nullptr);
        EXPECT_EQ(CaptureWorkBuffer().PublishedCount(), published_);
    }

    HWND window_ = nullptr;
    uint64_t published_ = 0;  // blocks copied before the choice
    Clock::time_point chosen_{};
    Clock::time_point reopened_{};  // when the new device's handle was seen
};

TEST_F(WaveInSwitch, ChildMovesToTheChosenInputAtOnce) {
    std::string micB = EndpointIdOf(L"Mic_B");
    ASSERT_FALSE(micB.empty()) << "no wave-in device named Mic_B";
    // As a user would choose, with the recording under way for a while: a
    // choice within the first half second of Wine's recording waited about
    // a second for the new device's first block.
    CollectEvents(1500);
    ChooseAndWaitForReopen(CaptureTarget::NAMED_INPUT, micB);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(DispatchFinelyUntil(10000, [] { return NewestBlockPeaks(B_PEAKS); }))
        << "Mic_B's signal never arrived";
    Clock::time_point heard = Clock::now();
    EXPECT_FALSE(CaptureStandingIn());
    // Two turns of the ring, then nothing more reaches the hand-off.
    const size_t ring = Capture().HeaderRing.size();
    ASSERT_TRUE(DispatchFinelyUntil(10000, [&] { return newAnnounced.size() >= 2 * ring + 1; }));
    ASSERT_TRUE(WaitUntil(5000, HandoffIdle));

    // Every block copied since the choice is one the new device announced.
    EXPECT_EQ(CaptureWorkBuffer().PublishedCount() - published_, newAnnounced.size());
    // The ring was queued afresh in its order, and each header came back once
    // per turn: none lost, none queued twice.
    const WaveHeader* first = Capture().HeaderRing.data();
    size_t outOfTurn = 0;
    for (size_t i = 0; i < newAnnounced.size(); ++i) {
        if (newAnnounced[i] != first + i % ring) ++outOfTurn;
    }
    EXPECT_EQ(outOfTurn, 0u);

    auto ms = [&](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t - chosen_).count();
    };
    std::printf(
        "[ switch   ] from the choice: reopened after %lld ms, the new device's first "
        "block after %lld ms, Mic_B's signal in the work buffer after %lld ms\n",
        static_cast<long long>(ms(reopened_)), static_cast<long long>(ms(firstNewBlock)),
        static_cast<long long>(ms(heard)));
}

TEST_F(WaveInSwitch, ChildAnUnpluggedChoiceHasTheDefaultStandInUntilItIsBack) {
    const std::string files = EnvironmentValue(CHILD);
    std::string micB = EndpointIdOf(L"Mic_B");
    ASSERT_FALSE(micB.empty()) << "no wave-in device named Mic_B";
    ChooseAndWaitForReopen(CaptureTarget::NAMED_INPUT, micB);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(DispatchFinelyUntil(10000, [] { return NewestBlockPeaks(B_PEAKS); }));

    // Unplugged: sink b goes, and mic_b with it. Its player is ended first,
    // or the server would move it to the default sink, into the default
    // input's signal.
    ASSERT_EQ(RunShell("kill $(cat " + files + ".b-pid); timeout 5 pactl unload-module $(cat " +
                       files + ".b-sink)"),
              0);
    EXPECT_TRUE(DispatchFinelyUntil(10000, [] {
        return CaptureStandingIn() && NewestBlockPeaks(DEFAULT_PEAKS);
    })) << "the default did not stand in";

    // Plugged in again: recording goes back to it by itself.
    ASSERT_EQ(RunShell(MakeInputScript(files, "b") + PlayScript(files, "b")), 0);
    EXPECT_TRUE(DispatchFinelyUntil(40000, [] {
        return !CaptureStandingIn() && NewestBlockPeaks(B_PEAKS);
    })) << "recording did not go back to Mic_B";
}

TEST_F(WaveInSwitch, ChildRecordsTheDefaultWhileTheChosenInputIsMissing) {
    ChooseAndWaitForReopen(CaptureTarget::NAMED_INPUT,
                           "{0.0.1.00000000}.{00000000-0000-0000-0000-000000000000}");
    if (HasFatalFailure()) return;
    EXPECT_TRUE(CaptureStandingIn());
    EXPECT_TRUE(DispatchFinelyUntil(10000, [] {
        return newAnnounced.size() >= 3 && NewestBlockPeaks(DEFAULT_PEAKS);
    })) << "the default input did not stand in";
}

// Each is refused before the device is looked at, and nothing changes.
// (What is playing, unavailable here, is kept: loopback_test.cpp.)
TEST(WaveInChoice, WhatCannotBeRecordedIsRefused) {
    EXPECT_FALSE(PlayingCaptureAvailable());
    int unused = 0;
    void* device = &unused;
    EXPECT_FALSE(ChooseCaptureTarget(device, CaptureTarget::NAMED_INPUT, ""));
    EXPECT_FALSE(ChooseCaptureTarget(device, CaptureTarget::NAMED_INPUT, "\xff\xfe"));
}

// --- the parent: sources, signals, and the child ----------------------------

bool WriteSquareWave(const std::wstring& path, const int (&peaks)[2]) {
    std::vector<int16_t> samples;
    samples.reserve(44100 * 2 * SIGNAL_SECONDS);
    for (int frame = 0; frame < 44100 * SIGNAL_SECONDS; ++frame) {
        int sign = frame % 100 < 50 ? 1 : -1;
        samples.push_back(static_cast<int16_t>(sign * peaks[0]));
        samples.push_back(static_cast<int16_t>(sign * peaks[1]));
    }
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    size_t written = fwrite(samples.data(), sizeof(int16_t), samples.size(), file);
    fclose(file);
    return written == samples.size();
}

TEST(WaveInSwitchParent, SwitchingInputs) {
    if (!EnvironmentValue(CHILD).empty()) GTEST_SKIP() << "the child";
    if (FindUnixSpawn() == nullptr || EnvironmentValue("VELLUMTONE_SOUND") != "pulse") {
        GTEST_SKIP() << "needs Wine and the sound server of tests/with_services.sh";
    }
    const SharedFile shared = SharedFileNamed("vellumtone-switch");
    const std::string& files = shared.unixPath;
    ASSERT_TRUE(WriteSquareWave(shared.windowsPath + L"-meter.raw", DEFAULT_PEAKS));
    ASSERT_TRUE(WriteSquareWave(shared.windowsPath + L"-a.raw", A_PEAKS));
    ASSERT_TRUE(WriteSquareWave(shared.windowsPath + L"-b.raw", B_PEAKS));
    std::string setup = "set -e; : > " + files + ".modules; : > " + files + ".pids\n" +
                        MakeInputScript(files, "a") + MakeInputScript(files, "b");
    for (const char* sink : {"meter", "a", "b"}) setup += PlayScript(files, sink);
    LONG made = RunShell(setup);

    int64_t code = made == 0 ? RunChildTest("WaveInSwitch.Child*", CHILD, files.c_str(), 180000,
                                            [] { return false; })
                             : -3;

    // Modules and players that the child took away already are skipped.
    RunShell("kill $(cat " + files + ".pids) 2>/dev/null; for m in $(tac " + files +
             ".modules); do timeout 5 pactl unload-module $m 2>/dev/null; done; rm -f " + files +
             "*");
    ASSERT_EQ(made, 0) << "could not make the inputs or play the signals";
    EXPECT_EQ(code, 0);
}

}  // namespace
