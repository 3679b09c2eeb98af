// Loopback packets into blocks: packets of any size make whole blocks in
// order, each sample converted as the float conversion gives it; silent
// packets and the gaps while nothing plays become zeros at the clock's pace;
// 16-bit mixes and mono blocks; the block length for a mix rate, and a fast
// mix folded into blocks of that length.
#include "capture/loopback_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "capture/float_to_pcm16.h"

namespace {

struct Collected {
    std::vector<std::vector<uint8_t>> blocks;
};

void Collect(void* context, const uint8_t* bytes, uint32_t length) {
    static_cast<Collected*>(context)->blocks.emplace_back(bytes, bytes + length);
}

std::vector<uint8_t> Concatenated(const Collected& collected) {
    std::vector<uint8_t> all;
    for (const auto& block : collected.blocks) all.insert(all.end(), block.begin(), block.end());
    return all;
}

TEST(LoopbackBlocks, PacketsOfAnySizeMakeWholeBlocksInOrderAndSilenceIsZeros) {
    constexpr uint32_t CHANNELS = 6;
    constexpr uint32_t BLOCK = 100;
    LoopbackBlockAssembler assembler;
    Collected collected;
    ASSERT_TRUE(assembler.Configure({LoopbackSampleFormat::FLOAT32, CHANNELS, BLOCK, 2}, Collect,
                                    &collected));
    std::vector<float> played;
    int64_t now = 0;
    // Odd sizes: inside a block, across one, across several, one frame.
    for (uint32_t frames : {7u, 1u, 250u, 33u, 0u, 9u}) {
        std::vector<float> packet(size_t{frames} * CHANNELS);
        for (size_t i = 0; i < packet.size(); ++i) {
            packet[i] = static_cast<float>(static_cast<int>((played.size() + i) % 201) - 100) / 97;
        }
        played.insert(played.end(), packet.begin(), packet.end());
        assembler.AddPacket(packet.data(), frames, false, now += 10);
    }
    // 300 frames so far: three blocks, the last 0 frames of a fourth waiting.
    ASSERT_EQ(collected.blocks.size(), 3u);
    // A silent packet's samples are not read.
    assembler.AddPacket(nullptr, 50, true, now += 10);
    std::vector<float> junk(size_t{50} * CHANNELS, 0.9f);
    assembler.AddPacket(junk.data(), 50, true, now += 10);
    ASSERT_EQ(collected.blocks.size(), 4u);

    std::vector<uint8_t> expected(size_t{300} * 4);
    ConvertFloatFrames(played.data(), 300, CHANNELS, expected.data());
    expected.resize(size_t{400} * 4, 0);
    for (const auto& block : collected.blocks) EXPECT_EQ(block.size(), BLOCK * 4u);
    EXPECT_EQ(Concatenated(collected), expected);
}

TEST(LoopbackBlocks, WhileNothingPlaysSilenceComesAtTheClocksPace) {
    constexpr uint32_t BLOCK = 100;
    LoopbackBlockAssembler assembler;
    Collected collected;
    ASSERT_TRUE(
        assembler.Configure({LoopbackSampleFormat::FLOAT32, 2, BLOCK, 2}, Collect, &collected));
    // Nothing for less than a block's time: nothing is made up.
    assembler.FillGap(99);
    EXPECT_TRUE(collected.blocks.empty());
    // Then the whole time since the start, polled at odd moments.
    for (int64_t now : {100, 130, 250, 250, 417}) {
        assembler.FillGap(now);
        EXPECT_EQ(collected.blocks.size(), static_cast<size_t>(now / BLOCK)) << now;
    }
    // Playing again: the packet follows the silence (417 frames so far), and
    // the gap is measured from it.
    std::vector<float> loud(size_t{120} * 2, 0.5f);
    assembler.AddPacket(loud.data(), 120, false, 430);
    assembler.FillGap(529);
    EXPECT_EQ(collected.blocks.size(), 5u);  // 537 frames
    assembler.FillGap(530);                  // 537 + 100
    ASSERT_EQ(collected.blocks.size(), 6u);
    std::vector<uint8_t> all = Concatenated(collected);
    for (size_t frame = 0; frame < 600; ++frame) {
        bool sound = frame >= 417 && frame < 537;
        EXPECT_EQ(all[frame * 4 + 1], sound ? 0x40 : 0) << frame;
    }
    // A long hold-up gives two blocks of silence, not the whole gap; the
    // pace goes on from there.
    assembler.FillGap(100000);
    EXPECT_EQ(collected.blocks.size(), 8u);
    assembler.FillGap(100100);
    EXPECT_EQ(collected.blocks.size(), 9u);
}

TEST(LoopbackBlocks, SixteenBitMixesAndMonoBlocks) {
    LoopbackBlockAssembler assembler;
    Collected collected;
    // A mono 16-bit mix doubled into stereo.
    ASSERT_TRUE(assembler.Configure({LoopbackSampleFormat::PCM16, 1, 2, 2}, Collect, &collected));
    const int16_t mono[] = {1000, -32768};
    assembler.AddPacket(mono, 2, false, 1);
    ASSERT_EQ(collected.blocks.size(), 1u);
    EXPECT_EQ(collected.blocks[0],
              (std::vector<uint8_t>{0xE8, 0x03, 0xE8, 0x03, 0, 0x80, 0, 0x80}));

    // Stereo float into mono blocks: the mean of the two sides.
    collected.blocks.clear();
    ASSERT_TRUE(assembler.Configure({LoopbackSampleFormat::FLOAT32, 2, 3, 1}, Collect, &collected));
    const float stereo[] = {0.5f, -0.5f, 1.0f, 1.0f, 0.25f, 0.0f};
    assembler.AddPacket(stereo, 3, false, 1);
    ASSERT_EQ(collected.blocks.size(), 1u);
    EXPECT_EQ(collected.blocks[0], (std::vector<uint8_t>{0, 0, 0xFF, 0x7F, 0x00, 0x10}));

    // What cannot be converted makes nothing.
    EXPECT_FALSE(
        assembler.Configure({LoopbackSampleFormat::FLOAT32, 0, 3, 2}, Collect, &collected));
    EXPECT_FALSE(
        assembler.Configure({LoopbackSampleFormat::FLOAT32, 2, 3, 3}, Collect, &collected));
    assembler.AddPacket(stereo, 3, false, 1);
    assembler.FillGap(1000);
    EXPECT_EQ(collected.blocks.size(), 1u);
}

TEST(LoopbackBlocks, ABlockLastsAsLongAsARecordingBlockWithinItsBytes) {
    auto shape = [](uint32_t blockBytes, uint16_t channels, uint32_t mixRate) {
        LoopbackBlockShape made = ShapeLoopbackBlocks(blockBytes, 44100, channels, mixRate);
        return std::vector<uint32_t>{made.frames, made.fold};
    };
    // 8192 bytes of 44100 Hz stereo: 2048 frames, at 44100 and at 22050.
    EXPECT_EQ(shape(8192, 2, 44100), (std::vector<uint32_t>{2048, 1}));
    EXPECT_EQ(shape(8192, 2, 22050), (std::vector<uint32_t>{1024, 1}));
    // At 48000 the same time takes 2229 frames, more than fit: two to a frame.
    EXPECT_EQ(shape(8192, 2, 48000), (std::vector<uint32_t>{1115, 2}));
    EXPECT_EQ(shape(8192, 2, 176400), (std::vector<uint32_t>{2048, 4}));
    // 4096 bytes of 44100 Hz mono: 2048 frames.
    EXPECT_EQ(shape(4096, 1, 44100), (std::vector<uint32_t>{2048, 1}));
    EXPECT_EQ(ShapeLoopbackBlocks(8192, 0, 2, 48000).frames, 0u);
}

// The analysis reads the newest block about every 16 ms: a block of a fast
// mix that lasted less would now and then go unread, and the one loud sample
// in it with it.
TEST(LoopbackBlocks, AFastMixIsFoldedKeepingEachSampleOfLargestMagnitude) {
    for (uint32_t mixRate : {96000u, 192000u, 384000u}) {
        const LoopbackBlockShape shape = ShapeLoopbackBlocks(8192, 44100, 2, mixRate);
        EXPECT_NEAR(1000.0 * shape.frames * shape.fold / mixRate, 1000.0 * 2048 / 44100, 0.1)
            << mixRate << " Hz: the block's milliseconds";
        LoopbackBlockAssembler assembler;
        Collected collected;
        ASSERT_TRUE(assembler.Configure(
            {LoopbackSampleFormat::FLOAT32, 2, shape.frames, 2, shape.fold}, Collect, &collected));
        // Half a second at a quarter of full scale with one full-scale sample
        // on the right, second in its group; packets of 10 ms.
        const uint32_t frames = mixRate / 2;
        const uint32_t loudFrame = frames / 2 / shape.fold * shape.fold + 1;
        std::vector<float> played(size_t{frames} * 2, 0.25f);
        played[size_t{loudFrame} * 2 + 1] = -1.0f;
        for (uint32_t at = 0; at < frames; at += mixRate / 100) {
            assembler.AddPacket(played.data() + size_t{at} * 2, mixRate / 100, false, at);
        }
        const size_t loudBlock = loudFrame / (size_t{shape.frames} * shape.fold);
        ASSERT_GT(collected.blocks.size(), loudBlock) << mixRate;
        // Each block as its two channels' sets of values.
        for (size_t block = 0; block < collected.blocks.size(); ++block) {
            std::set<int16_t> left;
            std::set<int16_t> right;
            const std::vector<uint8_t>& bytes = collected.blocks[block];
            for (size_t at = 0; at + 3 < bytes.size(); at += 4) {
                left.insert(static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8));
                right.insert(static_cast<int16_t>(bytes[at + 2] | bytes[at + 3] << 8));
            }
            EXPECT_EQ(left, (std::set<int16_t>{8192})) << mixRate << " Hz, block " << block;
            EXPECT_EQ(right, block == loudBlock ? (std::set<int16_t>{-32768, 8192})
                                                : (std::set<int16_t>{8192}))
                << mixRate << " Hz, block " << block;
        }
        // Then quiet, in steps shorter than a group, the last to a block's
        // end: silence comes at the pace of the blocks' time (the silent
        // packet left the stream 7 frames ahead of the clock).
        const int64_t blockTime = int64_t{shape.frames} * shape.fold;
        assembler.AddPacket(nullptr, 7, true, frames);
        int64_t now = frames + blockTime;
        for (; now < frames + 2 * blockTime; now += 7) assembler.FillGap(now);
        const int64_t blocks = (now + 7) / blockTime + 1;
        assembler.FillGap(blocks * blockTime - 7);
        EXPECT_EQ(collected.blocks.size(), static_cast<size_t>(blocks)) << mixRate;
    }
}

}  // namespace
