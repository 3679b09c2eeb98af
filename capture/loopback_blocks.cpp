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
// Far past any mix's rate over any recording's: 384 kHz folded into 8 kHz
// blocks takes 48.
constexpr uint32_t MAX_FOLD = 1024;

int16_t Get16(const uint8_t* bytes) {
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

int32_t Magnitude(int16_t sample) {
    return sample < 0 ? -int32_t{sample} : sample;
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

LoopbackBlockShape ShapeLoopbackBlocks(uint32_t blockBytes, uint32_t rate, uint16_t channels,
                                       uint32_t mixRate) {
    if (rate == 0 || channels == 0 || mixRate == 0) return {};
    const uint32_t room = blockBytes / (2u * channels);
    if (room == 0) return {};
    // The mix's frames in a recording block's time.
    const double same = static_cast<double>(room) * mixRate / rate;
    const auto fold = static_cast<uint32_t>(std::max(1.0, std::ceil(same / room)));
    const double frames = std::min(std::nearbyint(same / fold), static_cast<double>(room));
    return {static_cast<uint32_t>(frames), fold};
}

bool LoopbackBlockAssembler::Configure(const LoopbackStreamRecord& stream, LoopbackBlockSink sink,
                                       void* context) {
    sink_ = nullptr;
    held_[0] = held_[1] = 0;
    grouped_ = 0;
    filled_ = 0;
    streamFrames_ = 0;
    lastPacketAt_ = 0;
    framesAtLastPacket_ = 0;
    if (stream.channels == 0 || stream.channels > MAX_MIX_CHANNELS || stream.blockFrames == 0 ||
        stream.fold == 0 || stream.fold > MAX_FOLD ||
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
    const int64_t blockTime = int64_t{stream_.blockFrames} * stream_.fold;
    if (now - lastPacketAt_ < blockTime) return;
    int64_t owed = framesAtLastPacket_ + (now - lastPacketAt_) - streamFrames_;
    if (owed > MAX_GAP_BLOCKS * blockTime) {
        // The rest of the gap is passed over, for good.
        framesAtLastPacket_ -= owed - MAX_GAP_BLOCKS * blockTime;
        owed = MAX_GAP_BLOCKS * blockTime;
    }
    if (owed > 0) AppendSilence(owed);
}

void LoopbackBlockAssembler::Append(const uint8_t* samples, uint32_t frames) {
    const uint32_t inFrameBytes =
        stream_.channels * (stream_.sampleFormat == LoopbackSampleFormat::FLOAT32 ? 4 : 2);
    uint8_t stereo[CHUNK_FRAMES * 4];
    while (frames > 0) {
        uint32_t take = std::min(frames, CHUNK_FRAMES);
        if (stream_.sampleFormat == LoopbackSampleFormat::FLOAT32) {
            // The stream's buffer hands out aligned packets; the copy keeps
            // the float reads aligned whatever the caller passes.
            std::memcpy(floats_.data(), samples, size_t{take} * inFrameBytes);
            ConvertFloatFrames(floats_.data(), take, stream_.channels, stereo);
        } else {
            ConvertPcm16Frames(samples, take, stream_.channels, stereo);
        }
        if (stream_.outChannels == 1) {
            // One channel: the two sides' mean, as a mono mix-down gives it;
            // in place, each frame written below the ones still to be read.
            for (uint32_t i = 0; i < take; ++i) {
                int32_t sum = Get16(stereo + i * 4) + Get16(stereo + i * 4 + 2);
                Put16(stereo + i * 2, static_cast<int16_t>(sum / 2));
            }
        }
        Fold(stereo, take);
        samples += size_t{take} * inFrameBytes;
        frames -= take;
    }
}

void LoopbackBlockAssembler::Fold(const uint8_t* samples, uint32_t frames) {
    const uint32_t outFrameBytes = stream_.outChannels * 2u;
    streamFrames_ += frames;
    if (stream_.fold == 1) {
        while (frames > 0) {
            uint32_t take = std::min(frames, stream_.blockFrames - filled_);
            std::memcpy(block_.data() + size_t{filled_} * outFrameBytes, samples,
                        size_t{take} * outFrameBytes);
            samples += size_t{take} * outFrameBytes;
            frames -= take;
            Advance(take);
        }
        return;
    }
    for (; frames > 0; --frames, samples += outFrameBytes) {
        for (uint32_t channel = 0; channel < stream_.outChannels; ++channel) {
            int16_t sample = Get16(samples + channel * 2);
            if (Magnitude(sample) > Magnitude(held_[channel])) held_[channel] = sample;
        }
        if (++grouped_ == stream_.fold) PutHeld();
    }
}

void LoopbackBlockAssembler::PutHeld() {
    uint8_t* out = block_.data() + size_t{filled_} * stream_.outChannels * 2;
    for (uint32_t channel = 0; channel < stream_.outChannels; ++channel) {
        Put16(out + channel * 2, held_[channel]);
        held_[channel] = 0;
    }
    grouped_ = 0;
    Advance(1);
}

void LoopbackBlockAssembler::AppendSilence(int64_t frames) {
    const uint32_t outFrameBytes = stream_.outChannels * 2u;
    streamFrames_ += frames;
    // Zeros leave a group's largest magnitudes as they are.
    if (grouped_ > 0) {
        const auto fill = static_cast<uint32_t>(std::min<int64_t>(frames, stream_.fold - grouped_));
        grouped_ += fill;
        frames -= fill;
        if (grouped_ == stream_.fold) PutHeld();
    }
    while (frames >= stream_.fold) {
        uint32_t room = stream_.blockFrames - filled_;
        auto take = static_cast<uint32_t>(std::min<int64_t>(frames / stream_.fold, room));
        std::memset(block_.data() + size_t{filled_} * outFrameBytes, 0,
                    size_t{take} * outFrameBytes);
        frames -= int64_t{take} * stream_.fold;
        Advance(take);
    }
    // Frames left over: the group above goes on, or one begins in silence,
    // holding nothing yet.
    grouped_ += static_cast<uint32_t>(frames);
}

void LoopbackBlockAssembler::Advance(uint32_t frames) {
    filled_ += frames;
    if (filled_ == stream_.blockFrames) {
        sink_(context_, block_.data(), stream_.blockFrames * stream_.outChannels * 2u);
        filled_ = 0;
    }
}
