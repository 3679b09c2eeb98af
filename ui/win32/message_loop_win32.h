// The message side of the event loop on Win32: the thread's message hook,
// message retrieval with the Tab accelerators, and the layer's hidden
// message window.
#pragma once

#include <cstdint>

#include "ui/messages.h"

// The hook that SetMessageHook installed for the calling thread, or nullptr.
MessageHook ThreadMessageHook();

// The hidden message window receives what other threads post to the layer
// and the layer's own deferred work.
void CreateHiddenMessageWindow();
void DestroyHiddenMessageWindow();

// A window class can only go once its last window is gone, which is after
// WM_NCDESTROY returns: the hidden window does it on its next message.
void UnregisterWindowClassLater(int64_t windowNumber);

// Runs the task of SetMessageLoopTask (ui/message_loop.h) once: a modal
// loop of Windows does not run it.
void RunMessageLoopTask();
