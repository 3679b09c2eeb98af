// The operating system's threads and counting semaphores, as the thread
// layer needs them (native_threads_win32.cpp, native_threads_posix.cpp).
#pragma once

#include <cstdint>

using ThreadProcedure = void (*)(void* argument);

// Starts a thread running procedure(argument) at once; nullptr on failure.
void* NativeThreadStart(ThreadProcedure procedure, void* argument);
// True once the thread has ended (a zero-timeout check).
bool NativeThreadEnded(void* thread);
// Waits up to timeoutMs for the thread to end; true if it has.
bool NativeThreadWaitFor(void* thread, int32_t timeoutMs);
// Releases the handle; the thread itself keeps running if it has not ended.
void NativeThreadClose(void* thread);

// A counting semaphore with the given initial count and a maximum count of
// 2147483647; nullptr on failure.
void* NativeSemaphoreCreate(int32_t initialCount);
void NativeSemaphorePost(void* semaphore);
// Blocks until a count is available and takes it.
void NativeSemaphoreWait(void* semaphore);
// Takes a count if one becomes available within timeoutMs; false otherwise.
bool NativeSemaphoreWaitFor(void* semaphore, int32_t timeoutMs);
