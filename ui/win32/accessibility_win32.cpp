// Windows: the native button and menu are accessible already; the meters'
// canvases are not served yet.
#include "ui/accessibility.h"

bool AccessibilityInit() {
    return false;
}

void AccessibilityClose() {}

void ExposeWindow(int64_t, void*, const char*, int, int, const AccessiblePart*, int) {}

void SetAccessibleLevel(int64_t, double, const char*) {}
