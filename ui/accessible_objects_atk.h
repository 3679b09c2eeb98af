// The objects readers find in the program through ATK: the application, each
// top-level window (a frame) and its parts (level bars with a value, push
// buttons with a click action). They live on the accessibility service's
// thread (accessibility_atk.cpp), which alone makes, changes and reads them.
#pragma once

#include <atk/atk.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/accessibility.h"

struct AccessibleWindowNode;

struct AccessiblePartNode {
    AccessiblePart part;  // its name and text point nowhere: see below
    std::string name;
    double value = 0;
    std::string text;
    AccessibleWindowNode* window = nullptr;
    AtkObject* object = nullptr;
    int index = 0;  // among the window's parts
};

struct AccessibleWindowNode {
    int64_t number = 0;
    void* handle = nullptr;  // the layer's native handle
    std::string title;
    int width = 0, height = 0;  // the client area in 96-DPI pixels
    std::vector<std::unique_ptr<AccessiblePartNode>> parts;
    AtkObject* object = nullptr;
    int index = 0;  // among the application's windows
};

// Makes ATK's root the application's object, named after the program, and
// lets the bridge hook its listeners onto the objects' signals. Once, before
// atk_bridge_adaptor_init.
void InstallAccessibleToolkit();

// Makes the window's objects and its parts' and adds them to the
// application's, telling the listeners.
void ShowAccessibleWindow(std::unique_ptr<AccessibleWindowNode> window);

// The part with this control number in any window shown, nullptr if none.
AccessiblePartNode* FindAccessiblePart(int64_t control);

// A level's new value and text, told to the listeners when they differ.
void ChangeAccessibleLevel(AccessiblePartNode& part, double value, const std::string& text);

// Has the window's object say the text (ATK's announcement signal, which
// the bridge sends as AT-SPI's object:announcement); nothing if the window
// is not shown.
void AnnounceFromWindow(int64_t window, const std::string& text);

// The service's side (accessibility_atk.cpp), for the objects:
// Whether the bridge listens for the objects' property changes (a reader
// listens for events), told whenever that changes.
void AccessibleValuesHeard(bool heard);
// Brings the levels up to the news the other threads left, for a reader
// that asks for a value while changes are not told.
void TakeLevelNews();
