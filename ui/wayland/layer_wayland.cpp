// The Wayland layer's table of the window seam (ui/window_layer_linux.h).
#include "ui/posted_messages_linux.h"
#include "ui/timers_linux.h"
#include "ui/wayland/seam_wayland.h"
#include "ui/window_layer_linux.h"

using namespace wayland_layer;

const WindowLayer& WaylandWindowLayer() {
    static const WindowLayer layer = {
        "wayland",
        WaylandUiLayerInit,
        WaylandUiLayerClose,
        WaylandSetDisplayLostHandler,
        WaylandCreateTopWindow,
        WaylandCreatePushButton,
        WaylandPlaceControl,
        WaylandSetScaleChangeHandler,
        WaylandKeepWindowOnScreen,
        WaylandSetWindowBackground,
        WaylandSetWindowStatusText,
        WaylandSetWindowOnTop,
        WaylandShowMessageBox,
        WaylandSetMessageHook,
        WaylandSetModalLoopEventHandler,
        WaylandStartWindowTimer,
        WaylandRestWindowTimer,
        WaylandFetchPlatformMessage,
        WaylandScaleFactor,
        WaylandScaleFactor,
        WaylandSetMessageLoopTask,
        LinuxTimerWakesWithin,
        WakeRestingLinuxTimers,
        PostLinuxMessage,
        PostLinuxMessageByNextTick,
        WaylandShowPopupMenu,
        WaylandCanvasControl,
        WaylandAcquireCanvasPicture,
        WaylandReleaseCanvasPicture,
        WaylandShowDeferredCanvasChanges,
        WaylandActivationToken,
        [] { return false; },
        WaylandCanvasShown,
        // Where a window lies only the compositor knows.
        nullptr,
    };
    return layer;
}
