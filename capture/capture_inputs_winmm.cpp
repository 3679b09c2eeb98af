// The capture inputs on Windows: every wave-in device, named by its audio
// endpoint. waveInGetDevCaps gives a name cut to 31 characters; the driver
// also tells the endpoint's ID (DRV_QUERYFUNCTIONINSTANCEID), which the
// MMDevice API turns into the endpoint's full friendly name. The ID is what
// the settings keep: it stays the same for a device across restarts, unlike
// its wave-in number, which changes as devices come and go.
//
// The choice of one of them is capture_target_winmm.cpp's.
#include "system/windows_api_win32.h"
// The GUIDs and property keys of the MMDevice API are defined in this file.
#include <initguid.h>
// After initguid.h, which makes their DEFINE_GUIDs definitions.
#include <functiondiscoverykeys_devpkey.h>
#include <mmddk.h>
#include <mmdeviceapi.h>

#include <string>
#include <vector>

#include "capture/capture_inputs.h"
#include "system/text_win32.h"

namespace {

// The endpoint ID of wave-in device `index`; empty when the driver tells
// none. The size message answers in bytes, terminating null included.
std::wstring EndpointId(UINT index) {
    auto device = reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(index));
    ULONG bytes = 0;
    if (waveInMessage(device, DRV_QUERYFUNCTIONINSTANCEIDSIZE, reinterpret_cast<DWORD_PTR>(&bytes),
                      0) != MMSYSERR_NOERROR ||
        bytes < sizeof(wchar_t)) {
        return std::wstring();
    }
    std::wstring id(bytes / sizeof(wchar_t), L'\0');
    if (waveInMessage(device, DRV_QUERYFUNCTIONINSTANCEID, reinterpret_cast<DWORD_PTR>(id.data()),
                      bytes) != MMSYSERR_NOERROR) {
        return std::wstring();
    }
    id.resize(wcsnlen(id.c_str(), id.size()));
    return id;
}

// The endpoint's full friendly name ("Microphone (USB Audio Device)");
// empty when the endpoint or its name is not found.
std::string FriendlyName(IMMDeviceEnumerator* endpoints, const std::wstring& id) {
    std::string name;
    IMMDevice* endpoint = nullptr;
    if (endpoints == nullptr || id.empty() || FAILED(endpoints->GetDevice(id.c_str(), &endpoint))) {
        return name;
    }
    IPropertyStore* properties = nullptr;
    if (SUCCEEDED(endpoint->OpenPropertyStore(STGM_READ, &properties))) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &value)) &&
            value.vt == VT_LPWSTR) {
            name = NarrowText(value.pwszVal);
        }
        PropVariantClear(&value);
        properties->Release();
    }
    endpoint->Release();
    return name;
}

// The endpoint ID of the default capture endpoint for the console role, the
// one that wave-in's default device records from; empty when there is none.
std::wstring DefaultEndpointId(IMMDeviceEnumerator* endpoints) {
    std::wstring id;
    IMMDevice* endpoint = nullptr;
    if (endpoints == nullptr ||
        FAILED(endpoints->GetDefaultAudioEndpoint(eCapture, eConsole, &endpoint))) {
        return id;
    }
    LPWSTR text = nullptr;
    if (SUCCEEDED(endpoint->GetId(&text)) && text != nullptr) id = text;
    CoTaskMemFree(text);
    endpoint->Release();
    return id;
}

}  // namespace

// Wave-in answers at once, from the system's own list: there is nothing to
// wait for, so the time limit is not needed here.
std::vector<CaptureInputRecord> ListCaptureInputs(int32_t) {
    std::vector<CaptureInputRecord> inputs;
    // COM may already be set up on this thread, in either model; either
    // serves, and only a successful call here is undone here.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IMMDeviceEnumerator* endpoints = nullptr;
    if (FAILED(CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL,
                                IID_IMMDeviceEnumerator, reinterpret_cast<void**>(&endpoints)))) {
        endpoints = nullptr;
    }
    const std::wstring defaultId = DefaultEndpointId(endpoints);
    UINT count = waveInGetNumDevs();
    for (UINT index = 0; index < count; ++index) {
        WAVEINCAPSW caps{};
        if (waveInGetDevCapsW(index, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        std::wstring id = EndpointId(index);
        if (id.empty()) continue;  // nothing the settings could keep
        std::string name = FriendlyName(endpoints, id);
        if (name.empty()) name = NarrowText(caps.szPname);
        // IDs are GUIDs in text, which either side may write in either case.
        const bool isDefault =
            CompareStringOrdinal(id.c_str(), -1, defaultId.c_str(), -1, TRUE) == CSTR_EQUAL;
        inputs.push_back(CaptureInputRecord{NarrowText(id.c_str()), name, false, isDefault});
    }
    if (endpoints != nullptr) endpoints->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return inputs;
}
