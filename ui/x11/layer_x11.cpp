// The X11 layer's table of the seam's functions.
#include "ui/x11/layer_x11.h"

#include "ui/posted_messages_linux.h"
#include "ui/timers_linux.h"
#include "ui/window_layer_linux.h"
#include "ui/x11/canvas_x11.h"

const WindowLayer& X11WindowLayer() {
    static const WindowLayer layer = {
        .name = "x11",
        .uiLayerInit = X11UiLayerInit,
        .uiLayerClose = X11UiLayerClose,
        .setDisplayLostHandler = X11SetDisplayLostHandler,
        .createTopWindow = X11CreateTopWindow,
        .createPushButton = X11CreatePushButton,
        .placeControl = X11PlaceControl,
        .setScaleChangeHandler = X11SetScaleChangeHandler,
        .keepWindowOnScreen = X11KeepWindowOnScreen,
        .setWindowBackground = X11SetWindowBackground,
        .setWindowStatusText = X11SetWindowStatusText,
        .setWindowOnTop = X11SetWindowOnTop,
        .showMessageBox = X11ShowMessageBox,
        .setMessageHook = X11SetMessageHook,
        .setModalLoopEventHandler = X11SetModalLoopEventHandler,
        .startWindowTimer = X11StartWindowTimer,
        .restWindowTimer = X11RestWindowTimer,
        .fetchPlatformMessage = X11FetchPlatformMessage,
        .scaleFactorX = X11ScaleFactorX,
        .scaleFactorY = X11ScaleFactorY,
        .setMessageLoopTask = X11SetMessageLoopTask,
        .loopWakesWithin = LinuxTimerWakesWithin,
        .wakeRestingTimers = WakeRestingLinuxTimers,
        .postWindowMessage = PostLinuxMessage,
        .postWindowMessageByNextTick = PostLinuxMessageByNextTick,
        .showPopupMenu = X11ShowPopupMenu,
        .canvasControl = X11CanvasControl,
        .acquireCanvasPicture = X11AcquireCanvasPicture,
        .releaseCanvasPicture = X11ReleaseCanvasPicture,
        .showDeferredCanvasChanges = X11ShowDeferredCanvasChanges,
        // X11 has no activation tokens: a browser started by a click comes
        // up under the window manager's focus rules.
        .activationToken = nullptr,
        .windowOnTopOffered = nullptr,
        .canvasShown = X11CanvasShown,
        .windowScreenRect = X11WindowScreenRect,
    };
    return layer;
}
