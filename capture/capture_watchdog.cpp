// The capture watchdog (see capture_watchdog.h).
#include "capture/capture_watchdog.h"

#include <atomic>
#include <mutex>

#include "capture/capture_device.h"
#include "capture/capture_state.h"
#include "capture/handoff.h"

namespace {

struct WatchdogState {
    uint64_t nextArming = 1;
    uint32_t deviceId = 0;
    WaveFormatRecord format;
    void* callbackWindow = nullptr;
    int64_t tries = 0;
};

// Held across a recovery, so that disarming waits for it.
std::mutex lock;
WatchdogState watchdog;
std::atomic<uint64_t> currentArming{0};
std::atomic<int32_t> stallTimeout{-1};
// Whether the device delivered since it was opened.
std::atomic<bool> delivering{false};
// Done headers that the current device refused to take back.
std::atomic<int64_t> refusedBlocks{0};

// Whether the device has finished a block that has not reached the capture
// thread: then it delivers, and only the window's thread is late in
// announcing its blocks. A device that ran out of blocks that way has them
// all done.
bool BlocksOnTheirWay(void* device) {
    int64_t done = 0;
    for (const WaveHeader& header : Capture().HeaderRing) {
        if (header.lpData && CaptureBlockDone(device, &header)) ++done;
    }
    return done > refusedBlocks.load(std::memory_order_relaxed);
}

}  // namespace

void ArmCaptureWatchdog(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow,
                        int32_t stallMs) {
    std::lock_guard<std::mutex> hold(lock);
    watchdog.deviceId = deviceId;
    watchdog.format = format;
    watchdog.callbackWindow = callbackWindow;
    watchdog.tries = 0;
    refusedBlocks.store(0);
    stallTimeout.store(stallMs);
    delivering.store(false);
    currentArming.store(watchdog.nextArming++);
}

void DisarmCaptureWatchdog() {
    std::lock_guard<std::mutex> hold(lock);
    currentArming.store(0);
}

uint64_t CaptureWatchdogArming() {
    return currentArming.load();
}

int32_t CaptureStallTimeout(uint64_t arming) {
    if (arming == 0 || arming != currentArming.load()) return -1;
    int32_t stall = stallTimeout.load();
    if (Capture().DeviceHandle.Get() == nullptr || delivering.load(std::memory_order_relaxed)) {
        return stall;
    }
    return stall * CAPTURE_START_STALLS;
}

void NoteCaptureDelivering() {
    delivering.store(true, std::memory_order_relaxed);
}

void NoteCaptureBlockRefused() {
    refusedBlocks.fetch_add(1, std::memory_order_relaxed);
}

void RecoverStalledCapture(uint64_t arming) {
    std::lock_guard<std::mutex> hold(lock);
    if (arming == 0 || arming != currentArming.load()) return;
    CaptureState& capture = Capture();
    void* old = capture.DeviceHandle;
    if (old != nullptr && BlocksOnTheirWay(old)) return;
    ++watchdog.tries;
    bool closeNoticePosted = false;
    void* device = RecoverCaptureDevice(old, capture.HeaderRing.data(), capture.HeaderRing.size(),
                                        watchdog.deviceId, watchdog.format, watchdog.callbackWindow,
                                        &closeNoticePosted);
    if (device == old && old != nullptr) return;  // the service mends itself
    NoteCaptureDeviceReplaced(closeNoticePosted);
    refusedBlocks.store(0);
    delivering.store(false);
    capture.DeviceHandle = device;
    if (!device) return;
    // Every header is back with the program: none is prepared or queued.
    for (WaveHeader& header : capture.HeaderRing) {
        header.dwFlags = 0;
        header.dwBytesRecorded = 0;
        if (header.lpData) PrepareCaptureBlock(device, &header);
    }
    StartCaptureDevice(device);
}

int64_t CaptureRecoveryCount() {
    std::lock_guard<std::mutex> hold(lock);
    return watchdog.tries;
}
