// How UiLayerInit picks the Linux window layer, apart from the environment
// and the real tables so that a test can drive it.
#pragma once

#include "ui/platform_ui.h"
#include "ui/window_layer_linux.h"

// Brings up the layer that `backend` (VELLUMTONE_BACKEND's value, nullptr
// when unset) asks for, or the other when that one cannot connect; without
// a valid request Wayland first, then X11. Each layer tried is given `lost`
// before its start. Returns the layer that came up, nullptr when neither
// did. Says on stderr when a request is not followed.
const WindowLayer* BringUpWindowLayer(const char* backend, const WindowLayer& wayland,
                                      const WindowLayer& x11, DisplayLostHandler lost);
