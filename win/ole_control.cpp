#include "win/ole_control.h"

#include <olectl.h>

#include <algorithm>
#include <new>

#include "win/window.h"

namespace tesra::win {
namespace {

constexpr char kWindowClass[] = "TesraControlWindow";

// One enumerator over a fixed list of connection points.
class CEnumConnectionPoints final : public IEnumConnectionPoints {
public:
    CEnumConnectionPoints(std::vector<ComPtr<IConnectionPoint>> points, std::size_t pos)
        : points_(std::move(points)), pos_(pos) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumConnectionPoints) {
            *out = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < points_.size(); ++n, ++pos_) {
            out[n] = points_[pos_].get();
            out[n]->AddRef();
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        pos_ = std::min<std::size_t>(points_.size(), pos_ + count);
        return pos_ < points_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return GuardCom([&] {
            *out = new CEnumConnectionPoints(points_, pos_);
            return S_OK;
        });
    }

private:
    ~CEnumConnectionPoints() = default;
    std::atomic<ULONG> refs_{1};
    std::vector<ComPtr<IConnectionPoint>> points_;
    std::size_t pos_;
};

LPOLESTR CoTaskString(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* out = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (out) std::copy(text.c_str(), text.c_str() + text.size() + 1, out);
    return out;
}

}  // namespace

// ---- connection point ----

STDMETHODIMP CConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) CConnectionPoint::AddRef() { return owner_.AddRef(); }
STDMETHODIMP_(ULONG) CConnectionPoint::Release() { return owner_.Release(); }

STDMETHODIMP CConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = static_cast<IConnectionPointContainer*>(&owner_);
    (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // Script engines' sinks answer only IDispatch for some hosts.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(dispatch.Out()))) || !dispatch)
        if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Out()))) || !dispatch)
            return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({nextCookie_, std::move(dispatch)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Unadvise(DWORD cookie) {
    const auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sinks_.erase(it);
    return S_OK;
}

STDMETHODIMP CConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

void CConnectionPoint::Fire(DISPID dispid, DISPPARAMS* params) {
    // A handler may unadvise, so call a snapshot that holds its own references.
    std::vector<ComPtr<IDispatch>> targets;
    for (const Sink& s : sinks_) targets.push_back(s.dispatch);
    for (const auto& t : targets) t->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr,
                                             nullptr, nullptr);
}

// ---- control ----

COleControl::COleControl(const ControlIdentity& identity)
    : identity_(identity), events_(*this, *identity.eventIid) {
    ObjectCreated();
}

COleControl::~COleControl() { ObjectDestroyed(); }

void COleControl::OnFinalRelease() { DestroyControlWindow(); }

STDMETHODIMP COleControl::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    void* p = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == *identity_.dispatchIid)
        p = static_cast<IDispatch*>(this);
    else if (iid == IID_IConnectionPointContainer)
        p = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        p = static_cast<IProvideClassInfo2*>(this);
    else if (iid == IID_IOleObject)
        p = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        p = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject)
        p = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IOleControl)
        p = static_cast<IOleControl*>(this);
    else if (iid == IID_IViewObject || iid == IID_IViewObject2)
        p = static_cast<IViewObject2*>(this);
    else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        p = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IPersistPropertyBag)
        p = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IID_ISpecifyPropertyPages)
        p = static_cast<ISpecifyPropertyPages*>(this);
    *out = p;
    if (!p) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) COleControl::Release() {
    const ULONG n = --refs_;
    if (n == 0 && !finalReleasing_) {
        // Window destruction may hand out and drop references again; keep
        // the object alive through it and delete it once.
        finalReleasing_ = true;
        refs_ = 1;
        OnFinalRelease();
        events_.Clear();
        site_.Reset();
        inPlaceSite_.Reset();
        frame_.Reset();
        docWindow_.Reset();
        adviseHolder_.Reset();
        viewSink_.Reset();
        delete this;
    }
    return n;
}

HRESULT COleControl::LoadModuleTypeLib(ITypeLib** out) {
    if (!out) return E_POINTER;
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return E_FAIL;
    return ::LoadTypeLibEx(path, REGKIND_NONE, out);
}

// ---- IDispatch ----

STDMETHODIMP COleControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COleControl::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadModuleTypeLib(lib.Out());
    return FAILED(hr) ? hr : lib->GetTypeInfoOfGuid(*identity_.dispatchIid, out);
}

STDMETHODIMP COleControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return GuardCom([&] {
        ComPtr<ITypeInfo> info;
        const HRESULT hr = GetTypeInfo(0, lcid, info.Out());
        return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
    });
}

