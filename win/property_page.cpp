#include "win/property_page.h"

#include <algorithm>

namespace tesra::win {

CPropertyPage::CPropertyPage(UINT dialogId, UINT captionId) : dialogId_(dialogId), captionId_(captionId) {
    ObjectCreated();
}

CPropertyPage::~CPropertyPage() {
    if (dialog_) ::DestroyWindow(dialog_);
    ObjectDestroyed();
}

STDMETHODIMP CPropertyPage::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPropertyPage) {
        *out = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CPropertyPage::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) CPropertyPage::Release() {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CPropertyPage::SetPageSite(IPropertyPageSite* site) {
    site_ = ComPtr<IPropertyPageSite>::Share(site);
    return S_OK;
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND, UINT msg, WPARAM, LPARAM) {
    // The page edits nothing; focus goes to the first control as usual.
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

STDMETHODIMP CPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (dialog_) return E_UNEXPECTED;
    dialog_ = ::CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(dialogId_), parent, &DialogProc, 0);
    if (!dialog_) return E_OUTOFMEMORY;
    if (rect) Move(rect);
    return S_OK;
}

STDMETHODIMP CPropertyPage::Deactivate() {
    if (dialog_) ::DestroyWindow(dialog_);
    dialog_ = nullptr;
    return S_OK;
}

STDMETHODIMP CPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    return GuardCom([&] { return FillPageInfo(info); });
}

HRESULT CPropertyPage::FillPageInfo(PROPPAGEINFO* info) {
    char caption[128] = {};
    ::LoadStringA(ModuleInstance(), captionId_, caption, sizeof caption);
    const std::wstring wide = WideFromAnsi(caption);
    info->cb = sizeof *info;
    info->pszTitle = static_cast<LPOLESTR>(::CoTaskMemAlloc((wide.size() + 1) * sizeof(wchar_t)));
    if (!info->pszTitle) return E_OUTOFMEMORY;
    std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, info->pszTitle);
    // The size the template takes in pixels: make it once, hidden, and measure.
    info->size = {0, 0};
    if (HWND probe = ::CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(dialogId_), ::GetDesktopWindow(),
                                          &DialogProc, 0)) {
        RECT r{};
        ::GetWindowRect(probe, &r);
        info->size = {r.right - r.left, r.bottom - r.top};
        ::DestroyWindow(probe);
    }
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count && !objects) return E_POINTER;
    return GuardCom([&] {
        objects_.clear();
        for (ULONG i = 0; i < count; ++i) objects_.push_back(ComPtr<IUnknown>::Share(objects[i]));
        return S_OK;
    });
}

STDMETHODIMP CPropertyPage::Show(UINT cmd) {
    if (!dialog_) return E_UNEXPECTED;
    ::ShowWindow(dialog_, static_cast<int>(cmd));
    return S_OK;
}

STDMETHODIMP CPropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!dialog_) return E_UNEXPECTED;
    ::MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CPropertyPage::IsPageDirty() { return S_FALSE; }
STDMETHODIMP CPropertyPage::Apply() { return S_OK; }
STDMETHODIMP CPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP CPropertyPage::TranslateAccelerator(MSG* msg) {
    return dialog_ && msg && ::IsDialogMessageA(dialog_, msg) ? S_OK : S_FALSE;
}

}  // namespace tesra::win
