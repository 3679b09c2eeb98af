// libFuzzer target for the settings file's text: any bytes are read without
// a fault, and a change of one entry reads back as set while every other
// line and every other key stays as it was; any value, escaped, reads back
// as it was, also from a file written back in its own encoding (UTF-16).
// Built and run by tools/fuzz.sh.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_encoding.h"
#include "app/settings_store.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// The lines without their line breaks ("\n", "\r\n" or a last "\r").
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t begin = 0;;) {
        size_t lineFeed = text.find('\n', begin);
        std::string_view line = text.substr(begin, lineFeed - begin);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (lineFeed == std::string_view::npos) return lines;
        begin = lineFeed + 1;
    }
}

// The old lines are all in the new text, in order: either one line changed
// in place, or at most three lines (a line break, a group and the entry) were
// added.
void RequireLinesKept(std::string_view before, std::string_view after) {
    std::vector<std::string_view> old = Lines(before), now = Lines(after);
    if (old.size() == now.size()) {
        size_t changed = 0;
        for (size_t i = 0; i < old.size(); ++i) changed += old[i] != now[i];
        Require(changed <= 1);
        return;
    }
    Require(now.size() > old.size() && now.size() - old.size() <= 3);
    size_t next = 0;
    for (std::string_view line : now) {
        if (next < old.size() && line == old[next]) ++next;
    }
    Require(next == old.size());
}

// What the writer does to a file that it may change: the text written back
// in the file's encoding is read as the changed text, and holds the value.
void RequireWrittenBack(std::string_view bytes, const std::string& key, const std::string& value,
                        std::string_view newline) {
    const std::string written = EscapeSettingValue(value);
    Require(UnescapeSettingValue(written) == value);
    SettingsTextRecord file = DecodeSettingsFile(bytes);
    std::string encoded;
    if (!file.exact || !SetSettingValue(file.text, key, written, newline) ||
        !EncodeSettingsFile(file.text, file.encoding, &encoded)) {
        return;
    }
    SettingsTextRecord back = DecodeSettingsFile(encoded);
    if (encoded.size() > SETTINGS_FILE_MAX_BYTES) return;
    Require(back.exact && back.encoding == file.encoding && back.text == file.text);
    Require(UnescapeSettingValue(FindSettingValue(back.text, key).value_or("")) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string key = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(64);
    const bool huge = input.ConsumeIntegral<uint8_t>() == 0xFF;
    const std::string_view newline = input.ConsumeBool() ? "\r\n" : "\n";
    std::string text = input.ConsumeRemainingBytesAsString();
    // Now and then a text past the read limit, made of the input repeated:
    // only whole lines within the limit are kept. What they read as is
    // covered by the shorter texts.
    if (huge) {
        while (!text.empty() && text.size() <= SETTINGS_FILE_MAX_BYTES) text += text;
        std::string_view limited = LimitSettingsText(text);
        Require(limited.size() <= SETTINGS_FILE_MAX_BYTES && text.starts_with(limited));
        Require(limited.empty() || text.size() <= SETTINGS_FILE_MAX_BYTES ||
                limited.back() == '\n');
        return 0;
    }
    std::string_view limited = LimitSettingsText(text);
    Require(text.size() > SETTINGS_FILE_MAX_BYTES || limited == text);
    RequireWrittenBack(text, key, value, newline);

    const std::string_view probes[] = {"Device", "Channel", "Frequency", "BufferNum", "BufferLen",
                                       "Input",  "Playing", "OnTop",     key};
    std::vector<std::string> before;
    for (std::string_view probe : probes) {
        auto found = FindSettingValue(limited, probe);
        if (found) ParseSettingInteger(*found);
        before.push_back(found ? "=" + std::string(*found) : "absent");
    }

    std::string edited(limited);
    if (!SetSettingValue(edited, key, value, newline)) {
        Require(edited == limited);
        return 0;
    }
    Require(FindSettingValue(edited, key) == std::string_view(value));
    Require(ParseSettingInteger(*FindSettingValue(edited, key)) == ParseSettingInteger(value));
    for (size_t i = 0; i < std::size(probes); ++i) {
        if (SameIgnoringCase(probes[i], key)) continue;
        auto found = FindSettingValue(edited, probes[i]);
        Require(before[i] == (found ? "=" + std::string(*found) : "absent"));
    }
    RequireLinesKept(limited, edited);
    // Setting the same value again changes nothing.
    std::string again = edited;
    Require(SetSettingValue(again, key, value, newline) && again == edited);
    return 0;
}
