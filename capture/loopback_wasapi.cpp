// What the default output plays, over WASAPI loopback. A shared-mode stream
// opened with AUDCLNT_STREAMFLAGS_LOOPBACK on a render endpoint hands over
// what the system mixes for that endpoint, in the mix's own format (as a
// rule 32-bit float at the mix's rate, with the endpoint's channels). It is
// read on its own thread every POLL_MS from a waitable timer: event-driven
// reading of a loopback stream only works from Windows 10 1703 on. While
// nothing plays the stream hands over no packets at all; the block assembler
// then fills the time with silence, so that blocks still come at their pace,
// the needles rest and the watchdog sees a device that records.
//
// The stream follows the default output: the MMDevice API reports a new
// default through IMMNotificationClient, and a stream whose endpoint went
// away fails with AUDCLNT_E_DEVICE_INVALIDATED; either way the thread opens
// a stream on the default of the moment, and while none opens it tries
// again with a growing pause, silence going on meanwhile.
//
// Nothing here is linked by name: the MMDevice API and WASAPI are reached
// through COM (CoCreateInstance, IMMDevice::Activate), which fails cleanly
// on a system without them, and the program still starts there.
#include "capture/loopback_wasapi.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "capture/capture_state.h"
#include "capture/loopback_blocks.h"
#include "capture/loopback_mix_format.h"
#include "system/windows_api_win32.h"
#include "ui/messages.h"
// After windows.h, whose types they use.
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

namespace {

using Clock = std::chrono::steady_clock;

// The stream's own buffer, in 100-ns units: half a second, so that a poll
// held up for a while loses nothing.
constexpr REFERENCE_TIME STREAM_BUFFER = 5000000;
constexpr LONG POLL_MS = 10;
// Packets taken in one poll at most: half a second of 10 ms packets is 50.
constexpr int MAX_PACKETS_PER_POLL = 1000;
// How long an opening waits for the stream, and a close for the thread.
constexpr DWORD OPEN_WAIT_MS = 3000;
constexpr DWORD CLOSE_WAIT_MS = 2000;
// The pauses between tries while no stream opens.
constexpr int32_t FIRST_RETRY_MS = 250;
constexpr int32_t LONGEST_RETRY_MS = 2000;
// The pauses between tries of a recording that waits for loopback to work
// (the default output's change cuts one short).
constexpr int32_t FIRST_PROBE_PAUSE_MS = 1000;
constexpr int32_t LONGEST_PROBE_PAUSE_MS = 16000;
constexpr auto PROBE_TRUSTED = std::chrono::seconds(1);

template <typename T>
void ReleaseCom(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// Tells the thread that the default output changed. The MMDevice API calls
// it on a thread of its own, and it must not block there. It lives for good,
// with its device record or on its own, so it needs no reference count.
class DefaultOutputWatch final : public IMMNotificationClient {
public:
    std::atomic<bool> changed{false};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
        if (flow == eRender && role == eConsole) changed.store(true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override {
        return S_OK;
    }
};

// One loopback recording. The record is never freed: its address is the
// device handle, which posted messages name, and which must never be given
// to another device while any of them may still be on their way.
struct LoopbackDevice {
    HWND window = nullptr;
    WaveFormatRecord format;
    uint32_t blockBytes = 0;  // of the recording's blocks
    HANDLE thread = nullptr;
    HANDLE stop = nullptr;   // manual reset
    HANDLE start = nullptr;  // manual reset
    HANDLE ready = nullptr;  // manual reset: the first stream opened or failed
    std::atomic<bool> opened{false};
    DefaultOutputWatch watch;
    std::mutex lock;  // the queue and the state below
    std::deque<WaveHeader*> queue;
    bool closed = false;
    bool threadEnded = false;
};

std::mutex registryLock;
std::vector<LoopbackDevice*> registry;  // every record ever made

LoopbackDevice* Find(void* handle) {
    if (handle == nullptr) return nullptr;
    std::lock_guard<std::mutex> hold(registryLock);
    for (LoopbackDevice* device : registry) {
        if (device == handle) return device;
    }
    return nullptr;
}

uint32_t LoadFlags(const WaveHeader* header) {
    return __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE);
}
void StoreFlags(WaveHeader* header, uint32_t flags) {
    __atomic_store_n(&header->dwFlags, flags, __ATOMIC_RELEASE);
}

// The reader of the mix format takes Windows' records as they lie in memory.
static_assert(sizeof(WAVEFORMATEX) == MIX_FORMAT_BYTES);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == EXTENSIBLE_MIX_FORMAT_BYTES);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, SubFormat) == MIX_SUBFORMAT_OFFSET);
static_assert(FLOAT_FORMAT_TAG == WAVE_FORMAT_IEEE_FLOAT);
static_assert(EXTENSIBLE_FORMAT_TAG == WAVE_FORMAT_EXTENSIBLE);

