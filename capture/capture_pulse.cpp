// The capture service on Linux, over PulseAudio's client API (PipeWire's
// pulse service speaks it too). It keeps wave-in's contract: headers queued
// with AddCaptureBlock are filled in queue order, each finished one gets
// dwBytesRecorded and WHDR_DONE and is announced to the callback window as
// MM_WIM_DATA (wParam = device, lParam = header), posted to the window's
// thread so that it passes the window layer's message hook like the driver's
// message on Windows. Sound that arrives while no block is queued is lost,
// as with wave-in.
//
// The asynchronous API is used with a main loop of our own: opening waits
// for the server with a deadline, so a missing or silent server makes
// OpenCaptureDevice fail quickly instead of hanging start-up, and the
// service thread sleeps in the loop's poll until the server sends sound or
// StopCaptureDevice wakes it. If the server goes away, the thread stops
// delivering and sleeps until stopped.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"
#include "ui/messages.h"
#include "ui/posted_messages_x11.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto OPEN_DEADLINE = std::chrono::milliseconds(3000);
constexpr pa_usec_t FRAGMENT_USEC = 10000;  // the server hands sound over every 10 ms

struct PulseCapture {
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    void* callbackWindow = nullptr;

    std::mutex lock;                // guards everything below
    std::deque<WaveHeader*> queue;  // blocks waiting to be filled, the head first
    uint32_t filled = 0;            // bytes already in the head block
    bool started = false;
    bool stopping = false;  // StopCaptureDevice was called
    bool failed = false;    // the server went away
    std::thread service;
};

// Runs the loop once, waiting at most until the deadline.
bool IterateUntil(pa_mainloop* loop, Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    if (pa_mainloop_prepare(loop, static_cast<int>(std::min<int64_t>(left.count(), 1000000))) < 0) {
        return false;
    }
    if (pa_mainloop_poll(loop) < 0) return false;
    return pa_mainloop_dispatch(loop) >= 0;
}

bool WaitForContext(pa_mainloop* loop, pa_context* context, Clock::time_point deadline) {
    for (;;) {
        pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state)) return false;
        if (!IterateUntil(loop, deadline)) return false;
    }
}

bool WaitForStream(pa_mainloop* loop, pa_stream* stream, Clock::time_point deadline) {
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state)) return false;
        if (!IterateUntil(loop, deadline)) return false;
    }
}

// Device n of wave-in is the n-th capture source; monitors of outputs are
// not capture devices.
struct SourceSearch {
    uint32_t wanted = 0;
    uint32_t seen = 0;
    std::string name;
    bool done = false;
};

void CollectSource(pa_context*, const pa_source_info* info, int last, void* data) {
    auto* search = static_cast<SourceSearch*>(data);
    if (last) {
        search->done = true;
        return;
    }
    if (info == nullptr || info->monitor_of_sink != PA_INVALID_INDEX) return;
    if (search->seen++ == search->wanted && info->name != nullptr) search->name = info->name;
}

bool FindSourceName(PulseCapture& device, uint32_t deviceId, Clock::time_point deadline,
                    std::string* name) {
    SourceSearch search;
    search.wanted = deviceId;
    pa_operation* operation =
        pa_context_get_source_info_list(device.context, CollectSource, &search);
    if (operation == nullptr) return false;
    while (!search.done && IterateUntil(device.loop, deadline)) {
    }
    pa_operation_unref(operation);
    *name = search.name;
    return search.done && !name->empty();
}

bool SampleFormatFor(uint16_t bits, pa_sample_format_t* format) {
    switch (bits) {
        case 8:
            *format = PA_SAMPLE_U8;
            return true;
        case 16:
            *format = PA_SAMPLE_S16LE;
            return true;
        case 24:
            *format = PA_SAMPLE_S24LE;
            return true;
        case 32:
            *format = PA_SAMPLE_S32LE;
            return true;
        default:
            return false;
    }
}

void Disconnect(PulseCapture& device) {
    if (device.stream != nullptr) {
        pa_stream_set_read_callback(device.stream, nullptr, nullptr);
        pa_stream_disconnect(device.stream);
        pa_stream_unref(device.stream);
        device.stream = nullptr;
    }
    if (device.context != nullptr) {
        pa_context_disconnect(device.context);
        pa_context_unref(device.context);
        device.context = nullptr;
    }
    if (device.loop != nullptr) {
        pa_mainloop_free(device.loop);
        device.loop = nullptr;
    }
}

void Announce(PulseCapture& device, const std::vector<WaveHeader*>& finished) {
    for (WaveHeader* header : finished) {
        PostWindowMessage(device.callbackWindow, MM_WIM_DATA,
                          static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&device)),
                          static_cast<int64_t>(reinterpret_cast<intptr_t>(header)));
    }
}

// Marks the head block finished with what it holds. Called under the lock.
void FinishHead(PulseCapture& device, std::vector<WaveHeader*>& finished) {
    WaveHeader* header = device.queue.front();
    device.queue.pop_front();
    header->dwBytesRecorded = device.filled;
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    device.filled = 0;
    finished.push_back(header);
}

// Copies sound into the queued blocks in order (nullptr data: a gap in the
// stream, recorded as silence).
void Deliver(PulseCapture& device, const uint8_t* data, size_t length,
             std::vector<WaveHeader*>& finished) {
    std::lock_guard<std::mutex> hold(device.lock);
    if (device.stopping) return;
    while (length > 0 && !device.queue.empty()) {
        WaveHeader* header = device.queue.front();
        uint32_t room = header->dwBufferLength - device.filled;
        auto take = static_cast<uint32_t>(std::min<size_t>(room, length));
        if (data != nullptr) {
            std::memcpy(header->lpData + device.filled, data, take);
            data += take;
        } else {
            std::memset(header->lpData + device.filled, 0, take);
        }
        device.filled += take;
        length -= take;
        if (device.filled == header->dwBufferLength) FinishHead(device, finished);
    }
}

