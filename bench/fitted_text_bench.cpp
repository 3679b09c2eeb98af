// The status line's cut of an input's name of 64 KiB, measured as a window
// layer measures it: glyph by glyph.
#include <benchmark/benchmark.h>

#include <string>

#include "ui/fitted_text.h"

namespace {

void BM_FittedTextOf64KiB(benchmark::State& state) {
    const std::string name(64 * 1024, 'w');
    // A few pixels a character, summed one at a time as a font's advances.
    auto measure = [](std::string_view text) {
        int width = 0;
        for (char byte : text) width += 5 + (byte & 1);
        return width;
    };
    for (auto _ : state) benchmark::DoNotOptimize(FittedText(name, 600, measure));
}
BENCHMARK(BM_FittedTextOf64KiB);

}  // namespace
