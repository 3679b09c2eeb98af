// The settings file's text: "[Group]" lines open a group, "Key=Value" lines
// under a group are its entries, and every other line (comments, blank
// lines, lines the program does not know) is carried along untouched. The
// program's own entries live in the group SETTINGS_GROUP. Pure functions over
// strings: no file is read or written here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The group that holds the program's entries. Group names and keys are
// compared without regard to ASCII letter case; several groups of this name
// count as one, in the order they appear.
constexpr std::string_view SETTINGS_GROUP = "Vellumtone";

// The most of a settings file that is ever read: a file of settings is a few
// hundred bytes, and anything larger is not worth the memory.
constexpr size_t SETTINGS_FILE_MAX_BYTES = 64 * 1024;

// The value text of the first entry whose key matches `key` in the program's
// group, or nothing when there is none. The key is trimmed of blanks; the
// value is everything after the first '=' up to the line break, as written.
std::optional<std::string_view> FindSettingValue(std::string_view text, std::string_view key);

// A value parsed as C's atoi does (leading white space, an optional sign,
// then decimal digits; 0 when there are none), kept in 32 bits: the digits
// are taken modulo 2^32, so the result never overflows.
int32_t ParseSettingInteger(std::string_view value);

// Sets `key` to `value` in the program's group: the first matching entry gets
// the new value, or a new entry goes after the group's last entry, or a new
// group is added at the end. Every other line stays as it was, byte for byte.
// New lines end with the line break the text already uses, or `newline` in
// a text without one. False, and `text` unchanged, for a key or value that
// the file could not hold (an empty key, a line break, '=' in the key, a key
// that would read as a group, blanks around the key).
bool SetSettingValue(std::string& text, std::string_view key, std::string_view value,
                     std::string_view newline);

// The form of a value that a line of the file can hold: a backslash, a line
// break (CR, LF) and NUL are written \\, \r, \n and \0; any other
// byte stays as it is. A device's name may hold any of them.
std::string EscapeSettingValue(std::string_view value);

// The value that a written form stands for: those four escapes read back,
// and a backslash before anything else (or last) stays as written.
std::string UnescapeSettingValue(std::string_view written);

// At most SETTINGS_FILE_MAX_BYTES of `text`, without the line that the limit
// cut short: a longer text keeps only its whole lines within the limit.
std::string_view LimitSettingsText(std::string_view text);
