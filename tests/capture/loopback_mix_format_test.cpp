// The mix formats a loopback stream may hand over, each read from its bytes
// and one frame of it made into a block: left stays left, a float below -1
// clips to -32768, mono is doubled, the channels past two are dropped; and
// the formats that cannot be converted are refused.
#include "capture/loopback_mix_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/wave_format.h"

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8 & 0xFF);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

struct Format {
    uint16_t tag;  // EXTENSIBLE_FORMAT_TAG: the subformat's tag follows
    uint16_t channels;
    uint16_t bits;
    uint16_t subTag = 0;
    uint16_t validBits = 0;
};

// A WAVEFORMATEX, or WAVEFORMATEXTENSIBLE, as GetMixFormat hands it over.
std::vector<uint8_t> Bytes(const Format& format) {
    const bool extensible = format.tag == EXTENSIBLE_FORMAT_TAG;
    std::vector<uint8_t> bytes(extensible ? EXTENSIBLE_MIX_FORMAT_BYTES : MIX_FORMAT_BYTES, 0);
    const uint32_t blockAlign = format.channels * format.bits / 8u;
    Put16(bytes, 0, format.tag);
    Put16(bytes, 2, format.channels);
    Put32(bytes, 4, 48000);
    Put32(bytes, 8, 48000 * blockAlign);
    Put16(bytes, 12, blockAlign);
    Put16(bytes, 14, format.bits);
    if (extensible) {
        Put16(bytes, 16, EXTENSIBLE_MIX_FORMAT_BYTES - MIX_FORMAT_BYTES);
        Put16(bytes, 18, format.validBits);
        Put32(bytes, 20, 0x3F);  // dwChannelMask: 5.1
        // {subTag-0000-0010-8000-00aa00389b71}
        const uint8_t tail[12] = {0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71};
        Put32(bytes, MIX_SUBFORMAT_OFFSET, format.subTag);
        std::memcpy(bytes.data() + MIX_SUBFORMAT_OFFSET + 4, tail, sizeof tail);
    }
    return bytes;
}

std::vector<uint8_t> FloatFrame(const std::vector<float>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 4);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<uint8_t> Pcm16Frame(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        Put16(bytes, i * 2, static_cast<uint16_t>(samples[i]));
    }
    return bytes;
}

std::vector<int16_t> block;

void Keep(void*, const uint8_t* bytes, uint32_t length) {
    block.clear();
    for (uint32_t at = 0; at + 1 < length; at += 2) {
        block.push_back(static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8));
    }
}

TEST(LoopbackMixFormat, EachFormatGivesLeftAndRightAsPlayed) {
    const uint16_t EXT = EXTENSIBLE_FORMAT_TAG;
    struct Row {
        std::string name;
        Format format;
        std::vector<uint8_t> frame;
        std::vector<int16_t> expected;  // left, right
    } rows[] = {
        {"float32 stereo", {FLOAT_FORMAT_TAG, 2, 32}, FloatFrame({0.5f, -2.0f}), {16384, -32768}},
        {"float32 mono", {FLOAT_FORMAT_TAG, 1, 32}, FloatFrame({-0.75f}), {-24576, -24576}},
        {"float32 5.1, extensible",
         {EXT, 6, 32, FLOAT_FORMAT_TAG},
         FloatFrame({0.25f, -1.5f, 0.9f, 0.1f, 0.3f, 0.2f}),
         {8192, -32768}},
        {"16-bit stereo", {PCM_FORMAT_TAG, 2, 16}, Pcm16Frame({1000, -2000}), {1000, -2000}},
        {"16-bit mono", {PCM_FORMAT_TAG, 1, 16}, Pcm16Frame({-32768}), {-32768, -32768}},
        {"16-bit stereo, extensible",
         {EXT, 2, 16, PCM_FORMAT_TAG, 16},
         Pcm16Frame({-3, 32767}),
         {-3, 32767}},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes = Bytes(row.format);
        LoopbackStreamRecord stream;
        uint32_t rate = 0;
        ASSERT_TRUE(ReadLoopbackMixFormat(bytes.data(), bytes.size(), &stream, &rate)) << row.name;
        EXPECT_EQ(rate, 48000u) << row.name;
        EXPECT_EQ(stream.channels, row.format.channels) << row.name;
        stream.blockFrames = 1;
        LoopbackBlockAssembler assembler;
        ASSERT_TRUE(assembler.Configure(stream, Keep, nullptr)) << row.name;
        block.clear();
        assembler.AddPacket(row.frame.data(), 1, false, 0);
        EXPECT_EQ(block, row.expected) << row.name;
    }
}

TEST(LoopbackMixFormat, WhatCannotBeConvertedIsRefused) {
    const uint16_t EXT = EXTENSIBLE_FORMAT_TAG;
    struct Row {
        std::string name;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"24-bit", Bytes({PCM_FORMAT_TAG, 2, 24})},
        {"32-bit integers", Bytes({PCM_FORMAT_TAG, 2, 32})},
        {"64-bit float", Bytes({FLOAT_FORMAT_TAG, 2, 64})},
        {"no channels", Bytes({FLOAT_FORMAT_TAG, 0, 32})},
        {"20 valid bits in 24", Bytes({EXT, 2, 24, PCM_FORMAT_TAG, 20})},
        {"16 valid bits in 32", Bytes({EXT, 2, 32, FLOAT_FORMAT_TAG, 16})},
        {"cut short", Bytes({FLOAT_FORMAT_TAG, 2, 32})},
        {"extensible cut short", Bytes({EXT, 2, 32, FLOAT_FORMAT_TAG})},
        {"another subformat", Bytes({EXT, 2, 32, FLOAT_FORMAT_TAG})},
        {"blocks of another size", Bytes({FLOAT_FORMAT_TAG, 2, 32})},
    };
    rows[6].bytes.pop_back();
    rows[7].bytes.pop_back();
    rows[8].bytes.back() ^= 1;
    rows[9].bytes[12] = 4;
    for (const Row& row : rows) {
        LoopbackStreamRecord stream;
        stream.channels = 7;
        uint32_t rate = 5;
        EXPECT_FALSE(ReadLoopbackMixFormat(row.bytes.data(), row.bytes.size(), &stream, &rate))
            << row.name;
        EXPECT_EQ(stream.channels, 7u) << row.name << ": read all the same";
        EXPECT_EQ(rate, 5u) << row.name;
    }
    EXPECT_FALSE(ReadLoopbackMixFormat(nullptr, MIX_FORMAT_BYTES, nullptr, nullptr));
}

}  // namespace
