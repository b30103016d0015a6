// The control created by its ProgID without any container, driven through
// IDispatch by member name. Build: i686-w64-mingw32-g++ create_control.cpp
// -lole32 -loleaut32 -luuid (what the project's tests do).
#include <windows.h>
#include <ole2.h>

#include <cstdio>

namespace {

// Calls a member by name; flags is DISPATCH_METHOD or DISPATCH_PROPERTYGET/PUT.
// Arguments go in reverse order, as IDispatch::Invoke wants them.
HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
                   VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, flags == DISPATCH_PROPERTYPUT ? &named : nullptr, count,
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

}  // namespace

int main() {
    // The control is apartment-threaded: an STA thread with a message loop.
    if (FAILED(::OleInitialize(nullptr))) return 1;
    int rc = 1;
    CLSID clsid{};
    IDispatch* tesra = nullptr;
    if (SUCCEEDED(::CLSIDFromProgID(L"TESRA.TesraCtrl.1", &clsid)) &&
        SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&tesra)))) {
        char module[MAX_PATH] = "";
        ::GetModuleFileNameA(::GetModuleHandleA("TESRA.OCX"), module, MAX_PATH);
        std::printf("TESRA.OCX from %s\n", module);

        // ShowMemoDlg is false until the host shows the memos.
        VARIANT shown;
        ::VariantInit(&shown);
        const bool hidden = SUCCEEDED(CallByName(tesra, L"ShowMemoDlg", DISPATCH_PROPERTYGET, nullptr, 0, &shown)) &&
                            shown.vt == VT_BOOL && shown.boolVal == VARIANT_FALSE;

        // Whether this computer keeps memo files of a user (the part of the
        // user id before "@").
        VARIANT name, found;
        name.vt = VT_BSTR;
        name.bstrVal = ::SysAllocString(L"kim");
        ::VariantInit(&found);
        const bool asked = SUCCEEDED(CallByName(tesra, L"IsMemoFileExists", DISPATCH_METHOD, &name, 1, &found)) &&
                           found.vt == VT_BOOL;
        ::VariantClear(&name);
        std::printf("memos hidden: %s, memo files of kim: %s\n", hidden ? "yes" : "no",
                    asked && found.boolVal ? "yes" : "no");
        rc = hidden && asked ? 0 : 1;
        tesra->Release();
    } else {
        std::printf("TESRA.TesraCtrl.1 is not registered\n");
    }
    ::OleUninitialize();
    return rc;
}
