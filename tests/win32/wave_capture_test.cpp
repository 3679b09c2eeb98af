// Capture through wave-in under a real sound server: the blocks that the
// driver announces to the window carry exactly the samples that pacat played
// into the "meter" sink, whose monitor is the default capture source; and a
// burst of buffer-done messages that piled up while the window's thread was
// busy is handed off without losing or repeating a block.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/handoff.h"
#include "system/threads.h"
#include "tests/win32/unix_process.h"
#include "tests/win32/win32_support.h"

namespace {

constexpr int64_t WINDOW = 4401;
constexpr int RING = 16;
constexpr uint32_t BLOCK_BYTES = 8192;  // 2048 stereo frames, about 46 ms

WaveFormatRecord CdFormat() {
    WaveFormatRecord format;
    format.wFormatTag = PCM_FORMAT_TAG;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    format.cbSize = 0;
    return format;
}

// A ring of headers and blocks. It outlives the device on purpose: the
// driver may still hold headers until the device is closed.
struct Ring {
    WaveHeader headers[RING] = {};
    std::vector<char> blocks[RING];
    int IndexOf(const WaveHeader* header) const {
        for (int i = 0; i < RING; ++i) {
            if (&headers[i] == header) return i;
        }
        return -1;
    }
};

Ring* NewRing() {
    Ring* ring = new Ring;  // never freed: see above
    for (int i = 0; i < RING; ++i) {
        ring->blocks[i].assign(BLOCK_BYTES, 0);
        ring->headers[i].lpData = ring->blocks[i].data();
        ring->headers[i].dwBufferLength = BLOCK_BYTES;
    }
    return ring;
}

// Stopping lets the device go as well: its handle is closed.
void CloseDevice(void* device) {
    StopCaptureDevice(device);
    EXPECT_EQ(waveInClose(static_cast<HWAVEIN>(device)), MMSYSERR_INVALHANDLE) << "still open";
}

class WaveInCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLayerState();
        window_ = static_cast<HWND>(
            CreateTopWindow(WINDOW, 60, 60, 200, 80, "capture", CAPTION_AND_SYSTEM_MENU, nullptr));
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        SetMessageHook(nullptr);
        if (window_) DestroyWindow(window_);
        DrainEvents();
    }
    HWND window_ = nullptr;
};

// --- exact samples ---------------------------------------------------------

std::vector<WaveHeader*> announced;  // headers in the order the hook saw them
bool recording = true;

int64_t NoteFinishedBlock(void*, uint32_t message, uint64_t, int64_t lParam) {
    if (message == MESSAGE_CAPTURE_DATA && recording) {
        announced.push_back(reinterpret_cast<WaveHeader*>(static_cast<intptr_t>(lParam)));
    }
    return HOOK_PASS_THROUGH;
}

// Left and right samples of frame i: never zero, so the signal stands out
// from the silence around it, and different on the two channels.
int16_t SignalSample(uint32_t frame, int channel) {
    uint32_t x = frame * 2654435761u + static_cast<uint32_t>(channel) * 40503u + 12345u;
    x ^= x >> 13;
    int16_t value = static_cast<int16_t>(x & 0xFFFF);
    return value == 0 ? 1 : value;
}

// The signal follows a lead-in of silence: the sink's monitor starts
// delivering only once something plays, and the first few milliseconds of
// what plays go into getting the stream going.
bool WriteSignal(const std::wstring& path, uint32_t leadIn, uint32_t frames) {
    std::vector<int16_t> samples((leadIn + frames) * 2, 0);
    for (uint32_t i = 0; i < frames; ++i) {
        samples[2 * (leadIn + i)] = SignalSample(i, 0);
        samples[2 * (leadIn + i) + 1] = SignalSample(i, 1);
    }
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    size_t written = fwrite(samples.data(), sizeof(int16_t), samples.size(), file);
    fclose(file);
    return written == samples.size();
}

