// A class factory for one of the module's classes. Factories are static
// objects of the module; they count as server locks only through LockServer.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>

#include "win/com.h"

namespace tesra::win {

template <class T>
class CClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the module; its count is the module's.
    STDMETHODIMP_(ULONG) AddRef() override {
        LockModule(true);
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        LockModule(false);
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return GuardCom([&] {
            T* object = new T();
            // The object starts with one reference, which this call hands over.
            const HRESULT hr = object->QueryInterface(iid, out);
            object->Release();
            return hr;
        });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        LockModule(lock != FALSE);
        return S_OK;
    }
};

}  // namespace tesra::win
