#include "control/tesra_ctrl.h"

#include <cstring>

#include "base/fs.h"
#include "base/text.h"
#include "base/window_messages.h"
#include "control/app.h"
#include "control/guids.h"
#include "res/resource.h"
#include "sync/command.h"
#include "win/window.h"

namespace {

const tesra::win::ControlIdentity kIdentity{&CLSID_Tesra,          &DIID__DTesra, &DIID__DTesraEvents,
                                            &CLSID_TesraPropPage, kControlMiscStatus, IDS_TESRA};

enum DispId : DISPID {
    kShowMemoDlg = 1,
    kFtpConnection = 2,
    kChageFtpConnection = 3,
    kReceiveMemoData = 4,
    kIsMemoFileExists = 5,
};

constexpr DISPID kSendMemoData = 1;

}  // namespace

tesra::win::Font& CaptionFont() {
    static tesra::win::Font font;
    return font;
}

CTesraCtrl::CTesraCtrl()
    : COleControl(kIdentity), m_services([this] { return hwnd(); }), m_manager(*this, m_services) {}

// ---- automation ----

HRESULT CTesraCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
    HRESULT hr = S_OK;
    switch (id) {
    case kShowMemoDlg:
        if (flags & DISPATCH_PROPERTYGET) {
            SetBoolResult(result, GetShowMemoDlg());
            return S_OK;
        }
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            bool show = false;
            if (FAILED(hr = GetBoolArg(params, kPutValue, &show, argErr))) return hr;
            SetShowMemoDlg(show);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    case kFtpConnection:
    case kChageFtpConnection: {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        std::string server, user, password;
        LONG port = 0;
        if (FAILED(hr = GetStringArg(params, 0, &server, argErr)) || FAILED(hr = GetLongArg(params, 1, &port, argErr)) ||
            FAILED(hr = GetStringArg(params, 2, &user, argErr)) ||
            FAILED(hr = GetStringArg(params, 3, &password, argErr)))
            return hr;
        if (id == kFtpConnection) {
            SetBoolResult(result, FtpConnection(server, port, user, password));
        } else {
            ChageFtpConnection(server, port, user, password);
            if (result) ::VariantInit(result);
        }
        return S_OK;
    }
    case kReceiveMemoData: {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        BSTR* data = nullptr;
        BSTR byValue = nullptr;
        if (FAILED(hr = GetBstrRefArg(params, 0, &data, &byValue, argErr))) return hr;
        SetBoolResult(result, ReceiveMemoData(data));
        return S_OK;
    }
    case kIsMemoFileExists: {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        std::string name;
        if (FAILED(hr = GetStringArg(params, 0, &name, argErr))) return hr;
        SetBoolResult(result, IsMemoFileExists(name));
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

void CTesraCtrl::SetShowMemoDlg(bool show) {
    m_manager.SetShowMemoDlg(show);
    SetModifiedFlag();
}

bool CTesraCtrl::FtpConnection(const std::string& server, long port, const std::string& userId,
                               const std::string& password) {
    m_manager.SetConnection(server, port, userId, password, true);
    return true;
}

void CTesraCtrl::ChageFtpConnection(const std::string& server, long port, const std::string& userId,
                                    const std::string& password) {
    m_manager.SetConnection(server, port, userId, password, false);
}

bool CTesraCtrl::ReceiveMemoData(BSTR* data) {
    // The BSTR carries the text's multibyte bytes; the text ends at its
    // first NUL.
    const char* bytes = data && *data ? reinterpret_cast<const char*>(*data) : "";
    return m_manager.ReceiveText(std::string(bytes, ::strnlen(bytes, ::SysStringByteLen(data ? *data : nullptr))));
}

bool CTesraCtrl::IsMemoFileExists(const std::string& name) {
    // The name comes from the host; it may only name a folder inside ours.
    if (!tesra::fs::IsSafeFileName(name)) return false;
    return tesra::fs::AnyFileMatching(tesra::fs::JoinPath(m_services.UserFolder(), name), "*.dat").value_or(false);
}

void CTesraCtrl::FireSendMemoData(const std::string& text) {
    BSTR data = ::SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size()));
    VARIANT arg;
    ::VariantInit(&arg);
    V_VT(&arg) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&arg) = &data;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    FireEvent(kSendMemoData, &params);
    // A handler may have replaced the string; what the reference holds now is ours to free.
    ::SysFreeString(data);
}

