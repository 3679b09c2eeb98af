// The capture format and block header records. Their fields keep the names
// of the Windows records they mirror; the wave-in layer checks at compile
// time that WaveHeader has WAVEHDR's layout and that the constants here
// have the values of their Windows counterparts (named in the comments), so
// a header can be handed to the driver as it is. The constants have names
// of their own, so that no order of headers matters.
#pragma once

#include <cstdint>

constexpr uint16_t PCM_FORMAT_TAG = 1;  // WAVE_FORMAT_PCM

struct WaveFormatRecord {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

struct WaveHeader {
    char* lpData;              // block memory
    uint32_t dwBufferLength;   // block length in bytes
    uint32_t dwBytesRecorded;  // set by the device when the block is finished
    uintptr_t dwUser;
    uint32_t dwFlags;  // BLOCK_DONE (1) once finished
    uint32_t dwLoops;
    WaveHeader* lpNext;
    uintptr_t reserved;
};

constexpr uint32_t BLOCK_DONE = 0x1;      // WHDR_DONE: finished, back with the program
constexpr uint32_t BLOCK_PREPARED = 0x2;  // WHDR_PREPARED
constexpr uint32_t BLOCK_QUEUED = 0x10;   // WHDR_INQUEUE: with the device
