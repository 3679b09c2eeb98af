// Shared helpers of the Win32 layer tests: the layer is brought up once per
// process (DPI-aware, as the program's manifest makes the real program),
// events are collected as the application's loop would see them, and a test
// can run one test of this same executable as a child process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "system/text_win32.h"
#include "system/windows_api_win32.h"
#include "ui/event_queue.h"
#include "ui/platform_ui.h"

struct SeenEvent {
    int64_t code;
    int64_t object;
    int64_t window;
    int64_t data;
};

inline void EnsureUiLayer() {
    static bool up = false;
    if (up) return;
    SetProcessDPIAware();
    up = UiLayerInit();
    ASSERT_TRUE(up);
}

// Dispatches every pending message and throws away every queued event.
inline void DrainEvents() {
    while (PollEvent() != 0) {
    }
}

// Fetches for about `milliseconds`, returning the queued events that came out
// (raw message numbers are dispatched and left out).
inline std::vector<SeenEvent> CollectEvents(int milliseconds) {
    std::vector<SeenEvent> seen;
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        int64_t code = FetchEvent(static_cast<int32_t>(end - now));
        if (code >= 13100 && code <= 13118) {
            seen.push_back(SeenEvent{code, EventControl(), EventWindow(), EventData()});
        }
    }
    return seen;
}

// Fetches until `code` comes out (true) or `milliseconds` pass (false).
inline bool WaitForEvent(int64_t code, int milliseconds) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        if (FetchEvent(static_cast<int32_t>(end - now)) == code) return true;
    }
}

// Fresh per-test state: no hook, an empty queue, nothing pending.
inline void ResetLayerState() {
    EnsureUiLayer();
    SetMessageHook(nullptr);
    DrainEvents();
    ResetEventState();
}

// The client rectangle of `child` in its parent's client coordinates.
inline RECT ChildRect(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Runs this executable with --gtest_filter=`filter` and the environment
// variable `name`=`value`, waits up to `timeoutMs` and returns its exit code
// (-1 on time-out, which also ends the child). `whileRunning` is called
// repeatedly while the child runs; it returns false once it is done.
template <typename Poll>
inline int64_t RunChildTest(const char* filter, const char* name, const char* value,
                            DWORD timeoutMs, Poll whileRunning) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + WidenText(filter);
    SetEnvironmentVariableW(WidenText(name).c_str(), WidenText(value).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableW(WidenText(name).c_str(), nullptr);
    if (!started) return -2;
    CloseHandle(process.hThread);
    ULONGLONG end = GetTickCount64() + timeoutMs;
    bool polling = true;
    DWORD exitCode = 0;
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &exitCode);
            break;
        }
        if (GetTickCount64() >= end) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            return -1;
        }
        if (polling) polling = whileRunning();
    }
    CloseHandle(process.hProcess);
    return exitCode;
}

// A captioned window with a system menu (WS_CAPTION | WS_SYSMENU), as the
// tests make their windows.
constexpr uint32_t CAPTION_AND_SYSTEM_MENU = 0xC80000;

// The value of an environment variable, empty when unset.
inline std::string EnvironmentValue(const char* name) {
    wchar_t buffer[256];
    DWORD length = GetEnvironmentVariableW(WidenText(name).c_str(), buffer, 256);
    if (length == 0 || length >= 256) return std::string();
    return NarrowText(buffer);
}

// A file the test shares with the Unix side (a signal for pacat, notes of
// what a script made), as the Unix path and as Wine's path of the same file.
// Inside the run's private runtime folder of tests/with_services.sh, so that
// test runs side by side (in other prefixes, whose process numbers repeat)
// never share a file; /tmp elsewhere.
struct SharedFile {
    std::string unixPath;
    std::wstring windowsPath;
};
inline SharedFile SharedFileNamed(const std::string& name) {
    std::string folder = EnvironmentValue("XDG_RUNTIME_DIR");
    if (folder.empty() || folder[0] != '/') folder = "/tmp";
    SharedFile file;
    file.unixPath = folder + "/" + name + "-" + std::to_string(GetCurrentProcessId());
    file.windowsPath = L"Z:" + WidenText(file.unixPath.c_str());
    for (wchar_t& c : file.windowsPath) {
        if (c == L'/') c = L'\\';
    }
    return file;
}
