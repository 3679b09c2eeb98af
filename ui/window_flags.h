// The flags of CreateTopWindow, decoded once for both window layers: Windows
// window-style bits, with a few bits of the program's own among them.
#pragma once

#include <cstdint>

// Window-style bits as Windows numbers them; the X11 layer reads them to
// ask the window manager for the same decorations.
constexpr uint32_t STYLE_MAXIMIZE_BOX = 0x00010000;
constexpr uint32_t STYLE_MINIMIZE_BOX = 0x00020000;
constexpr uint32_t STYLE_THICK_FRAME = 0x00040000;
constexpr uint32_t STYLE_SYSTEM_MENU = 0x00080000;
constexpr uint32_t STYLE_CAPTION = 0x00C00000;
constexpr uint32_t STYLE_MAXIMIZE = 0x01000000;
constexpr uint32_t STYLE_MINIMIZE = 0x20000000;

// A coordinate that leaves the window's place to the window system.
constexpr int32_t IGNORE_POSITION = -65535;

struct TopWindowFlags {
    uint32_t style = 0;       // the window-style bits to create the window with
    uint32_t centre = 0;      // bit 0: centred across the parent, bit 1: down
    bool tool = false;        // a tool window: small caption, no minimize or maximize
    bool controls = true;     // the window becomes the thread's control list target
    bool noActivate = false;  // shown without taking the focus
    bool hidden = false;      // created hidden
};

TopWindowFlags DecodeTopWindowFlags(uint32_t flags);

// Whether the window system places the window rather than (x, y).
bool DefaultPlacement(int32_t x, int32_t y, const TopWindowFlags& decoded);
