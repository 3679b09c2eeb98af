// The operating system version as one number. GetVersionExW lies to programs
// without a compatibility manifest entry for newer systems, so on the NT line
// the version comes from ntdll's RtlGetVersion, which does not.
#include "system/windows_api_win32.h"
#include "ui/platform_ui.h"

namespace {

using RtlGetVersionProcedure = LONG(WINAPI*)(OSVERSIONINFOEXW*);

int WindowsNineXCode(DWORD minor) {
    switch (minor) {
        case 0:
            return 10;
        case 10:
            return 30;
        case 90:
            return 40;
        default:
            return 200;
    }
}

int NtCode(DWORD major, DWORD minor, bool workstation) {
    if (major == 3) return 5;
    if (major == 4) return 20;
    if (major == 5) {
        if (minor == 0) return 50;
        if (minor == 1) return 60;
        if (minor == 2) return workstation ? 60 : 65;
    }
    if (major == 6) {
        if (minor == 0) return workstation ? 70 : 75;
        if (minor == 1) return workstation ? 80 : 85;
        if (minor == 2) return workstation ? 90 : 95;
        if (minor == 3) return workstation ? 100 : 105;
    }
    if (major == 10 && minor == 0) return 110;
    return 200;
}

bool ReadNtVersion(OSVERSIONINFOEXW* version) {
    *version = OSVERSIONINFOEXW{};
    version->dwOSVersionInfoSize = sizeof *version;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll != nullptr) {
        auto procedure = reinterpret_cast<RtlGetVersionProcedure>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (procedure != nullptr && procedure(version) == 0) return true;
    }
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(version)) != 0;
}

}  // namespace

int GetOsVersionCode() {
    OSVERSIONINFOW plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    if (!GetVersionExW(&plain)) return 200;
    if (plain.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        return WindowsNineXCode(plain.dwMinorVersion);
    }
    if (plain.dwPlatformId != VER_PLATFORM_WIN32_NT) return 200;
    OSVERSIONINFOEXW version;
    if (!ReadNtVersion(&version)) return 200;
    return NtCode(version.dwMajorVersion, version.dwMinorVersion,
                  version.wProductType == VER_NT_WORKSTATION);
}
