// Owners for COM references, BSTRs and VARIANTs, and the module's object
// and lock counts.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace tesra::win {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held first.
    T** Out() {
        Reset();
        return &p_;
    }
    T* Detach() { return std::exchange(p_, nullptr); }

    template <class U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(out.Out()));
        return out;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : b_(::SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    ~Bstr() { ::SysFreeString(b_); }
    // Multibyte bytes packed into a BSTR by byte length, as memo text travels.
    static Bstr FromBytes(std::string_view bytes) {
        Bstr b;
        b.b_ = ::SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
        return b;
    }
    BSTR get() const { return b_; }
    BSTR* Out() {
        ::SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { ::VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v_); }
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }

private:
    VARIANT v_;
};

// Text of a BSTR in CP949 (code page 949 named, not the machine's ANSI code
// page), as the control's string parameters are received; the conversions
// both ways use the same code page.
std::string NarrowFromBstr(BSTR text);
std::wstring WideFromAnsi(std::string_view text);
std::string AnsiFromWide(std::wstring_view text);

// The module that holds this code (the control module, or a test program
// that links the layer in).
HINSTANCE ModuleInstance();
// A string of the module's string table, in the ANSI code page; empty when
// it has none of that number.
std::string ModuleString(UINT id);

// What C++ throws must not cross into the system's caller: a COM entry point
// or a registration export runs its body through this.
template <class Body>
HRESULT GuardCom(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The same for a window or dialog procedure: a creation fails, any other
// message is answered with 0.
template <class Body>
LRESULT GuardWindowProc(UINT msg, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return msg == WM_CREATE ? -1 : 0;
    }
}

// Module-wide counts behind DllCanUnloadNow: live objects and server locks.
void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
bool ModuleInUse();

}  // namespace tesra::win
