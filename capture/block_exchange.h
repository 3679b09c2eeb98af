// The capture work buffer as a triple buffer: the capture thread fills one
// block while the analysis reads another, and the newest complete block is
// handed over with one atomic exchange. The analysis therefore always scans
// one whole block, the newest, and only the bytes that were recorded in it;
// neither side ever waits for the other.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "capture/capture_state.h"

struct CapturedBlock {
    uint8_t bytes[CAPTURE_WORK_BUFFER_BYTES] = {};
    uint32_t length = 0;    // bytes recorded
    uint64_t sequence = 0;  // 1 for the first block published, then counting
    std::chrono::steady_clock::time_point published{};  // when it was handed over
};

class BlockExchange {
public:
    // Writer side (one thread): the block to fill, then Publish with its
    // length and the time it was handed over.
    CapturedBlock& WriteBlock() { return blocks_[back_]; }
    void Publish(uint32_t length,
                 std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

    // Reader side (one thread): the newest published block, or an empty block
    // (length 0) before the first. Stays valid until the next Latest call.
    const CapturedBlock& Latest();

    void Reset();

    // Blocks published so far; any thread may ask.
    uint64_t PublishedCount() const { return publishedCount_.load(std::memory_order_acquire); }

private:
    static constexpr uint8_t FRESH = 0x4;  // set while the middle block is unread
    CapturedBlock blocks_[3];
    uint8_t back_ = 0;
    uint8_t front_ = 1;
    std::atomic<uint8_t> middle_{2};
    uint64_t published_ = 0;
    std::atomic<uint64_t> publishedCount_{0};
};

// The process's capture work buffer.
BlockExchange& CaptureWorkBuffer();
