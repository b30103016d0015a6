// The control in a stock container: ATL's "AtlAxWin" window class (atl.dll,
// part of Windows and of Wine), which hosts the control named by the
// window's text, with an event sink for SendMemoData.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <cstdio>

namespace {

// atl.dll's exports are stdcall, which matters in a 32-bit host.
using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

// The control's event interface, _DTesraEvents, from its type library.
const IID kEventsIid = {0x1fb67d2e, 0x8cc0, 0x4412, {0xa9, 0xf7, 0xdf, 0x0e, 0x34, 0x12, 0x9f, 0x2f}};

// Receives SendMemoData (dispatch id 1): one by-reference BSTR that holds
// the memo's text as CP949 bytes, not UTF-16 (SysStringByteLen gives its
// length). The control frees it after the call.
class EventSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDispatch || iid == kEventsIid ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on main's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1 && params->cArgs == 1 && params->rgvarg[0].vt == (VT_BSTR | VT_BYREF)) {
            const BSTR text = *params->rgvarg[0].pbstrVal;
            std::printf("SendMemoData: %u bytes\n", ::SysStringByteLen(text));
        }
        return S_OK;
    }
};

}  // namespace

int main() {
    if (FAILED(::OleInitialize(nullptr))) return 1;
    int rc = 1;
    HMODULE atl = ::LoadLibraryA("atl.dll");
    auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void (*)()>(::GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl =
        reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void (*)()>(::GetProcAddress(atl, "AtlAxGetControl")));
    // The container window creates the control from the ProgID in its text.
    HWND host = init && getControl && init()
                    ? ::CreateWindowExA(0, "AtlAxWin", "TESRA.TesraCtrl.1", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                        nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr)
                    : nullptr;
    IUnknown* control = nullptr;
    if (host && SUCCEEDED(getControl(host, &control)) && control) {
        char module[MAX_PATH] = "";
        ::GetModuleFileNameA(::GetModuleHandleA("TESRA.OCX"), module, MAX_PATH);
        std::printf("TESRA.OCX from %s, in ATL's container\n", module);

        // SendMemoData reaches the host through the control's connection point.
        EventSink sink;
        IConnectionPointContainer* points = nullptr;
        IConnectionPoint* point = nullptr;
        DWORD cookie = 0;
        if (SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))) &&
            SUCCEEDED(points->FindConnectionPoint(kEventsIid, &point)) && SUCCEEDED(point->Advise(&sink, &cookie))) {
            std::printf("listening for SendMemoData\n");
            rc = 0;
        }

        // The host's own message loop runs here; a short while for the sample.
        MSG msg;
        const DWORD until = ::GetTickCount() + 500;
        while (::GetTickCount() < until) {
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        if (point) {
            point->Unadvise(cookie);
            point->Release();
        }
        if (points) points->Release();
        control->Release();
    } else {
        std::printf("the container could not create TESRA.TesraCtrl.1\n");
    }
    if (host) ::DestroyWindow(host);
    ::OleUninitialize();
    return rc;
}
