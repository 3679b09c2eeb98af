// The main window's menu: what to meter (the default input, any input by
// name, what is playing), whether the window stays on top, and the meters'
// reading aids with the item that clears held overload lights; last, the
// items that have screen readers say the levels and, if chosen, clipping. Each choice is remembered
// in the settings file, which nothing writes until the user makes one.
#pragma once

#include <cstdint>

// Hands the remembered input, or what is playing, to the capture service
// before the first device opens, so that it records from it from the start.
void ApplyRememberedCaptureChoice();

// Applies the other remembered choices once the window is up: "Always on
// top" and the reading aids.
void ApplyRememberedChoices();

// Opens the menu (a right click, Shift+F10 or the Menu key): at the pointer,
// or for the keyboard at the window's corner.
void OpenWindowMenu(bool byKeyboard);

// Acts on the item chosen in the menu (the command of EVENT_MENU).
void TakeWindowMenuChoice(int64_t command);
