// Triple buffer hand-over of captured blocks (see block_exchange.h).
#include "capture/block_exchange.h"

void BlockExchange::Publish(uint32_t length, std::chrono::steady_clock::time_point now) {
    CapturedBlock& block = blocks_[back_];
    block.length = length > CAPTURE_WORK_BUFFER_BYTES ? CAPTURE_WORK_BUFFER_BYTES : length;
    block.sequence = ++published_;
    block.published = now;
    // Release: the bytes are visible before the reader can take the block.
    uint8_t previous =
        middle_.exchange(static_cast<uint8_t>(back_ | FRESH), std::memory_order_acq_rel);
    back_ = previous & 0x3;
    publishedCount_.store(published_, std::memory_order_release);
}

const CapturedBlock& BlockExchange::Latest() {
    if (middle_.load(std::memory_order_relaxed) & FRESH) {
        uint8_t previous = middle_.exchange(front_, std::memory_order_acq_rel);
        front_ = previous & 0x3;
    }
    return blocks_[front_];
}

void BlockExchange::Reset() {
    for (CapturedBlock& block : blocks_) {
        block.length = 0;
        block.sequence = 0;
        block.published = {};
    }
    back_ = 0;
    front_ = 1;
    middle_.store(2);
    published_ = 0;
    publishedCount_.store(0);
}

BlockExchange& CaptureWorkBuffer() {
    static BlockExchange exchange;
    return exchange;
}
