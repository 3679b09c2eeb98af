// The meters' accessibility on Windows: which canvases are meters, what
// their WM_GETOBJECT answers, and how a level set on any thread reaches
// listening clients on the window's thread (see the header).
#include "ui/win32/accessible_meter_win32.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "system/text_win32.h"
#include "ui/win32/meter_access_win32.h"

namespace {

struct MeterAccessEntry {
    std::shared_ptr<MeterAccessState> state;
    ComRef<IRawElementProviderSimple> provider;
    ComRef<IAccessible> accessible;
    // What clients last heard: the old values of the next change events.
    // The window's thread only.
    double announcedLevel = METER_ACCESS_MINIMUM;
    std::wstring announcedText = METER_ACCESS_SILENCE;
};

std::mutex registryLock;
std::unordered_map<HWND, std::shared_ptr<MeterAccessEntry>>& Registry() {
    static std::unordered_map<HWND, std::shared_ptr<MeterAccessEntry>> meters;
    return meters;
}

std::shared_ptr<MeterAccessEntry> FindMeter(HWND canvas) {
    std::lock_guard<std::mutex> hold(registryLock);
    auto found = Registry().find(canvas);
    return found == Registry().end() ? nullptr : found->second;
}

// Posted to the canvas when its level changed: the window's thread then
// tells the clients.
UINT ChangeMessage() {
    static const UINT message = RegisterWindowMessageW(L"VellumtoneMeterAccessChanged");
    return message;
}

double LevelInRange(double dbfs) {
    if (std::isnan(dbfs)) return METER_ACCESS_MINIMUM;
    return std::clamp(dbfs, METER_ACCESS_MINIMUM, METER_ACCESS_MAXIMUM);
}

// Whether any client might hear a change. IsWinEventHookInstalled reads a
// flag the system keeps for the desktop (under Wine it always says yes);
// UiaClientsAreListening asks UI Automation, if anything loaded it.
bool AnyClientListens() {
    const UiaCoreFunctions* uia = Win32LoadedUiaCore();
    return (uia != nullptr && uia->clientsAreListening()) ||
           IsWinEventHookInstalled(EVENT_OBJECT_VALUECHANGE);
}

void RaiseChanged(const UiaCoreFunctions& uia, IRawElementProviderSimple* provider,
                  PROPERTYID property, VARIANT before, VARIANT after) {
    uia.raisePropertyChangedEvent(provider, property, before, after);
    VariantClear(&before);
    VariantClear(&after);
}

VARIANT LevelVariant(double level) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R8;
    value.dblVal = level;
    return value;
}

VARIANT TextVariant(const std::wstring& text) {
    VARIANT value;
    VariantInit(&value);
    value.bstrVal = SysAllocString(text.c_str());
    if (value.bstrVal != nullptr) value.vt = VT_BSTR;
    return value;
}

// On the window's thread: tells listening clients what changed since they
// last heard.
void AnnounceChange(HWND canvas, MeterAccessEntry& entry) {
    MeterReading reading;
    {
        std::lock_guard<std::mutex> hold(entry.state->lock);
        entry.state->changePosted = false;
        if (entry.state->window == nullptr) return;
        reading.level = entry.state->level;
        reading.text = entry.state->text;
    }
    const bool levelChanged = reading.level != entry.announcedLevel;
    const bool textChanged = reading.text != entry.announcedText;
    if (!levelChanged && !textChanged) return;
    const UiaCoreFunctions* uia = Win32LoadedUiaCore();
    if (uia != nullptr && uia->clientsAreListening()) {
        if (levelChanged) {
            RaiseChanged(*uia, entry.provider.get(), UIA_RangeValueValuePropertyId,
                         LevelVariant(entry.announcedLevel), LevelVariant(reading.level));
        }
        if (textChanged) {
            RaiseChanged(*uia, entry.provider.get(), UIA_ValueValuePropertyId,
                         TextVariant(entry.announcedText), TextVariant(reading.text));
        }
    }
    // MSAA's listeners: they ask the client object for its new value.
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, canvas, OBJID_CLIENT, CHILDID_SELF);
    entry.announcedLevel = reading.level;
    entry.announcedText = reading.text;
}

}  // namespace