STDMETHODIMP COleControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT* argErr) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    // A method may pump messages, and the caller may let go of us in one:
    // the object stays whole until the method has returned.
    AddRef();
    const HRESULT hr = GuardCom([&] {
        // A script host may call before any container gave us a window.
        EnsureWindow();
        return InvokeMember(id, flags, params, result, argErr);
    });
    Release();
    return hr;
}

const VARIANT* COleControl::PickArg(DISPPARAMS* params, UINT index) {
    if (index == kPutValue) {
        for (UINT i = 0; i < params->cNamedArgs; ++i)
            if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) return &params->rgvarg[i];
        return params->cArgs ? &params->rgvarg[0] : nullptr;
    }
    for (UINT i = 0; i < params->cNamedArgs; ++i)
        if (params->rgdispidNamedArgs[i] == static_cast<DISPID>(index)) return &params->rgvarg[i];
    const UINT positional = params->cArgs - params->cNamedArgs;
    if (index < positional) return &params->rgvarg[params->cArgs - 1 - index];
    return nullptr;
}

HRESULT COleControl::GetArg(DISPPARAMS* params, UINT index, VARTYPE type, VARIANT* out, UINT* argErr) {
    const VARIANT* in = PickArg(params, index);
    if (!in) return DISP_E_PARAMNOTFOUND;
    // Arguments by reference (script variables) are read through.
    Variant direct;
    HRESULT hr = ::VariantCopyInd(direct.get(), const_cast<VARIANT*>(in));
    if (SUCCEEDED(hr)) hr = ::VariantChangeType(out, direct.get(), 0, type);
    if (FAILED(hr)) {
        // COM's puArgErr: the argument's index in rgvarg, which holds the
        // arguments last to first.
        if (argErr) *argErr = static_cast<UINT>(in - params->rgvarg);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT COleControl::GetStringArg(DISPPARAMS* params, UINT index, std::string* out, UINT* argErr) {
    Variant v;
    const HRESULT hr = GetArg(params, index, VT_BSTR, v.get(), argErr);
    if (SUCCEEDED(hr)) *out = NarrowFromBstr(v.get()->bstrVal);
    return hr;
}

HRESULT COleControl::GetLongArg(DISPPARAMS* params, UINT index, LONG* out, UINT* argErr) {
    Variant v;
    const HRESULT hr = GetArg(params, index, VT_I4, v.get(), argErr);
    if (SUCCEEDED(hr)) *out = v.get()->lVal;
    return hr;
}

HRESULT COleControl::GetBoolArg(DISPPARAMS* params, UINT index, bool* out, UINT* argErr) {
    Variant v;
    const HRESULT hr = GetArg(params, index, VT_BOOL, v.get(), argErr);
    if (SUCCEEDED(hr)) *out = v.get()->boolVal != VARIANT_FALSE;
    return hr;
}

HRESULT COleControl::GetBstrRefArg(DISPPARAMS* params, UINT index, BSTR** out, BSTR* byValue, UINT* argErr) {
    const VARIANT* in = PickArg(params, index);
    if (!in) return DISP_E_PARAMNOTFOUND;
    const VARIANT* v = in;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    if (V_VT(v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(v)) {
        *out = V_BSTRREF(v);
        return S_OK;
    }
    if (V_VT(v) == VT_BSTR) {
        // A string passed by value: read its own BSTR in place.
        *byValue = V_BSTR(v);
        *out = byValue;
        return S_OK;
    }
    if (argErr) *argErr = static_cast<UINT>(in - params->rgvarg);
    return DISP_E_TYPEMISMATCH;
}

void COleControl::SetBoolResult(VARIANT* result, bool value) {
    if (!result) return;
    ::VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// ---- connection points ----

STDMETHODIMP COleControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return GuardCom([&] {
        std::vector<ComPtr<IConnectionPoint>> points{ComPtr<IConnectionPoint>::Share(&events_)};
        *out = new CEnumConnectionPoints(std::move(points), 0);
        return S_OK;
    });
}

STDMETHODIMP COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != *identity_.eventIid) return CONNECT_E_NOCONNECTION;
    *out = &events_;
    events_.AddRef();
    return S_OK;
}

// ---- IProvideClassInfo2 ----

STDMETHODIMP COleControl::GetClassInfo(ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadModuleTypeLib(lib.Out());
    return FAILED(hr) ? hr : lib->GetTypeInfoOfGuid(*identity_.clsid, out);
}

STDMETHODIMP COleControl::GetGUID(DWORD kind, GUID* out) {
    if (!out) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *out = GUID_NULL;
        return E_INVALIDARG;
    }
    *out = *identity_.eventIid;
    return S_OK;
}

// ---- IOleObject ----

STDMETHODIMP COleControl::SetClientSite(IOleClientSite* site) {
    site_ = ComPtr<IOleClientSite>::Share(site);
    return S_OK;
}

