// The X11 layer's functions of the window seam, under its own names: its
// table (layer_x11.cpp) holds them, and the seam's functions reach them
// through it. What each does is said where the seam declares it
// (ui/platform_ui.h, ui/message_loop.h, ui/popup_menu.h, draw/canvas.h).
// Timers and posted messages are the shared ones (ui/timers_linux.h,
// ui/posted_messages_linux.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "draw/canvas.h"
#include "ui/platform_ui.h"
#include "ui/popup_menu.h"

bool X11UiLayerInit();
void X11UiLayerClose();
void X11SetDisplayLostHandler(DisplayLostHandler handler);
void* X11CreateTopWindow(int64_t number, int x, int y, int width, int height, const char* title,
                         uint32_t flags, void* parent);
void* X11CreatePushButton(int64_t number, int x, int y, int width, int height, const char* text,
                          uint32_t flags);
void X11PlaceControl(int64_t control, int x, int y, int width, int height);
void X11SetScaleChangeHandler(int64_t window, ScaleChangeHandler handler);
void X11KeepWindowOnScreen(int64_t window);
void X11SetWindowBackground(int64_t window, int32_t colour);
void X11SetWindowStatusText(int64_t window, const TextRoom& room, const TextRoom& headRoom,
                            const char* text);
void X11SetWindowOnTop(int64_t window, bool on);
int X11ShowMessageBox(const char* title, const char* text, uint32_t flags);
void X11SetMessageHook(MessageHook hook, int64_t window);
void X11SetModalLoopEventHandler(AppEventHandler handler);
uint64_t X11StartWindowTimer(int64_t window, uint64_t timerId, uint32_t intervalMs);
void X11RestWindowTimer(int64_t window, uint64_t timerId,
                        std::chrono::steady_clock::time_point until);
int64_t X11FetchPlatformMessage(int32_t timeoutMs);
double X11ScaleFactorX();
double X11ScaleFactorY();
void X11SetMessageLoopTask(int (*task)());
bool X11ShowPopupMenu(int64_t window, const std::vector<PopupMenuItem>& items, bool atPointer);
int64_t X11CanvasControl(int64_t number, int x, int y, int width, int height, int flags);
bool X11AcquireCanvasPicture(int64_t control, PixelView* picture);
void X11ReleaseCanvasPicture(int64_t control, bool show, const PictureRect* changed);
void X11ShowDeferredCanvasChanges(int64_t control);
bool X11WindowScreenRect(void* window, int* x, int* y, int* width, int* height);
