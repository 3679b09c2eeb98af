// One turn of a PulseAudio main loop of our own with a deadline: the capture
// service and the input listing both wait on their loops this way, so that
// a server that does not answer never holds a caller past its deadline.
#pragma once

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

// Runs the loop once, waiting at most until the deadline (and at most a
// second per turn); false once the deadline has passed or the loop failed.
inline bool IterateUntil(pa_mainloop* loop, std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (pa_mainloop_prepare(loop, static_cast<int>(std::min<int64_t>(left.count(), 1000000))) < 0) {
        return false;
    }
    if (pa_mainloop_poll(loop) < 0) return false;
    return pa_mainloop_dispatch(loop) >= 0;
}
