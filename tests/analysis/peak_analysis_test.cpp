// Readings from peaks: every frame counts, each channel is its own meter's,
// and a reading only ever comes from the newest whole block.
#include "analysis/peak_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "capture/block_exchange.h"
#include "capture/capture_state.h"
#include "draw/canvas_memory.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

std::vector<uint8_t> Silence(int frames, int channels) {
    return std::vector<uint8_t>(static_cast<size_t>(frames * channels * 2), 0);
}

void Put(std::vector<uint8_t>& block, int frame, int channel, int channels, int16_t value) {
    size_t at = static_cast<size_t>((frame * channels + channel) * 2);
    block[at] = static_cast<uint8_t>(value & 0xFF);
    block[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Two fresh meters and the work buffer holding only `block`, published at
// `at`, in the default capture format.
void StartMetersOnBlock(const std::vector<uint8_t>& block,
                        std::chrono::steady_clock::time_point at) {
    CaptureState& capture = Capture();
    capture.BufferLen = 8192;
    capture.WaveFormat.nAvgBytesPerSec = 176400;
    capture.WaveFormat.nChannels = 4;  // after start-up's rescale
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(3), 0);
    ASSERT_NE(StartMeter(4), 0);
    BlockExchange& work = CaptureWorkBuffer();
    work.Reset();
    std::copy(block.begin(), block.end(), work.WriteBlock().bytes);
    work.Publish(static_cast<uint32_t>(block.size()), at);
}

TEST(PeakToReading, ScalesToZeroToOneHundredAndOneWithTiesToEven) {
    EXPECT_EQ(PeakToReading(32767), 101);
    EXPECT_EQ(PeakToReading(32768), 101);
    EXPECT_EQ(PeakToReading(16384), 51);
    EXPECT_EQ(PeakToReading(16383), 50);
    EXPECT_EQ(PeakToReading(163), 1);
    EXPECT_EQ(PeakToReading(162), 0);
    EXPECT_EQ(PeakToReading(0), 0);
}

TEST(ComputePeaks, AFullScaleSampleInAnyFrameReachesItsOwnChannel) {
    for (int frame : {0, 1, 2, 3, 1001, 2047}) {
        auto block = Silence(2048, 2);
        Put(block, frame, 0, 2, 32767);
        ChannelPeaks peaks = ComputePeaks(block.data(), 8192, 4);
        EXPECT_EQ(peaks.PeakLeft, 32767) << "frame " << frame;
        EXPECT_EQ(peaks.PeakRight, 0) << "frame " << frame;

        block = Silence(2048, 2);
        Put(block, frame, 1, 2, -32768);
        peaks = ComputePeaks(block.data(), 8192, 4);
        EXPECT_EQ(peaks.PeakLeft, 0);
        EXPECT_EQ(peaks.PeakRight, 32768);
        EXPECT_EQ(PeakToReading(peaks.PeakRight), 101);
    }
    auto silence = Silence(2048, 2);
    ChannelPeaks quiet = ComputePeaks(silence.data(), 8192, 4);
    EXPECT_EQ(quiet.PeakLeft, 0);
    EXPECT_EQ(quiet.PeakRight, 0);
}

TEST(ComputePeaks, MonoShowsTheOneChannelOnBothMeters) {
    auto block = Silence(2048, 1);
    Put(block, 7, 0, 1, -20000);  // an odd sample
    Put(block, 8, 0, 1, 12000);
    ChannelPeaks peaks = ComputePeaks(block.data(), 4096, 2);
    EXPECT_EQ(peaks.PeakLeft, 20000);
    EXPECT_EQ(peaks.PeakRight, 20000);
}

TEST(ComputePeaks, ReadsOnlyWholeFramesOfTheRecordedBytes) {
    auto block = Silence(100, 2);
    Put(block, 50, 0, 2, 30000);  // beyond the recorded length
    ChannelPeaks peaks = ComputePeaks(block.data(), 200, 4);
    EXPECT_EQ(peaks.PeakLeft, 0);
    // A partial frame at the end is not read either.
    Put(block, 49, 1, 2, 30000);
    EXPECT_EQ(ComputePeaks(block.data(), 198, 4).PeakRight, 0);
    EXPECT_EQ(ComputePeaks(block.data(), 200, 4).PeakRight, 30000);
    // Nonsense frame sizes read nothing.
    EXPECT_EQ(ComputePeaks(block.data(), 200, 0).PeakLeft, 0);
    EXPECT_EQ(ComputePeaks(nullptr, 200, 4).PeakLeft, 0);
}

TEST(BlockExchange, TheReaderSeesTheNewestWholeBlockNeverAStaleTail) {
    BlockExchange exchange;
    EXPECT_EQ(exchange.Latest().length, 0u);  // before the first block: silence

    auto loud = Silence(2048, 2);
    for (int frame = 0; frame < 2048; ++frame) Put(loud, frame, 0, 2, 32000);
    std::copy(loud.begin(), loud.end(), exchange.WriteBlock().bytes);
    exchange.Publish(8192);
    const CapturedBlock& first = exchange.Latest();
    EXPECT_EQ(ComputePeaks(first.bytes, first.length, 4).PeakLeft, 32000);

    // A short, quiet block follows: its peak must not come from the loud
    // block's tail, even though a single work buffer would still hold it.
    auto quiet = Silence(10, 2);
    Put(quiet, 3, 0, 2, 100);
    std::copy(quiet.begin(), quiet.end(), exchange.WriteBlock().bytes);
    exchange.Publish(40);
    const CapturedBlock& second = exchange.Latest();
    EXPECT_EQ(second.length, 40u);
    EXPECT_EQ(ComputePeaks(second.bytes, second.length, 4).PeakLeft, 100);
    EXPECT_EQ(second.sequence, 2u);

    // Without a new block the reader keeps the newest one.
    EXPECT_EQ(&exchange.Latest(), &second);
}

TEST(BlockExchange, AWriterFasterThanTheReaderNeverTouchesTheBlockBeingRead) {
    BlockExchange exchange;
    exchange.WriteBlock().bytes[0] = 1;
    exchange.Publish(4);
    const CapturedBlock& reading = exchange.Latest();
    for (uint8_t i = 2; i < 20; ++i) {
        CapturedBlock& writing = exchange.WriteBlock();
        EXPECT_NE(&writing, &reading);
        writing.bytes[0] = i;
        exchange.Publish(4);
    }
    EXPECT_EQ(reading.bytes[0], 1);
    EXPECT_EQ(exchange.Latest().bytes[0], 19);
}

TEST(AnalyseNewestBlock, InputOlderThanFourBlockLengthsReadsAsSilenceNewInputAtOnce) {
    ResetDrawingWorld();
    ASSERT_NE(StartMeter(3), 0);
    ASSERT_NE(StartMeter(4), 0);
    CaptureState& capture = Capture();
    capture.BufferLen = 8192;
    capture.WaveFormat.nAvgBytesPerSec = 176400;
    capture.WaveFormat.nChannels = 4;  // after start-up's rescale
    EXPECT_EQ(StaleInputLimit(), std::chrono::nanoseconds(185759637));

    BlockExchange& work = CaptureWorkBuffer();
    work.Reset();
    auto loud = Silence(2048, 2);
    Put(loud, 5, 0, 2, 16384);
    Put(loud, 6, 1, 2, 8192);
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    auto publish = [&](std::chrono::steady_clock::time_point at) {
        std::copy(loud.begin(), loud.end(), work.WriteBlock().bytes);
        work.Publish(8192, at);
    };
    auto readingsAt = [](std::chrono::steady_clock::time_point now) {
        AnalyseNewestBlock(now);
        return std::pair{MeterAt(MeterSlot(3)).value, MeterAt(MeterSlot(4)).value};
    };
    publish(start);
    EXPECT_EQ(readingsAt(start + std::chrono::milliseconds(185)), std::pair(51.0f, 25.0f));
    EXPECT_EQ(readingsAt(start + std::chrono::milliseconds(186)), std::pair(0.0f, 0.0f));
    publish(start + std::chrono::seconds(5));
    EXPECT_EQ(readingsAt(start + std::chrono::seconds(5)), std::pair(51.0f, 25.0f));

    // Once both needles settle on a block, ticks are skipped until a new
    // block comes or this one turns stale, and silence, once settled, too.
    const auto settled = start + std::chrono::seconds(5) + std::chrono::milliseconds(10);
    EXPECT_TRUE(AnalysisTickNeeded(settled));
    for (int tick = 0; tick < 8; ++tick) AnalyseNewestBlock(settled);
    EXPECT_FALSE(AnalysisTickNeeded(settled));
    const auto stale = start + std::chrono::seconds(5) + std::chrono::milliseconds(186);
    EXPECT_TRUE(AnalysisTickNeeded(stale));
    for (int tick = 0; tick < 8; ++tick) AnalyseNewestBlock(stale);
    EXPECT_FALSE(AnalysisTickNeeded(stale + std::chrono::hours(1)));
    publish(stale);
    EXPECT_TRUE(AnalysisTickNeeded(stale));
    work.Reset();
}

// Ticks stop once both meters count as settled; wherever the smoothing ring
// stood when the input went stale, both needles must be back at rest then.
TEST(AnalyseNewestBlock, GoingStaleFromAnyRingPositionEndsAtRest) {
    BlockExchange& work = CaptureWorkBuffer();
    auto loud = Silence(2048, 2);
    Put(loud, 9, 0, 2, 30000);
    Put(loud, 9, 1, 2, -20000);
    const RefPicture resting = RefMeter(497, 3).Picture();
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    for (int position = 0; position < 8; ++position) {
        SCOPED_TRACE(position);
        StartMetersOnBlock(loud, start);
        for (int tick = 0; tick < 8 + position; ++tick) AnalyseNewestBlock(start);
        const auto stale = start + std::chrono::seconds(1);
        for (int tick = 0; tick < 100 && AnalysisTickNeeded(stale); ++tick) {
            AnalyseNewestBlock(stale);
        }
        std::string difference;
        EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(3), resting, &difference)) << difference;
        EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(4), resting, &difference)) << difference;
    }
    // The analysis remembers the last block it read: leave it as a fresh
    // start finds it, with no block read, so a later test's first block counts.
    work.Reset();
    AnalyseNewestBlock(start);
}

