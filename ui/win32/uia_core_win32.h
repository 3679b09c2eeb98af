// UI Automation's provider side as far as a meter needs it. MinGW-w64 has no
// import library for uiautomationcore.dll, and a system without it (or with
// an older one) must still run the program, so its functions are found at
// run time, and only once a client first asks a window for its provider.
#pragma once

#include "system/windows_api_win32.h"
// After windows.h, whose types they use.
// HACK: not uiautomation.h: it brings uiautomationcoreapi.h, which
// MinGW-w64 12 writes with a parameter named `new`, so no C++ compiles it;
// the little needed of it is below. It can be included once that is fixed.
#include <oleacc.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>

// The object identifier of WM_GETOBJECT that asks for a UI Automation
// provider (UiaRootObjectId), and the errors a provider answers with:
// UIA_E_ELEMENTNOTAVAILABLE (the element is gone) and
// UIA_E_ELEMENTNOTENABLED (it cannot be changed).
constexpr LONG UIA_ROOT_OBJECT_ID = -25;
constexpr HRESULT ELEMENT_NOT_AVAILABLE = static_cast<HRESULT>(0x80040201);
constexpr HRESULT ELEMENT_NOT_ENABLED = static_cast<HRESULT>(0x80040200);

// HACK: MinGW-w64 12's uiautomationcore.h declares neither pattern
// interface; these mirror the system's IValueProvider and
// IRangeValueProvider (same identifiers, same method order) under names of
// their own, so that they never clash with a later header that has them.
// They can go once the compiler's header declares the two.
constexpr GUID VALUE_PROVIDER_IID = {
    0xc7935180, 0x6fb3, 0x4201, {0xb1, 0x74, 0x7d, 0xf7, 0x3a, 0xdb, 0xf6, 0x4a}};
constexpr GUID RANGE_VALUE_PROVIDER_IID = {
    0x36dc7aef, 0x33e6, 0x4691, {0xaf, 0xe1, 0x2b, 0xe7, 0x27, 0x4b, 0x3d, 0x33}};

struct ValuePatternProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) = 0;
};

struct RangeValuePatternProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* maximum) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* minimum) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* change) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* change) = 0;
};

// UIA_ProgressBarControlTypeId, which MinGW-w64's headers leave out too.
constexpr int PROGRESS_BAR_CONTROL_TYPE = 50012;

// The provider functions of uiautomationcore.dll.
struct UiaCoreFunctions {
    // Answers WM_GETOBJECT with a provider; with a null provider and zero
    // wParam and lParam, tells UI Automation the window is going away.
    LRESULT(WINAPI* returnRawElementProvider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*);
    // The system's provider for a window (its rectangle, focus, parent),
    // which UI Automation merges with ours.
    HRESULT(WINAPI* hostProviderFromHwnd)(HWND, IRawElementProviderSimple**);
    HRESULT(WINAPI* raisePropertyChangedEvent)
    (IRawElementProviderSimple*, PROPERTYID, VARIANT, VARIANT);
    // Whether any client listens to any event: cheap, from any thread.
    BOOL(WINAPI* clientsAreListening)();
    // Drops every reference UI Automation holds on a provider. Windows 8 and
    // later; null before.
    HRESULT(WINAPI* disconnectProvider)(IRawElementProviderSimple*);
    // Has readers say a text (NotificationKind, NotificationProcessing, the
    // text, an activity id). Windows 10 1709 and later; null before, and
    // under Wine 8.
    HRESULT(WINAPI* raiseNotificationEvent)(IRawElementProviderSimple*, int, int, BSTR, BSTR);
};

// NotificationKind_Other and NotificationProcessing_ImportantMostRecent.
constexpr int NOTIFICATION_KIND_OTHER = 4;
constexpr int NOTIFICATION_IMPORTANT_MOST_RECENT = 1;

// Loads uiautomationcore.dll from the system folder the first time (any
// thread); null where it or one of the functions it must have is missing.
const UiaCoreFunctions* Win32UiaCore();

// The functions if an earlier Win32UiaCore() loaded them, else null: asks
// without loading anything.
const UiaCoreFunctions* Win32LoadedUiaCore();