void OnRead(pa_stream* stream, size_t, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    std::vector<WaveHeader*> finished;
    const void* bytes = nullptr;
    size_t length = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &bytes, &length) < 0 || length == 0) break;
        Deliver(device, static_cast<const uint8_t*>(bytes), length, finished);
        pa_stream_drop(stream);
    }
    Announce(device, finished);
}

bool Healthy(PulseCapture& device) {
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(device.context)) &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(device.stream));
}

void ServiceThread(PulseCapture* device) {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(device->lock);
            if (device->stopping) return;
        }
        // Sleeps in poll until the server sends something or Stop wakes it.
        if (pa_mainloop_iterate(device->loop, 1, nullptr) < 0 || !Healthy(*device)) break;
    }
    // The server is gone: deliver nothing more and wait for the stop,
    // without spinning. The queued blocks stay with the device until then.
    std::lock_guard<std::mutex> hold(device->lock);
    device->failed = true;
}

}  // namespace

void* OpenCaptureDevice(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow) {
    pa_sample_spec sampleSpec;
    if (format.wFormatTag != WAVE_FORMAT_PCM ||
        !SampleFormatFor(format.wBitsPerSample, &sampleSpec.format)) {
        return nullptr;
    }
    sampleSpec.rate = format.nSamplesPerSec;
    sampleSpec.channels =
        static_cast<uint8_t>(std::min<uint16_t>(format.nChannels, PA_CHANNELS_MAX));
    if (format.nChannels > PA_CHANNELS_MAX || !pa_sample_spec_valid(&sampleSpec)) return nullptr;

    auto* device = new PulseCapture();
    device->callbackWindow = callbackWindow;
    Clock::time_point deadline = Clock::now() + OPEN_DEADLINE;
    device->loop = pa_mainloop_new();
    if (device->loop != nullptr) {
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Vellumtone");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "vellumtone");
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "production");
        device->context = pa_context_new_with_proplist(pa_mainloop_get_api(device->loop),
                                                       "Vellumtone", properties);
        pa_proplist_free(properties);
    }
    bool ok = device->context != nullptr &&
              pa_context_connect(device->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
              WaitForContext(device->loop, device->context, deadline);

    std::string source;
    if (ok && deviceId != WAVE_MAPPER) ok = FindSourceName(*device, deviceId, deadline, &source);
    if (ok) {
        device->stream = pa_stream_new(device->context, "Level meter", &sampleSpec, nullptr);
        ok = device->stream != nullptr;
    }
    if (ok) {
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(FRAGMENT_USEC, &sampleSpec));
        pa_stream_set_read_callback(device->stream, OnRead, device);
        // Like waveInOpen, opening does not record yet: the stream starts corked.
        auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        ok = pa_stream_connect_record(device->stream, source.empty() ? nullptr : source.c_str(),
                                      &attributes, flags) >= 0 &&
             WaitForStream(device->loop, device->stream, deadline);
    }
    if (!ok) {
        Disconnect(*device);
        delete device;
        return nullptr;
    }
    return device;
}

bool PrepareCaptureBlock(void* handle, WaveHeader* header) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr || header == nullptr || header->lpData == nullptr ||
        header->dwBufferLength == 0) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(device->lock);
        header->dwFlags |= WHDR_PREPARED;
    }
    return AddCaptureBlock(handle, header);
}

bool AddCaptureBlock(void* handle, WaveHeader* header) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr || header == nullptr) return false;
    std::lock_guard<std::mutex> hold(device->lock);
    // As waveInAddBuffer: an unprepared header, or one still queued, is
    // refused; after a stop the device takes no block.
    if ((header->dwFlags & WHDR_PREPARED) == 0 || (header->dwFlags & WHDR_INQUEUE) != 0 ||
        device->stopping || header->lpData == nullptr || header->dwBufferLength == 0) {
        return false;
    }
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    device->queue.push_back(header);
    return true;
}

bool StartCaptureDevice(void* handle) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr) return false;
    std::lock_guard<std::mutex> hold(device->lock);
    if (device->stopping || device->failed) return false;
    if (device->started) return true;
    // The loop is not running on any thread yet, so it may be used here.
    pa_operation* operation = pa_stream_cork(device->stream, 0, nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
    try {
        device->service = std::thread(ServiceThread, device);
    } catch (...) {
        return false;
    }
    device->started = true;
    return true;
}

void StopCaptureDevice(void* handle) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        if (device->stopping) return;
        device->stopping = true;
    }
    if (device->loop != nullptr) pa_mainloop_wakeup(device->loop);
    if (device->service.joinable()) device->service.join();
    Disconnect(*device);
    // As waveInReset: every queued block comes back marked done, with what
    // it holds, announced like any finished block.
    std::vector<WaveHeader*> finished;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        while (!device->queue.empty()) FinishHead(*device, finished);
    }
    Announce(*device, finished);
    // The record stays: its address is the handle, and posted messages name it.
}

// The stream itself is the device here: nothing to reopen from outside.
void* RecoverCaptureDevice(void* handle, WaveHeader*, size_t, uint32_t, const WaveFormatRecord&,
                           void*, bool* closeNoticePosted) {
    *closeNoticePosted = false;
    return handle;
}
