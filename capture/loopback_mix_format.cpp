// A loopback stream's mix format from its bytes (see loopback_mix_format.h).
#include "capture/loopback_mix_format.h"

#include <cstring>

#include "capture/wave_format.h"

namespace {

uint16_t Get16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t Get32(const uint8_t* bytes) {
    return Get16(bytes) | static_cast<uint32_t>(Get16(bytes + 2)) << 16;
}

// {tag-0000-0010-8000-00aa00389b71}: KSDATAFORMAT_SUBTYPE_PCM, _IEEE_FLOAT
// and their kin, after the first field, as the GUID's bytes lie in memory.
constexpr uint8_t SUBFORMAT_TAIL[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

}  // namespace

bool ReadLoopbackMixFormat(const uint8_t* bytes, size_t size, LoopbackStreamRecord* stream,
                           uint32_t* rate) {
    if (bytes == nullptr || size < MIX_FORMAT_BYTES) return false;
    uint32_t tag = Get16(bytes);
    const uint16_t channels = Get16(bytes + 2);
    const uint32_t samplesPerSec = Get32(bytes + 4);
    const uint16_t blockAlign = Get16(bytes + 12);
    const uint16_t bits = Get16(bytes + 14);
    const uint16_t extraBytes = Get16(bytes + 16);
    if (tag == EXTENSIBLE_FORMAT_TAG) {
        if (size < EXTENSIBLE_MIX_FORMAT_BYTES ||
            extraBytes < EXTENSIBLE_MIX_FORMAT_BYTES - MIX_FORMAT_BYTES) {
            return false;
        }
        const uint8_t* sub = bytes + MIX_SUBFORMAT_OFFSET;
        tag = Get32(sub);
        if (tag > 0xFFFF || std::memcmp(sub + 4, SUBFORMAT_TAIL, sizeof SUBFORMAT_TAIL) != 0) {
            return false;
        }
        // Samples.wValidBitsPerSample: 20 valid bits in 24, say, is not the
        // plain format; 0 leaves them all valid.
        const uint16_t validBits = Get16(bytes + MIX_FORMAT_BYTES);
        if (validBits != 0 && validBits != bits) return false;
    }
    LoopbackSampleFormat sampleFormat;
    if (tag == FLOAT_FORMAT_TAG && bits == 32) {
        sampleFormat = LoopbackSampleFormat::FLOAT32;
    } else if (tag == PCM_FORMAT_TAG && bits == 16) {
        sampleFormat = LoopbackSampleFormat::PCM16;
    } else {
        return false;
    }
    if (channels == 0 || samplesPerSec == 0 || blockAlign != channels * bits / 8) return false;
    stream->sampleFormat = sampleFormat;
    stream->channels = channels;
    *rate = samplesPerSec;
    return true;
}
