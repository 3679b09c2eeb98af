// Headless capture device (see capture_null.h).
#include "capture/capture_null.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "capture/capture_device.h"
#include "ui/messages.h"
#include "ui/ui_null.h"

namespace {

struct NullDevice {
    bool available = true;
    bool open = false;
    bool started = false;
    uint32_t deviceId = 0;
    WaveFormatRecord format;
    void* callbackWindow = nullptr;
    std::deque<WaveHeader*> queue;
    std::map<const WaveHeader*, int64_t> adds;
};

std::mutex lock;
std::condition_variable blockQueued;
NullDevice device;

}  // namespace

void* OpenCaptureDevice(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow) {
    std::lock_guard<std::mutex> hold(lock);
    if (!device.available) return nullptr;
    device.open = true;
    device.deviceId = deviceId;
    device.format = format;
    device.callbackWindow = callbackWindow;
    return &device;
}

bool PrepareCaptureBlock(void* handle, WaveHeader* header) {
    if (header) header->dwFlags |= WHDR_PREPARED;
    return AddCaptureBlock(handle, header);
}

bool AddCaptureBlock(void* handle, WaveHeader* header) {
    {
        std::lock_guard<std::mutex> hold(lock);
        if (handle != &device || !header) return false;
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        device.queue.push_back(header);
        device.adds[header] += 1;
    }
    blockQueued.notify_all();
    return true;
}

bool StartCaptureDevice(void* handle) {
    std::lock_guard<std::mutex> hold(lock);
    if (handle != &device) return false;
    device.started = true;
    return true;
}

void StopCaptureDevice(void* handle) {
    std::lock_guard<std::mutex> hold(lock);
    if (handle != &device) return;
    device.started = false;
    device.queue.clear();
}

void ResetNullCapture(bool deviceAvailable) {
    std::lock_guard<std::mutex> hold(lock);
    device = NullDevice{};
    device.available = deviceAvailable;
}

bool NullFinishNextBlock(const uint8_t* data, uint32_t bytes) {
    WaveHeader* header;
    void* window;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (device.queue.empty()) return false;
        header = device.queue.front();
        device.queue.pop_front();
        window = device.callbackWindow;
    }
    uint32_t length = bytes < header->dwBufferLength ? bytes : header->dwBufferLength;
    if (header->lpData && data) std::memcpy(header->lpData, data, length);
    header->dwBytesRecorded = length;
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    NullPostMessageFromAnyThread(NullWindowNumber(window), MM_WIM_DATA,
                                 static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&device)),
                                 static_cast<int64_t>(reinterpret_cast<intptr_t>(header)));
    return true;
}

int64_t NullCaptureAddCount(const WaveHeader* header) {
    std::lock_guard<std::mutex> hold(lock);
    auto found = device.adds.find(header);
    return found == device.adds.end() ? 0 : found->second;
}

int64_t NullCaptureQueuedCount() {
    std::lock_guard<std::mutex> hold(lock);
    return static_cast<int64_t>(device.queue.size());
}

bool NullWaitForQueuedBlocks(int64_t count, int32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(lock);
    return blockQueued.wait_for(hold, std::chrono::milliseconds(timeoutMs), [count] {
        return static_cast<int64_t>(device.queue.size()) >= count;
    });
}

uint32_t NullCaptureDeviceId() {
    std::lock_guard<std::mutex> hold(lock);
    return device.deviceId;
}

WaveFormatRecord NullCaptureFormat() {
    std::lock_guard<std::mutex> hold(lock);
    return device.format;
}

bool NullCaptureStarted() {
    std::lock_guard<std::mutex> hold(lock);
    return device.started;
}
