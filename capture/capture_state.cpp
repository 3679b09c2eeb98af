// Capture settings turned into a format, a block length and a running
// recording. The arithmetic keeps the single- and double-precision steps of
// the original computation so that every rate gives the same block length.
#include "capture/capture_state.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "capture/capture_device.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "ui/platform_ui.h"

CaptureState& Capture() {
    static CaptureState state;
    return state;
}

void PresetCaptureState() {
    CaptureState& capture = Capture();
    capture.WaveFormat.wFormatTag = PCM_FORMAT_TAG;
    capture.WaveFormat.cbSize = 0;
    capture.BufferNum = INITIAL_BUFFER_NUM;
    capture.HeaderRing.assign(INITIAL_BUFFER_NUM, WaveHeader{});
}

int32_t ComputeBlockLength(int64_t samplesPerSec, int64_t channels) {
    // 31 ms target. The divisor 999.2 is taken in single precision
    // (999.20001...), which decides the rounding of some rates' lengths.
    const double perMs = 31.0 / static_cast<double>(999.2f);
    float x = static_cast<float>((static_cast<double>(samplesPerSec) * 2.0) * perMs *
                                 static_cast<double>(channels));
    double quotient = std::log(static_cast<double>(x)) / std::log(2.0);
    int64_t n = std::isfinite(quotient) ? static_cast<int64_t>(std::trunc(quotient)) : 0;
    n = std::clamp<int64_t>(n, 0, 29);
    return static_cast<int32_t>(std::nearbyint(std::pow(2.0, static_cast<double>(n) + 1.0)));
}

int32_t BoundBlockLength(int32_t blockLength, int32_t blockAlign) {
    int32_t frame = std::max<int32_t>(blockAlign, 1);
    int32_t limit = CAPTURE_WORK_BUFFER_BYTES / frame * frame;
    return std::min(blockLength, limit);
}

int32_t ComputeAnalysisInterval(int32_t blockLength, int64_t samplesPerSec, int64_t channels) {
    double bytesPerSecond =
        static_cast<double>(samplesPerSec) * 2.0 * static_cast<double>(channels);
    if (!(bytesPerSecond > 0)) return 1;
    return static_cast<int32_t>(std::nearbyint(blockLength * 0.2 / bytesPerSecond + 1.0));
}

void CompleteWaveFormat(WaveFormatRecord& format) {
    format.nBlockAlign = static_cast<uint16_t>(
        std::nearbyint((static_cast<int16_t>(format.nChannels) * format.wBitsPerSample) / 8.0));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
}

int OpenCapture(void* mainWindowHandle, int64_t mainWindowNumber) {
    CaptureState& capture = Capture();
    WaveFormatRecord& format = capture.WaveFormat;
    int64_t rate = static_cast<int32_t>(format.nSamplesPerSec);
    int64_t channels = static_cast<int16_t>(format.nChannels);

    DisarmCaptureWatchdog();  // armed again only once this recording runs
    capture.AnalysisInterval = 31;
    CompleteWaveFormat(format);
    capture.BufferLen = BoundBlockLength(ComputeBlockLength(rate, channels),
                                         static_cast<int32_t>(format.nBlockAlign));
    capture.AnalysisInterval = ComputeAnalysisInterval(capture.BufferLen, rate, channels);

    // Rates or channel counts of zero or below describe no recording at all.
    if (rate <= 0 || channels <= 0 || format.wBitsPerSample != 16) return 0;

    // The ring is sized from the setting, so no setting can index past it.
    // It is made even when no device opens now, for the one that opens later.
    int32_t blocks = std::clamp<int32_t>(capture.BufferNum, 0, MAX_BUFFER_NUM);
    capture.HeaderRing.assign(static_cast<size_t>(blocks), WaveHeader{});
    PrepareHandoff(capture.HeaderRing.size());
    for (WaveHeader& header : capture.HeaderRing) {
        header.lpData = new (std::nothrow) char[static_cast<size_t>(capture.BufferLen)]();
        header.dwBufferLength = static_cast<uint32_t>(capture.BufferLen);
    }

    auto deviceId = static_cast<uint32_t>(capture.Device - 1);
    // An input chosen before takes the place of the setting's device.
    capture.DeviceHandle = OpenChosenCaptureDevice(deviceId, format, mainWindowHandle);
    if (capture.DeviceHandle) {
        for (WaveHeader& header : capture.HeaderRing) {
            // A block without memory would carry no data; leave it out of the ring.
            if (header.lpData) PrepareCaptureBlock(capture.DeviceHandle, &header);
        }
        StartCaptureDevice(capture.DeviceHandle);
    }
    // With or without a device: the needles rest until blocks come (the
    // analysis sleeps while nothing changes), and the watchdog opens the
    // device once there is one (a meter started before the sound service, a
    // microphone plugged in later) or reopens one that failed to start.
    StartWindowTimer(mainWindowNumber, ANALYSIS_TIMER,
                     static_cast<uint32_t>(capture.AnalysisInterval));
    ArmCaptureWatchdog(deviceId, format, mainWindowHandle);
    return 0;
}
