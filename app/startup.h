// Start-up order, the event loop, the one fatal-error path and shutdown.
#pragma once

#include <cstdint>

// value unchanged when non-zero; otherwise shows "Fatal Error!" with
// "Unable to execute --> " + label and ends the program with exit code 0.
int64_t FatalIfZero(int64_t value, const char* label);
void* FatalIfZero(void* value, const char* label);

// Brings the layers up and builds the process-wide state in order, up to the
// event loop: window, settings, capture, worker threads, smoothing, channel
// rescale.
void StartUp();

// Runs until a close request; returns then.
void RunEventLoop();

// Releases what no running thread or device can still touch and ends the
// process with exit code 0.
[[noreturn]] void ShutDown();

// The whole program: start-up, event loop, shutdown.
[[noreturn]] void RunVellumtone();