// A block whose peaks read 51 on the left and 25 on the right.
std::vector<uint8_t> RisingBlock() {
    auto loud = Silence(2048, 2);
    Put(loud, 5, 0, 2, 16384);
    Put(loud, 6, 1, 2, 8192);
    return loud;
}

// Both meters' screens show where `ticks` updates of RisingBlock's readings
// put the needles, pixel for pixel.
void ExpectNeedlesAfterTicks(int ticks) {
    RefMeter left(497, 3), right(497, 3);
    for (int tick = 0; tick < ticks; ++tick) {
        left.Update(51);
        right.Update(25);
    }
    std::string difference;
    EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(3), left.Picture(), &difference)) << difference;
    EXPECT_TRUE(SamePicture(*MemoryCanvasScreen(4), right.Picture(), &difference)) << difference;
}

// While nobody sees the meters the ticks rest until the next block; the
// skipped ones are caught up when they are seen again, so the needles stand
// where ticking every 10 ms would have put them, pixel for pixel.
TEST(AnalyseNewestBlock, TicksSkippedUnseenAreCaughtUpWhenSeenAgain) {
    Capture().AnalysisInterval = 10;
    BlockExchange& work = CaptureWorkBuffer();
    const auto loud = RisingBlock();
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(2);
    const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
    for (bool unseen : {false, true}) {
        SCOPED_TRACE(unseen ? "unseen" : "ticking");
        StartMetersOnBlock(loud, start);
        SetMemoryCanvasShown(3, !unseen);
        SetMemoryCanvasShown(4, !unseen);
        AnalyseNewestBlock(at(0));
        // Rising needles nobody sees: nothing to tick for until a block comes.
        EXPECT_EQ(AnalysisTickNeeded(at(10)), !unseen);
        for (int ms = 10; ms < 50 && !unseen; ms += 10) AnalyseNewestBlock(at(ms));
        if (unseen) {
            SetMemoryCanvasShown(3, true);
            SetMemoryCanvasShown(4, true);
            AnalysisCatchUp(at(50));
            RedrawMeter(3);
            RedrawMeter(4);
        }
        // Five ticks of the block: both needles part way up.
        ExpectNeedlesAfterTicks(5);
    }
    work.Reset();
    AnalyseNewestBlock(start);
}

