// Screen readers on Windows: the native button and menu are accessible
// already; each level indicator is its meter's canvas, answering readers
// through UI Automation and MSAA (accessible_meter_win32). Nothing runs for
// it until a reader asks: the providers are made at a client's first
// WM_GETOBJECT, and a level's change is posted only while a client listens.
#include <map>
#include <mutex>

#include "system/text_win32.h"
#include "ui/accessibility.h"
#include "ui/win32/accessible_meter_win32.h"
#include "ui/win32/controls_win32.h"

namespace {

// The level indicators' canvases by control number, for levels told from
// the analysis thread.
std::mutex meterLock;
std::map<int64_t, HWND>& Meters() {
    static std::map<int64_t, HWND> meters;
    return meters;
}

}  // namespace

bool AccessibilityInit() {
    // UI Automation and MSAA come to the window when a reader asks; there is
    // no service to look for.
    return true;
}

void AccessibilityClose() {
    std::lock_guard<std::mutex> hold(meterLock);
    for (const auto& [control, canvas] : Meters()) {
        (void)control;
        if (IsWindow(canvas)) Win32DetachMeterAccessibility(canvas);
    }
    Meters().clear();
}

void ExposeWindow(int64_t, void*, const char*, int, int, const AccessiblePart* parts, int count) {
    for (int i = 0; i < count; ++i) {
        const AccessiblePart& part = parts[i];
        if (part.role != AccessibleRole::LEVEL_INDICATOR) continue;
        const ControlRecord* record = FindControlRecord(part.control);
        if (record == nullptr || record->handle == nullptr ||
            !Win32AttachMeterAccessibility(record->handle, part.name)) {
            continue;
        }
        Win32SetMeterAccessibleLevel(record->handle, part.value, part.text);
        std::lock_guard<std::mutex> hold(meterLock);
        Meters()[part.control] = record->handle;
    }
}

void SetAccessibleLevel(int64_t control, double value, const char* text) {
    std::lock_guard<std::mutex> hold(meterLock);
    auto found = Meters().find(control);
    if (found != Meters().end()) Win32SetMeterAccessibleLevel(found->second, value, text);
}

// Said as a notification from the first level indicator (a window without
// a provider of its own has none to raise it from), and only once a reader
// has asked for one: before that, nobody would hear it.
void AnnounceText(int64_t, const char* text) {
    const UiaCoreFunctions* core = Win32LoadedUiaCore();
    if (text == nullptr || core == nullptr || core->raiseNotificationEvent == nullptr ||
        !core->clientsAreListening()) {
        return;
    }
    HWND canvas = nullptr;
    {
        std::lock_guard<std::mutex> hold(meterLock);
        if (Meters().empty()) return;
        canvas = Meters().begin()->second;
    }
    ComRef<IRawElementProviderSimple> provider = Win32MeterUiaProvider(canvas);
    if (!provider) return;
    BSTR said = SysAllocString(WidenText(text).c_str());
    BSTR activity = SysAllocString(L"Vellumtone levels");
    if (said != nullptr && activity != nullptr) {
        core->raiseNotificationEvent(provider.get(), NOTIFICATION_KIND_OTHER,
                                     NOTIFICATION_IMPORTANT_MOST_RECENT, said, activity);
    }
    SysFreeString(said);
    SysFreeString(activity);
}
