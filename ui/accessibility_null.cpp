// Headless: no accessibility service, so nothing is served.
#include "ui/accessibility.h"

bool AccessibilityInit() {
    return false;
}

void AccessibilityClose() {}

void ExposeWindow(int64_t, void*, const char*, int, int, const AccessiblePart*, int) {}

void SetAccessibleLevel(int64_t, double, const char*) {}

void AnnounceText(int64_t, const char*) {}
