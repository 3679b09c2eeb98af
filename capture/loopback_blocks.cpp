// Loopback packets into capture blocks (see loopback_blocks.h).
#include "capture/loopback_blocks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "capture/float_to_pcm16.h"

namespace {

// Frames converted at a time.
constexpr uint32_t CHUNK_FRAMES = 256;
// More channels than any speaker layout has: a mix format claiming them is
// not believed.
constexpr uint32_t MAX_MIX_CHANNELS = 64;

int16_t Get16(const uint8_t* bytes) {
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

void Put16(uint8_t* out, int16_t value) {
    auto bits = static_cast<uint16_t>(value);
    out[0] = static_cast<uint8_t>(bits & 0xFF);
    out[1] = static_cast<uint8_t>(bits >> 8);
}

// 16-bit PCM frames of `channels` channels as stereo: the first two
// channels, or the one twice.
void ConvertPcm16Frames(const uint8_t* samples, uint32_t frames, uint32_t channels, uint8_t* out) {
    for (uint32_t frame = 0; frame < frames; ++frame) {
        const uint8_t* first = samples + size_t{frame} * channels * 2;
        std::memcpy(out + size_t{frame} * 4, first, 2);
        std::memcpy(out + size_t{frame} * 4 + 2, channels > 1 ? first + 2 : first, 2);
    }
}

}  // namespace

uint32_t LoopbackBlockFrames(uint32_t blockBytes, uint32_t rate, uint16_t channels,
                             uint32_t mixRate) {
    if (rate == 0 || channels == 0 || mixRate == 0) return 0;
    const uint32_t frames = blockBytes / (2u * channels);
    const double same = std::nearbyint(static_cast<double>(frames) * mixRate / rate);
    return static_cast<uint32_t>(std::min(same, static_cast<double>(frames)));
}

bool LoopbackBlockAssembler::Configure(const LoopbackStreamRecord& stream, LoopbackBlockSink sink,
                                       void* context) {
    sink_ = nullptr;
    filled_ = 0;
    streamFrames_ = 0;
    lastPacketAt_ = 0;
    framesAtLastPacket_ = 0;
    if (stream.channels == 0 || stream.channels > MAX_MIX_CHANNELS || stream.blockFrames == 0 ||
        (stream.outChannels != 1 && stream.outChannels != 2) || sink == nullptr) {
        block_.clear();
        floats_.clear();
        return false;
    }
    stream_ = stream;
    sink_ = sink;
    context_ = context;
    block_.assign(size_t{stream.blockFrames} * stream.outChannels * 2, 0);
    floats_.assign(stream.sampleFormat == LoopbackSampleFormat::FLOAT32
                       ? size_t{CHUNK_FRAMES} * stream.channels
                       : 0,
                   0.0f);
    return true;
}

void LoopbackBlockAssembler::AddPacket(const void* samples, uint32_t frames, bool silent,
                                       int64_t now) {
    if (sink_ == nullptr) return;
    if (silent || samples == nullptr) {
        AppendSilence(frames);
    } else {
        Append(static_cast<const uint8_t*>(samples), frames);
    }
    lastPacketAt_ = now;
    framesAtLastPacket_ = streamFrames_;
}

void LoopbackBlockAssembler::FillGap(int64_t now) {
    if (sink_ == nullptr) return;
    const int64_t blockFrames = stream_.blockFrames;
    if (now - lastPacketAt_ < blockFrames) return;
    int64_t owed = framesAtLastPacket_ + (now - lastPacketAt_) - streamFrames_;
    if (owed > MAX_GAP_BLOCKS * blockFrames) {
        // The rest of the gap is passed over, for good.
        framesAtLastPacket_ -= owed - MAX_GAP_BLOCKS * blockFrames;
        owed = MAX_GAP_BLOCKS * blockFrames;
    }
    if (owed > 0) AppendSilence(owed);
}

void LoopbackBlockAssembler::Append(const uint8_t* samples, uint32_t frames) {
    const uint32_t inFrameBytes =
        stream_.channels * (stream_.sampleFormat == LoopbackSampleFormat::FLOAT32 ? 4 : 2);
    uint8_t stereo[CHUNK_FRAMES * 4];
    while (frames > 0) {
        uint32_t room = stream_.blockFrames - filled_;
        uint32_t take = std::min({frames, room, CHUNK_FRAMES});
        uint8_t* out = stream_.outChannels == 2 ? block_.data() + size_t{filled_} * 4 : stereo;
        if (stream_.sampleFormat == LoopbackSampleFormat::FLOAT32) {
            // The stream's buffer hands out aligned packets; the copy keeps
            // the float reads aligned whatever the caller passes.
            std::memcpy(floats_.data(), samples, size_t{take} * inFrameBytes);
            ConvertFloatFrames(floats_.data(), take, stream_.channels, out);
        } else {
            ConvertPcm16Frames(samples, take, stream_.channels, out);
        }
        if (stream_.outChannels == 1) {
            // One channel: the two sides' mean, as a mono mix-down gives it.
            uint8_t* mono = block_.data() + size_t{filled_} * 2;
            for (uint32_t i = 0; i < take; ++i) {
                int32_t sum = Get16(stereo + i * 4) + Get16(stereo + i * 4 + 2);
                Put16(mono + i * 2, static_cast<int16_t>(sum / 2));
            }
        }
        samples += size_t{take} * inFrameBytes;
        frames -= take;
        Advance(take);
    }
}

void LoopbackBlockAssembler::AppendSilence(int64_t frames) {
    const uint32_t outFrameBytes = stream_.outChannels * 2u;
    while (frames > 0) {
        uint32_t room = stream_.blockFrames - filled_;
        auto take = static_cast<uint32_t>(std::min<int64_t>(frames, room));
        std::memset(block_.data() + size_t{filled_} * outFrameBytes, 0,
                    size_t{take} * outFrameBytes);
        frames -= take;
        Advance(take);
    }
}

void LoopbackBlockAssembler::Advance(uint32_t frames) {
    filled_ += frames;
    streamFrames_ += frames;
    if (filled_ == stream_.blockFrames) {
        sink_(context_, block_.data(), stream_.blockFrames * stream_.outChannels * 2u);
        filled_ = 0;
    }
}
