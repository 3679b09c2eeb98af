// The line of small text beside the donation button. It says what the meter
// records when that is not the default input recording as usual (an input
// chosen by name, what is playing, the default input standing in for a
// chosen one that is missing), that nothing can be recorded, and for a few
// seconds that the web browser could not be started; and, until the program
// ends, that a choice could not be saved in the settings file. With the
// default input recording and every choice saved, the line is empty and
// nothing is drawn there.
#pragma once

#include <chrono>
#include <cstdint>

// The line's own timer on the main window: it looks a few times a second.
constexpr uint64_t STATUS_TIMER = 3;

// Starts the line's timer. Main thread, once the main window exists.
void StartStatusLine();

// On each tick of STATUS_TIMER: composes the text from the remembered choice,
// what the capture service says it records and the settings writer's last
// failure, and once that text has held
// for a second, shows it in place of the text shown (only when they differ).
// Main thread.
void RefreshStatusLine(
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

// The web browser could not be started: the line says so for a few seconds
// from `now`, then goes back to what it said before. Main thread.
void SayBrowserFailed(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
