// The settings file's encoding. The program writes UTF-8; a file that
// Notepad saved as "Unicode" is UTF-16 with a byte order mark, little-endian
// ("Unicode big endian": big-endian). Such a file is read as UTF-8 text and
// written back in its own encoding, so that every line stays as it was.
// Pure functions over strings.
#pragma once

#include <string>
#include <string_view>

enum class SettingsEncoding { UTF8, UTF16_LE, UTF16_BE };

struct SettingsTextRecord {
    std::string text;  // UTF-8, a UTF-16 file's byte order mark left out
    SettingsEncoding encoding = SettingsEncoding::UTF8;
    // The text stands for the file exactly: all of it was within the read
    // limit, and the text encodes back to the same bytes.
    bool exact = true;
};

// The text of a settings file's bytes. A file longer than
// SETTINGS_FILE_MAX_BYTES keeps only the whole lines within that limit. A
// UTF-16 file's unpaired surrogate halves are carried in the generalized
// form of UTF-8 (see ReadUtf8), so that they are written back unchanged.
SettingsTextRecord DecodeSettingsFile(std::string_view bytes);

// The bytes of `text` in `encoding`; false when UTF-16 cannot carry it (it
// is not UTF-8, or holds the two halves of a surrogate pair apart).
bool EncodeSettingsFile(std::string_view text, SettingsEncoding encoding, std::string* bytes);
