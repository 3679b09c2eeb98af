// Block lengths, tick interval and format for every supported rate, and the
// opening sequence against the headless device.
#include "capture/capture_state.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/settings.h"
#include "capture/capture_null.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "capture/open_capture.h"
#include "ui/ui_null.h"

namespace {

TEST(BlockLength, IsThePowerOfTwoAboveThirtyOneMillisecondsForEveryListedFormat) {
    struct Case {
        int64_t rate, channels;
        int32_t expected;
    } cases[] = {{44100, 2, 8192},  {44100, 1, 4096}, {22050, 2, 4096}, {48000, 2, 8192},
                 {96000, 2, 16384}, {8000, 1, 512},   {11025, 1, 1024}, {192000, 2, 32768},
                 {44100, 8, 32768}, {48000, 1, 4096}, {88200, 2, 16384}};
    for (const Case& c : cases) {
        EXPECT_EQ(ComputeBlockLength(c.rate, c.channels), c.expected)
            << c.rate << " Hz, " << c.channels << " channels";
        EXPECT_EQ(ComputeAnalysisInterval(c.expected, c.rate, c.channels), 1);
    }
    // The intermediate value keeps its single-precision rounding.
    float x = static_cast<float>((44100 * 2.0) * (31.0 / static_cast<double>(999.2f)) * 2.0);
    EXPECT_EQ(x, 5472.7783203125f);
    float mono = static_cast<float>((44100 * 2.0) * (31.0 / static_cast<double>(999.2f)) * 1.0);
    EXPECT_EQ(mono, 2736.38916015625f);
}

TEST(BlockLength, IsBoundedToWholeFramesThatFitTheWorkBuffer) {
    EXPECT_EQ(BoundBlockLength(32768, 4), 32764);
    EXPECT_EQ(BoundBlockLength(32768, 16), 32752);
    EXPECT_EQ(BoundBlockLength(8192, 4), 8192);
    EXPECT_EQ(BoundBlockLength(32768, 0), 32767);
    // Rates that describe nothing give a harmless length, never a crash.
    EXPECT_EQ(ComputeBlockLength(0, 2), 2);
    EXPECT_EQ(ComputeBlockLength(-44100, 2), 2);
    EXPECT_EQ(ComputeAnalysisInterval(2, 0, 0), 1);
}

TEST(WaveFormat, CompletesBlockAlignAndBytesPerSecond) {
    WaveFormatRecord format;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.cbSize = 7;
    CompleteWaveFormat(format);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(format.cbSize, 0);
}

class OpenCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetNullUi();
        ResetNullCapture(true);
        Capture() = CaptureState{};
        PresetCaptureState();
        ReadCaptureSettings();
    }
    void* window = reinterpret_cast<void*>(0x10000 + 1962 * 16);
};

TEST_F(OpenCaptureTest, DefaultsOpenTheDefaultDeviceQueueSixteenBlocksAndStartTimerTwo) {
    EXPECT_EQ(Capture().Device, 0);
    EXPECT_EQ(Capture().WaveFormat.nChannels, 2);
    EXPECT_EQ(Capture().WaveFormat.nSamplesPerSec, 44100u);
    EXPECT_EQ(Capture().BufferNum, 16);
    EXPECT_EQ(Capture().BufferLen, 2048);

    OpenCapture(window, 1962);
    EXPECT_EQ(Capture().BufferLen, 8192);
    EXPECT_EQ(Capture().AnalysisInterval, 1);
    EXPECT_EQ(NullCaptureDeviceId(), 0xFFFFFFFFu);
    EXPECT_EQ(NullCaptureFormat().nBlockAlign, 4);
    EXPECT_EQ(NullCaptureFormat().nAvgBytesPerSec, 176400u);
    EXPECT_EQ(NullCaptureQueuedCount(), 16);
    EXPECT_TRUE(NullCaptureStarted());
    for (const WaveHeader& header : Capture().HeaderRing) {
        EXPECT_NE(header.lpData, nullptr);
        EXPECT_EQ(header.dwBufferLength, 8192u);
        EXPECT_EQ(NullCaptureAddCount(&header), 1);
    }
    ASSERT_EQ(NullTimers().size(), 1u);
    EXPECT_EQ(NullTimers()[0].window, 1962);
    EXPECT_EQ(NullTimers()[0].id, 2u);
    // Watched from now on, with time for the first block.
    EXPECT_EQ(CaptureStallTimeout(CaptureWatchdogArming()),
              CAPTURE_STALL_MS * CAPTURE_START_STALLS);

    RescaleChannelCount();
    EXPECT_EQ(Capture().WaveFormat.nChannels, 4);
}

TEST_F(OpenCaptureTest, AMissingDeviceLeavesTheRingUnqueuedAndIsTriedForSoon) {
    ResetNullCapture(false);
    OpenCapture(window, 1962);
    EXPECT_EQ(Capture().BufferLen, 8192);
    EXPECT_EQ(Capture().DeviceHandle, nullptr);
    EXPECT_EQ(NullCaptureQueuedCount(), 0);
    ASSERT_EQ(Capture().HeaderRing.size(), 16u);
    EXPECT_NE(Capture().HeaderRing[0].lpData, nullptr);  // ready for the device to come
    EXPECT_EQ(NullTimers().size(), 1u);
    // Watched for: the capture thread tries to open one a quarter second on.
    EXPECT_EQ(CaptureStallTimeout(CaptureWatchdogArming()), CAPTURE_STALL_MS / 4);
}

TEST_F(OpenCaptureTest, TheRingFollowsTheBlockCountSettingAndTheDeviceNumberIsOffByOne) {
    Capture().BufferNum = 40;
    Capture().Device = 3;
    OpenCapture(window, 1962);
    EXPECT_EQ(Capture().HeaderRing.size(), 40u);
    EXPECT_EQ(NullCaptureQueuedCount(), 40);
    EXPECT_EQ(NullCaptureDeviceId(), 2u);

    ResetNullCapture(true);
    Capture().BufferNum = -5;
    OpenCapture(window, 1962);
    EXPECT_EQ(NullCaptureQueuedCount(), 0);
}

TEST_F(OpenCaptureTest, AFastRateGetsABlockThatFitsTheWorkBuffer) {
    Capture().WaveFormat.nSamplesPerSec = 192000;
    OpenCapture(window, 1962);
    EXPECT_EQ(Capture().BufferLen, 32764);
    EXPECT_LE(Capture().BufferLen, CAPTURE_WORK_BUFFER_BYTES);

    ResetNullCapture(true);
    Capture().WaveFormat.nSamplesPerSec = 0;
    OpenCapture(window, 1962);
    EXPECT_EQ(NullCaptureQueuedCount(), 0);
}

TEST(CaptureSettings, MonoBecomesTwoAfterTheRescaleAndLookupsGiveTheirDefaults) {
    EXPECT_EQ(ReadSettingInteger("Frequency", 44100), 44100);
    EXPECT_EQ(ReadSettingInteger("x", 0x1FFFFFFFFLL), -1);  // truncated to 32 bits
    Capture().WaveFormat.nChannels = 1;
    RescaleChannelCount();
    EXPECT_EQ(Capture().WaveFormat.nChannels, 2);
}

}  // namespace
