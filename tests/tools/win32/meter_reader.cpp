// A screen reader's view of the meters, for the tests: finds every meter
// canvas (window class "VellumtoneCanvas") of the programs running on this
// desktop, left to right, and prints what a client in another process reads
// of each, through UI Automation's client (CUIAutomation) and through MSAA
// (AccessibleObjectFromWindow). First it says what the system offers:
//
//   uiautomationcore: loaded; missing: UiaRaiseNotificationEvent
//   uia-client: ready                  (or: none error 0x80040154; core
//                                       functions ready: read through
//                                       UiaNodeFromHandle instead)
//   canvas 1 uia: name="Left channel" type=50012 value="-inf dB" range=-60.0
//                 minimum=-60.0 maximum=0.0 focusable=true window=65636
//   canvas 1 msaa: name="Left channel" value="-inf dB" role=48 state=0x140
//
// A property that could not be read shows as its error ("name=error
// 0x80070057"). Exit code 0 when a canvas was found, 1 when none.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "system/windows_api_win32.h"
#include "ui/win32/uia_core_win32.h"

namespace {

// The client interfaces MinGW-w64's headers leave out, as far as needed:
// the methods before the ones called are placeholders that keep the order
// of the system's tables.
constexpr GUID AUTOMATION_CLASS = {
    0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
constexpr GUID AUTOMATION_IID = {
    0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};

struct AutomationElement : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirst(int, void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAll(int, void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirstBuildCache(int, void*, void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(int, void*, void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildUpdatedCache(void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(PROPERTYID, VARIANT*) = 0;
};

struct Automation : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CompareElements(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareRuntimeIds(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootElement(AutomationElement**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(HWND, AutomationElement**) = 0;
};

std::string Narrow(const wchar_t* text) {
    if (text == nullptr) return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}

// Built up with += only: GCC 12 warns falsely (-Wrestrict) of a literal
// joined to a string with +.
std::string Quoted(const wchar_t* text) {
    std::string quoted;
    quoted += '"';
    quoted += Narrow(text);
    quoted += '"';
    return quoted;
}

std::string Error(HRESULT result) {
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lx", static_cast<unsigned long>(result));
    return text;
}

// A VARIANT as printed: texts quoted, numbers as they are.
std::string Shown(HRESULT result, VARIANT& value) {
    if (FAILED(result)) return Error(result);
    char text[64];
    switch (value.vt) {
        case VT_BSTR:
            return Quoted(value.bstrVal);
        case VT_I4:
            std::snprintf(text, sizeof text, "%ld", static_cast<long>(value.lVal));
            return text;
        case VT_R8:
            std::snprintf(text, sizeof text, "%.1f", value.dblVal);
            return text;
        case VT_BOOL:
            return value.boolVal ? "true" : "false";
        case VT_EMPTY:
            return "empty";
        case VT_UNKNOWN:  // UI Automation's reserved "not supported" object
            return "unsupported";
        default:
            std::snprintf(text, sizeof text, "vt%d", value.vt);
            return text;
    }
}

void ReportCore() {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring path = std::wstring(folder, length) + L"\\uiautomationcore.dll";
    HMODULE core = LoadLibraryW(path.c_str());
    if (core == nullptr) {
        std::printf("uiautomationcore: not loaded (error %lu)\n", GetLastError());
        return;
    }
    std::string missing;
    for (const char* name :
         {"UiaReturnRawElementProvider", "UiaHostProviderFromHwnd",
          "UiaRaiseAutomationPropertyChangedEvent", "UiaClientsAreListening",
          "UiaDisconnectProvider", "UiaRaiseNotificationEvent", "UiaNodeFromHandle"}) {
        if (GetProcAddress(core, name) == nullptr) {
            missing += ' ';
            missing += name;
        }
    }
    std::printf("uiautomationcore: loaded; missing:%s\n",
                missing.empty() ? " none" : missing.c_str());
}

BOOL CALLBACK NoteCanvas(HWND window, LPARAM found) {
    wchar_t name[64];
    if (GetClassNameW(window, name, 64) > 0 && std::wstring(name) == L"VellumtoneCanvas") {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK SearchTopWindow(HWND top, LPARAM found) {
    EnumChildWindows(top, NoteCanvas, found);  // every descendant
    return TRUE;
}

std::vector<HWND> Canvases() {
    std::vector<HWND> found;
    EnumWindows(SearchTopWindow, reinterpret_cast<LPARAM>(&found));
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
        RECT left, right;
        GetWindowRect(a, &left);
        GetWindowRect(b, &right);
        return left.left < right.left;
    });
    return found;
}

// UI Automation's own client functions, which the COM client above is
// built on: where the system has no CUIAutomation class, these still read
// through the same core.
struct FlatClient {
    using Node = void*;  // HUIANODE
    HRESULT(WINAPI* nodeFromHandle)(HWND, Node*) = nullptr;
    HRESULT(WINAPI* getPropertyValue)(Node, PROPERTYID, VARIANT*) = nullptr;
    BOOL(WINAPI* nodeRelease)(Node) = nullptr;
};

template <typename Call>
bool Find(HMODULE library, const char* name, Call* call) {
    FARPROC found = GetProcAddress(library, name);
    *call = reinterpret_cast<Call>(reinterpret_cast<void*>(found));
    return found != nullptr;
}

bool LoadFlatClient(FlatClient* client) {
    HMODULE core = LoadLibraryW(L"uiautomationcore.dll");
    return core != nullptr && Find(core, "UiaNodeFromHandle", &client->nodeFromHandle) &&
           Find(core, "UiaGetPropertyValue", &client->getPropertyValue) &&
           Find(core, "UiaNodeRelease", &client->nodeRelease);
}

const struct {
    const char* label;
    PROPERTYID property;
} UIA_ASKED[] = {{"name", UIA_NamePropertyId},
                 {"type", UIA_ControlTypePropertyId},
                 {"value", UIA_ValueValuePropertyId},
                 {"range", UIA_RangeValueValuePropertyId},
                 {"minimum", UIA_RangeValueMinimumPropertyId},
                 {"maximum", UIA_RangeValueMaximumPropertyId},
                 {"focusable", UIA_IsKeyboardFocusablePropertyId},
                 {"window", UIA_NativeWindowHandlePropertyId}};

// Asks `read` for each property and prints the line.
template <typename Read>
void PrintUiaLine(int number, Read read) {
    std::string line;
    for (const auto& property : UIA_ASKED) {
        VARIANT value;
        VariantInit(&value);
        HRESULT got = read(property.property, &value);
        line += ' ';
        line += property.label;
        line += '=';
        line += Shown(got, value);
        VariantClear(&value);
    }
    std::printf("canvas %d uia:%s\n", number, line.c_str());
}

void ReadThroughUia(Automation* automation, HWND canvas, int number) {
    AutomationElement* element = nullptr;
    HRESULT result = automation->ElementFromHandle(canvas, &element);
    if (FAILED(result) || element == nullptr) {
        std::printf("canvas %d uia: no element (%s)\n", number, Error(result).c_str());
        return;
    }
    PrintUiaLine(number, [&](PROPERTYID property, VARIANT* value) {
        return element->GetCurrentPropertyValue(property, value);
    });
    element->Release();
}

void ReadThroughFlatClient(const FlatClient& client, HWND canvas, int number) {
    FlatClient::Node node = nullptr;
    HRESULT result = client.nodeFromHandle(canvas, &node);
    if (FAILED(result) || node == nullptr) {
        std::printf("canvas %d uia: no node (%s)\n", number, Error(result).c_str());
        return;
    }
    PrintUiaLine(number, [&](PROPERTYID property, VARIANT* value) {
        return client.getPropertyValue(node, property, value);
    });
    client.nodeRelease(node);
}

void ReadThroughMsaa(HWND canvas, int number) {
    IAccessible* accessible = nullptr;
    HRESULT result = AccessibleObjectFromWindow(canvas, OBJID_CLIENT, __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&accessible));
    if (FAILED(result) || accessible == nullptr) {
        std::printf("canvas %d msaa: no object (%s)\n", number, Error(result).c_str());
        return;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr, text = nullptr;
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    HRESULT gotName = accessible->get_accName(self, &name);
    HRESULT gotValue = accessible->get_accValue(self, &text);
    HRESULT gotRole = accessible->get_accRole(self, &role);
    HRESULT gotState = accessible->get_accState(self, &state);
    char stateText[32] = "";
    if (SUCCEEDED(gotState) && state.vt == VT_I4) {
        std::snprintf(stateText, sizeof stateText, "0x%lx", static_cast<unsigned long>(state.lVal));
    }
    std::printf("canvas %d msaa: name=%s value=%s role=%s state=%s\n", number,
                (FAILED(gotName) ? Error(gotName) : Quoted(name)).c_str(),
                (FAILED(gotValue) ? Error(gotValue) : Quoted(text)).c_str(),
                Shown(gotRole, role).c_str(),
                FAILED(gotState) ? Error(gotState).c_str() : stateText);
    SysFreeString(name);
    SysFreeString(text);
    VariantClear(&role);
    VariantClear(&state);
    accessible->Release();
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n alone, as the tests look for
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ReportCore();
    Automation* automation = nullptr;
    HRESULT created = CoCreateInstance(AUTOMATION_CLASS, nullptr, CLSCTX_INPROC_SERVER,
                                       AUTOMATION_IID, reinterpret_cast<void**>(&automation));
    FlatClient flat;
    bool flatReady = false;
    if (SUCCEEDED(created) && automation != nullptr) {
        std::printf("uia-client: ready\n");
    } else {
        automation = nullptr;
        flatReady = LoadFlatClient(&flat);
        std::printf("uia-client: none %s; %s\n", Error(created).c_str(),
                    flatReady ? "core functions ready" : "no core functions either");
    }
    std::fflush(stdout);
    std::vector<HWND> canvases = Canvases();
    int number = 0;
    for (HWND canvas : canvases) {
        ++number;
        if (automation != nullptr) ReadThroughUia(automation, canvas, number);
        if (flatReady) ReadThroughFlatClient(flat, canvas, number);
        std::fflush(stdout);
        ReadThroughMsaa(canvas, number);
        std::fflush(stdout);
    }
    if (automation != nullptr) automation->Release();
    CoUninitialize();
    if (canvases.empty()) std::printf("no canvas found\n");
    return canvases.empty() ? 1 : 0;
}
