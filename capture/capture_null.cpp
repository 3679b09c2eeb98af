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

// A reopened device gets the other handle, as a device opened while the old
// one is still open would.
char handles[2];

struct NullDevice {
    bool available = true;
    void* handle = nullptr;  // nullptr while closed
    bool started = false;
    uint32_t deviceId = 0;
    WaveFormatRecord format;
    void* callbackWindow = nullptr;
    std::deque<WaveHeader*> queue;
    std::map<const WaveHeader*, int64_t> adds;
    uint32_t refusedDeviceId = DEFAULT_CAPTURE_DEVICE;
    std::vector<std::chrono::steady_clock::time_point> refusals;
};

std::mutex lock;
std::condition_variable blockQueued;
NullDevice device;

// Called under the lock, so that messages are posted in the device's order.
void Post(uint32_t message, void* handle, WaveHeader* header) {
    NullPostMessageFromAnyThread(NullWindowNumber(device.callbackWindow), message,
                                 static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle)),
                                 static_cast<int64_t>(reinterpret_cast<intptr_t>(header)));
}

bool IsOpen(void* handle) {
    return handle != nullptr && handle == device.handle;
}

// Called under the lock.
bool Refuses(uint32_t deviceId) {
    if (deviceId == DEFAULT_CAPTURE_DEVICE || deviceId != device.refusedDeviceId) return false;
    device.refusals.push_back(std::chrono::steady_clock::now());
    return true;
}

}  // namespace

void* OpenCaptureDevice(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow) {
    std::lock_guard<std::mutex> hold(lock);
    if (!device.available || Refuses(deviceId)) return nullptr;
    device.handle = &handles[0];
    device.deviceId = deviceId;
    device.format = format;
    device.callbackWindow = callbackWindow;
    return device.handle;
}

bool PrepareCaptureBlock(void* handle, WaveHeader* header) {
    {
        std::lock_guard<std::mutex> hold(lock);
        if (header) header->dwFlags |= BLOCK_PREPARED;
    }
    return AddCaptureBlock(handle, header);
}

bool AddCaptureBlock(void* handle, WaveHeader* header) {
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!IsOpen(handle) || !header) return false;
        header->dwFlags = (header->dwFlags & ~BLOCK_DONE) | BLOCK_QUEUED;
        device.queue.push_back(header);
        device.adds[header] += 1;
    }
    blockQueued.notify_all();
    return true;
}

bool StartCaptureDevice(void* handle) {
    std::lock_guard<std::mutex> hold(lock);
    if (!IsOpen(handle)) return false;
    device.started = true;
    return true;
}

bool CaptureBlockDone(void*, const WaveHeader* header) {
    std::lock_guard<std::mutex> hold(lock);
    return (header->dwFlags & BLOCK_DONE) != 0;
}

void StopCaptureDevice(void* handle, WaveHeader*, size_t) {
    std::lock_guard<std::mutex> hold(lock);
    if (!IsOpen(handle)) return;
    device.started = false;
    device.queue.clear();
}

// As wave-in does it: the reset hands every queued block back, announced,
// then the new device is opened and the old one closed, which posts its
// close notice.
void* RecoverCaptureDevice(void* handle, WaveHeader*, size_t, uint32_t deviceId,
                           const WaveFormatRecord& format, void* callbackWindow,
                           bool* closeNoticePosted, bool* headersReleased) {
    std::lock_guard<std::mutex> hold(lock);
    *closeNoticePosted = false;
    *headersReleased = true;
    bool wasOpen = IsOpen(handle);
    if (wasOpen) {
        for (WaveHeader* header : device.queue) {
            header->dwBytesRecorded = 0;
            header->dwFlags = (header->dwFlags & ~BLOCK_QUEUED) | BLOCK_DONE;
            Post(MESSAGE_CAPTURE_DATA, handle, header);
        }
        device.queue.clear();
        device.started = false;
    }
    void* fresh = nullptr;
    if (device.available && !Refuses(deviceId)) {
        fresh = handle == &handles[0] ? &handles[1] : &handles[0];
        device.deviceId = deviceId;
        device.format = format;
        device.callbackWindow = callbackWindow;
    }
    if (wasOpen) {
        Post(MESSAGE_CAPTURE_CLOSE, handle, nullptr);
        *closeNoticePosted = true;
    }
    device.handle = fresh;
    return fresh;
}

void ResetNullCapture(bool deviceAvailable) {
    std::lock_guard<std::mutex> hold(lock);
    device = NullDevice{};
    device.available = deviceAvailable;
}

void SetNullCaptureAvailable(bool deviceAvailable) {
    std::lock_guard<std::mutex> hold(lock);
    device.available = deviceAvailable;
}

void SetNullCaptureRefusedDevice(uint32_t deviceId) {
    std::lock_guard<std::mutex> hold(lock);
    device.refusedDeviceId = deviceId;
    device.refusals.clear();
}

std::vector<std::chrono::steady_clock::time_point> NullCaptureRefusals() {
    std::lock_guard<std::mutex> hold(lock);
    return device.refusals;
}

bool NullFinishNextBlock(const uint8_t* data, uint32_t bytes) {
    std::lock_guard<std::mutex> hold(lock);
    if (device.queue.empty()) return false;
    WaveHeader* header = device.queue.front();
    device.queue.pop_front();
    uint32_t length = bytes < header->dwBufferLength ? bytes : header->dwBufferLength;
    if (header->lpData && data) std::memcpy(header->lpData, data, length);
    header->dwBytesRecorded = length;
    header->dwFlags = (header->dwFlags & ~BLOCK_QUEUED) | BLOCK_DONE;
    Post(MESSAGE_CAPTURE_DATA, device.handle, header);
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

void* NullCaptureHandle() {
    std::lock_guard<std::mutex> hold(lock);
    return device.handle;
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
