#include "system/utf8_text.h"

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// A lead byte of a sequence of two bytes or more: its high bits (mask)
// equal pattern.
struct LeadRecord {
    unsigned char mask, pattern;
    size_t length;
    char32_t lowest;
};
constexpr LeadRecord LEADS[] = {
    {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

size_t ReadUtf8(std::string_view text, size_t at, bool surrogatesAllowed, char32_t* codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    // The lead byte gives the length and the smallest code point that needs
    // it; anything smaller is an overlong form.
    const LeadRecord* form = nullptr;
    for (const LeadRecord& candidate : LEADS) {
        if ((lead & candidate.mask) == candidate.pattern) form = &candidate;
    }
    if (form == nullptr) return 0;
    const size_t length = form->length;
    char32_t value = lead & static_cast<unsigned char>(~form->mask);
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if (!IsContinuation(byte)) return 0;
        value = (value << 6) | (byte & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < form->lowest || value > 0x10FFFF || (surrogate && !surrogatesAllowed)) return 0;
    *codePoint = value;
    return length;
}

void AppendUtf8(std::string& text, char32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
        return;
    }
    const size_t length = codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
    char bytes[4];
    for (size_t i = length - 1; i > 0; --i, codePoint >>= 6) {
        bytes[i] = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    bytes[0] = static_cast<char>(LEADS[length - 2].pattern | codePoint);
    text.append(bytes, length);
}

std::string ReadableText(std::string_view text) {
    std::string readable;
    readable.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        char32_t codePoint;
        const size_t length = ReadUtf8(text, at, false, &codePoint);
        if (length == 0) {
            AppendUtf8(readable, REPLACEMENT_CHARACTER);
            ++at;
        } else {
            readable.append(text.substr(at, length));
            at += length;
        }
    }
    return readable;
}