STDMETHODIMP COleControl::GetClientSite(IOleClientSite** out) {
    if (!out) return E_POINTER;
    *out = site_.get();
    if (*out) (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP COleControl::Close(DWORD) {
    return GuardCom([&] {
        InPlaceDeactivate();
        DestroyControlWindow();
        if (adviseHolder_) adviseHolder_->SendOnClose();
        return S_OK;
    });
}

STDMETHODIMP COleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP COleControl::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControl::GetClipboardData(DWORD, IDataObject** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT) {
    return GuardCom([&] { return RunVerb(verb, site, parent); });
}

HRESULT COleControl::RunVerb(LONG verb, IOleClientSite* site, HWND parent) {
    if (site && !site_) site_ = ComPtr<IOleClientSite>::Share(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES:
        return ShowPropertyPages(parent);
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP COleControl::EnumVerbs(IEnumOLEVERB** out) { return ::OleRegEnumVerbs(*identity_.clsid, out); }
STDMETHODIMP COleControl::Update() { return S_OK; }
STDMETHODIMP COleControl::IsUpToDate() { return S_OK; }

STDMETHODIMP COleControl::GetUserClassID(CLSID* out) {
    if (!out) return E_POINTER;
    *out = *identity_.clsid;
    return S_OK;
}

STDMETHODIMP COleControl::GetUserType(DWORD, LPOLESTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return GuardCom([&] {
        char name[128] = {};
        ::LoadStringA(ModuleInstance(), identity_.typeNameId, name, sizeof name);
        *out = CoTaskString(WideFromAnsi(name));
        return *out ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP COleControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP COleControl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!adviseHolder_) {
        const HRESULT hr = ::CreateOleAdviseHolder(adviseHolder_.Out());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP COleControl::Unadvise(DWORD cookie) {
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP COleControl::EnumAdvise(IEnumSTATDATA** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(out) : S_OK;
}

STDMETHODIMP COleControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = identity_.miscStatus;
    return S_OK;
}

STDMETHODIMP COleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- in-place activation ----

HRESULT COleControl::InPlaceActivate(LONG verb) {
    if (!site_) return E_UNEXPECTED;
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSite> ips = site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
        if (!ips) return E_NOINTERFACE;
        if (ips->CanInPlaceActivate() != S_OK) return E_FAIL;
        ips->OnInPlaceActivate();
        inPlaceSite_ = std::move(ips);
        inPlaceActive_ = true;
    }
    HWND parent = nullptr;
    if (FAILED(inPlaceSite_->GetWindow(&parent)) || !parent) return E_FAIL;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    inPlaceSite_->GetWindowContext(frame_.Out(), docWindow_.Out(), &pos, &clip, &frameInfo);

    if (!hwnd_) {
        if (!RegisterControlWindowClass()) return E_FAIL;
        hwnd_ = ::CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left, pos.top,
                                  pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, ModuleInstance(), this);
        if (!hwnd_) return E_FAIL;
    } else {
        // The hidden window of a container-less start moves into the container.
        if (ownsTopLevelWindow_) {
            ::SetWindowLongPtrA(hwnd_, GWL_STYLE, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
            ::SetParent(hwnd_, parent);
            ownsTopLevelWindow_ = false;
        }
        ::MoveWindow(hwnd_, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, TRUE);
        ::ShowWindow(hwnd_, SW_SHOWNA);
    }
    if ((verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (frame_) frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        if (docWindow_) docWindow_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = hwnd_;
    return hwnd_ ? S_OK : E_FAIL;
}

STDMETHODIMP COleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControl::InPlaceDeactivate() {
    return GuardCom([&] { return DeactivateInPlace(); });
}

HRESULT COleControl::DeactivateInPlace() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    // The window holds the timers, receives the commands and owns the memo
    // windows for the life of the object: it leaves the container hidden
    // and goes only with the object's close.
    ParkControlWindow();
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    frame_.Reset();
    docWindow_.Reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP COleControl::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (docWindow_) docWindow_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP COleControl::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos) return E_POINTER;
    if (hwnd_ && !ownsTopLevelWindow_)
        ::MoveWindow(hwnd_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
    return S_OK;
}

STDMETHODIMP COleControl::ReactivateAndUndo() { return E_NOTIMPL; }

STDMETHODIMP COleControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP COleControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP COleControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP COleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP COleControl::EnableModeless(BOOL) { return S_OK; }

// ---- IOleControl ----

STDMETHODIMP COleControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof *info;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}
STDMETHODIMP COleControl::OnMnemonic(MSG*) { return S_OK; }
STDMETHODIMP COleControl::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP COleControl::FreezeEvents(BOOL) { return S_OK; }

// ---- IViewObject2: the control has no face ----

STDMETHODIMP COleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc, LPCRECTL, LPCRECTL,
                               BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return drawDc ? S_OK : E_INVALIDARG;
}

STDMETHODIMP COleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP COleControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}
STDMETHODIMP COleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = ComPtr<IAdviseSink>::Share(sink);
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    return S_OK;
}

STDMETHODIMP COleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewAdviseFlags_;
    if (sink) {
        *sink = viewSink_.get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---- persistence: the version only ----

STDMETHODIMP COleControl::GetClassID(CLSID* out) {
    if (!out) return E_POINTER;
    *out = *identity_.clsid;
    return S_OK;
}

STDMETHODIMP COleControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP COleControl::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    DWORD version = 0;
    ULONG read = 0;
    // Any saved version is accepted and converted; nothing else is stored.
    const HRESULT hr = stream->Read(&version, sizeof version, &read);
    return FAILED(hr) ? hr : S_OK;
}

STDMETHODIMP COleControl::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    const DWORD version = kPersistVersion;
    const HRESULT hr = stream->Write(&version, sizeof version, nullptr);
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
}

STDMETHODIMP COleControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = sizeof(DWORD);
    return S_OK;
}

STDMETHODIMP COleControl::InitNew() { return S_OK; }

STDMETHODIMP COleControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    Variant v;
    V_VT(v.get()) = VT_I4;
    bag->Read(L"_Version", v.get(), log);  // optional
    return S_OK;
}