// One meter in view keeps the ticks going; meters seen again between two
// ticks catch up once, and the next tick counts once more.
TEST(AnalyseNewestBlock, OneMeterInViewTicksAndACatchUpBetweenTicksCountsEachTickOnce) {
    Capture().AnalysisInterval = 10;
    BlockExchange& work = CaptureWorkBuffer();
    const auto loud = RisingBlock();
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(3);
    const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
    StartMetersOnBlock(loud, start);
    SetMemoryCanvasShown(3, false);
    SetMemoryCanvasShown(4, true);
    AnalyseNewestBlock(at(0));
    EXPECT_TRUE(AnalysisTickNeeded(at(10))) << "the right needle rises in view";

    StartMetersOnBlock(loud, start);
    SetMemoryCanvasShown(3, false);
    SetMemoryCanvasShown(4, false);
    AnalyseNewestBlock(at(0));
    EXPECT_FALSE(AnalysisTickNeeded(at(10)));  // neither in view: the ticks rest
    SetMemoryCanvasShown(3, true);
    SetMemoryCanvasShown(4, true);
    AnalysisCatchUp(at(45));  // ticks 10 to 40
    AnalyseNewestBlock(at(50));
    RedrawMeter(3);
    RedrawMeter(4);
    ExpectNeedlesAfterTicks(6);
    work.Reset();
    AnalyseNewestBlock(start);
}

}  // namespace
