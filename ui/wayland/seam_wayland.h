// The Wayland layer's implementations of the window seam, under its own
// names; layer_wayland.cpp puts them in the layer's table.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "draw/canvas.h"
#include "ui/platform_ui.h"
#include "ui/popup_menu.h"

namespace wayland_layer {

struct TopWindow;

bool WaylandUiLayerInit();
void WaylandUiLayerClose();
void WaylandSetDisplayLostHandler(DisplayLostHandler handler);
void* WaylandCreateTopWindow(int64_t number, int x, int y, int width, int height, const char* title,
                             uint32_t flags, void* parent);
void* WaylandCreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                              uint32_t flags);
void WaylandPlaceControl(int64_t control, int x, int y, int width, int height);
void WaylandSetScaleChangeHandler(int64_t window, ScaleChangeHandler handler);
void WaylandKeepWindowOnScreen(int64_t window);
void WaylandSetWindowBackground(int64_t window, int32_t colour);
void WaylandSetWindowStatusText(int64_t window, const TextRoom& room, const TextRoom& headRoom,
                                const char* text);
void WaylandSetWindowOnTop(int64_t window, bool on);
int WaylandShowMessageBox(const char* title, const char* text, uint32_t flags);
void WaylandSetMessageHook(MessageHook hook, int64_t window);
void WaylandSetModalLoopEventHandler(AppEventHandler handler);
uint64_t WaylandStartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs);
void WaylandRestWindowTimer(int64_t window, uint64_t timerId,
                            std::chrono::steady_clock::time_point until);
int64_t WaylandFetchPlatformMessage(int32_t timeoutMs);
double WaylandScaleFactor();
void WaylandSetMessageLoopTask(int (*task)());
bool WaylandShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer);
int64_t WaylandCanvasControl(int64_t number, int x, int y, int width, int height, int flags);
bool WaylandAcquireCanvasPicture(int64_t control, PixelView* picture);
void WaylandReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed);
void WaylandShowDeferredCanvasChanges(int64_t control);
bool WaylandCanvasShown(int64_t control);

std::string WaylandActivationToken();

// The message box's part of a window's picture; false for other windows.
bool MessageBoxPaint(TopWindow& window);

}  // namespace wayland_layer
