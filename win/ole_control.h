// Our own ActiveX control base: what a container or a script host needs of a
// control, without MFC or ATL. One reference count for the whole object; the
// connection point shares it. The derived control supplies its dispatch
// members, its window procedure and its identity.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <string>
#include <vector>

#include "win/com.h"

namespace tesra::win {

class COleControl;

// The window class of control windows; registered on first use, removed
// with the module's other classes (UnregisterModuleClasses).
bool RegisterControlWindowClass();

// The one outgoing interface of a control.
class CConnectionPoint final : public IConnectionPoint {
public:
    CConnectionPoint(COleControl& owner, REFIID iid) : owner_(owner), iid_(iid) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    // Calls dispid on every sink, in the order they connected. Sinks may
    // disconnect while being called.
    void Fire(DISPID dispid, DISPPARAMS* params);
    std::size_t size() const { return sinks_.size(); }
    void Clear() { sinks_.clear(); }

private:
    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> dispatch;
    };
    COleControl& owner_;
    IID iid_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

struct ControlIdentity {
    const CLSID* clsid;
    const IID* dispatchIid;
    const IID* eventIid;
    const CLSID* propPageClsid;
    DWORD miscStatus;
    UINT typeNameId;  // string resource with the user type name
};

class COleControl : public IDispatch,
                    public IConnectionPointContainer,
                    public IProvideClassInfo2,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public IViewObject2,
                    public IPersistStreamInit,
                    public IPersistPropertyBag,
                    public ISpecifyPropertyPages {
public:
    explicit COleControl(const ControlIdentity& identity);
    COleControl(const COleControl&) = delete;
    COleControl& operator=(const COleControl&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* out) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** out) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* mk) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** out) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT posRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* out) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* out) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* pal) override;

    // IOleWindow (through both in-place interfaces)
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                      HDC drawDc, LPCRECTL bounds, LPCRECTL wBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                             LOGPALETTE** out) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag
    STDMETHODIMP GetClassID(CLSID* out) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // The control's window: the in-place window inside a container, or a
    // hidden window of its own when a script host created the control with
    // no container. Made on first need.
    HWND EnsureWindow();
    HWND hwnd() const { return hwnd_; }
    void SetModifiedFlag(bool modified = true) { dirty_ = modified; }
    // Raises an event on every connected sink.
    void FireEvent(DISPID dispid, DISPPARAMS* params) { events_.Fire(dispid, params); }
    std::size_t EventSinkCount() const { return events_.size(); }
    // The module's type library (the module's own resource), cached.
    static HRESULT LoadModuleTypeLib(ITypeLib** out);

protected:
    virtual ~COleControl();

    // Dispatch members of the derived control. Arguments are taken with the
    // helpers below; results go into result (which may be null).
    virtual HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) = 0;
    // Window procedure of the control's window; the default handling is the
    // platform's.
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // Runs while the object is still whole, before the last release deletes it.
    virtual void OnFinalRelease();
    // The state version that persistence writes and reads.
    static constexpr DWORD kPersistVersion = 0x00010000;  // 1.0

    // Argument index counts from the first declared parameter. Named
    // arguments are matched by the parameter ids the type library gives.
    // kPutValue picks the value of a property put.
    static constexpr UINT kPutValue = ~0u;
    static HRESULT GetArg(DISPPARAMS* params, UINT index, VARTYPE type, VARIANT* out, UINT* argErr);
    static HRESULT GetStringArg(DISPPARAMS* params, UINT index, std::string* out, UINT* argErr);
    static HRESULT GetLongArg(DISPPARAMS* params, UINT index, LONG* out, UINT* argErr);
    static HRESULT GetBoolArg(DISPPARAMS* params, UINT index, bool* out, UINT* argErr);
    // For by-reference BSTR parameters: the address of the caller's BSTR,
    // whichever way the caller packed it.
    static HRESULT GetBstrRefArg(DISPPARAMS* params, UINT index, BSTR** out, BSTR* byValue, UINT* argErr);
    static void SetBoolResult(VARIANT* result, bool value);

    void DestroyControlWindow();
    // Out of the container into a hidden top-level window of our own.
    void ParkControlWindow();

private:
    friend bool RegisterControlWindowClass();
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HRESULT InPlaceActivate(LONG verb);
    HRESULT RunVerb(LONG verb, IOleClientSite* site, HWND parent);
    HRESULT DeactivateInPlace();
    HRESULT ShowPropertyPages(HWND parent);
    static const VARIANT* PickArg(DISPPARAMS* params, UINT index);

    std::atomic<ULONG> refs_{1};
    const ControlIdentity& identity_;
    CConnectionPoint events_;
    HWND hwnd_ = nullptr;
    bool ownsTopLevelWindow_ = false;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool dirty_ = false;
    bool finalReleasing_ = false;
    SIZEL extent_{2540, 2540};  // HIMETRIC, one inch
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> docWindow_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdviseFlags_ = 0;
};

}  // namespace tesra::win