// A loopback stream of the default output, opened and not started.
struct LoopbackStream {
    IAudioClient* client = nullptr;
    IAudioCaptureClient* capture = nullptr;
    LoopbackStreamRecord record;
    uint32_t rate = 0;
    const char* failedStep = nullptr;
    HRESULT failure = S_OK;

    void Close() {
        ReleaseCom(capture);
        ReleaseCom(client);
    }
};

bool Fail(LoopbackStream* stream, const char* step, HRESULT result) {
    stream->failedStep = step;
    stream->failure = result;
    stream->Close();
    return false;
}

bool OpenStream(IMMDeviceEnumerator* endpoints, LoopbackStream* stream) {
    IMMDevice* output = nullptr;
    HRESULT result = endpoints->GetDefaultAudioEndpoint(eRender, eConsole, &output);
    if (FAILED(result)) return Fail(stream, "GetDefaultAudioEndpoint", result);
    result = output->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                              reinterpret_cast<void**>(&stream->client));
    output->Release();
    if (FAILED(result)) {
        stream->client = nullptr;
        return Fail(stream, "Activate(IAudioClient)", result);
    }
    WAVEFORMATEX* mix = nullptr;
    result = stream->client->GetMixFormat(&mix);
    if (FAILED(result)) return Fail(stream, "GetMixFormat", result);
    if (!ReadLoopbackMixFormat(reinterpret_cast<const uint8_t*>(mix),
                               sizeof(WAVEFORMATEX) + mix->cbSize, &stream->record,
                               &stream->rate)) {
        CoTaskMemFree(mix);
        return Fail(stream, "the mix format", AUDCLNT_E_UNSUPPORTED_FORMAT);
    }
    result = stream->client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK,
                                        STREAM_BUFFER, 0, mix, nullptr);
    CoTaskMemFree(mix);
    if (FAILED(result)) return Fail(stream, "Initialize(LOOPBACK)", result);
    result = stream->client->GetService(__uuidof(IAudioCaptureClient),
                                        reinterpret_cast<void**>(&stream->capture));
    if (FAILED(result)) {
        stream->capture = nullptr;
        return Fail(stream, "GetService(IAudioCaptureClient)", result);
    }
    return true;
}

IMMDeviceEnumerator* CreateEndpoints(HRESULT* result) {
    IMMDeviceEnumerator* endpoints = nullptr;
    *result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                               __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&endpoints));
    return SUCCEEDED(*result) ? endpoints : nullptr;
}

// Whether loopback works here is asked anew until it has once: an output
// plugged in after a failure (a headset or USB DAC absent at login), or a
// sound service that was not running yet, gives a loopback stream later.
// Once one opened, the system gives loopback, and a loopback device bridges
// a time without an output with silence.
struct ProbeState {
    std::mutex lock;  // one probe at a time; the fields below
    std::string description;
    int64_t count = 0;
    Clock::time_point workedAt{};  // of the last probe that opened a stream
    Clock::time_point nextPacedProbe{};
    int32_t pausedMs = FIRST_PROBE_PAUSE_MS;
    bool watching = false;
};

std::atomic<bool> probeWorked{false};
ProbeState probe;
// Told of a new default output while loopback has not worked yet; never
// freed, since the registration lasts until the process ends.
DefaultOutputWatch outputWatch;

