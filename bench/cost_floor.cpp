// The floor of the meter's design, for running-cost comparisons: a 10 ms
// timer on one thread posting a semaphore to a second that scans an
// 8192-byte block for its peaks, plus a recording stream that delivers
// 8192-byte blocks (46 ms at 44100 Hz stereo). It draws nothing. Runs until
// it is killed.
#include <pulse/error.h>
#include <pulse/simple.h>
#include <semaphore.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr size_t BLOCK_BYTES = 8192;
uint8_t block[BLOCK_BYTES];
sem_t tick;
std::atomic<int32_t> shown{0};

void Record() {
    pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.fragsize = BLOCK_BYTES;
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "cost_floor", PA_STREAM_RECORD, nullptr, "floor",
                                      &spec, nullptr, &attributes, &error);
    if (stream == nullptr) {
        std::fprintf(stderr, "cost_floor: %s\n", pa_strerror(error));
        return;
    }
    static uint8_t incoming[BLOCK_BYTES];
    while (pa_simple_read(stream, incoming, BLOCK_BYTES, &error) == 0) {
        std::memcpy(block, incoming, BLOCK_BYTES);
    }
}

void Scan() {
    for (;;) {
        sem_wait(&tick);
        int32_t left = 0, right = 0;
        for (size_t p = 0; p + 4 <= BLOCK_BYTES; p += 4) {
            int16_t l, r;
            std::memcpy(&l, block + p, 2);
            std::memcpy(&r, block + p + 2, 2);
            left = std::max(left, l < 0 ? -int32_t{l} : int32_t{l});
            right = std::max(right, r < 0 ? -int32_t{r} : int32_t{r});
        }
        shown.store(left + right, std::memory_order_relaxed);
    }
}

}  // namespace

int main() {
    sem_init(&tick, 0, 0);
    std::thread recorder(Record);
    std::thread scanner(Scan);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        next.tv_nsec += 10'000'000;
        if (next.tv_nsec >= 1'000'000'000) {
            next.tv_nsec -= 1'000'000'000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        sem_post(&tick);
    }
}