STDMETHODIMP COleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    Variant v;
    V_VT(v.get()) = VT_I4;
    V_I4(v.get()) = static_cast<LONG>(kPersistVersion);
    const HRESULT hr = bag->Write(L"_Version", v.get());
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
}

// ---- property pages ----

STDMETHODIMP COleControl::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = *identity_.propPageClsid;
    return S_OK;
}

HRESULT COleControl::ShowPropertyPages(HWND parent) {
    IUnknown* self = static_cast<IDispatch*>(this);
    CLSID page = *identity_.propPageClsid;
    wchar_t caption[128] = {};
    char name[128] = {};
    ::LoadStringA(ModuleInstance(), identity_.typeNameId, name, sizeof name);
    const std::wstring wide = WideFromAnsi(name);
    wide.copy(caption, std::size(caption) - 1);
    return ::OleCreatePropertyFrame(parent ? parent : hwnd_, 0, 0, caption, 1, &self, 1, &page,
                                    LOCALE_USER_DEFAULT, 0, nullptr);
}

// ---- the window ----

HWND COleControl::EnsureWindow() {
    if (hwnd_) return hwnd_;
    // Not in a container: a hidden top-level window of our own.
    if (!RegisterControlWindowClass()) return nullptr;
    hwnd_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              ModuleInstance(), this);
    ownsTopLevelWindow_ = hwnd_ != nullptr;
    return hwnd_;
}

void COleControl::ParkControlWindow() {
    if (!hwnd_ || ownsTopLevelWindow_) return;
    ::ShowWindow(hwnd_, SW_HIDE);
    ::SetParent(hwnd_, nullptr);
    ::SetWindowLongPtrA(hwnd_, GWL_STYLE, WS_POPUP);
    ::SetWindowLongPtrA(hwnd_, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    ownsTopLevelWindow_ = true;
}

void COleControl::DestroyControlWindow() {
    if (HWND h = hwnd_) {
        ::DestroyWindow(h);  // WM_DESTROY and WM_NCDESTROY clear hwnd_
        hwnd_ = nullptr;
        ownsTopLevelWindow_ = false;
    }
}

LRESULT COleControl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcA(hwnd_, msg, wp, lp); }

LRESULT CALLBACK COleControl::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // The object stays alive while its window procedure runs.
    struct Reference {
        explicit Reference(COleControl* c) : control(c) { control->AddRef(); }
        Reference(const Reference&) = delete;
        Reference& operator=(const Reference&) = delete;
        ~Reference() { control->Release(); }
        COleControl* control;
    };
    auto* created = msg == WM_NCCREATE
                        ? static_cast<COleControl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams)
                        : nullptr;
    const std::optional<LRESULT> r = DispatchToObject<Reference>(
        hwnd, msg, GWLP_USERDATA, created, &COleControl::hwnd_,
        [&](COleControl* self) { return GuardWindowProc(msg, [&] { return self->WindowProc(msg, wp, lp); }); });
    return r ? *r : ::DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterControlWindowClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &COleControl::StaticWindowProc;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kWindowClass;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    return RegisterModuleClass(wc);
}

}  // namespace tesra::win
