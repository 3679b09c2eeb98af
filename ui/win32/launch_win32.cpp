// Starting a program, or opening a document or web address with the user's
// default handler. A program name is tried first as a command line of its
// own; anything that is not a program (a web address, a document) then goes
// to the shell, which hands it to whatever the user chose for it.
#include "ui/win32/launch_win32.h"

#include <string>

#include "system/text_win32.h"
#include "system/windows_api_win32.h"
#include "ui/launch.h"

std::wstring LaunchCommandLine(const std::wstring& target, const std::wstring& parameters) {
    std::wstring line;
    line.reserve(target.size() + parameters.size() + 4);
    if (!target.empty() && target.front() == L'"') {
        line = target;
    } else {
        line = L"\"" + target + L"\"";
    }
    if (!parameters.empty()) line += L" " + parameters;
    return line;
}

std::wstring LaunchFolder(const std::wstring& target) {
    size_t last = target.find_last_of(L'\\');
    if (last == std::wstring::npos || last == 0) return std::wstring();
    return target.substr(0, last + 1);
}

namespace {

constexpr ULONG SHELL_MASK =
    SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;  // 0x540

bool TryCreateProcess(const std::wstring& target, const std::wstring& parameters,
                      const std::wstring& directory) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    std::wstring line = LaunchCommandLine(target, parameters);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool TryShell(const std::wstring& target, const std::wstring& parameters,
              const std::wstring& directory) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SHELL_MASK;
    info.lpFile = target.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return false;
    // No process when the address went to a program that was already running.
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    return true;
}

// Runs or opens `target` and waits for nothing. 1 on success, 0 on failure.
int RunTarget(const std::wstring& target, const std::wstring& parameters,
              const std::wstring& directory) {
    if (TryCreateProcess(target, parameters, directory)) return 1;
    std::wstring folder = directory.empty() ? LaunchFolder(target) : directory;
    return TryShell(target, parameters, folder) ? 1 : 0;
}

}  // namespace

int OpenAddress(const char* address) {
    return RunTarget(WidenText(address), std::wstring(), std::wstring());
}

// The shell's answer is OpenAddress's own.
int64_t RefusedAddressCount() {
    return 0;
}
