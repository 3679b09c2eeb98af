// UTF-8 read byte by byte, for text that comes from outside: a settings file
// edited by hand, a device's name. Portable: no conversion of the system's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The length of the well-formed UTF-8 sequence at text[at], with its code
// point in *codePoint; 0 when none starts there (a stray or cut-short
// sequence, an overlong form, a code point past U+10FFFF). A surrogate half
// counts as well-formed only when surrogatesAllowed: that generalized form is
// how an unpaired half of UTF-16 is carried through UTF-8 and back unchanged.
size_t ReadUtf8(std::string_view text, size_t at, bool surrogatesAllowed, char32_t* codePoint);

// Appends codePoint in UTF-8 (a surrogate half in the generalized form).
void AppendUtf8(std::string& text, char32_t codePoint);

// `text` with every byte that starts no well-formed sequence replaced by
// U+FFFD, so that a name in another encoding still shows as readable text.
std::string ReadableText(std::string_view text);

// Calls shown(codePoint) for each character of the text as a font shows it:
// a byte that starts no well-formed sequence is a '?' of its own. Stops
// when shown returns false.
template <typename Shown>
void ForEachShownCharacter(std::string_view text, Shown shown) {
    for (size_t at = 0; at < text.size();) {
        char32_t codePoint = 0;
        size_t length = ReadUtf8(text, at, false, &codePoint);
        if (length == 0) {
            codePoint = U'?';
            length = 1;
        }
        if (!shown(codePoint)) return;
        at += length;
    }
}
