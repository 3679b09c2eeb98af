// Cost of one analysis tick's scan and of one block hand-off at the default
// format (8192-byte blocks of 44100 Hz stereo).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "analysis/peak_analysis.h"
#include "capture/block_exchange.h"

namespace {

std::vector<uint8_t> NoisyBlock() {
    std::vector<uint8_t> block(8192);
    uint32_t state = 12345;
    for (uint8_t& byte : block) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    return block;
}

void BM_ComputePeaksDefaultBlock(benchmark::State& state) {
    auto block = NoisyBlock();
    for (auto _ : state) {
        ChannelPeaks peaks = ComputePeaks(block.data(), 8192, 4);
        benchmark::DoNotOptimize(peaks);
    }
    state.SetBytesProcessed(state.iterations() * 8192);
}
BENCHMARK(BM_ComputePeaksDefaultBlock);

void BM_PublishAndTakeBlock(benchmark::State& state) {
    auto block = NoisyBlock();
    static BlockExchange exchange;
    for (auto _ : state) {
        std::memcpy(exchange.WriteBlock().bytes, block.data(), block.size());
        exchange.Publish(8192);
        benchmark::DoNotOptimize(exchange.Latest().length);
    }
    state.SetBytesProcessed(state.iterations() * 8192);
}
BENCHMARK(BM_PublishAndTakeBlock);

}  // namespace
