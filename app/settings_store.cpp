// The settings file's text, read and edited line by line in place, so that
// whatever the program does not understand (comments, other groups, keys of
// a later version, stray bytes) survives a change of one entry unchanged.
#include "app/settings_store.h"

namespace {

// Editors on Windows may start a UTF-8 file with a byte order mark.
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

struct LineRecord {
    size_t begin;  // first byte of the line
    size_t end;    // end of its content, before "\n", "\r\n" or a last "\r"
    size_t next;   // first byte of the next line, or the text's size
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// Calls visit for each line in order until it returns false.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    size_t begin = text.starts_with(BYTE_ORDER_MARK) ? BYTE_ORDER_MARK.size() : 0;
    while (begin < text.size()) {
        size_t lineFeed = text.find('\n', begin);
        size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed;
        size_t next = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
        if (end > begin && text[end - 1] == '\r') --end;
        if (!visit(LineRecord{begin, end, next})) return;
        begin = next;
    }
}

// A "[name]" line (blanks allowed around it): whether it is one, and the name.
bool ReadGroupLine(std::string_view line, std::string_view* name) {
    std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() != '[') return false;
    size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return false;
    *name = TrimBlanks(trimmed.substr(1, close - 1));
    return true;
}

// A "key=value" line: whether it is one, its trimmed key, and where in the
// line its value starts.
bool ReadEntryLine(std::string_view line, std::string_view* key, size_t* valueOffset) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    *key = TrimBlanks(line.substr(0, equals));
    *valueOffset = equals + 1;
    return true;
}

struct FoundEntryRecord {
    bool found = false;
    LineRecord line{};         // the matching entry's line
    size_t valueBegin = 0;     // where its value starts in the text
    bool groupSeen = false;    // the program's group exists
    LineRecord lastInFirst{};  // last entry (or the header) of the first such group
};

FoundEntryRecord FindEntry(std::string_view text, std::string_view key) {
    FoundEntryRecord result;
    bool inGroup = false;
    int groupsSeen = 0;
    ForEachLine(text, [&](const LineRecord& record) {
        std::string_view line = text.substr(record.begin, record.end - record.begin);
        std::string_view name;
        if (ReadGroupLine(line, &name)) {
            inGroup = SameIgnoringCase(name, SETTINGS_GROUP);
            if (inGroup && ++groupsSeen == 1) result.lastInFirst = record;
            return true;
        }
        std::string_view entryKey;
        size_t valueOffset = 0;
        if (!inGroup || !ReadEntryLine(line, &entryKey, &valueOffset)) return true;
        if (SameIgnoringCase(entryKey, key)) {
            result.found = true;
            result.line = record;
            result.valueBegin = record.begin + valueOffset;
            return false;
        }
        if (groupsSeen == 1) result.lastInFirst = record;
        return true;
    });
    result.groupSeen = groupsSeen > 0;
    return result;
}

bool UsableKey(std::string_view key) {
    if (key.empty() || TrimBlanks(key) != key || key.front() == '[') return false;
    return key.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

bool UsableValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// The line break the text already uses, or the given one for a text without.
std::string_view LineBreakOf(std::string_view text, std::string_view fallback) {
    size_t lineFeed = text.find('\n');
    if (lineFeed == std::string_view::npos) return fallback;
    return lineFeed > 0 && text[lineFeed - 1] == '\r' ? "\r\n" : "\n";
}

// Gives a last line without a line break one. A last "\r" already reads as
// a line break, and becomes "\r\n", so that the line reads as before.
void EndLastLine(std::string& text, std::string_view lineBreak) {
    if (text.empty() || text.back() == '\n') return;
    text += text.back() == '\r' ? std::string_view("\n") : lineBreak;
}

}  // namespace

std::optional<std::string_view> FindSettingValue(std::string_view text, std::string_view key) {
    FoundEntryRecord entry = FindEntry(text, key);
    if (!entry.found) return std::nullopt;
    return text.substr(entry.valueBegin, entry.line.end - entry.valueBegin);
}

int32_t ParseSettingInteger(std::string_view value) {
    size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < value.size() && isSpace(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    uint32_t magnitude = 0;  // unsigned, so that long digit strings wrap instead of overflowing
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        magnitude = magnitude * 10u + static_cast<uint32_t>(value[i] - '0');
    }
    if (negative) magnitude = 0u - magnitude;
    return static_cast<int32_t>(magnitude);
}

bool SetSettingValue(std::string& text, std::string_view key, std::string_view value,
                     std::string_view newline) {
    if (!UsableKey(key) || !UsableValue(value)) return false;
    FoundEntryRecord entry = FindEntry(text, key);
    if (entry.found) {
        text.replace(entry.valueBegin, entry.line.end - entry.valueBegin, value);
        return true;
    }
    const std::string lineBreak(LineBreakOf(text, newline));
    const std::string line = std::string(key) + "=" + std::string(value);
    if (entry.groupSeen) {
        const LineRecord& after = entry.lastInFirst;
        if (after.next > 0 && text[after.next - 1] == '\n') {
            text.insert(after.next, line + lineBreak);
        } else {  // the last line of the text, without a line break
            EndLastLine(text, lineBreak);
            text += line;
        }
        return true;
    }
    EndLastLine(text, lineBreak);
    text.append("[").append(SETTINGS_GROUP).append("]").append(lineBreak);
    text.append(line).append(lineBreak);
    return true;
}

namespace {

// Escaped bytes and the letters that stand for them.
constexpr std::string_view ESCAPED = std::string_view("\\\r\n\0", 4);
constexpr std::string_view ESCAPE_LETTERS = "\\rn0";

}  // namespace

std::string EscapeSettingValue(std::string_view value) {
    std::string written;
    written.reserve(value.size());
    for (char c : value) {
        const size_t escaped = ESCAPED.find(c);
        if (escaped == std::string_view::npos) {
            written += c;
        } else {
            written += '\\';
            written += ESCAPE_LETTERS[escaped];
        }
    }
    return written;
}

std::string UnescapeSettingValue(std::string_view written) {
    std::string value;
    value.reserve(written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        const size_t letter = written[i] == '\\' && i + 1 < written.size()
                                  ? ESCAPE_LETTERS.find(written[i + 1])
                                  : std::string_view::npos;
        if (letter == std::string_view::npos) {
            value += written[i];
        } else {
            value += ESCAPED[letter];
            ++i;
        }
    }
    return value;
}

std::string_view LimitSettingsText(std::string_view text) {
    if (text.size() <= SETTINGS_FILE_MAX_BYTES) return text;
    std::string_view kept = text.substr(0, SETTINGS_FILE_MAX_BYTES);
    size_t lastBreak = kept.rfind('\n');
    return lastBreak == std::string_view::npos ? std::string_view() : kept.substr(0, lastBreak + 1);
}
