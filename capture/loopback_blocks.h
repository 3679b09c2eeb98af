// The packets of a loopback stream cut into capture blocks. A loopback
// stream hands over packets of any length in the mix's own format (32-bit
// float as a rule, 16-bit PCM on some systems, any channel count), and none
// at all while nothing plays; a recording delivers blocks of one length in
// 16-bit PCM, one or two channels, at a steady pace. The assembler converts
// each packet, cuts the stream into blocks, and once no packet has come for
// a block's time fills the time since the last one with silence, at the
// pace of the clock it is given, so that a silent output still yields a
// block every block's time.
//
// A block lasts as long as a recording block, whatever the mix's rate. The
// analysis reads only the newest block at each of its ticks (about 16 ms on
// Windows), so a block that lasted less would go unread now and then, and a
// full-scale sample in it would never reach the meter; a mix faster than the
// recording is therefore folded: each frame of a block holds, for each
// channel, the sample of largest magnitude among `fold` frames of the mix.
#pragma once

#include <cstdint>
#include <vector>

enum class LoopbackSampleFormat { FLOAT32, PCM16 };

struct LoopbackStreamRecord {
    LoopbackSampleFormat sampleFormat = LoopbackSampleFormat::FLOAT32;
    uint32_t channels = 0;     // the mix's channels, interleaved
    uint32_t blockFrames = 0;  // frames per block
    uint16_t outChannels = 2;  // channels of the blocks: 1 or 2
    uint32_t fold = 1;         // frames of the mix in each frame of a block
};

// Takes each finished block: `length` bytes of 16-bit little-endian PCM.
using LoopbackBlockSink = void (*)(void* context, const uint8_t* bytes, uint32_t length);

struct LoopbackBlockShape {
    uint32_t frames = 0;  // per block
    uint32_t fold = 1;    // frames of the mix in each
};

// Blocks of a mix at `mixRate` that last as long as a recording block of
// `blockBytes` bytes at `rate` Hz with `channels` 16-bit channels and fit
// the same bytes: folded by the smallest factor that lets them. No frames
// for a rate or size of 0.
LoopbackBlockShape ShapeLoopbackBlocks(uint32_t blockBytes, uint32_t rate, uint16_t channels,
                                       uint32_t mixRate);

// One thread uses an assembler. Times are the clock's, counted in frames of
// the mix's rate from the moment Configure was called.
class LoopbackBlockAssembler {
public:
    // Starts afresh for a stream, dropping a block begun before; false (and
    // nothing is made until the next Configure) for one it cannot convert.
    bool Configure(const LoopbackStreamRecord& stream, LoopbackBlockSink sink, void* context);

    // A packet of `frames` frames taken at `now`; `samples` is not read when
    // the packet is marked silent, and may then be null.
    void AddPacket(const void* samples, uint32_t frames, bool silent, int64_t now);

    // The clock has reached `now`: when no packet came for a block's time,
    // the time since the last one becomes silence. A gap of more than
    // MAX_GAP_BLOCKS blocks (the thread held up, the system asleep) gives
    // that many blocks of silence; more would only flood the ring with zeros.
    void FillGap(int64_t now);

    static constexpr int64_t MAX_GAP_BLOCKS = 2;

private:
    void Append(const uint8_t* samples, uint32_t frames);
    void AppendSilence(int64_t frames);
    // Folds `frames` frames of 16-bit samples of the blocks' channels into
    // the block.
    void Fold(const uint8_t* samples, uint32_t frames);
    // Ends the group being folded: its frame goes into the block.
    void PutHeld();
    // Counts `frames` more in the block; hands a full block to the sink.
    void Advance(uint32_t frames);

    LoopbackStreamRecord stream_;
    LoopbackBlockSink sink_ = nullptr;
    void* context_ = nullptr;
    std::vector<uint8_t> block_;
    std::vector<float> floats_;       // one chunk of float samples, aligned
    int16_t held_[2] = {};            // of the group being folded, each channel's largest
    uint32_t grouped_ = 0;            // mix frames in that group
    uint32_t filled_ = 0;             // frames in block_
    int64_t streamFrames_ = 0;        // mix frames appended since Configure, silence included
    int64_t lastPacketAt_ = 0;        // clock time of the last packet
    int64_t framesAtLastPacket_ = 0;  // streamFrames_ right after it
};
