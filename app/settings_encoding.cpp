#include "app/settings_encoding.h"

#include "app/settings_store.h"
#include "system/utf8_text.h"

namespace {

constexpr std::string_view UTF16_LE_MARK = "\xFF\xFE";
constexpr std::string_view UTF16_BE_MARK = "\xFE\xFF";

char16_t UnitAt(std::string_view bytes, size_t at, bool bigEndian) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
}

void AppendUnit(std::string& bytes, char32_t unit, bool bigEndian) {
    const auto high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16 code units (an odd last byte left out) to UTF-8.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string text;
    text.reserve(bytes.size() / 2);
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        char32_t unit = UnitAt(bytes, at, bigEndian);
        if (IsHighSurrogate(unit) && at + 3 < bytes.size()) {
            const char32_t next = UnitAt(bytes, at + 2, bigEndian);
            if (IsLowSurrogate(next)) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                at += 2;
            }
        }
        AppendUtf8(text, unit);
    }
    return text;
}

}  // namespace

SettingsTextRecord DecodeSettingsFile(std::string_view bytes) {
    SettingsTextRecord record;
    const bool longer = bytes.size() > SETTINGS_FILE_MAX_BYTES;
    if (!bytes.starts_with(UTF16_LE_MARK) && !bytes.starts_with(UTF16_BE_MARK)) {
        record.text = LimitSettingsText(bytes);
        record.exact = !longer;
        return record;
    }
    const bool bigEndian = bytes.starts_with(UTF16_BE_MARK);
    record.encoding = bigEndian ? SettingsEncoding::UTF16_BE : SettingsEncoding::UTF16_LE;
    const std::string_view kept = bytes.substr(0, SETTINGS_FILE_MAX_BYTES);
    record.text = DecodeUtf16(kept.substr(UTF16_LE_MARK.size()), bigEndian);
    if (longer) {
        // Whole lines only: a UTF-16 line feed is a line feed in UTF-8 too.
        record.text.erase(record.text.rfind('\n') + 1);
        record.exact = false;
        return record;
    }
    std::string again;
    record.exact = EncodeSettingsFile(record.text, record.encoding, &again) && again == bytes;
    return record;
}

bool EncodeSettingsFile(std::string_view text, SettingsEncoding encoding, std::string* bytes) {
    if (encoding == SettingsEncoding::UTF8) {
        bytes->assign(text);
        return true;
    }
    const bool bigEndian = encoding == SettingsEncoding::UTF16_BE;
    *bytes = std::string(bigEndian ? UTF16_BE_MARK : UTF16_LE_MARK);
    char32_t previous = 0;
    for (size_t at = 0; at < text.size();) {
        char32_t codePoint;
        const size_t length = ReadUtf8(text, at, true, &codePoint);
        // Two halves written apart would be read back as one character.
        if (length == 0 || (IsHighSurrogate(previous) && IsLowSurrogate(codePoint))) return false;
        previous = codePoint;
        at += length;
        if (codePoint < 0x10000) {
            AppendUnit(*bytes, codePoint, bigEndian);
        } else {
            codePoint -= 0x10000;
            AppendUnit(*bytes, 0xD800 + (codePoint >> 10), bigEndian);
            AppendUnit(*bytes, 0xDC00 + (codePoint & 0x3FF), bigEndian);
        }
    }
    return true;
}
