// A minimal in-place container site and an event sink for driving the
// control the way a host application does.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "win/com.h"

namespace tesra::host {

// A top-level window owned by the test; destroyed with the object.
class HostWindow {
public:
    HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    ~HostWindow();
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Client site with in-place support: the control lives in the host window
// at the rectangle given.
class ContainerSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    ContainerSite(HWND host, RECT pos) : host_(host), pos_(pos) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    STDMETHODIMP GetWindow(HWND* out) override {
        *out = host_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        ++uiActivations;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = pos_;
        *clip = pos_;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++deactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    int activations = 0;
    int uiActivations = 0;
    int deactivations = 0;
    ULONG refs() const { return refs_; }

private:
    std::atomic<ULONG> refs_{1};
    HWND host_;
    RECT pos_;
};

// Sink for the event interface: records each SendMemoData's bytes and can
// replace the by-reference string, as a handler may.
class EventSink final : public IDispatch {
public:
    explicit EventSink(REFIID eventIid) : iid_(eventIid) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<std::string> received;
    std::vector<VARTYPE> types;
    // When set, the handler swaps in its own BSTR with these bytes.
    std::string replaceWith;
    bool replace = false;
    // Called with each event's text bytes.
    std::function<void(const std::string&)> onSendMemoData;
    ULONG refs() const { return refs_; }

private:
    std::atomic<ULONG> refs_{1};
    IID iid_;
};

// Calls a dispatch member with arguments given in declaration order.
HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result);
VARIANT VBool(bool b);
VARIANT VI2(short v);
VARIANT VI4(long v);
// A BSTR variant that owns nothing: the caller keeps the string alive.
VARIANT VStr(BSTR s);
VARIANT VStrRef(BSTR* s);
VARIANT VVarRef(VARIANT* v);

// Closes a control the container holds (its at-exit pass runs here) and lets
// go of it and of its site; both are empty afterwards.
void CloseInPlace(win::ComPtr<IOleObject>& ole, ContainerSite*& site);

// The calling thread's windows with their children.
long ThreadWindows();
// The used entries of Wine's GDI handle table (Wine answers 0 to
// GetGuiResources): the PEB points to it where Windows keeps its own.
long WineGdiObjects();

// Pumps the thread's messages for a while.
void PumpMessages(DWORD milliseconds);

}  // namespace tesra::host
