#include "control/tesra_ctrl.h"

#include <cstring>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "control/app.h"
#include "control/guids.h"
#include "control/memo_defaults.h"
#include "res/resource.h"
#include "sync/login.h"
#include "win/registry.h"

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

std::int32_t NowSeconds32() { return static_cast<std::int32_t>(tesra::fs::NowSeconds()); }

}  // namespace

tesra::win::Font& CaptionFont() {
    static tesra::win::Font font;
    return font;
}

CTesraCtrl::CTesraCtrl() : COleControl(kIdentity) { ResetMemoDefaults(); }

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
    const std::int32_t now = NowSeconds32();
    m_showMemoDlg = show ? 1 : 0;
    if (show && now - m_lastStartUp > 10) {
        // The start-up sequence (login, index download, memo windows) runs
        // here once the memo manager has it; until then nothing is loaded
        // and the control stays in its not-loaded state.
    }
    ShowAllMemos(m_showMemoDlg != 0);
    SetModifiedFlag();
}

void CTesraCtrl::ShowAllMemos(bool show) {
    m_showMemoDlg = show ? 1 : 0;
    if (!m_loaded) return;
}

void CTesraCtrl::StoreConnection(const std::string& server, long port, const std::string& userId,
                                 const std::string& password) {
    m_server = server;
    m_port = static_cast<std::uint16_t>(port & 0xFFFF);
    m_userId = userId;
    m_password = password;
}

bool CTesraCtrl::FtpConnection(const std::string& server, long port, const std::string& userId,
                               const std::string& password) {
    StoreConnection(server, port, userId, password);
    // Its outcome is never examined: an unusable session shows at the next
    // request, and the start-up then tries the agent.
    tesra::LoginByScript(*this, m_userId, m_password);
    if (HWND h = EnsureWindow()) {
        if (m_sessionTimer) ::KillTimer(h, m_sessionTimer);
        m_sessionTimer = ::SetTimer(h, kSessionTimer, kSessionPeriodMs, nullptr);
    }
    return true;
}

void CTesraCtrl::ChageFtpConnection(const std::string& server, long port, const std::string& userId,
                                    const std::string& password) {
    StoreConnection(server, port, userId, password);
}

bool CTesraCtrl::ReceiveMemoData(BSTR* data) {
    if (!m_loaded) return false;
    // The BSTR carries the text's multibyte bytes; the text ends at its
    // first NUL. New memos with text come with the memo windows.
    const char* bytes = data && *data ? reinterpret_cast<const char*>(*data) : "";
    const std::string text(bytes, ::strnlen(bytes, ::SysStringByteLen(data ? *data : nullptr)));
    (void)text;
    return true;
}

bool CTesraCtrl::IsMemoFileExists(const std::string& name) {
    // The name comes from the host; it may only name a folder inside ours.
    if (!tesra::fs::IsSafeFileName(name)) return false;
    const std::string pattern = tesra::Format("%s\\%s\\*.dat", GetUserFolder().c_str(), name.c_str());
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return true;
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

std::string CTesraCtrl::GetUserFolder() {
    const std::string& root = TheApp().dataRoot();
    const int at = tesra::FindFrom(m_userId, "@", 0);
    const std::string local = at < 0 ? std::string() : m_userId.substr(0, static_cast<std::size_t>(at));
    const std::string folder = local.empty() ? root : tesra::Format("%s\\%s", root.c_str(), local.c_str());
    if (!tesra::fs::Stat(folder)) ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// ---- window ----

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
        return OnCopyData(reinterpret_cast<HWND>(wp), reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case WM_MEMO_CHANGED:
        SyncAllMemos(false);
        return 1;
    case WM_SETTINGS_CHANGED:
        // Uploading the defaults comes with the server synchronisation.
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

    m_minuteTimer = ::SetTimer(hwnd(), kMinuteTimer, kMinutePeriodMs, nullptr);
    return 0;
}

void CTesraCtrl::OnDestroy() {
    if (m_minuteTimer) ::KillTimer(hwnd(), m_minuteTimer);
    if (m_sessionTimer) ::KillTimer(hwnd(), m_sessionTimer);
    m_minuteTimer = 0;
    m_sessionTimer = 0;
    SyncAllMemos(true);
    DestroyAllMemos();
    CaptionFont().Reset();
}

void CTesraCtrl::OnTimer(UINT_PTR id) {
    if (id == m_removeTimer && id != 0) {
        ::KillTimer(hwnd(), m_removeTimer);
        m_removeTimer = 0;
    } else if (id == m_sessionTimer && id != 0) {
        RefreshSession();
    } else if (id == m_minuteTimer && id != 0) {
        // Alarms and property uploads come with the memo windows.
    }
}

void CTesraCtrl::RefreshSession() {
    if (m_userId.empty() || m_password.empty()) return;
    const std::string cookie = tesra::LoginByAgent(*this, m_userId, m_password);
    if (!cookie.empty())
        m_http.SetCookie(cookie);
    else
        tesra::LoginByScript(*this, m_userId, m_password);
}

// ---- what the synchronisation flows use ----

tesra::NewMemoDefaults CTesraCtrl::Defaults() {
    const MemoDefaultsData& d = MemoDefaults();
    tesra::NewMemoDefaults out;
    out.background = d.background;
    out.width = d.width;
    out.height = d.height;
    out.font.textColor = d.textColour;
    out.font.font = d.font;
    return out;
}

std::string CTesraCtrl::Preference(const char* name) const {
    std::string value;
    tesra::win::RegKey::Open(HKEY_CURRENT_USER, kPreferenceKey).GetString(name, &value);
    return value;
}

std::string CTesraCtrl::MemoServerHost() {
    return tesra::ResolveServerHost(tesra::kMemoServerVariable, Preference("MemoServer"));
}

std::string CTesraCtrl::LoginServerHost() {
    return tesra::ResolveServerHost(tesra::kLoginServerVariable, Preference("LoginServer"));
}

tesra::FtpConnectionValues CTesraCtrl::FtpConnection() {
    return {m_server, m_port, m_userId, m_password};
}

bool CTesraCtrl::AskYesNo(const std::string& text) {
    return ::MessageBoxA(hwnd(), text.c_str(), "", MB_YESNO) == IDYES;
}

void CTesraCtrl::ShowMessage(const std::string& text) { ::MessageBoxA(hwnd(), text.c_str(), "", MB_OK); }

int CTesraCtrl::RunStartUp() {
    // The start-up sequence arrives with the memo manager.
    return 0;
}

tesra::WindowHandle CTesraCtrl::MainWindow() {
    HWND window = hwnd();
    return window ? ::GetAncestor(window, GA_ROOTOWNER) : nullptr;
}

LRESULT CTesraCtrl::OnCopyData(HWND, const COPYDATASTRUCT* data) {
    if (!data) return 1;
    // The payload comes from any window on the desktop: copy exactly cbData
    // bytes, then end the text at its first NUL.
    std::string text;
    if (data->cbData && data->lpData) {
        const char* bytes = static_cast<const char*>(data->lpData);
        text.assign(bytes, ::strnlen(bytes, data->cbData));
    }
    switch (data->dwData) {
    case 302:
        // Receiving a memo file arrives with the server synchronisation;
        // until then nothing is received.
        return 0;
    case 300:
    case 301:
    case 303:
    case 304:
        // Their work arrives with the memo index and the server
        // synchronisation; each already answers as handled.
        return 1;
    default:
        return 1;
    }
}

void CTesraCtrl::SyncAllMemos(bool) {
    if (!m_loaded) return;
}

int CTesraCtrl::DestroyAllMemos() { return 0; }
