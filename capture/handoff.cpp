// Finished headers travel from the main thread to the capture thread through
// a single-producer, single-consumer ring sized for every header at once, so
// no buffer-done message is ever lost, however long the main thread was held
// up: each finished block is given back to the device exactly once.
#include "capture/handoff.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "ui/messages.h"

SemaphoreRecord* CaptureSemaphore = nullptr;

namespace {

struct FinishedBlock {
    void* device;
    WaveHeader* header;
};

std::vector<FinishedBlock> finished;  // capacity is a power of two
std::atomic<size_t> finishedHead{0};  // next to take (capture thread)
std::atomic<size_t> finishedTail{0};  // next to fill (main thread)

}  // namespace

void PrepareHandoff(size_t ringSize) {
    size_t capacity = 1;
    while (capacity < ringSize * 2) capacity *= 2;
    finished.assign(capacity, FinishedBlock{nullptr, nullptr});
    finishedHead.store(0);
    finishedTail.store(0);
}

int64_t WaveMessageHook(void*, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != MM_WIM_DATA) return HOOK_PASS_THROUGH;
    void* device = reinterpret_cast<void*>(static_cast<uintptr_t>(wParam));
    auto* header = reinterpret_cast<WaveHeader*>(static_cast<intptr_t>(lParam));
    if (!header) return HOOK_PASS_THROUGH;
    size_t tail = finishedTail.load(std::memory_order_relaxed);
    size_t head = finishedHead.load(std::memory_order_acquire);
    if (finished.empty() || tail - head >= finished.size()) {
        // Only a device that announces a header twice can get here; give the
        // block straight back rather than lose it.
        AddCaptureBlock(device, header);
        return HOOK_PASS_THROUGH;
    }
    finished[tail & (finished.size() - 1)] = FinishedBlock{device, header};
    finishedTail.store(tail + 1, std::memory_order_release);
    SemaphorePost(CaptureSemaphore);
    return HOOK_PASS_THROUGH;
}

bool HandOffOneBlock() {
    size_t head = finishedHead.load(std::memory_order_relaxed);
    if (head == finishedTail.load(std::memory_order_acquire)) return false;
    FinishedBlock block = finished[head & (finished.size() - 1)];
    finishedHead.store(head + 1, std::memory_order_release);

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
    AddCaptureBlock(block.device, block.header);
    return true;
}

void CaptureThread(void*) {
    // Taken once: start-up creates the semaphore before the thread.
    SemaphoreRecord* finishedBlocks = CaptureSemaphore;
    for (;;) {
        SemaphoreWait(finishedBlocks);
        HandOffOneBlock();
    }
}
