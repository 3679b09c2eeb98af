// The capture watchdog (see capture_watchdog.h).
#include "capture/capture_watchdog.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

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
    int32_t abandonedRings = 0;
    int32_t maxAbandonedRings = 0;
};

// A lock whose wait may be cut short. Made of a plain mutex and a condition
// variable rather than std::timed_mutex, whose timed wait ThreadSanitizer
// does not see as taking the lock.
class RecoveryLock {
public:
    void lock() {
        std::unique_lock<std::mutex> hold(state_);
        free_.wait(hold, [this] { return !held_; });
        held_ = true;
    }
    bool try_lock_for(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> hold(state_);
        if (!free_.wait_for(hold, wait, [this] { return !held_; })) return false;
        held_ = true;
        return true;
    }
    void unlock() {
        {
            std::lock_guard<std::mutex> hold(state_);
            held_ = false;
        }
        free_.notify_all();
    }

private:
    std::mutex state_;
    std::condition_variable free_;
    bool held_ = false;
};

// Held across a recovery, so that disarming waits for it; for a bounded
// time at shutdown, which need not wait for an opening that a hung sound
// service holds up.
RecoveryLock lock;
WatchdogState watchdog;
std::atomic<uint64_t> currentArming{0};
std::atomic<int32_t> stallTimeout{-1};
// Whether the device delivered since it was opened.
std::atomic<bool> delivering{false};
// Tries in a row that opened no device.
std::atomic<int32_t> failedOpenings{0};
// Done headers that the current device refused to take back.
std::atomic<int64_t> refusedBlocks{0};
std::atomic<CaptureDeviceLookup> deviceLookup{nullptr};
// A reopening was asked for and not served yet.
std::atomic<bool> reopenRequested{false};
// The open device stands in for a chosen input that was missing.
std::atomic<bool> standingIn{false};
// When a stand-in next asks the lookup whether the chosen input is back
// (capture thread).
std::atomic<int64_t> nextLookupMs{0};
// The time between two lookups of a stand-in: a stall time, more after a
// chosen device refused to open, up to MAX_LOOKUP_STALLS stall times.
std::atomic<int32_t> lookupIntervalMs{CAPTURE_STALL_MS};
constexpr int32_t MAX_LOOKUP_STALLS = 32;

// The armed stall time, which every pause of the watchdog is measured in.
int32_t StallMs() {
    const int32_t stall = stallTimeout.load();
    return stall > 0 ? stall : CAPTURE_STALL_MS;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Rings left with devices that did not give them back. Never freed: such a
// device may write into them until the process ends.
std::vector<std::vector<WaveHeader>>& AbandonedRings() {
    static auto* rings = new std::vector<std::vector<WaveHeader>>;
    return *rings;
}

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

// Leaves the ring where it is, for the old device, and gives the capture
// state a fresh one of the same size; false past the bound.
bool AbandonHeaderRing() {
    if (watchdog.abandonedRings >= watchdog.maxAbandonedRings) return false;
    CaptureState& capture = Capture();
    std::vector<std::vector<WaveHeader>>& rings = AbandonedRings();
    // Moving a vector keeps its elements where they are.
    rings.push_back(std::move(capture.HeaderRing));
    ++watchdog.abandonedRings;
    capture.HeaderRing.assign(rings.back().size(), WaveHeader{});
    for (WaveHeader& header : capture.HeaderRing) {
        header.lpData = new (std::nothrow) char[static_cast<size_t>(capture.BufferLen)]();
        header.dwBufferLength = static_cast<uint32_t>(capture.BufferLen);
    }
    return true;
}

// Opens the default in place of a chosen device that would not open. Each
// such failure doubles the time until the lookup is asked again, so that a
// device that stays listed but refused does not cut the stand-in's recording
// short every second.
void* OpenStandIn(uint32_t failedDeviceId, const WaveFormatRecord& format, void* callbackWindow) {
    if (failedDeviceId == DEFAULT_CAPTURE_DEVICE || deviceLookup.load() == nullptr) return nullptr;
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, format, callbackWindow);
    standingIn.store(device != nullptr);
    int32_t interval = std::min(lookupIntervalMs.load() * 2, MAX_LOOKUP_STALLS * StallMs());
    lookupIntervalMs.store(interval);
    nextLookupMs.store(NowMs() + interval);
    return device;
}

// Reopens the recording on the device the lookup names, with the ring: a
// stalled device only when none of its blocks is on its way, a working one
// (a new choice) at once. Blocks of the old device that are still on their
// way are dropped by the hand-off (NoteCaptureDeviceReplaced). Holds `lock`.
void Reopen(bool stalled) {
    CaptureState& capture = Capture();
    void* old = capture.DeviceHandle;
    if (stalled && old != nullptr && BlocksOnTheirWay(old)) return;
    ++watchdog.tries;
    uint32_t deviceId = CaptureDeviceToOpen(watchdog.deviceId, watchdog.format);
    bool closeNoticePosted = false;
    bool headersReleased = true;
    void* device = RecoverCaptureDevice(old, capture.HeaderRing.data(), capture.HeaderRing.size(),
                                        deviceId, watchdog.format, watchdog.callbackWindow,
                                        &closeNoticePosted, &headersReleased);
    if (device == old && old != nullptr) return;  // the service mends itself
    // A chosen device that is listed but will not open (another program may
    // hold it): the default stands in. Its handle may equal the old one once
    // that is closed, but then the old device's close notice comes before
    // any block of the new one.
    if (device == nullptr) device = OpenStandIn(deviceId, watchdog.format, watchdog.callbackWindow);
    if (device != nullptr && !standingIn.load()) lookupIntervalMs.store(StallMs());
    NoteCaptureDeviceReplaced(closeNoticePosted);
    failedOpenings.store(device != nullptr ? 0 : std::min(failedOpenings.load() + 1, 30));
    refusedBlocks.store(0);
    delivering.store(false);
    if (!headersReleased && !AbandonHeaderRing()) {
        // No more memory is left behind: recording ends here, the meters
        // rest, and the watchdog stops watching.
        if (device) StopCaptureDevice(device);
        capture.DeviceHandle = nullptr;
        currentArming.store(0);
        return;
    }
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

}  // namespace

