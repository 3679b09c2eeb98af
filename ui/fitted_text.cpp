#include "ui/fitted_text.h"

#include <cstddef>
#include <vector>

namespace {

constexpr std::string_view ELLIPSIS = "...";

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::string FittedText(const std::string& text, int width, const TextMeasure& measure) {
    // Where each character starts, and the text's end: a cut is kept whole
    // at one of these.
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size(); ++at) {
        if (!IsContinuationByte(text[at])) starts.push_back(at);
    }
    const size_t characters = starts.size();
    starts.push_back(text.size());
    auto prefix = [&](size_t count) { return std::string_view(text).substr(0, starts[count]); };

    // Probe 1, 2, 4 ... characters until a prefix no longer fits: a text
    // never grows narrower as it grows longer, so neither does any cut past
    // that point.
    size_t tooLong = 0;  // a count of characters that does not fit; 0: none found
    for (size_t count = 1;; count *= 2) {
        if (count >= characters) {
            if (measure(text) <= width) return text;
            tooLong = characters;
            break;
        }
        if (measure(prefix(count)) > width) {
            tooLong = count;
            break;
        }
    }
    // The most characters, fewer than tooLong, that fit with "..." after
    // them.
    auto fitsCut = [&](size_t count) {
        std::string cut(prefix(count));
        cut += ELLIPSIS;
        return measure(cut) <= width;
    };
    if (!fitsCut(0)) return "";
    size_t fits = 0, fails = tooLong;
    while (fails - fits > 1) {
        size_t middle = fits + (fails - fits) / 2;
        if (fitsCut(middle)) {
            fits = middle;
        } else {
            fails = middle;
        }
    }
    std::string cut(prefix(fits));
    cut += ELLIPSIS;
    return cut;
}