// Holds probe.lock.
bool ProbeNow() {
    ++probe.count;
    // COM may be set up on this thread already, in either model; either
    // serves, and only a successful call here is undone here.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT result = S_OK;
    bool works = false;
    char text[96];
    if (IMMDeviceEnumerator* endpoints = CreateEndpoints(&result)) {
        LoopbackStream stream;
        works = OpenStream(endpoints, &stream);
        if (works) {
            std::snprintf(text, sizeof text, "loopback opens: %u Hz, %u channels", stream.rate,
                          stream.record.channels);
        } else {
            std::snprintf(text, sizeof text, "%s failed: 0x%08lX", stream.failedStep,
                          static_cast<unsigned long>(stream.failure));
        }
        stream.Close();
        endpoints->Release();
    } else {
        std::snprintf(text, sizeof text, "no MMDevice API: 0x%08lX",
                      static_cast<unsigned long>(result));
    }
    if (SUCCEEDED(com)) CoUninitialize();
    probe.description = text;
    if (works) {
        probe.workedAt = Clock::now();
        probeWorked.store(true);
    }
    return works;
}

// Keeps outputWatch registered for the rest of the process: the
// registration lives as long as its enumerator and the multithreaded
// apartment, which this thread holds while it sleeps.
DWORD WINAPI WatchDefaultOutput(void*) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 0;
    HRESULT result = S_OK;
    IMMDeviceEnumerator* endpoints = CreateEndpoints(&result);
    if (endpoints != nullptr &&
        SUCCEEDED(endpoints->RegisterEndpointNotificationCallback(&outputWatch))) {
        Sleep(INFINITE);
    }
    ReleaseCom(endpoints);
    CoUninitialize();
    return 0;
}

// Hands a finished block to the oldest queued header and announces it. With
// no header queued (the program holds them all) the block is lost, as a
// wave-in device loses what it has nowhere to put.
void Deliver(void* context, const uint8_t* bytes, uint32_t length) {
    auto* device = static_cast<LoopbackDevice*>(context);
    WaveHeader* header = nullptr;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        if (device->queue.empty()) return;
        header = device->queue.front();
        device->queue.pop_front();
    }
    uint32_t kept = std::min(length, header->dwBufferLength);
    std::memcpy(header->lpData, bytes, kept);
    header->dwBytesRecorded = kept;
    StoreFlags(header, (LoadFlags(header) & ~BLOCK_QUEUED) | BLOCK_DONE);
    PostMessageW(device->window, MESSAGE_CAPTURE_DATA, reinterpret_cast<WPARAM>(device),
                 reinterpret_cast<LPARAM>(header));
}

