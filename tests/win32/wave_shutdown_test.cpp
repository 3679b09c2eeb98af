// Shutdown of the program with a real wave-in device: once the device's
// reset has begun, nothing queues a block with it, and it closes. The
// program runs in a child process, since shutdown ends the process; the
// child watches its own waveIn calls through its import table, and ends at
// once with a code of its own when one comes out of order. As shutdown
// begins, the capture thread is handing off a backlog of blocks and gives
// each back slowly, so that a thread still running would queue one late.
#include <gtest/gtest.h>

#include <atomic>

#include "app/startup.h"
#include "capture/block_exchange.h"
#include "tests/win32/win32_support.h"

// The import table's slots for the wave-in calls (MinGW's import library
// names each slot __imp_ followed by the function's name).
extern "C" decltype(&waveInAddBuffer) __imp_waveInAddBuffer;
extern "C" decltype(&waveInReset) __imp_waveInReset;
extern "C" decltype(&waveInClose) __imp_waveInClose;

namespace {

constexpr UINT QUEUED_AFTER_RESET = 3;
constexpr UINT LEFT_OPEN = 4;

decltype(&waveInAddBuffer) realAddBuffer;
decltype(&waveInReset) realReset;
decltype(&waveInClose) realClose;
DWORD mainThread = 0;
std::atomic<bool> slowGiveBack{false};
std::atomic<bool> resetBegun{false};

MMRESULT WINAPI WatchAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT size) {
    if (slowGiveBack.load() && GetCurrentThreadId() != mainThread) Sleep(20);
    if (resetBegun.load()) TerminateProcess(GetCurrentProcess(), QUEUED_AFTER_RESET);
    return realAddBuffer(device, header, size);
}

MMRESULT WINAPI WatchReset(HWAVEIN device) {
    resetBegun.store(true);
    return realReset(device);
}

MMRESULT WINAPI WatchClose(HWAVEIN device) {
    MMRESULT result = realClose(device);
    if (result != MMSYSERR_NOERROR) TerminateProcess(GetCurrentProcess(), LEFT_OPEN);
    return result;
}

template <typename Function>
void Replace(Function* slot, Function watcher, Function* real) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *real = *slot;
    *slot = watcher;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

TEST(WaveInShutdown, Child) {
    if (EnvironmentValue("VELLUMTONE_SHUTDOWN_CHILD") != "1")
        GTEST_SKIP() << "run by the test below";
    mainThread = GetCurrentThreadId();
    Replace(&__imp_waveInAddBuffer, &WatchAddBuffer, &realAddBuffer);
    Replace(&__imp_waveInReset, &WatchReset, &realReset);
    Replace(&__imp_waveInClose, &WatchClose, &realClose);
    StartUp();
    ULONGLONG end = GetTickCount64() + 10000;
    while (CaptureWorkBuffer().PublishedCount() < 3 && GetTickCount64() < end) FetchEvent(20);
    ASSERT_GE(CaptureWorkBuffer().PublishedCount(), 3u) << "capture never started";
    slowGiveBack.store(true);
    Sleep(400);     // finished blocks pile up as messages
    DrainEvents();  // and reach the capture thread all at once
    ShutDown();     // exits with 0
}

TEST(WaveInShutdown, NoBlockIsQueuedOnceTheResetBeginsAndTheDeviceCloses) {
    if (EnvironmentValue("VELLUMTONE_SHUTDOWN_CHILD") == "1") GTEST_SKIP() << "the child";
    int64_t code = RunChildTest("WaveInShutdown.Child", "VELLUMTONE_SHUTDOWN_CHILD", "1", 60000,
                                [] { return false; });
    EXPECT_NE(code, static_cast<int64_t>(QUEUED_AFTER_RESET))
        << "a block was queued after the reset";
    EXPECT_NE(code, static_cast<int64_t>(LEFT_OPEN)) << "the device did not close";
    EXPECT_EQ(code, 0);
}

}  // namespace