// ---- window and timers ----

LRESULT CTesraCtrl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_TIMER:
        OnTimer(wp);
        break;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case tesra::kMemoChangedMessage:
        m_manager.SyncAllMemos(false);
        return 1;
    case tesra::kSettingsChangedMessage:
        m_manager.SettingsChanged();
        return 1;
    default:
        break;
    }
    return COleControl::WindowProc(msg, wp, lp);
}

int CTesraCtrl::OnCreate() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(tesra::win::ModuleInstance(), path, MAX_PATH);
    std::string module(path, n);
    // The last "\" by characters: a trail byte is never taken for one.
    int last = -1;
    for (int i = tesra::FindFrom(module, "\\", 0); i >= 0; i = tesra::FindFrom(module, "\\", i + 1)) last = i;
    std::string folder;
    if (last >= 0) {
        folder = module.substr(0, static_cast<std::size_t>(last));
    } else {
        char cwd[MAX_PATH + 1] = {};
        folder.assign(cwd, ::GetCurrentDirectoryA(MAX_PATH, cwd));
    }
    TheApp().SetFolders(folder, tesra::Format("%s%s", folder.c_str(), "\\tesra"));
    ::CreateDirectoryA(TheApp().dataRoot().c_str(), nullptr);

    LOGFONTA lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = HANGEUL_CHARSET;
    lf.lfOutPrecision = OUT_STROKE_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = DRAFT_QUALITY;
    lf.lfPitchAndFamily = 50;
    std::strcpy(lf.lfFaceName, "\xB1\xBC\xB8\xB2");  // 굴림
    CaptionFont().Reset(::CreateFontIndirectA(&lf));

    m_manager.Open();
    m_minuteTimer = ::SetTimer(hwnd(), kMinuteTimer, kMinutePeriodMs, nullptr);
    return 0;
}

void CTesraCtrl::OnDestroy() {
    HWND h = hwnd();
    for (UINT_PTR* timer : {&m_minuteTimer, &m_sessionTimer, &m_removeTimer}) {
        if (*timer) ::KillTimer(h, *timer);
        *timer = 0;
    }
    m_manager.Close();
    CaptionFont().Reset();
}

void CTesraCtrl::OnTimer(UINT_PTR id) {
    if (id == m_removeTimer && id != 0) {
        // Removing a window under a running pass over the registry would
        // shift it; the tick comes again.
        if (m_manager.busy()) return;
        ::KillTimer(hwnd(), m_removeTimer);
        m_removeTimer = 0;
        m_manager.RemoveScheduled();
    } else if (id == m_sessionTimer && id != 0) {
        m_manager.RefreshSession();
    } else if (id == m_minuteTimer && id != 0) {
        m_manager.MinuteTick();
    }
}

void CTesraCtrl::StartRemoveTimer() {
    if (HWND h = hwnd()) m_removeTimer = ::SetTimer(h, kRemoveTimer, kRemovePeriodMs, nullptr);
}

void CTesraCtrl::RestartSessionTimer() {
    if (HWND h = EnsureWindow()) {
        if (m_sessionTimer) ::KillTimer(h, m_sessionTimer);
        m_sessionTimer = ::SetTimer(h, kSessionTimer, kSessionPeriodMs, nullptr);
    }
}

LRESULT CTesraCtrl::OnCopyData(const COPYDATASTRUCT* data) {
    if (!data) return 1;
    // The payload comes from any window on the desktop and is valid only
    // during this call; only a 302's bounded text is kept.
    const tesra::ChannelCommand command = tesra::ParseChannelCommand(
        data->dwData, static_cast<const char*>(data->lpData), data->lpData ? data->cbData : 0);
    if (command.refused) return 0;
    return m_manager.RunCommand(command.code, command.text);
}
