#include "tools/host/container.h"

#include <winternl.h>

#include <algorithm>

namespace tesra::host {

HostWindow::HostWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TesraTestHost";
    ::RegisterClassA(&wc);
    hwnd_ = ::CreateWindowExA(0, "TesraTestHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                              wc.hInstance, nullptr);
}

HostWindow::~HostWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

STDMETHODIMP ContainerSite::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ContainerSite::Release() {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::Release() {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    if (id != 1 || !params || params->cArgs != 1) return DISP_E_MEMBERNOTFOUND;
    VARIANT& arg = params->rgvarg[0];
    types.push_back(V_VT(&arg));
    if (V_VT(&arg) != (VT_BYREF | VT_BSTR)) return DISP_E_TYPEMISMATCH;
    BSTR* ref = V_BSTRREF(&arg);
    received.emplace_back(reinterpret_cast<const char*>(*ref), ::SysStringByteLen(*ref));
    if (onSendMemoData) onSendMemoData(received.back());
    if (replace) {
        ::SysFreeString(*ref);
        *ref = ::SysAllocStringByteLen(replaceWith.data(), static_cast<UINT>(replaceWith.size()));
    }
    return S_OK;
}

HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    std::reverse(args.begin(), args.end());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    UINT argErr = 0;
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, &argErr);
}

VARIANT VBool(bool b) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT VI2(short value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = value;
    return v;
}

VARIANT VI4(long value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT VStr(BSTR s) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = s;
    return v;
}

VARIANT VStrRef(BSTR* s) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = s;
    return v;
}

VARIANT VVarRef(VARIANT* inner) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = inner;
    return v;
}

void CloseInPlace(win::ComPtr<IOleObject>& ole, ContainerSite*& site) {
    if (ole) {
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
    ole.Reset();
    if (site) site->Release();
    site = nullptr;
}

namespace {

BOOL CALLBACK CountChild(HWND, LPARAM n) {
    ++*reinterpret_cast<long*>(n);
    return TRUE;
}

BOOL CALLBACK CountTop(HWND h, LPARAM n) {
    ++*reinterpret_cast<long*>(n);
    ::EnumChildWindows(h, &CountChild, n);
    return TRUE;
}

}  // namespace

long ThreadWindows() {
    long n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountTop, reinterpret_cast<LPARAM>(&n));
    return n;
}

long WineGdiObjects() {
    // An entry of 24 bytes is in use while its type byte is set.
    PROCESS_BASIC_INFORMATION info{};
    if (NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return 0;
    const auto* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    long n = 0;
    for (int i = 0; table && i < 0x10000; ++i) n += table[i * 24 + 14] != 0;
    return n;
}

void PumpMessages(DWORD milliseconds) {
    const DWORD end = ::GetTickCount() + milliseconds;
    MSG msg;
    do {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(5);
    } while (static_cast<LONG>(end - ::GetTickCount()) > 0);
}

}  // namespace tesra::host
