// The program's only window: window 1962 with the donation button (control
// 1962) and the two needle meters, control 3 (left) and control 4 (right).
#pragma once

#include <cstdint>

constexpr int64_t MAIN_WINDOW = 1962;
constexpr int64_t DONATION_BUTTON = 1962;
constexpr int64_t LEFT_METER = 3;
constexpr int64_t RIGHT_METER = 4;
constexpr const char* DONATION_BUTTON_TEXT = "Please, donate for support Vellumtone";
constexpr int32_t MAIN_WINDOW_BACKGROUND = 15780301;  // red 205, green 201, blue 240

// The main window's native handle once created (the capture device's
// callback window).
void* MainWindowHandle();

// Builds the window, button and meters and installs the message hook. A
// failed window or meter ends the program through the fatal path. Returns 0.
int CreateMainWindow();

// Shows the window to screen readers, with each meter as a level indicator
// whose value is its level by the level readout's rules (fed from every
// update's peaks, whether or not the readout shows on screen), and the
// button with its click. Only where AccessibilityInit found readers could
// listen: elsewhere the updates do no work for them. Main thread, after
// CreateMainWindow and before the worker threads start.
void ExposeMainWindow();

// Has screen readers say both channels' current and held levels (the key L,
// the menu's "Read levels (L)"). Main thread.
void SayMainWindowLevels();

// Whether screen readers are told "Left clipped" / "Right clipped" as an
// overload light comes on (at most every 2 s per channel). Any thread.
void SetClipAnnouncements(bool on);

// Resets both meters' smoothing with 16 values. Returns 0.
int InitMeterSmoothing();

// Shows one line of small text in the window's background beside the button,
// its first words left of the button when it is too long for the room right
// of it, cut only where it fits neither; an empty text leaves the background
// alone there.
void ShowMainWindowStatus(const char* text);

// A meter nobody could see can be seen again: its picture is drawn whole
// for the meter's state as it stands.
void RedrawShownMeter(int64_t meter);
