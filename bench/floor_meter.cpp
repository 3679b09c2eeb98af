// The floor of the meter's running cost: the wake-ups a meter built this
// way cannot do without, and nothing else. A 10 ms timer thread posts a
// semaphore; a scanning thread takes each post and scans the newest
// 8192-byte block for the two channels' peaks; the main thread runs a
// PulseAudio recording stream (default source, 44100 Hz stereo 16-bit) that
// the server feeds in fragments of one block (about 46 ms) and copies each
// finished block over the newest one. It opens no window and draws nothing,
// so whatever a meter costs above this is the price of its drawing and
// showing. Runs until killed; exits with 1 when the sound server cannot be
// reached or refuses the stream.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <semaphore>
#include <thread>

#include "analysis/peak_analysis.h"

namespace {

constexpr uint32_t BLOCK_BYTES = 8192;  // 2048 stereo 16-bit frames: 46.4 ms at 44100 Hz
constexpr auto TICK = std::chrono::milliseconds(10);

struct FloorState {
    std::mutex blockLock;  // guards newest
    uint8_t newest[BLOCK_BYTES] = {};
    uint8_t filling[BLOCK_BYTES] = {};  // main thread only
    uint32_t filled = 0;                // bytes in filling
    std::counting_semaphore<> tick{0};
    std::atomic<int32_t> lastPeaks{0};  // keeps the scan's result alive
};

FloorState state;

[[noreturn]] void TimerThread() {
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        next += TICK;
        std::this_thread::sleep_until(next);
        state.tick.release();
    }
}

[[noreturn]] void ScanThread() {
    uint8_t block[BLOCK_BYTES];
    for (;;) {
        state.tick.acquire();
        {
            std::lock_guard<std::mutex> hold(state.blockLock);
            std::memcpy(block, state.newest, BLOCK_BYTES);
        }
        ChannelPeaks peaks = ComputePeaks(block, BLOCK_BYTES, 4);
        state.lastPeaks.store(peaks.PeakLeft + peaks.PeakRight, std::memory_order_relaxed);
    }
}

void Collect(const uint8_t* data, size_t length) {
    while (length > 0) {
        size_t take = std::min<size_t>(BLOCK_BYTES - state.filled, length);
        if (data != nullptr) {
            std::memcpy(state.filling + state.filled, data, take);
            data += take;
        } else {
            std::memset(state.filling + state.filled, 0, take);
        }
        state.filled += static_cast<uint32_t>(take);
        length -= take;
        if (state.filled == BLOCK_BYTES) {
            std::lock_guard<std::mutex> hold(state.blockLock);
            std::memcpy(state.newest, state.filling, BLOCK_BYTES);
            state.filled = 0;
        }
    }
}

void OnRead(pa_stream* stream, size_t, void*) {
    const void* bytes = nullptr;
    size_t length = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &bytes, &length) < 0 || length == 0) break;
        Collect(static_cast<const uint8_t*>(bytes), length);
        pa_stream_drop(stream);
    }
}

void OnStreamState(pa_stream* stream, void* data) {
    if (pa_stream_get_state(stream) == PA_STREAM_FAILED) {
        std::fprintf(stderr, "floor_meter: the recording stream failed\n");
        pa_mainloop_quit(static_cast<pa_mainloop*>(data), 1);
    }
}

void OnContextState(pa_context* context, void* data) {
    auto* loop = static_cast<pa_mainloop*>(data);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: {
            pa_sample_spec spec = {PA_SAMPLE_S16LE, 44100, 2};
            pa_stream* stream = pa_stream_new(context, "floor", &spec, nullptr);
            pa_buffer_attr attr;
            std::memset(&attr, 0xff, sizeof attr);  // -1: the server's choice
            attr.fragsize = BLOCK_BYTES;
            if (stream == nullptr) {
                pa_mainloop_quit(loop, 1);
                return;
            }
            pa_stream_set_state_callback(stream, OnStreamState, loop);
            pa_stream_set_read_callback(stream, OnRead, nullptr);
            if (pa_stream_connect_record(stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
                pa_mainloop_quit(loop, 1);
            }
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            std::fprintf(stderr, "floor_meter: no sound server\n");
            pa_mainloop_quit(loop, 1);
            break;
        default:
            break;
    }
}

}  // namespace

int main() {
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "floor_meter");
    if (loop == nullptr || context == nullptr) return 1;
    pa_context_set_state_callback(context, OnContextState, loop);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        std::fprintf(stderr, "floor_meter: no sound server\n");
        return 1;
    }
    std::thread(TimerThread).detach();
    std::thread(ScanThread).detach();
    int result = 1;
    pa_mainloop_run(loop, &result);
    return result;
}
