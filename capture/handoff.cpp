// Finished headers travel from the main thread to the capture thread through
// a single-producer, single-consumer ring sized for every header at once, so
// no buffer-done message is ever lost, however long the main thread was held
// up: each finished block is given back to the device exactly once.
//
// When the watchdog has replaced the device, blocks of the old one may still
// be on their way: those the old device finished before it was stopped, and
// those its stop handed back. None of them is copied or given back (the new
// device already has every header). The old device's close notice follows
// the last of them in the window's queue, so it travels through the ring as a
// marker: until it comes, every block is the old device's.
#include "capture/handoff.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "ui/messages.h"

SemaphoreRecord* CaptureSemaphore = nullptr;

namespace {

struct FinishedBlock {
    void* device;
    WaveHeader* header;  // nullptr: the device's close notice
};

std::vector<FinishedBlock> finished;  // capacity is a power of two
std::atomic<size_t> finishedHead{0};  // next to take (capture thread)
std::atomic<size_t> finishedTail{0};  // next to fill (main thread)
std::atomic<size_t> finishedDone{0};  // taken and, for a block, published

// The capture thread's own: close notices of replaced devices still to come,
// and whether the device was ever replaced (then only its blocks count).
int64_t closesAwaited = 0;
bool deviceReplaced = false;

bool Enqueue(void* device, WaveHeader* header) {
    size_t tail = finishedTail.load(std::memory_order_relaxed);
    size_t head = finishedHead.load(std::memory_order_acquire);
    if (finished.empty() || tail - head >= finished.size()) return false;
    finished[tail & (finished.size() - 1)] = FinishedBlock{device, header};
    finishedTail.store(tail + 1, std::memory_order_release);
    return true;
}

// The oldest entry, or false when there is none.
bool Peek(FinishedBlock* block) {
    size_t head = finishedHead.load(std::memory_order_relaxed);
    if (head == finishedTail.load(std::memory_order_acquire)) return false;
    *block = finished[head & (finished.size() - 1)];
    return true;
}

void Drop() {
    finishedHead.store(finishedHead.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

bool FromReplacedDevice(const FinishedBlock& block) {
    if (closesAwaited > 0) return true;
    return deviceReplaced && block.device != Capture().DeviceHandle.Get();
}

}  // namespace

void PrepareHandoff(size_t ringSize) {
    // Room for every header twice (a turn of the old device's blocks and one
    // of the new device's after a replacement) and the close notices.
    size_t capacity = 1;
    while (capacity < ringSize * 2 + 8) capacity *= 2;
    finished.assign(capacity, FinishedBlock{nullptr, nullptr});
    finishedHead.store(0);
    finishedTail.store(0);
    finishedDone.store(0);
    closesAwaited = 0;
    deviceReplaced = false;
}

int64_t WaveMessageHook(void*, uint32_t message, uint64_t wParam, int64_t lParam) {
    void* device = reinterpret_cast<void*>(static_cast<uintptr_t>(wParam));
    if (message == MESSAGE_CAPTURE_CLOSE && device) {
        // No post: the notice is taken along with the next block, or when the
        // capture thread's wait runs out.
        Enqueue(device, nullptr);
        return HOOK_PASS_THROUGH;
    }
    if (message != MESSAGE_CAPTURE_DATA) return HOOK_PASS_THROUGH;
    auto* header = reinterpret_cast<WaveHeader*>(static_cast<intptr_t>(lParam));
    if (!header) return HOOK_PASS_THROUGH;
    if (!Enqueue(device, header)) {
        // Only a device that announces a header twice can get here; give the
        // block straight back rather than lose it.
        AddCaptureBlock(device, header);
        return HOOK_PASS_THROUGH;
    }
    SemaphorePost(CaptureSemaphore);
    return HOOK_PASS_THROUGH;
}

void NoteCaptureDeviceReplaced(bool closeNoticePosted) {
    deviceReplaced = true;
    if (closeNoticePosted) ++closesAwaited;
}

void TakeCloseNotices() {
    FinishedBlock block;
    while (Peek(&block) && block.header == nullptr) {
        Drop();
        if (closesAwaited > 0) --closesAwaited;
        finishedDone.fetch_add(1);
    }
}

bool HandoffIdle() {
    return finishedDone.load() == finishedTail.load();
}

bool HandOffOneBlock() {
    TakeCloseNotices();
    FinishedBlock block;
    if (!Peek(&block)) return false;
    Drop();
    if (FromReplacedDevice(block)) {
        finishedDone.fetch_add(1);
        return true;
    }
    NoteCaptureDelivering();

    const char* data = block.header->lpData;
    uint32_t bytes = block.header->dwBytesRecorded;
    if (bytes > block.header->dwBufferLength) bytes = block.header->dwBufferLength;
    // Copy before the block goes back: once queued, the device may refill it
    // at any moment, and a small ring leaves it little room.
    if (data && bytes > 0) {
        BlockExchange& work = CaptureWorkBuffer();
        uint32_t length = bytes > CAPTURE_WORK_BUFFER_BYTES ? CAPTURE_WORK_BUFFER_BYTES : bytes;
        std::memcpy(work.WriteBlock().bytes, data, length);
        work.Publish(length);
    }
    if (!AddCaptureBlock(block.device, block.header)) NoteCaptureBlockRefused();
    finishedDone.fetch_add(1);
    return true;
}

void CaptureThread(void*) {
    // Both are read once: the thread serves the semaphore and the watchdog
    // arming of its start for the rest of its life.
    SemaphoreRecord* semaphore = CaptureSemaphore;
    uint64_t arming = CaptureWatchdogArming();
    // The first opening, when it was left to this thread.
    ServeCaptureReopen(arming);
    for (;;) {
        int32_t timeout = CaptureStallTimeout(arming);
        bool posted = true;
        if (timeout < 0 || !semaphore) {
            SemaphoreWait(semaphore);
        } else {
            posted = SemaphoreWaitFor(semaphore, timeout);
        }
        if (ThreadLayerStopping()) return;
        if (posted) {
            HandOffOneBlock();
        } else {
            TakeCloseNotices();  // notices with no block behind them
            RecoverStalledCapture(arming);
        }
        // A post may also ask for a reopening (a new choice of input): it
        // finds no block, and the reopening is served here.
        ServeCaptureReopen(arming);
    }
}
