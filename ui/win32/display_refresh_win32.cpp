// The screens' refresh from their current display modes.
#include "ui/win32/display_refresh_win32.h"

#include <windows.h>

#include <algorithm>

#include "ui/frame_pacing.h"

void Win32ReadDisplayRefresh() {
    DWORD fastest = 0;
    DISPLAY_DEVICEW device{};
    device.cb = sizeof device;
    for (DWORD index = 0; EnumDisplayDevicesW(nullptr, index, &device, 0); ++index) {
        if (device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) {
            DEVMODEW mode{};
            mode.dmSize = sizeof mode;
            // dmDisplayFrequency 0 or 1 means the hardware's default, which
            // it does not name: such a screen tells nothing.
            if (EnumDisplaySettingsW(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode) &&
                (mode.dmFields & DM_DISPLAYFREQUENCY) && mode.dmDisplayFrequency > 1) {
                fastest = std::max(fastest, mode.dmDisplayFrequency);
            }
        }
        device = DISPLAY_DEVICEW{};
        device.cb = sizeof device;
    }
    SetDisplayRefresh(static_cast<double>(fastest));
}
