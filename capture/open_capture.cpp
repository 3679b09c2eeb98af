#include "capture/open_capture.h"

#include <algorithm>
#include <new>

#include "capture/capture_device.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "ui/platform_ui.h"

int OpenCapture(void* mainWindowHandle, int64_t mainWindowNumber, bool onCaptureThread) {
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
    capture.DeviceHandle =
        onCaptureThread ? nullptr : OpenChosenCaptureDevice(deviceId, format, mainWindowHandle);
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
    if (onCaptureThread) RequestCaptureReopen();
    return 0;
}