bool Win32AttachMeterAccessibility(HWND canvas, const char* name) {
    if (!IsWindow(canvas)) return false;
    Win32DetachMeterAccessibility(canvas);
    auto entry = std::make_shared<MeterAccessEntry>();
    entry->state = std::make_shared<MeterAccessState>();
    entry->state->window = canvas;
    entry->state->name = WidenText(name);
    entry->provider = ComRef<IRawElementProviderSimple>(CreateMeterUiaProvider(entry->state));
    entry->accessible = ComRef<IAccessible>(CreateMeterAccessible(entry->state));
    if (!entry->provider || !entry->accessible) return false;
    std::lock_guard<std::mutex> hold(registryLock);
    Registry()[canvas] = entry;
    return true;
}

void Win32SetMeterAccessibleLevel(HWND canvas, double dbfs, const std::string& text) {
    std::shared_ptr<MeterAccessEntry> entry = FindMeter(canvas);
    if (entry == nullptr) return;
    std::wstring wide = WidenText(text.c_str());
    const double level = LevelInRange(dbfs);
    const bool listened = AnyClientListens();
    bool post = false;
    {
        std::lock_guard<std::mutex> hold(entry->state->lock);
        MeterAccessState& state = *entry->state;
        if (state.window == nullptr || (state.level == level && state.text == wide)) return;
        state.level = level;
        state.text = std::move(wide);
        post = listened && !state.changePosted;
        if (post) state.changePosted = true;
    }
    if (post && !PostMessageW(canvas, ChangeMessage(), 0, 0)) {
        // The queue is full or the window gone: the next level tries again.
        std::lock_guard<std::mutex> hold(entry->state->lock);
        entry->state->changePosted = false;
    }
}

void Win32DetachMeterAccessibility(HWND canvas) {
    std::shared_ptr<MeterAccessEntry> entry;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        auto found = Registry().find(canvas);
        if (found == Registry().end()) return;
        entry = found->second;
        Registry().erase(found);
    }
    {
        std::lock_guard<std::mutex> hold(entry->state->lock);
        entry->state->window = nullptr;
    }
    if (const UiaCoreFunctions* uia = Win32LoadedUiaCore()) {
        // A null provider for the window: UI Automation releases the
        // providers it got from it and forgets the window.
        uia->returnRawElementProvider(canvas, 0, 0, nullptr);
        if (uia->disconnectProvider != nullptr) uia->disconnectProvider(entry->provider.get());
    }
}

bool Win32AnswerMeterAccessibility(HWND canvas, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result) {
    if (message == WM_GETOBJECT) {
        std::shared_ptr<MeterAccessEntry> entry = FindMeter(canvas);
        if (entry == nullptr) return false;
        // The object identifier is a 32-bit value, whatever the width of
        // lParam.
        const LONG object = static_cast<LONG>(lParam);
        if (object == UIA_ROOT_OBJECT_ID) {
            const UiaCoreFunctions* uia = Win32UiaCore();
            // Without UI Automation the system's default answer stands, and
            // clients fall back to OBJID_CLIENT.
            if (uia == nullptr) return false;
            *result = uia->returnRawElementProvider(canvas, wParam, lParam, entry->provider.get());
            return true;
        }
        if (object == OBJID_CLIENT) {
            // A reference the client side of oleacc takes over (marshalled
            // for another process).
            *result = LresultFromObject(__uuidof(IAccessible), wParam, entry->accessible.get());
            return true;
        }
        return false;
    }
    if (message == WM_DESTROY) {
        Win32DetachMeterAccessibility(canvas);
        return false;
    }
    if (message == ChangeMessage() && message != 0) {
        if (std::shared_ptr<MeterAccessEntry> entry = FindMeter(canvas)) {
            AnnounceChange(canvas, *entry);
        }
        *result = 0;
        return true;
    }
    return false;
}

ComRef<IRawElementProviderSimple> Win32MeterUiaProvider(HWND canvas) {
    std::shared_ptr<MeterAccessEntry> entry = FindMeter(canvas);
    return entry != nullptr ? entry->provider : ComRef<IRawElementProviderSimple>();
}
