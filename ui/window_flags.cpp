// CreateTopWindow's flags: bits 0-3 and 28 are the program's own; the rest
// are Windows window styles, among which bit 25 (no activation) is taken
// over for the program too.
#include "ui/window_flags.h"

namespace {

constexpr uint32_t FLAG_CENTRE_MASK = 0x3;
constexpr uint32_t FLAG_TOOL_WINDOW = 0x4;
constexpr uint32_t FLAG_NOT_CONTROL_TARGET = 0x8;
constexpr uint32_t FLAG_NO_ACTIVATE = 0x2000000;
constexpr uint32_t FLAG_HIDDEN = 0x10000000;
// Flags with no bit of a caption, frame or state: a plain captioned window.
constexpr uint32_t STYLE_BITS_FOR_CAPTION = 0xEFFFFFFC;
// A tool window keeps everything but the minimize and maximize boxes and
// states.
constexpr uint32_t TOOL_WINDOW_KEEP = 0xDEFCFFFF;

}  // namespace

TopWindowFlags DecodeTopWindowFlags(uint32_t flags) {
    TopWindowFlags decoded;
    decoded.centre = flags & FLAG_CENTRE_MASK;
    decoded.tool = (flags & FLAG_TOOL_WINDOW) != 0;
    decoded.controls = (flags & FLAG_NOT_CONTROL_TARGET) == 0;
    decoded.noActivate = (flags & FLAG_NO_ACTIVATE) != 0;
    decoded.hidden = (flags & FLAG_HIDDEN) != 0;
    decoded.style = flags & ~(FLAG_NOT_CONTROL_TARGET | FLAG_HIDDEN);
    if ((flags & STYLE_BITS_FOR_CAPTION) == 0) decoded.style |= STYLE_CAPTION;
    if (decoded.tool) decoded.style = (decoded.style & TOOL_WINDOW_KEEP) | STYLE_CAPTION;
    return decoded;
}

bool DefaultPlacement(int32_t x, int32_t y, const TopWindowFlags& decoded) {
    return x == IGNORE_POSITION || (y == IGNORE_POSITION && decoded.centre == 0);
}
