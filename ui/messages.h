// Message numbers and hook results shared by the window layer of every
// platform. The numbers are the Windows ones; the X11 layer produces the same
// numbers for the messages it synthesises, so the application sees one order
// of events everywhere.
#pragma once

#include <cstdint>

constexpr uint32_t MESSAGE_CLOSE = 0x0010;          // WM_CLOSE
constexpr uint32_t MESSAGE_PAINT = 0x000F;          // WM_PAINT
constexpr uint32_t MESSAGE_COMMAND = 0x0111;        // WM_COMMAND
constexpr uint32_t MESSAGE_TIMER = 0x0113;          // WM_TIMER (275)
constexpr uint32_t MESSAGE_LBUTTONUP = 0x0202;      // WM_LBUTTONUP
constexpr uint32_t MESSAGE_LBUTTONDBLCLK = 0x0203;  // WM_LBUTTONDBLCLK
constexpr uint32_t MESSAGE_RBUTTONUP = 0x0205;      // WM_RBUTTONUP
constexpr uint32_t MESSAGE_CAPTURE_OPEN = 0x3BE;    // MM_WIM_OPEN
constexpr uint32_t MESSAGE_CAPTURE_CLOSE = 0x3BF;   // MM_WIM_CLOSE: a device let its blocks go
constexpr uint32_t MESSAGE_CAPTURE_DATA = 0x3C0;    // MM_WIM_DATA: a capture block is finished
constexpr uint32_t BUTTON_CLICKED = 0;              // BN_CLICKED, in WM_COMMAND's high word

// Further Windows message numbers that the Linux window layers synthesise or
// report.
constexpr uint32_t MESSAGE_MOVE = 0x0003;         // WM_MOVE
constexpr uint32_t MESSAGE_SIZE = 0x0005;         // WM_SIZE
constexpr uint32_t MESSAGE_ACTIVATE = 0x0006;     // WM_ACTIVATE
constexpr uint32_t MESSAGE_ERASEBKGND = 0x0014;   // WM_ERASEBKGND
constexpr uint32_t MESSAGE_SHOWWINDOW = 0x0018;   // WM_SHOWWINDOW
constexpr uint32_t MESSAGE_CONTEXTMENU = 0x007B;  // WM_CONTEXTMENU
constexpr uint32_t MESSAGE_KEYDOWN = 0x0100;      // WM_KEYDOWN
constexpr uint32_t MESSAGE_KEYUP = 0x0101;        // WM_KEYUP
constexpr uint32_t MESSAGE_MOUSEMOVE = 0x0200;    // WM_MOUSEMOVE
constexpr uint32_t MESSAGE_LBUTTONDOWN = 0x0201;  // WM_LBUTTONDOWN
constexpr uint32_t MESSAGE_RBUTTONDOWN = 0x0204;  // WM_RBUTTONDOWN
constexpr uint32_t MESSAGE_MBUTTONDOWN = 0x0207;  // WM_MBUTTONDOWN
constexpr uint32_t MESSAGE_MBUTTONUP = 0x0208;    // WM_MBUTTONUP
constexpr uint32_t MESSAGE_MOUSEWHEEL = 0x020A;   // WM_MOUSEWHEEL

// The Linux window layers' own: a click on the window's control numbered
// wParam, asked for by a screen reader. The control clicks itself as it does
// under the mouse, and its window then reports the click as for the mouse.
constexpr uint32_t MESSAGE_CLICK_CONTROL = 0x7F10;

// A message hook's result that lets the layer go on with its own processing.
constexpr int64_t HOOK_PASS_THROUGH = -522133279;  // low 32 bits 0xE0E0E0E1
// Inside the layer: the message goes on to the system's default processing.
constexpr int64_t NOT_HANDLED = -791621423;  // low 32 bits 0xD0D0D0D1

// Called with (native window handle, message number, wParam, lParam) for
// every message that reaches a window of the layer, before the layer's own
// processing. Any result other than HOOK_PASS_THROUGH is the message's result
// and the layer then queues no event for it.
using MessageHook = int64_t (*)(void* window, uint32_t message, uint64_t wParam, int64_t lParam);
