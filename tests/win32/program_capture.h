// The program's own recording in a Win32 test, set up as start-up does:
// a window, the capture state from the settings, the message hook; the
// test opens the recording and starts the capture thread itself.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "app/settings.h"
#include "capture/block_exchange.h"
#include "capture/capture_device.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "system/threads.h"
#include "system/windows_api_win32.h"
#include "tests/win32/win32_support.h"
#include "ui/platform_ui.h"

// Blocks published to the analysis so far.
inline uint64_t Published() {
    return CaptureWorkBuffer().Latest().sequence;
}

// Whether the newest block in the work buffer has exactly these peaks.
inline bool NewestBlockPeaks(int left, int right) {
    const CapturedBlock& block = CaptureWorkBuffer().Latest();
    const auto* samples = reinterpret_cast<const int16_t*>(block.bytes);
    int peaks[2] = {0, 0};
    for (uint32_t i = 0; i + 1 < block.length / 2; i += 2) {
        peaks[0] = std::max(peaks[0], std::abs(static_cast<int>(samples[i])));
        peaks[1] = std::max(peaks[1], std::abs(static_cast<int>(samples[i + 1])));
    }
    return block.length > 0 && peaks[0] == left && peaks[1] == right;
}

// Dispatches until the condition holds (true) or the time runs out.
template <typename Condition>
bool DispatchUntil(int milliseconds, Condition condition, int fetchMs = 20) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    while (!condition()) {
        if (GetTickCount64() >= end) return false;
        FetchEvent(fetchMs);
    }
    return true;
}

// A fresh layer, the window, fresh capture state read from the settings and
// the hook; nullptr when the window cannot be made.
inline HWND PrepareProgramCapture(int64_t window, const char* title, MessageHook hook) {
    ResetLayerState();
    auto handle = static_cast<HWND>(
        CreateTopWindow(window, 60, 60, 200, 80, title, CAPTION_AND_SYSTEM_MENU, nullptr));
    if (handle == nullptr) return nullptr;
    ThreadLayerInit();
    CaptureWorkBuffer().Reset();
    Capture() = CaptureState{};
    PresetCaptureState();
    ReadCaptureSettings();
    SetMessageHook(hook);
    return handle;
}

// Stops watching and recording and takes the window away. The capture
// thread stays blocked for good on its own semaphore: the next test makes
// a new one.
inline void EndProgramCapture(HWND window) {
    SetMessageHook(nullptr);
    Sleep(100);  // the capture thread has given every block back by now
    if (void* device = Capture().DeviceHandle.Get()) StopCaptureDevice(device);
    CaptureSemaphore = SemaphoreCreate(0);
    if (window) DestroyWindow(window);
    DrainEvents();
}