// Takes every packet the stream holds; the stream's error, if any.
HRESULT ReadPackets(IAudioCaptureClient* capture, LoopbackBlockAssembler& assembler, int64_t now) {
    for (int packet = 0; packet < MAX_PACKETS_PER_POLL; ++packet) {
        UINT32 next = 0;
        HRESULT result = capture->GetNextPacketSize(&next);
        if (FAILED(result) || next == 0) return result;
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        result = capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
        if (FAILED(result)) return result;
        if (result == AUDCLNT_S_BUFFER_EMPTY) return S_OK;
        assembler.AddPacket(data, frames, (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0, now);
        result = capture->ReleaseBuffer(frames);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

// The recording, from the start signal to the stop: reads the stream at
// every tick of the timer and follows the default output.
void Record(LoopbackDevice* device, IMMDeviceEnumerator* endpoints, LoopbackStream& stream) {
    HANDLE startOrStop[2] = {device->stop, device->start};
    if (WaitForMultipleObjects(2, startOrStop, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * POLL_MS;  // relative, in 100-ns units
    if (timer == nullptr || !SetWaitableTimer(timer, &due, POLL_MS, nullptr, nullptr, FALSE)) {
        // No block will come; the watchdog reopens the recording.
        if (timer != nullptr) CloseHandle(timer);
        return;
    }

    LoopbackBlockAssembler assembler;
    Clock::time_point origin;
    uint32_t rate = 0;
    auto configure = [&] {
        LoopbackStreamRecord record = stream.record;
        record.outChannels = device->format.nChannels;
        const LoopbackBlockShape shape =
            ShapeLoopbackBlocks(device->blockBytes, device->format.nSamplesPerSec,
                                device->format.nChannels, stream.rate);
        record.blockFrames = shape.frames;
        record.fold = shape.fold;
        assembler.Configure(record, Deliver, device);
        origin = Clock::now();
        rate = stream.rate;
    };
    // The clock in frames of the stream's rate since it was configured.
    auto now = [&] {
        auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - origin).count();
        return static_cast<int64_t>(micros * static_cast<int64_t>(rate) / 1000000);
    };

    configure();
    bool live = SUCCEEDED(stream.client->Start());
    if (!live) stream.Close();
    int32_t retryMs = FIRST_RETRY_MS;
    Clock::time_point nextTry = Clock::now();
    HANDLE stopOrTick[2] = {device->stop, timer};
    while (WaitForMultipleObjects(2, stopOrTick, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        bool reopen = device->watch.changed.exchange(false);
        if (live && FAILED(ReadPackets(stream.capture, assembler, now()))) reopen = true;
        if (reopen || (!live && Clock::now() >= nextTry)) {
            if (live) stream.client->Stop();
            stream.Close();
            live = OpenStream(endpoints, &stream) && SUCCEEDED(stream.client->Start());
            if (live) {
                configure();
                retryMs = FIRST_RETRY_MS;
            } else {
                // The old stream's silence goes on, at the old clock.
                stream.Close();
                nextTry = Clock::now() + std::chrono::milliseconds(retryMs);
                retryMs = std::min(retryMs * 2, LONGEST_RETRY_MS);
            }
        }
        assembler.FillGap(now());
    }
    if (live) stream.client->Stop();
    CloseHandle(timer);
}

DWORD WINAPI LoopbackThread(void* argument) {
    auto* device = static_cast<LoopbackDevice*>(argument);
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HRESULT result = S_OK;
    IMMDeviceEnumerator* endpoints = CreateEndpoints(&result);
    bool watching = endpoints != nullptr &&
                    SUCCEEDED(endpoints->RegisterEndpointNotificationCallback(&device->watch));
    LoopbackStream stream;
    bool opened = endpoints != nullptr && OpenStream(endpoints, &stream);
    device->opened.store(opened);
    SetEvent(device->ready);
    if (opened) Record(device, endpoints, stream);
    stream.Close();
    if (watching) endpoints->UnregisterEndpointNotificationCallback(&device->watch);
    ReleaseCom(endpoints);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

}  // namespace

bool LoopbackCaptureWorks() {
    if (probeWorked.load()) return true;
    std::lock_guard<std::mutex> hold(probe.lock);
    return probeWorked.load() || ProbeNow();
}

bool LoopbackCaptureOpensNow() {
    std::lock_guard<std::mutex> hold(probe.lock);
    // The lookup that finds loopback back is followed at once by the
    // reopening's own: one probe serves both.
    if (probeWorked.load() && Clock::now() - probe.workedAt < PROBE_TRUSTED) return true;
    const bool outputChanged = outputWatch.changed.exchange(false);
    if (!outputChanged && Clock::now() < probe.nextPacedProbe) return false;
    if (ProbeNow()) {
        probe.pausedMs = FIRST_PROBE_PAUSE_MS;
        return true;
    }
    probe.nextPacedProbe = Clock::now() + std::chrono::milliseconds(probe.pausedMs);
    probe.pausedMs = std::min(probe.pausedMs * 2, LONGEST_PROBE_PAUSE_MS);
    if (!probe.watching) {
        HANDLE watcher = CreateThread(nullptr, 0, WatchDefaultOutput, nullptr, 0, nullptr);
        probe.watching = watcher != nullptr;
        if (watcher != nullptr) CloseHandle(watcher);
    }
    return false;
}

std::string DescribeLoopbackProbe() {
    std::lock_guard<std::mutex> hold(probe.lock);
    return probe.description;
}

int64_t LoopbackProbeCount() {
    std::lock_guard<std::mutex> hold(probe.lock);
    return probe.count;
}

void* OpenLoopbackDevice(const WaveFormatRecord& format, void* callbackWindow) {
    if (format.wFormatTag != PCM_FORMAT_TAG || format.wBitsPerSample != 16 ||
        format.nChannels < 1 || format.nChannels > 2 || format.nSamplesPerSec == 0) {
        return nullptr;
    }
    auto* device = new LoopbackDevice();
    device->window = static_cast<HWND>(callbackWindow);
    device->format = format;
    // The recording's blocks, as OpenCapture sizes them for this format.
    const auto blockAlign = static_cast<int32_t>(format.nChannels * 2);
    device->blockBytes = static_cast<uint32_t>(
        BoundBlockLength(ComputeBlockLength(format.nSamplesPerSec, format.nChannels), blockAlign));
    device->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    device->start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    device->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (device->stop != nullptr && device->start != nullptr && device->ready != nullptr) {
        device->thread = CreateThread(nullptr, 0, LoopbackThread, device, 0, nullptr);
    }
    if (device->thread == nullptr) {
        for (HANDLE event : {device->stop, device->start, device->ready}) {
            if (event != nullptr) CloseHandle(event);
        }
        delete device;  // never handed out
        return nullptr;
    }
    HANDLE readyOrEnded[2] = {device->ready, device->thread};
    DWORD woken = WaitForMultipleObjects(2, readyOrEnded, FALSE, OPEN_WAIT_MS);
    if (woken != WAIT_OBJECT_0 || !device->opened.load()) {
        // The thread ends by itself once told to: at once when the stream
        // failed, since only its clean-up is left. A thread still caught in
        // the system's call keeps the record and its handles, for good.
        SetEvent(device->stop);
        if (WaitForSingleObject(device->thread, woken == WAIT_TIMEOUT ? 0 : CLOSE_WAIT_MS) ==
            WAIT_OBJECT_0) {
            for (HANDLE handle : {device->thread, device->stop, device->start, device->ready}) {
                CloseHandle(handle);
            }
            delete device;
        }
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(registryLock);
    registry.push_back(device);
    return device;
}

bool IsLoopbackDevice(void* device) {
    return Find(device) != nullptr;
}

// As waveInPrepareHeader and waveInAddBuffer: an unprepared header, or one
// still queued, is refused; a closed device takes none.
bool QueueLoopbackBlock(void* handle, WaveHeader* header, bool prepare) {
    LoopbackDevice* device = Find(handle);
    if (device == nullptr || header == nullptr || header->lpData == nullptr ||
        header->dwBufferLength == 0) {
        return false;
    }
    std::lock_guard<std::mutex> hold(device->lock);
    if (device->closed) return false;
    uint32_t flags = LoadFlags(header);
    if (prepare) flags |= BLOCK_PREPARED;
    if ((flags & BLOCK_PREPARED) == 0 || (flags & BLOCK_QUEUED) != 0) return false;
    header->dwBytesRecorded = 0;
    StoreFlags(header, (flags & ~BLOCK_DONE) | BLOCK_QUEUED);
    device->queue.push_back(header);
    return true;
}

bool StartLoopbackDevice(void* handle) {
    LoopbackDevice* device = Find(handle);
    if (device == nullptr) return false;
    std::lock_guard<std::mutex> hold(device->lock);
    return !device->closed && SetEvent(device->start) != FALSE;
}

bool CloseLoopbackDevice(void* handle) {
    LoopbackDevice* device = Find(handle);
    if (device == nullptr) return false;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        if (device->closed) return device->threadEnded;
        device->closed = true;
    }
    SetEvent(device->stop);
    if (WaitForSingleObject(device->thread, CLOSE_WAIT_MS) != WAIT_OBJECT_0) return false;
    for (HANDLE handle : {device->thread, device->stop, device->start, device->ready}) {
        CloseHandle(handle);
    }
    std::deque<WaveHeader*> queued;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        device->threadEnded = true;
        queued.swap(device->queue);
    }
    // As waveInReset: every queued block comes back done, announced; the
    // close notice follows them.
    for (WaveHeader* header : queued) {
        StoreFlags(header, (LoadFlags(header) & ~BLOCK_QUEUED) | BLOCK_DONE);
        PostMessageW(device->window, MESSAGE_CAPTURE_DATA, reinterpret_cast<WPARAM>(device),
                     reinterpret_cast<LPARAM>(header));
    }
    PostMessageW(device->window, MESSAGE_CAPTURE_CLOSE, reinterpret_cast<WPARAM>(device), 0);
    return true;
}
