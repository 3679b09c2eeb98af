// Finding UI Automation's provider functions at run time (see the header).
#include "ui/win32/uia_core_win32.h"

#include <atomic>
#include <string>

namespace {

std::atomic<const UiaCoreFunctions*> loaded{nullptr};

template <typename Call>
bool Find(HMODULE library, const char* name, Call* call) {
    FARPROC found = GetProcAddress(library, name);
    *call = reinterpret_cast<Call>(reinterpret_cast<void*>(found));
    return found != nullptr;
}

const UiaCoreFunctions* Load() {
    static UiaCoreFunctions functions;
    // From the system folder by its full path: never a copy that happens to
    // lie beside the program or in the current folder.
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wstring path = std::wstring(folder, length) + L"\\uiautomationcore.dll";
    HMODULE library = LoadLibraryW(path.c_str());
    if (library == nullptr) return nullptr;
    bool complete =
        Find(library, "UiaReturnRawElementProvider", &functions.returnRawElementProvider) &&
        Find(library, "UiaHostProviderFromHwnd", &functions.hostProviderFromHwnd) &&
        Find(library, "UiaRaiseAutomationPropertyChangedEvent",
             &functions.raisePropertyChangedEvent) &&
        Find(library, "UiaClientsAreListening", &functions.clientsAreListening);
    if (!complete) {
        FreeLibrary(library);
        return nullptr;
    }
    Find(library, "UiaDisconnectProvider", &functions.disconnectProvider);
    Find(library, "UiaRaiseNotificationEvent", &functions.raiseNotificationEvent);
    // Kept loaded for good: providers handed out may be called until exit.
    return &functions;
}

}  // namespace

const UiaCoreFunctions* Win32UiaCore() {
    static const UiaCoreFunctions* functions = [] {
        const UiaCoreFunctions* found = Load();
        loaded.store(found);
        return found;
    }();
    return functions;
}

const UiaCoreFunctions* Win32LoadedUiaCore() {
    return loaded.load();
}
