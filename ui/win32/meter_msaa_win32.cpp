// A meter canvas as Active Accessibility (MSAA, oleacc) sees it: the client
// object of the canvas window, a progress bar with no children, named after
// its channel, whose value is the level as read out ("-12.3 dB", "-inf dB",
// "over"). Readers that speak MSAA only, and systems without UI Automation,
// read the meters through it.
//
// MSAA calls arrive on the window's thread (in-process) or through COM's
// marshalling; the shared record's lock covers either. Once the window is
// gone every call answers CO_E_OBJNOTCONNECTED, as for an object whose
// server went away.
#include <atomic>
#include <memory>
#include <new>

#include "ui/win32/meter_access_win32.h"

namespace {

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

class MeterAccessible final : public IAccessible {
public:
    explicit MeterAccessible(std::shared_ptr<MeterAccessState> state) : state_(std::move(state)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, __uuidof(IAccessible))) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: MSAA clients call the interface's methods directly; none
    // goes through a type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (parent == nullptr) return E_POINTER;
        *parent = nullptr;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return CO_E_OBJNOTCONNECTED;
        // A client object's parent is the system's object for the window
        // itself (its frame), which leads on up to the top-level window.
        return CreateStdAccessibleObject(reading.window, OBJID_WINDOW, IID_IDispatch,
                                         reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return Connected() ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        if (child == nullptr) return E_POINTER;
        *child = nullptr;
        return Connected() ? E_INVALIDARG : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Read(child, name, [](const MeterReading& reading) { return reading.name; });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Read(child, value, [](const MeterReading& reading) { return reading.text; });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return Nothing(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr) return E_POINTER;
        VariantInit(role);
        if (!IsSelf(child)) return E_INVALIDARG;
        if (!Connected()) return CO_E_OBJNOTCONNECTED;
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PROGRESSBAR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (state == nullptr) return E_POINTER;
        VariantInit(state);
        if (!IsSelf(child)) return E_INVALIDARG;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return CO_E_OBJNOTCONNECTED;
        LONG flags = STATE_SYSTEM_READONLY;
        if (GetWindowLongPtrW(reading.window, GWL_STYLE) & WS_TABSTOP) {
            flags |= STATE_SYSTEM_FOCUSABLE;
        }
        if (HasFocus(reading.window)) flags |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(reading.window)) flags |= STATE_SYSTEM_INVISIBLE;
        state->vt = VT_I4;
        state->lVal = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Nothing(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (topic != nullptr) *topic = 0;
        return Nothing(child, file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Nothing(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (focus == nullptr) return E_POINTER;
        VariantInit(focus);  // VT_EMPTY: neither it nor a child has the focus
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return CO_E_OBJNOTCONNECTED;
        if (HasFocus(reading.window)) {
            focus->vt = VT_I4;
            focus->lVal = CHILDID_SELF;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (selection == nullptr) return E_POINTER;
        VariantInit(selection);
        return Connected() ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return Nothing(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override {
        return Connected() ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
            return E_POINTER;
        }
        *left = *top = *width = *height = 0;
        if (!IsSelf(child)) return E_INVALIDARG;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return CO_E_OBJNOTCONNECTED;
        RECT frame;
        if (!GetWindowRect(reading.window, &frame)) return E_FAIL;
        *left = frame.left;
        *top = frame.top;
        *width = frame.right - frame.left;
        *height = frame.bottom - frame.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override {
        if (end == nullptr) return E_POINTER;
        VariantInit(end);
        // No children; its siblings are the parent's to find.
        return Connected() ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (hit == nullptr) return E_POINTER;
        VariantInit(hit);
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return CO_E_OBJNOTCONNECTED;
        RECT frame;
        if (!GetWindowRect(reading.window, &frame) || !PtInRect(&frame, POINT{x, y})) {
            return S_FALSE;
        }
        hit->vt = VT_I4;
        hit->lVal = CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override {
        return Connected() ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~MeterAccessible() = default;

    bool Connected() {
        std::lock_guard<std::mutex> hold(state_->lock);
        return state_->window != nullptr;
    }

    // Whether `window` has the keyboard focus, asked of its own thread's
    // state, so that the answer holds whichever thread asks.
    static bool HasFocus(HWND window) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
               info.hwndFocus == window;
    }

    template <typename Field>
    HRESULT Read(const VARIANT& child, BSTR* out, Field field) {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsSelf(child)) return E_INVALIDARG;
        MeterReading reading;
        if (!ReadMeterAccess(*state_, &reading)) return CO_E_OBJNOTCONNECTED;
        *out = SysAllocString(field(reading).c_str());
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    // A property the meter does not have: S_FALSE with no text.
    HRESULT Nothing(const VARIANT& child, BSTR* out) {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsSelf(child)) return E_INVALIDARG;
        return Connected() ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }

    std::atomic<ULONG> references_{1};
    std::shared_ptr<MeterAccessState> state_;
};

}  // namespace

IAccessible* CreateMeterAccessible(std::shared_ptr<MeterAccessState> state) {
    return new (std::nothrow) MeterAccessible(std::move(state));
}
