// UTF-8 (the layer's interface) to UTF-16 (the Windows "W" calls) and back.
#pragma once

#include <string>

#include "system/windows_api_win32.h"

// An empty string for null or empty input; invalid sequences become U+FFFD.
inline std::wstring WidenText(const char* text) {
    if (text == nullptr || *text == '\0') return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

inline std::string NarrowText(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}
