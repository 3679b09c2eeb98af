// The Linux program carries two window layers, Wayland and X11, and picks
// one at start-up. Each layer implements the window seam (platform_ui.h,
// message_loop.h, popup_menu.h, draw/canvas.h) under names of its own and
// hands out a table of those functions; window_layer_linux.cpp defines the
// seam's functions once, each calling through the table chosen by
// UiLayerInit. Launching a browser and the system's version are the same
// under both layers and are not in the table.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "draw/canvas.h"
#include "ui/platform_ui.h"
#include "ui/popup_menu.h"

struct WindowLayer {
    const char* name;  // "wayland" or "x11", as VELLUMTONE_BACKEND spells it
    // platform_ui.h
    bool (*uiLayerInit)();
    void (*uiLayerClose)();
    void (*setDisplayLostHandler)(DisplayLostHandler handler);
    void* (*createTopWindow)(int64_t number, int x, int y, int width, int height, const char* title,
                             uint32_t flags, void* parent);
    void* (*createPushButton)(int64_t number, int x, int y, int width, int height, const char* text,
                              uint32_t flags);
    void (*placeControl)(int64_t control, int x, int y, int width, int height);
    void (*setScaleChangeHandler)(int64_t window, ScaleChangeHandler handler);
    void (*keepWindowOnScreen)(int64_t window);
    void (*setWindowBackground)(int64_t window, int32_t colour);
    void (*setWindowStatusText)(int64_t window, const TextRoom& room, const TextRoom& headRoom,
                                const char* text);
    void (*setWindowOnTop)(int64_t window, bool on);
    int (*showMessageBox)(const char* title, const char* text, uint32_t flags);
    void (*setMessageHook)(MessageHook hook, int64_t window);
    void (*setModalLoopEventHandler)(AppEventHandler handler);
    uint64_t (*startWindowTimer)(int64_t window, uint64_t timerId, uint32_t intervalMs);
    void (*restWindowTimer)(int64_t window, uint64_t timerId,
                            std::chrono::steady_clock::time_point until);
    int64_t (*fetchPlatformMessage)(int32_t timeoutMs);
    double (*scaleFactorX)();
    double (*scaleFactorY)();
    // message_loop.h
    void (*setMessageLoopTask)(int (*task)());
    bool (*loopWakesWithin)(int milliseconds);
    void (*wakeRestingTimers)();
    bool (*postWindowMessage)(void* window, uint32_t message, uint64_t wParam, int64_t lParam);
    bool (*postWindowMessageByNextTick)(void* window, uint32_t message, uint64_t wParam,
                                        int64_t lParam);
    // popup_menu.h
    bool (*showPopupMenu)(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer);
    // draw/canvas.h
    int64_t (*canvasControl)(int64_t number, int x, int y, int width, int height, int flags);
    bool (*acquireCanvasPicture)(int64_t control, PixelView* picture);
    void (*releaseCanvasPicture)(int64_t control, bool show, const PictureRect* changed);
    void (*showDeferredCanvasChanges)(int64_t control);
    // Optional (nullptr: none). A token that lets the program a launch
    // starts come to the front (XDG_ACTIVATION_TOKEN), made for the input
    // event that asked for the launch; empty when the layer has none.
    std::string (*activationToken)();
    // Optional (nullptr: offered). WindowOnTopOffered.
    bool (*windowOnTopOffered)();
    // draw/canvas.h's CanvasShown.
    bool (*canvasShown)(int64_t control);
    // Optional (nullptr: not known, as on Wayland, where only the compositor
    // knows where a window is). Where a top-level window's client area lies
    // on the screen and its size in pixels, for a screen reader's thread:
    // any thread. False for a window that is gone.
    bool (*windowScreenRect)(void* window, int* x, int* y, int* width, int* height);
};

// The layers' tables (ui/x11/layer_x11.cpp, ui/wayland/layer_wayland.cpp).
const WindowLayer& X11WindowLayer();
const WindowLayer& WaylandWindowLayer();

// The layer in use's activation token for a launch (empty: none).
std::string LaunchActivationToken();

// The layer in use: the one UiLayerInit brought up, X11's before that.
const WindowLayer& CurrentWindowLayer();
