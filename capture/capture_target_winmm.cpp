// The chosen input over wave-in. A wave-in device is known by its endpoint
// ID, which the driver reports through waveInMessage with
// DRV_QUERYFUNCTIONINSTANCEID; its device number is only its place in the
// list of the moment, which changes as devices come and go, and its
// 31-character szPname is cut short and not unique. So the ID is looked up
// again at every opening, on the capture thread, by the watchdog's lookup;
// a choice asks the watchdog to reopen the recording there. What is playing
// is recorded over WASAPI loopback (loopback_wasapi.cpp), opened through the
// same lookup by its own device id.
#include <cwchar>
#include <mutex>
#include <string>

#include "capture/capture_device.h"
#include "capture/capture_inputs.h"
#include "capture/capture_watchdog.h"
#include "capture/loopback_wasapi.h"
#include "capture/wave_format_win32.h"
#include "system/windows_api_win32.h"

// Defined by mmddk.h, which the program does not otherwise need.
#ifndef DRV_QUERYFUNCTIONINSTANCEID
#define DRV_QUERYFUNCTIONINSTANCEID (DRV_RESERVED + 17)
#define DRV_QUERYFUNCTIONINSTANCEIDSIZE (DRV_RESERVED + 18)
#endif

namespace {

struct ChoiceState {
    bool made = false;  // a choice was made since the program started
    CaptureTarget target = CaptureTarget::DEFAULT_INPUT;
    std::wstring id;       // the endpoint ID of NAMED_INPUT, UTF-16
    std::wstring scratch;  // room for one ID of the chosen length, reused by each lookup
};

std::mutex lock;  // the choice is made on the main thread, looked up on the capture thread
ChoiceState choice;

bool Widen(const std::string& text, std::wstring* wide) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return false;
    wide->assign(static_cast<size_t>(length), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), wide->data(), length) == length;
}

// The number of the wave-in device whose endpoint ID is exactly `id`, or -1.
// The size is asked first, so that IDs of another length are never fetched
// and the one buffer of the chosen length serves every query.
int64_t FindWaveInDevice(const std::wstring& id, std::wstring& scratch) {
    const ULONG wanted = static_cast<ULONG>((id.size() + 1) * sizeof(wchar_t));
    scratch.resize(id.size() + 1);
    UINT count = waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        auto device = reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(i));
        ULONG size = 0;
        if (waveInMessage(device, DRV_QUERYFUNCTIONINSTANCEIDSIZE,
                          reinterpret_cast<DWORD_PTR>(&size), 0) != MMSYSERR_NOERROR ||
            size != wanted) {
            continue;
        }
        if (waveInMessage(device, DRV_QUERYFUNCTIONINSTANCEID,
                          reinterpret_cast<DWORD_PTR>(scratch.data()),
                          wanted) != MMSYSERR_NOERROR) {
            continue;
        }
        if (scratch[id.size()] == L'\0' && wmemcmp(scratch.data(), id.data(), id.size()) == 0) {
            return i;
        }
    }
    return -1;
}

// Whether the device would open in the format as the recording opens it;
// WAVE_FORMAT_QUERY asks without opening, and posts nothing to any window.
bool TakesFormat(UINT deviceId, const WaveFormatRecord& format) {
    WAVEFORMATEX native = NativeWaveFormat(format);
    return waveInOpen(nullptr, deviceId, &native, 0, 0, WAVE_FORMAT_QUERY | WAVE_FORMAT_DIRECT) ==
           MMSYSERR_NOERROR;
}

uint32_t LookUpChosenDevice(uint32_t armedDeviceId, const WaveFormatRecord& format, bool* standIn) {
    std::unique_lock<std::mutex> hold(lock);
    *standIn = false;
    if (!choice.made) return armedDeviceId;
    if (choice.target == CaptureTarget::PLAYING) {
        // Asked without the lock, so that a choice never waits for the system.
        hold.unlock();
        if (LoopbackCaptureOpensNow()) return PLAYING_DEVICE_ID;
        *standIn = true;
        return DEFAULT_CAPTURE_DEVICE;
    }
    if (choice.target != CaptureTarget::NAMED_INPUT) return DEFAULT_CAPTURE_DEVICE;
    int64_t found = FindWaveInDevice(choice.id, choice.scratch);
    if (found < 0 || !TakesFormat(static_cast<UINT>(found), format)) {
        *standIn = true;
        return DEFAULT_CAPTURE_DEVICE;
    }
    return static_cast<uint32_t>(found);
}

}  // namespace

// Wave-in cannot record what an output plays; a WASAPI loopback stream can,
// where the system gives one. Asked again each time the menu opens, until
// the system has once given one.
bool PlayingCaptureAvailable() {
    return LoopbackCaptureWorks();
}

// With no device open yet the choice is kept all the same: the watchdog's
// tries to open one look it up. So is what is playing while no loopback
// stream opens (no output plugged in): the default input stands in, and the
// watchdog's lookups take loopback up once it opens.
bool ChooseCaptureTarget(void*, CaptureTarget target, const std::string& id) {
    std::wstring wide;
    if (target == CaptureTarget::NAMED_INPUT && !Widen(id, &wide))
        return false;  // empty or not UTF-8
    bool changed;
    {
        std::lock_guard<std::mutex> hold(lock);
        changed = !choice.made || choice.target != target || choice.id != wide;
        choice.made = true;
        choice.target = target;
        choice.id = std::move(wide);
        // The lookups on the capture thread reuse this room and allocate nothing.
        choice.scratch.reserve(choice.id.size() + 1);
    }
    SetCaptureDeviceLookup(LookUpChosenDevice);
    if (changed) RequestCaptureReopen();
    return true;
}

// Wave-in has no server to lose: with no device open there is no input to
// record from. The names are the menu's, which the status line takes from
// the settings.
CaptureStatusRecord QueryCaptureStatus(void* device) {
    CaptureStatusRecord status;
    if (device == nullptr) {
        status.condition = CaptureCondition::NO_DEVICE;
    } else if (CaptureStandingIn()) {
        status.condition = CaptureCondition::STANDING_IN;
    }
    return status;
}
