#include "ui/fitted_text.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr std::string_view ELLIPSIS = "...";
constexpr std::string_view DASH = "\xE2\x80\x94";  // an em dash

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Where each character of a text starts, and its end: a cut is kept whole at
// one of these.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size(); ++at) {
        if (!IsContinuationByte(text[at])) starts.push_back(at);
    }
    starts.push_back(text.size());
    return starts;
}

// The most characters of `text` (starts as CharacterStarts gives them), at
// most `most`, that fit `width` with `after` drawn behind them; 0 when none
// do. Probes 1, 2, 4 ... characters until a prefix no longer fits (a text
// never grows narrower as it grows longer, so neither does any cut past that
// point), then halves between the last two.
size_t FittingCount(const std::string& text, const std::vector<size_t>& starts, size_t most,
                    int width, std::string_view after, const TextMeasure& measure) {
    auto fits = [&](size_t count) {
        std::string cut = text.substr(0, starts[count]);
        cut += after;
        return measure(cut) <= width;
    };
    size_t fitting = 0, failing = 0;  // failing 0: none found yet
    for (size_t count = 1; count <= most; count *= 2) {
        if (!fits(count)) {
            failing = count;
            break;
        }
        fitting = count;
    }
    if (failing == 0) {
        if (fitting == most || fits(most)) return most;
        failing = most;
    }
    while (failing - fitting > 1) {
        const size_t middle = fitting + (failing - fitting) / 2;
        if (fits(middle)) {
            fitting = middle;
        } else {
            failing = middle;
        }
    }
    return fitting;
}

// Whether the whole text fits `width`, measured no further than it fits.
bool FitsWhole(const std::string& text, int width, const TextMeasure& measure) {
    const std::vector<size_t> starts = CharacterStarts(text);
    const size_t characters = starts.size() - 1;
    return FittingCount(text, starts, characters, width, "", measure) == characters;
}

}  // namespace

std::string FittedText(const std::string& text, int width, const TextMeasure& measure) {
    const std::vector<size_t> starts = CharacterStarts(text);
    const size_t characters = starts.size() - 1;
    if (characters == 0) return text;
    if (FittingCount(text, starts, characters, width, "", measure) == characters) return text;
    if (measure(ELLIPSIS) > width) return "";
    std::string cut = text.substr(
        0, starts[FittingCount(text, starts, characters - 1, width, ELLIPSIS, measure)]);
    cut += ELLIPSIS;
    return cut;
}

SplitTextRecord SplitFittedText(const std::string& text, int headWidth, int tailWidth,
                                const TextMeasure& measure) {
    if (FitsWhole(text, tailWidth, measure)) return {"", text};
    const std::vector<size_t> starts = CharacterStarts(text);
    const size_t characters = starts.size() - 1;
    // A break is a space with the words before it within what fits the
    // head's room (a space just past that too: it is not drawn). The lines
    // say a state, a name, then a dash and what follows from it: broken
    // before the dash when the rest then fits whole, else at the last break.
    const size_t headEnd = starts[FittingCount(text, starts, characters, headWidth, "", measure)];
    size_t lastBreak = 0, dashBreak = 0;
    for (size_t space = std::min(headEnd, text.size() - 1); space > 0 && dashBreak == 0; --space) {
        if (text[space] != ' ' || text[space - 1] == ' ') continue;
        if (lastBreak == 0) lastBreak = space;
        if (text.compare(space + 1, DASH.size(), DASH) == 0) dashBreak = space;
    }
    if (dashBreak != 0 && FitsWhole(text.substr(dashBreak + 1), tailWidth, measure)) {
        return {text.substr(0, dashBreak), text.substr(dashBreak + 1)};
    }
    if (lastBreak == 0) return {"", FittedText(text, tailWidth, measure)};
    size_t tailStart = lastBreak;
    while (tailStart < text.size() && text[tailStart] == ' ') ++tailStart;
    return {text.substr(0, lastBreak), FittedText(text.substr(tailStart), tailWidth, measure)};
}
