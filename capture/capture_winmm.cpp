// The capture device over wave-in. The device is opened with CALLBACK_WINDOW,
// so the driver posts MM_WIM_DATA for every finished block to the main
// window, where the window layer's message hook takes it; and with
// WAVE_FORMAT_DIRECT, so the system converts nothing and a device that cannot
// record the format itself refuses to open. The device id PLAYING_DEVICE_ID
// opens a loopback recording of the default output instead, which keeps the
// same contract; every call on its handle goes to loopback_wasapi.cpp.
#include <cstddef>

#include "capture/capture_device.h"
#include "capture/loopback_wasapi.h"
#include "capture/wave_format_win32.h"
#include "system/windows_api_win32.h"
#include "ui/messages.h"

// The program's header record is handed to the driver as it is.
static_assert(sizeof(WaveHeader) == sizeof(WAVEHDR));
static_assert(offsetof(WaveHeader, lpData) == offsetof(WAVEHDR, lpData));
static_assert(offsetof(WaveHeader, dwBufferLength) == offsetof(WAVEHDR, dwBufferLength));
static_assert(offsetof(WaveHeader, dwBytesRecorded) == offsetof(WAVEHDR, dwBytesRecorded));
static_assert(offsetof(WaveHeader, dwUser) == offsetof(WAVEHDR, dwUser));
static_assert(offsetof(WaveHeader, dwFlags) == offsetof(WAVEHDR, dwFlags));
static_assert(offsetof(WaveHeader, dwLoops) == offsetof(WAVEHDR, dwLoops));
static_assert(offsetof(WaveHeader, lpNext) == offsetof(WAVEHDR, lpNext));
static_assert(offsetof(WaveHeader, reserved) == offsetof(WAVEHDR, reserved));
static_assert(BLOCK_DONE == WHDR_DONE && BLOCK_PREPARED == WHDR_PREPARED &&
              BLOCK_QUEUED == WHDR_INQUEUE);
static_assert(PCM_FORMAT_TAG == WAVE_FORMAT_PCM && DEFAULT_CAPTURE_DEVICE == WAVE_MAPPER);
static_assert(MESSAGE_CAPTURE_OPEN == MM_WIM_OPEN && MESSAGE_CAPTURE_CLOSE == MM_WIM_CLOSE &&
              MESSAGE_CAPTURE_DATA == MM_WIM_DATA);
static_assert(DEFAULT_CAPTURE_DEVICE == 0xFFFFFFFFu);

namespace {

// How long a stop leaves the audio stack to wind the closed stream down.
constexpr DWORD STOP_SETTLE_MS = 100;

WAVEHDR* Native(WaveHeader* header) {
    return reinterpret_cast<WAVEHDR*>(header);
}
HWAVEIN Device(void* device) {
    return static_cast<HWAVEIN>(device);
}

}  // namespace

void* OpenCaptureDevice(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow) {
    if (deviceId == PLAYING_DEVICE_ID) return OpenLoopbackDevice(format, callbackWindow);
    WAVEFORMATEX native = NativeWaveFormat(format);
    HWAVEIN device = nullptr;
    MMRESULT result =
        waveInOpen(&device, deviceId, &native, reinterpret_cast<DWORD_PTR>(callbackWindow), 0,
                   CALLBACK_WINDOW | WAVE_FORMAT_DIRECT);
    return result == MMSYSERR_NOERROR ? device : nullptr;
}

bool PrepareCaptureBlock(void* device, WaveHeader* header) {
    if (IsLoopbackDevice(device)) return QueueLoopbackBlock(device, header, true);
    waveInPrepareHeader(Device(device), Native(header), sizeof(WAVEHDR));
    return waveInAddBuffer(Device(device), Native(header), sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

bool AddCaptureBlock(void* device, WaveHeader* header) {
    if (IsLoopbackDevice(device)) return QueueLoopbackBlock(device, header, false);
    return waveInAddBuffer(Device(device), Native(header), sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

bool StartCaptureDevice(void* device) {
    if (IsLoopbackDevice(device)) return StartLoopbackDevice(device);
    return waveInStart(Device(device)) == MMSYSERR_NOERROR;
}

bool CaptureBlockDone(void*, const WaveHeader* header) {
    // The driver sets WHDR_DONE from its own thread when it has filled the
    // block, before it posts MM_WIM_DATA; an aligned 32-bit load sees it
    // whole.
    return (__atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE) & BLOCK_DONE) != 0;
}

// waveInReset marks every queued block done and gives it back; unpreparing
// then hands each header back to the program, and closing lets the driver
// end its own threads for the device now. Left open, they are killed
// wherever they are when the process ends, and Wine's audio driver then now
// and then takes the process down with a segmentation fault on its way out.
void StopCaptureDevice(void* device, WaveHeader* headers, size_t count) {
    if (IsLoopbackDevice(device)) {
        CloseLoopbackDevice(device);
        return;
    }
    HWAVEIN handle = Device(device);
    waveInReset(handle);
    for (size_t i = 0; i < count; ++i) {
        waveInUnprepareHeader(handle, Native(&headers[i]), sizeof(WAVEHDR));
    }
    waveInClose(handle);
    // HACK: Wine's audio stack winds the stream down on its own threads
    // after the close returns, and an exit in the middle of that crashes
    // Wine 8 about once in fifty exits. A short pause lets them finish (none
    // in 200 exits measured); on Windows it only delays the exit a little.
    // It can go once 200 runs of tests/e2e/wine_e2e.sh's signal case under
    // the Wine in use end without a crash with STOP_SETTLE_MS at 0.
    Sleep(STOP_SETTLE_MS);
}

void* RecoverCaptureDevice(void* device, WaveHeader* headers, size_t count, uint32_t deviceId,
                           const WaveFormatRecord& format, void* callbackWindow,
                           bool* closeNoticePosted, bool* headersReleased) {
    *closeNoticePosted = false;
    *headersReleased = true;
    if (IsLoopbackDevice(device)) {
        void* fresh = OpenCaptureDevice(deviceId, format, callbackWindow);
        *closeNoticePosted = CloseLoopbackDevice(device);
        *headersReleased = *closeNoticePosted;
        return fresh;
    }
    HWAVEIN old = Device(device);
    if (old != nullptr) {
        // waveInReset marks every queued block done and posts MM_WIM_DATA for
        // each. When the sound server has gone, Wine 8's reset fails instead
        // and leaves the blocks queued; unpreparing them then fails with
        // WAVERR_STILLPLAYING, and on Windows a handle in that state may
        // still own and fill them.
        waveInReset(old);
        for (size_t i = 0; i < count; ++i) {
            MMRESULT result = waveInUnprepareHeader(old, Native(&headers[i]), sizeof(WAVEHDR));
            if (result != MMSYSERR_NOERROR) *headersReleased = false;
        }
    }
    // Opened while the old device is still open, so that the two handles
    // differ: Wine hands the same handle out again once a device is closed.
    void* fresh = OpenCaptureDevice(deviceId, format, callbackWindow);
    // A successful close posts MM_WIM_CLOSE. A handle the driver refuses to
    // close (it vanished with its device, or still holds blocks) is given
    // up: it is never handed out again, and the headers stay with it.
    if (old != nullptr) {
        *closeNoticePosted = waveInClose(old) == MMSYSERR_NOERROR;
        if (!*closeNoticePosted) *headersReleased = false;
    }
    return fresh;
}
