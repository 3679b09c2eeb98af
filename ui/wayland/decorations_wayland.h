// Client-side window decorations (decorations_wayland.cpp).
#pragma once

#include "ui/wayland/layer_wayland.h"

namespace wayland_layer {

// Frames the window on the client's side, giving it its xdg_surface and
// xdg_toplevel; false when that cannot be done here.
bool DecorateOnClient(TopWindow& window);
void Undecorate(TopWindow& window);
// Gives the frame the window's logical size, which a window kept on a small
// output may change.
void ResizeClientDecoration(TopWindow& window);
// A point of the window's surface in its window geometry, which a popup's
// anchor is given in: libdecor's takes in the title bar above the surface.
void ToWindowGeometry(const TopWindow& window, int* x, int* y);
// Runs the decorations' own pending work, after the compositor's events.
void DispatchClientDecorations();
// Lets go of the decorations' library at the layer's end.
void EndClientDecorations();

}  // namespace wayland_layer