TEST_F(WaveInCapture, BlocksCarryExactlyTheSamplesPlayedIntoTheSink) {
    constexpr uint32_t SIGNAL_FRAMES = 44100 * 3 / 2;  // 1.5 s
    const SharedFile signal = SharedFileNamed("vellumtone-signal");
    const std::string& unixPath = signal.unixPath;
    const std::wstring& windowsPath = signal.windowsPath;
    PacatPlayer pacat(unixPath);
    if (!pacat.Available()) GTEST_SKIP() << "plays the signal through Wine's Unix process start";
    ASSERT_TRUE(WriteSignal(windowsPath, 44100 / 4, SIGNAL_FRAMES));

    Ring* ring = NewRing();
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, CdFormat(), window_);
    ASSERT_NE(device, nullptr) << "no capture device: is the sound server running?";
    for (WaveHeader& header : ring->headers) EXPECT_TRUE(PrepareCaptureBlock(device, &header));
    announced.clear();
    recording = true;
    SetMessageHook(NoteFinishedBlock);
    ASSERT_TRUE(StartCaptureDevice(device));

    std::vector<int16_t> recorded;
    auto takeAnnounced = [&] {
        for (WaveHeader* header : announced) {
            ASSERT_GE(ring->IndexOf(header), 0);
            EXPECT_TRUE(header->dwFlags & BLOCK_DONE);
            const int16_t* samples = reinterpret_cast<const int16_t*>(header->lpData);
            recorded.insert(recorded.end(), samples, samples + header->dwBytesRecorded / 2);
            AddCaptureBlock(device, header);
        }
        announced.clear();
    };

    CollectEvents(300);  // some silence first
    takeAnnounced();
    pacat.Start();
    ULONGLONG end = GetTickCount64() + 15000;
    while (GetTickCount64() < end && !pacat.Done()) {
        FetchEvent(50);
        takeAnnounced();
    }
    CollectEvents(500);  // the tail of the signal and some silence after it
    recording = false;
    takeAnnounced();
    SetMessageHook(nullptr);
    CloseDevice(device);
    DrainEvents();
    DeleteFileW(windowsPath.c_str());
    EXPECT_EQ(pacat.Status(), 0) << "pacat failed";

    // Find the first frame of the signal, then compare every frame.
    size_t frames = recorded.size() / 2;
    size_t start = frames;
    for (size_t i = 0; i < frames; ++i) {
        if (recorded[2 * i] == SignalSample(0, 0) && recorded[2 * i + 1] == SignalSample(0, 1)) {
            start = i;
            break;
        }
    }
    ASSERT_LT(start, frames) << "the signal never arrived (" << frames << " frames recorded)";
    ASSERT_GE(frames - start, SIGNAL_FRAMES) << "the signal arrived cut short";
    size_t mismatches = 0;
    for (uint32_t i = 0; i < SIGNAL_FRAMES; ++i) {
        if (recorded[2 * (start + i)] != SignalSample(i, 0) ||
            recorded[2 * (start + i) + 1] != SignalSample(i, 1)) {
            ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(WaveInCapture, UnknownDeviceIsRefused) {
    EXPECT_EQ(OpenCaptureDevice(57, CdFormat(), window_), nullptr);
}

// --- a burst of buffer-done messages ----------------------------------------

std::vector<int> announcedIndexes;
Ring* burstRing = nullptr;
bool forwarding = true;

int64_t HandOffAndNote(void* window, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != MESSAGE_CAPTURE_DATA || !forwarding) return HOOK_PASS_THROUGH;
    announcedIndexes.push_back(
        burstRing->IndexOf(reinterpret_cast<WaveHeader*>(static_cast<intptr_t>(lParam))));
    return WaveMessageHook(window, message, wParam, lParam);
}

TEST_F(WaveInCapture, BurstOfFinishedBlocksIsHandedOffOnceEachAndCaptureGoesOn) {
    ThreadLayerInit();
    burstRing = NewRing();
    PrepareHandoff(RING);
    CaptureWorkBuffer().Reset();
    CaptureSemaphore = SemaphoreCreate(0);
    ASSERT_NE(CaptureSemaphore, nullptr);
    ASSERT_NE(ThreadStart(CaptureThread, nullptr), 0);

    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, CdFormat(), window_);
    ASSERT_NE(device, nullptr);
    for (WaveHeader& header : burstRing->headers) PrepareCaptureBlock(device, &header);
    announcedIndexes.clear();
    forwarding = true;
    SetMessageHook(HandOffAndNote);
    ASSERT_TRUE(StartCaptureDevice(device));

    // Blocks flow once the sound server's stream is going.
    ULONGLONG flowing = GetTickCount64() + 10000;
    while (announcedIndexes.size() < 3 && GetTickCount64() < flowing) FetchEvent(50);
    ASSERT_GE(announcedIndexes.size(), 3u) << "capture never started";
    // The window's thread is held up: finished blocks pile up as messages.
    Sleep(500);
    int backlog = 0;
    for (int64_t code; (code = PollEvent()) != 0;) {
        if (code == MESSAGE_CAPTURE_DATA) ++backlog;
    }
    size_t afterBurst = announcedIndexes.size();
    ULONGLONG end = GetTickCount64() + 10000;
    while (announcedIndexes.size() < afterBurst + 2 * RING + 8 && GetTickCount64() < end) {
        FetchEvent(50);
    }
    size_t total = announcedIndexes.size();
    forwarding = false;

    // Every announced block reaches the work buffer, the burst included.
    end = GetTickCount64() + 5000;
    while (CaptureWorkBuffer().Latest().sequence < total && GetTickCount64() < end) Sleep(10);
    EXPECT_EQ(CaptureWorkBuffer().Latest().sequence, total);

    Sleep(100);  // the capture thread has given every block back by now
    SetMessageHook(nullptr);
    CloseDevice(device);
    DrainEvents();

    EXPECT_GE(backlog, 3) << "the held-up thread found no burst to handle";
    EXPECT_GE(total, afterBurst + 2 * RING + 8) << "capture stopped after the burst";
    // Each header came back once per turn of the ring, in ring order: none
    // was lost (it would drop out of the turn) and none was queued twice.
    ASSERT_FALSE(announcedIndexes.empty());
    EXPECT_EQ(announcedIndexes.front(), 0);
    size_t outOfTurn = 0;
    for (size_t i = 1; i < announcedIndexes.size(); ++i) {
        if (announcedIndexes[i] != (announcedIndexes[i - 1] + 1) % RING) ++outOfTurn;
    }
    EXPECT_EQ(outOfTurn, 0u);
}

}  // namespace
