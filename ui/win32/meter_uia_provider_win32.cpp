// A meter canvas as UI Automation sees it: a read-only progress bar named
// after its channel, whose RangeValue pattern gives the level in dBFS and
// whose Value pattern gives the same level as it is read out ("-12.3 dB",
// "-inf dB", "over").
//
// Why a progress bar: UI Automation has no level-meter control type, and the
// progress bar is the read-only one that carries a RangeValue; a slider
// would tell the user the level can be set. Browsers map a web page's meter
// element to it too, with "meter" as its localized type, as here.
//
// One object answers for the element and for both patterns. UI Automation
// may call it on its own threads as well as the window's: every read goes
// through the shared record's lock. Once the window is gone every call
// answers UIA_E_ELEMENTNOTAVAILABLE, which clients take as "the element went
// away".
#include <atomic>
#include <memory>
#include <new>

#include "ui/win32/meter_access_win32.h"

namespace {

// Steps a client would use to move the level, were it settable: the read-out
// resolution, and 6 dB, a doubling of amplitude.
constexpr double SMALL_CHANGE = 0.1;
constexpr double LARGE_CHANGE = 6.0;

class MeterUiaProvider final : public IRawElementProviderSimple,
                               public RangeValuePatternProvider,
                               public ValuePatternProvider {
public:
    explicit MeterUiaProvider(std::shared_ptr<MeterAccessState> state) : state_(std::move(state)) {}

    // IUnknown, for all three interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IRawElementProviderSimple))) {
            *object = static_cast<IRawElementProviderSimple*>(this);
        } else if (IsEqualIID(iid, RANGE_VALUE_PROVIDER_IID)) {
            *object = static_cast<RangeValuePatternProvider*>(this);
        } else if (IsEqualIID(iid, VALUE_PROVIDER_IID)) {
            *object = static_cast<ValuePatternProvider*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
        if (options == nullptr) return E_POINTER;
        // Made on the window's thread, an apartment of COM's: UI Automation
        // is to call it as COM's threading rules say, not from anywhere.
        *options = static_cast<ProviderOptions>(ProviderOptions_ServerSideProvider |
                                                ProviderOptions_UseComThreading);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** provider) override {
        if (provider == nullptr) return E_POINTER;
        *provider = nullptr;
        if (!Attached()) return ELEMENT_NOT_AVAILABLE;
        if (pattern == UIA_RangeValuePatternId) {
            *provider = static_cast<RangeValuePatternProvider*>(this);
        } else if (pattern == UIA_ValuePatternId) {
            *provider = static_cast<ValuePatternProvider*>(this);
        } else {
            return S_OK;  // null: not supported
        }
        (*provider)->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override {
        if (value == nullptr) return E_POINTER;
        VariantInit(value);  // VT_EMPTY: not ours to say, the host provider may
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return ELEMENT_NOT_AVAILABLE;
        switch (property) {
            case UIA_NamePropertyId:
                return Text(reading.name.c_str(), value);
            case UIA_ControlTypePropertyId:
                value->vt = VT_I4;
                value->lVal = PROGRESS_BAR_CONTROL_TYPE;
                return S_OK;
            case UIA_LocalizedControlTypePropertyId:
                return Text(L"meter", value);
            case UIA_IsKeyboardFocusablePropertyId: {
                // A canvas made for the keyboard is a tab stop.
                LONG_PTR style = GetWindowLongPtrW(reading.window, GWL_STYLE);
                value->vt = VT_BOOL;
                value->boolVal = (style & WS_TABSTOP) ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            }
            default:
                return S_OK;
        }
    }

    HRESULT STDMETHODCALLTYPE
    get_HostRawElementProvider(IRawElementProviderSimple** host) override {
        if (host == nullptr) return E_POINTER;
        *host = nullptr;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return ELEMENT_NOT_AVAILABLE;
        // Only ever handed out through UI Automation, which is loaded then.
        const UiaCoreFunctions* uia = Win32LoadedUiaCore();
        return uia != nullptr ? uia->hostProviderFromHwnd(reading.window, host) : S_OK;
    }

    // RangeValuePatternProvider: the level in dBFS.
    HRESULT STDMETHODCALLTYPE SetValue(double) override { return ELEMENT_NOT_ENABLED; }
    HRESULT STDMETHODCALLTYPE get_Value(double* level) override {
        if (level == nullptr) return E_POINTER;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return ELEMENT_NOT_AVAILABLE;
        *level = reading.level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Maximum(double* maximum) override {
        return Constant(METER_ACCESS_MAXIMUM, maximum);
    }
    HRESULT STDMETHODCALLTYPE get_Minimum(double* minimum) override {
        return Constant(METER_ACCESS_MINIMUM, minimum);
    }
    HRESULT STDMETHODCALLTYPE get_LargeChange(double* change) override {
        return Constant(LARGE_CHANGE, change);
    }
    HRESULT STDMETHODCALLTYPE get_SmallChange(double* change) override {
        return Constant(SMALL_CHANGE, change);
    }

    // ValuePatternProvider: the level as read out.
    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR) override { return ELEMENT_NOT_ENABLED; }
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* text) override {
        if (text == nullptr) return E_POINTER;
        *text = nullptr;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return ELEMENT_NOT_AVAILABLE;
        *text = SysAllocString(reading.text.c_str());
        return *text != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    // Both patterns' (one method serves the two interfaces).
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) override {
        if (readOnly == nullptr) return E_POINTER;
        *readOnly = TRUE;
        return Attached() ? S_OK : ELEMENT_NOT_AVAILABLE;
    }

private:
    ~MeterUiaProvider() = default;

    bool Attached() {
        std::lock_guard<std::mutex> hold(state_->lock);
        return state_->window != nullptr;
    }
    HRESULT Constant(double constant, double* out) {
        if (out == nullptr) return E_POINTER;
        *out = constant;
        return Attached() ? S_OK : ELEMENT_NOT_AVAILABLE;
    }
    static HRESULT Text(const wchar_t* text, VARIANT* value) {
        value->bstrVal = SysAllocString(text);
        if (value->bstrVal == nullptr) return E_OUTOFMEMORY;
        value->vt = VT_BSTR;
        return S_OK;
    }

    std::atomic<ULONG> references_{1};
    std::shared_ptr<MeterAccessState> state_;
};

}  // namespace

IRawElementProviderSimple* CreateMeterUiaProvider(std::shared_ptr<MeterAccessState> state) {
    return new (std::nothrow) MeterUiaProvider(std::move(state));
}
