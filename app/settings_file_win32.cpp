// The settings file on Windows, in the user's roaming application data
// folder. A change is written to a new file in the same folder, flushed with
// FlushFileBuffers and moved over the old file with MoveFileExW: with
// MOVEFILE_REPLACE_EXISTING it replaces the old name in one step, and
// MOVEFILE_WRITE_THROUGH makes it return only once the move is on the disk.
// The new file inherits the folder's permissions, as the old one did.
#include <algorithm>
#include <string>

#include "app/settings_file.h"
#include "system/text_win32.h"
#include "system/windows_api_win32.h"
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>

namespace {

// A search indexer or a virus scanner may hold the old file open for a
// moment without sharing its deletion: the move is then refused with a
// sharing violation (or access denied, while a deletion is pending), and
// tried again a few times.
constexpr int MOVE_TRIES = 8;
constexpr DWORD MOVE_RETRY_MS = 50;
// FILETIME counts 100-nanosecond steps.
constexpr ULONGLONG FILETIME_STEPS_PER_S = 10000000;

// Closes the handle when it goes out of scope.
class FileHandleRecord {
public:
    explicit FileHandleRecord(HANDLE handle) : handle_(handle) {}
    ~FileHandleRecord() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandleRecord(const FileHandleRecord&) = delete;
    FileHandleRecord& operator=(const FileHandleRecord&) = delete;
    HANDLE Get() const { return handle_; }
    bool Close() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates each missing folder along the path; CreateDirectoryW makes one
// level at a time and fails harmlessly on those that exist (or on a drive).
bool MakeFolders(const std::wstring& folder) {
    for (size_t slash = folder.find_first_of(L"\\/");;
         slash = folder.find_first_of(L"\\/", slash + 1)) {
        std::wstring part = folder.substr(0, slash);
        if (!part.empty() && !IsFolder(part)) CreateDirectoryW(part.c_str(), nullptr);
        if (slash == std::wstring::npos) break;
    }
    return IsFolder(folder);
}

ULONGLONG FileTimeSteps(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Removes the temporary files of writes that a crash cut short. One younger
// than SETTINGS_LEFTOVER_AGE_S may be another copy of the program's write in
// progress (and one still open is not removed: it is shared with no one).
void RemoveLeftovers(const std::wstring& folder, const std::wstring& prefix) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG oldest = FileTimeSteps(now) - SETTINGS_LEFTOVER_AGE_S * FILETIME_STEPS_PER_S;
    do {
        // The pattern matches short 8.3 names too: the long name is checked.
        if (std::wstring_view(found.cFileName).starts_with(prefix) &&
            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            FileTimeSteps(found.ftLastWriteTime) < oldest) {
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool MoveOver(const std::wstring& from, const std::wstring& to) {
    for (int tries = 1;; ++tries) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        if (tries == MOVE_TRIES ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
            return false;
        }
        Sleep(MOVE_RETRY_MS);
    }
}

}  // namespace

std::string SettingsFilePath() {
    // SHGetKnownFolderPath allocates the path with CoTaskMemAlloc, even when
    // it fails, and the caller frees it.
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)) && folder &&
        folder[0] != L'\0') {
        path = NarrowText(folder) + "\\Vellumtone\\vellumtone.ini";
    }
    CoTaskMemFree(folder);
    return path;
}

SettingsFileResult ReadSettingsFile(const std::string& path, size_t maxBytes, std::string* text) {
    text->clear();
    // Shared for writing and deletion, so that an editor or a rename by
    // another copy of the program is never refused while this reads.
    FileHandleRecord file(CreateFileW(WidenText(path.c_str()).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? SETTINGS_FILE_MISSING
                   : SETTINGS_FILE_UNREADABLE;
    }
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) return SETTINGS_FILE_UNREADABLE;
    text->resize(maxBytes);
    size_t filled = 0;
    while (filled < maxBytes) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(maxBytes - filled, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(file.Get(), text->data() + filled, want, &got, nullptr)) {
            text->clear();
            return SETTINGS_FILE_UNREADABLE;
        }
        if (got == 0) break;
        filled += got;
    }
    text->resize(filled);
    return SETTINGS_FILE_READ;
}

bool WriteSettingsFile(const std::string& path, std::string_view text) {
    const std::wstring target = WidenText(path.c_str());
    size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = target.substr(0, slash);
    if (slash == std::wstring::npos || !MakeFolders(folder)) return false;

    const std::wstring prefix = target.substr(slash + 1) + WidenText(SETTINGS_TEMPORARY_INFIX);
    RemoveLeftovers(folder, prefix);
    // One name per process: two copies of the program never share it.
    const std::wstring temporary =
        folder + L"\\" + prefix + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    FileHandleRecord file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    while (written && !text.empty()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(text.size(), 1 << 20));
        DWORD done = 0;
        written = WriteFile(file.Get(), text.data(), want, &done, nullptr) && done > 0;
        text.remove_prefix(done);
    }
    written = FlushFileBuffers(file.Get()) && written;
    written = file.Close() && written;
    if (!written || !MoveOver(temporary, target)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::string_view SettingsFileNewline() {
    return "\r\n";
}
