// The keys the layers' own controls answer, as keysyms: X11's numbers,
// which xkbcommon shares, so both layers hand them over as they get them.
#pragma once

#include <cstdint>

constexpr uint32_t KEYSYM_SPACE = 0x0020;
constexpr uint32_t KEYSYM_RETURN = 0xFF0D;
constexpr uint32_t KEYSYM_ESCAPE = 0xFF1B;
constexpr uint32_t KEYSYM_HOME = 0xFF50;
constexpr uint32_t KEYSYM_UP = 0xFF52;
constexpr uint32_t KEYSYM_DOWN = 0xFF54;
constexpr uint32_t KEYSYM_END = 0xFF57;
constexpr uint32_t KEYSYM_KP_ENTER = 0xFF8D;