void ArmCaptureWatchdog(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow,
                        int32_t stallMs, int32_t maxAbandonedRings) {
    std::lock_guard<RecoveryLock> hold(lock);
    watchdog.deviceId = deviceId;
    watchdog.format = format;
    watchdog.callbackWindow = callbackWindow;
    watchdog.tries = 0;
    watchdog.abandonedRings = 0;
    watchdog.maxAbandonedRings = maxAbandonedRings;
    refusedBlocks.store(0);
    stallTimeout.store(stallMs);
    lookupIntervalMs.store(stallMs);
    delivering.store(false);
    failedOpenings.store(0);
    reopenRequested.store(false);
    currentArming.store(watchdog.nextArming++);
}

bool DisarmCaptureWatchdog(int32_t waitMs) {
    std::unique_lock<RecoveryLock> hold(lock, std::defer_lock);
    const bool held =
        waitMs < 0 ? (hold.lock(), true) : hold.try_lock_for(std::chrono::milliseconds(waitMs));
    currentArming.store(0);
    return held;
}

uint64_t CaptureWatchdogArming() {
    return currentArming.load();
}

int32_t CaptureStallTimeout(uint64_t arming) {
    if (arming == 0 || arming != currentArming.load()) return -1;
    int32_t stall = stallTimeout.load();
    if (Capture().DeviceHandle.Get() == nullptr) {
        // No device: the next try, after a pause that grows with each failed one.
        const int32_t longest = stall * CAPTURE_RETRY_STALLS;
        int32_t pause = std::max(stall / CAPTURE_FIRST_RETRY_PARTS, 1);
        for (int32_t i = failedOpenings.load(); i > 0 && pause < longest; --i) pause *= 2;
        return std::min(pause, longest);
    }
    if (delivering.load(std::memory_order_relaxed)) return stall;
    return stall * CAPTURE_START_STALLS;
}

void NoteCaptureDelivering() {
    delivering.store(true, std::memory_order_relaxed);
}

void NoteCaptureBlockRefused() {
    refusedBlocks.fetch_add(1, std::memory_order_relaxed);
}

void SetCaptureDeviceLookup(CaptureDeviceLookup lookup) {
    deviceLookup.store(lookup);
}

uint32_t CaptureDeviceToOpen(uint32_t armedDeviceId, const WaveFormatRecord& format) {
    CaptureDeviceLookup lookup = deviceLookup.load();
    bool standIn = false;
    uint32_t deviceId = lookup ? lookup(armedDeviceId, format, &standIn) : armedDeviceId;
    standingIn.store(standIn);
    nextLookupMs.store(NowMs() + lookupIntervalMs.load());
    return deviceId;
}

void* OpenChosenCaptureDevice(uint32_t armedDeviceId, const WaveFormatRecord& format,
                              void* callbackWindow) {
    uint32_t deviceId = CaptureDeviceToOpen(armedDeviceId, format);
    void* device = OpenCaptureDevice(deviceId, format, callbackWindow);
    if (device == nullptr) return OpenStandIn(deviceId, format, callbackWindow);
    if (!standingIn.load()) lookupIntervalMs.store(StallMs());
    return device;
}

void RequestCaptureReopen() {
    lookupIntervalMs.store(StallMs());
    reopenRequested.store(true);
    if (CaptureSemaphore) SemaphorePost(CaptureSemaphore);
}

void ServeCaptureReopen(uint64_t arming) {
    if (arming == 0 || arming != currentArming.load()) return;
    bool requested = reopenRequested.exchange(false);
    if (!requested && (!standingIn.load() || NowMs() < nextLookupMs.load())) return;
    std::lock_guard<RecoveryLock> hold(lock);
    if (arming != currentArming.load()) return;
    if (!requested) {
        // Only the lookup: a waveInGetNumDevs and a few queries, nothing kept.
        nextLookupMs.store(NowMs() + lookupIntervalMs.load());
        CaptureDeviceLookup lookup = deviceLookup.load();
        bool standIn = true;
        if (lookup != nullptr) lookup(watchdog.deviceId, watchdog.format, &standIn);
        if (standIn) return;  // still missing
    }
    Reopen(false);
}

void RecoverStalledCapture(uint64_t arming) {
    std::lock_guard<RecoveryLock> hold(lock);
    if (arming == 0 || arming != currentArming.load()) return;
    Reopen(true);
}

int64_t CaptureRecoveryCount() {
    std::lock_guard<RecoveryLock> hold(lock);
    return watchdog.tries;
}

int32_t AbandonedCaptureRings() {
    std::lock_guard<RecoveryLock> hold(lock);
    return watchdog.abandonedRings;
}

bool CaptureStandingIn() {
    return standingIn.load();
}
