// The mix format of a loopback stream, as IAudioClient::GetMixFormat hands
// it over: a WAVEFORMATEX, or a WAVEFORMATEXTENSIBLE when its tag says so,
// read from its bytes (little-endian, packed) so that every format can be
// tried on any machine. The assembler (loopback_blocks.h) takes 32-bit float
// and 16-bit PCM, given by the tag or, for an extensible format, by its
// subformat, whose GUID carries the same tag in its first field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/loopback_blocks.h"

constexpr uint16_t FLOAT_FORMAT_TAG = 3;            // WAVE_FORMAT_IEEE_FLOAT
constexpr uint16_t EXTENSIBLE_FORMAT_TAG = 0xFFFE;  // WAVE_FORMAT_EXTENSIBLE
constexpr size_t MIX_FORMAT_BYTES = 18;             // sizeof(WAVEFORMATEX)
constexpr size_t EXTENSIBLE_MIX_FORMAT_BYTES = 40;  // sizeof(WAVEFORMATEXTENSIBLE)
constexpr size_t MIX_SUBFORMAT_OFFSET = 24;         // of its SubFormat

// Reads the sample format and channels of the mix format in the `size`
// bytes at `bytes` (the record and the cbSize bytes that follow it) into
// `stream`, and its rate into `rate`. False, and nothing read, for a format
// the assembler cannot convert (24-bit PCM, 32-bit integers, a subformat of
// another kind) or whose fields do not agree; anything else read wrongly
// would show as noise on the needles.
bool ReadLoopbackMixFormat(const uint8_t* bytes, size_t size, LoopbackStreamRecord* stream,
                           uint32_t* rate);
