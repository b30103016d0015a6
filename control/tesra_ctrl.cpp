#include "control/tesra_ctrl.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/fs.h"
#include "base/pump.h"
#include "base/text.h"
#include "control/app.h"
#include "control/guids.h"
#include "control/memo_defaults.h"
#include "memo/memo_dlg.h"
#include "memo/notice_dlg.h"
#include "net/worker.h"
#include "res/resource.h"
#include "storage/memo_index.h"
#include "sync/download.h"
#include "sync/login.h"
#include "sync/upload.h"
#include "win/handles.h"
#include "win/registry.h"
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

// A flow: work that waits for the network and so pumps messages. Work that
// arrives meanwhile is deferred and runs when the outermost flow ends.
class CTesraCtrl::FlowScope {
public:
    explicit FlowScope(CTesraCtrl& ctrl) : ctrl_(ctrl) { ++ctrl_.m_busy; }
    FlowScope(const FlowScope&) = delete;
    FlowScope& operator=(const FlowScope&) = delete;
    ~FlowScope() {
        if (--ctrl_.m_busy == 0) ctrl_.RunDeferred();
    }

private:
    CTesraCtrl& ctrl_;
};

CTesraCtrl::CTesraCtrl() : COleControl(kIdentity), m_newIds([this] { return Now(); }) { ResetMemoDefaults(); }

CTesraCtrl::~CTesraCtrl() {
    for (auto& memo : m_memos) CMemoDlg::Destroy(std::move(memo));
}

void CTesraCtrl::SetClock(Clock now) {
    m_now = std::move(now);
    m_newIds = tesra::CMemoIdMaker([this] { return Now(); });
    m_receivedIds = tesra::CMemoIdMaker([this] { return Now(); });
}

void CTesraCtrl::SetPeriods(const Periods& periods) {
    m_periods = periods;
    if (HWND h = hwnd()) {
        if (m_minuteTimer) m_minuteTimer = ::SetTimer(h, kMinuteTimer, m_periods.minuteMs, nullptr);
        if (m_sessionTimer) m_sessionTimer = ::SetTimer(h, kSessionTimer, m_periods.sessionMs, nullptr);
    }
}

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
    const std::int64_t now = Now();
    m_showMemoDlg = show ? 1 : 0;
    if (show && now - m_lastStartUp > 10 && !m_closing) {
        if (m_busy)
            Defer(Work::kStartUp);
        else
            StartUp();
    }
    ShowAllMemos(m_showMemoDlg != 0);
    SetModifiedFlag();
}

void CTesraCtrl::ShowAllMemos(bool show) {
    m_showMemoDlg = show ? 1 : 0;
    if (!m_loaded) return;
    if (show && m_memos.empty()) {
        // First run of a profile: Hancom Note's notes are offered once.
        if (TakeHncNoteFlag() == 0 || ImportHancomNotes(0) == 0) NewMemo(MemoDefaults().background);
        return;
    }
    if (show) {
        // A memo shown again is raised again, a move in the window system
        // for each: needed only when some other window came up over them.
        std::vector<HWND> windows;
        for (const auto& memo : m_memos) windows.push_back(memo->hwnd());
        if (tesra::win::ShownOnTop(windows)) return;
    }
    for (const auto& memo : m_memos) memo->Show(show);
}

void CTesraCtrl::StoreConnection(const std::string& server, long port, const std::string& userId,
                                 const std::string& password) {
    m_server = server;
    m_port = static_cast<std::uint16_t>(port & 0xFFFF);
    // The part before "@" names a folder of ours: an id that cannot be one
    // is refused whole, so nothing is ever stored or sent on its behalf.
    const int at = tesra::FindFrom(userId, "@", 0);
    const std::string local = at < 0 ? std::string() : userId.substr(0, static_cast<std::size_t>(at));
    if (!local.empty() && !tesra::fs::IsSafeFileName(local)) {
        m_userId.clear();
        m_password.clear();
        return;
    }
    m_userId = userId;
    m_password = password;
}

void CTesraCtrl::ApplyConnection(const Connection& c) {
    StoreConnection(c.server, c.port, c.userId, c.password);
    if (!c.login) return;
    {
        FlowScope flow(*this);
        // Its outcome is never examined: an unusable session shows at the
        // next request, and the start-up then tries the agent.
        tesra::LoginByScript(*this, m_userId, m_password);
    }
    if (HWND h = EnsureWindow()) {
        if (m_sessionTimer) ::KillTimer(h, m_sessionTimer);
        m_sessionTimer = ::SetTimer(h, kSessionTimer, m_periods.sessionMs, nullptr);
    }
}

bool CTesraCtrl::FtpConnection(const std::string& server, long port, const std::string& userId,
                               const std::string& password) {
    const Connection c{server, port, userId, password, true};
    if (m_busy) {
        // The user folder must not change under a running flow.
        m_deferredConnection = c;
        Defer(Work::kConnection);
    } else {
        ApplyConnection(c);
    }
    return true;
}

void CTesraCtrl::ChageFtpConnection(const std::string& server, long port, const std::string& userId,
                                    const std::string& password) {
    const Connection c{server, port, userId, password, false};
    if (m_busy) {
        const bool login = m_deferredConnection.login;
        m_deferredConnection = c;
        m_deferredConnection.login = login;
        Defer(Work::kConnection);
    } else {
        ApplyConnection(c);
    }
}

bool CTesraCtrl::ReceiveMemoData(BSTR* data) {
    if (!m_loaded) return false;
    // The BSTR carries the text's multibyte bytes; the text ends at its
    // first NUL.
    const char* bytes = data && *data ? reinterpret_cast<const char*>(*data) : "";
    const std::string text(bytes, ::strnlen(bytes, ::SysStringByteLen(data ? *data : nullptr)));
    NewMemoWithText(MemoDefaults().background, text);
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

// ---- memo windows ----

bool CTesraCtrl::IsMemoIdInUse(std::int32_t id) {
    const std::string key = tesra::MemoKey(id);
    for (const auto& memo : m_memos)
        if (memo->key() == key) return true;
    return m_previousIndex.FindSection(key) >= 0 || ISyncContext::IsMemoIdInUse(id);
}

std::vector<HWND> CTesraCtrl::RegisteredMemoWindows() {
    std::vector<HWND> windows;
    for (const auto& memo : m_memos)
        if (HWND w = memo->hwnd()) windows.push_back(w);
    return windows;
}

std::int32_t CTesraCtrl::MakeMemoId() {
    // One counter for both creators, and no id that a window, the index, a
    // data file or a received file already holds.
    std::int32_t id = m_newIds.Next();
    for (int tries = 0; tries < 100000 && IsMemoIdInUse(id); ++tries) id = m_newIds.Next();
    return id;
}

CMemoDlg* CTesraCtrl::MakeMemoWindow(int background, int minimised, const std::string& key) {
    HWND window = hwnd();
    if (!window || m_closing) return nullptr;
    auto memo = std::make_unique<CMemoDlg>(*this, background, minimised);
    memo->SetNotifyWindow(window);
    if (!key.empty()) memo->SetKey(key);
    if (!memo->Create(window)) return nullptr;
    m_memos.push_back(std::move(memo));
    return m_memos.back().get();
}

void CTesraCtrl::AddNewMemo(int background, const std::string* text) {
    const std::int32_t id = MakeMemoId();
    CMemoDlg* memo = MakeMemoWindow(background, 0);
    if (!memo) return;
    memo->SetKey(tesra::MemoKey(id));
    memo->SetDataPath(tesra::MemoDataPath(GetUserFolder(), id));
    memo->PlaceDefault();
    if (text) memo->SetMemoText(*text);
    memo->Show(true);
    if (text) memo->StartBlink(1, 0);
    memo->PlayMemoSound(4);
    ShowAllMemos(true);
}

void CTesraCtrl::NewMemo(int background) { AddNewMemo(background, nullptr); }

void CTesraCtrl::NewMemoWithText(int background, const std::string& text) { AddNewMemo(background, &text); }

int CTesraCtrl::RestoreMemo(const std::string& section) {
    int bg = 0;
    if (!m_index.GetInt(section, "bg", bg)) return 0;
    int min = 0;
    m_index.GetInt(section, "min", min);
    CMemoDlg* memo = MakeMemoWindow(bg, min, section);
    if (!memo) return 0;
    memo->SetDataPath(tesra::SectionDataPath(GetUserFolder(), section));
    if (!tesra::MemoTextReady(*this, m_previousIndex, section, memo->dataPath()) || m_closing) {
        RemoveMemo(memo);
        return 0;
    }
    // The font before the text: formatting an empty edit is cheap, and the
    // paragraphs the text brings take the tab stops of the first.
    memo->ApplyFont();
    memo->LoadMemoText();
    memo->RestorePlacement();
    std::int32_t alarm = 0;
    m_index.GetLong(section, "alarm", alarm);
    memo->m_alarmTime = alarm;
    m_index.GetString(section, "title", memo->m_title);
    if (m_showMemoDlg) memo->Show(true);
    return 1;
}

int CTesraCtrl::DestroyAllMemos() {
    const int count = static_cast<int>(m_memos.size());
    std::vector<std::unique_ptr<CMemoDlg>> memos = std::move(m_memos);
    m_memos.clear();
    m_pendingRemove.clear();
    for (auto& memo : memos) CMemoDlg::Destroy(std::move(memo));
    return count;
}

UINT_PTR CTesraCtrl::ScheduleRemove(CMemoDlg* memo) {
    if (memo && std::find(m_pendingRemove.begin(), m_pendingRemove.end(), memo) == m_pendingRemove.end())
        m_pendingRemove.push_back(memo);
    if (HWND h = hwnd()) m_removeTimer = ::SetTimer(h, kRemoveTimer, m_periods.removeMs, nullptr);
    return m_removeTimer;
}

void CTesraCtrl::RemoveMemo(CMemoDlg* memo) {
    for (auto it = m_memos.begin(); it != m_memos.end(); ++it) {
        if (it->get() != memo) continue;
        std::unique_ptr<CMemoDlg> owned = std::move(*it);
        m_memos.erase(it);
        std::erase(m_pendingRemove, memo);
        CMemoDlg::Destroy(std::move(owned));
        return;
    }
}

void CTesraCtrl::LoadDefaultFont() {
    MemoDefaultsData& d = MemoDefaults();
    std::string value;
    if (m_index.GetString("main", "font", value)) {
        tesra::MemoFont font;
        tesra::ParseFontString(value, font);
        d.textColour = font.textColor;
        d.font = font.font;
        return;
    }
    int ppi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        ppi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    d.textColour = 0;
    d.font = DefaultMemoFont(ppi);
}

// ---- the memo index ----

void CTesraCtrl::LoadMemoIndex() {
    tesra::LoadIndexFiles(GetUserFolder(), m_index, m_previousIndex);
    m_showMemoDlg = 1;
    MemoDefaultsData& d = MemoDefaults();
    d.background = 0;
    d.width = 200;
    d.height = 210;
    m_index.GetInt("main", "bg", d.background);
    m_index.GetInt("main", "defcx", d.width);
    m_index.GetInt("main", "defcy", d.height);
    if (d.sizeStep > 0) {
        d.width = d.width / d.sizeStep * d.sizeStep;
        d.height = d.height / d.sizeStep * d.sizeStep;
    }
    LoadDefaultFont();
}

// ---- start-up ----

std::unique_ptr<CNoticeDlg> CTesraCtrl::OpenNotice(const char* text) {
    auto notice = std::make_unique<CNoticeDlg>();
    notice->SetCustomText(text);
    if (!notice->Create(hwnd())) return notice;
    if (HWND h = notice->hwnd()) {
        ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    return notice;
}

// The screen's side of a start-up: the notice, the memo windows and the
// wait for the group's worker.
class CTesraCtrl::StartUpWindows final : public tesra::IStartUpWindows {
public:
    explicit StartUpWindows(CTesraCtrl& ctrl) : ctrl_(ctrl) {}
    void ShowNotice(const char* text) override {
        if (notice_) notice_->Close();
        notice_.reset();
        if (text) notice_ = ctrl_.OpenNotice(text);
    }
    void CreateGroup() override { ctrl_.RunGroupCreation(); }
    bool Closing() override { return ctrl_.m_closing; }
    void LoadIndex() override { ctrl_.LoadMemoIndex(); }
    tesra::CIniFile& PreviousIndex() override { return ctrl_.m_previousIndex; }
    void BeginMemos() override { wait_.emplace(); }  // once for all the memos' loads
    void OpenMemo(const std::string& section) override { ctrl_.RestoreMemo(section); }
    void EndMemos() override { wait_.reset(); }
    void Loaded() override { ctrl_.m_loaded = 1; }

private:
    CTesraCtrl& ctrl_;
    std::unique_ptr<CNoticeDlg> notice_;
    std::optional<tesra::win::WaitCursor> wait_;
};

void CTesraCtrl::WriteServerIndex(const std::string& text) {
    StartUpWindows windows(*this);
    tesra::WriteServerIndex(*this, windows, text);
}

void CTesraCtrl::OpenMemosInIndexText(const std::string& text) {
    StartUpWindows windows(*this);
    tesra::OpenMemosInIndexText(*this, windows, text);
}

int CTesraCtrl::RunStartUp() {
    // Asked for by an upload whose conflict the server's copy won: that
    // upload runs inside a pass over the windows the start-up would drop.
    if (m_busy) {
        if (!m_closing) Defer(Work::kStartUp);
        return 0;
    }
    return StartUp();
}

int CTesraCtrl::StartUp() {
    if (m_closing || !hwnd()) return 0;
    if (m_busy) {
        Defer(Work::kStartUp);
        return 0;
    }
    FlowScope flow(*this);
    m_lastStartUp = static_cast<std::int32_t>(Now());
    SyncAllMemosNow(false);
    DestroyAllMemos();
    m_previousIndex.Clear();
    m_index.Clear();
    // An index emptied here is no user's index: nothing may save it.
    m_previousIndex.SetModified(0);
    m_index.SetModified(0);
    m_loaded = 0;
    StartUpWindows windows(*this);
    return tesra::LoadMemosFromServer(*this, windows, m_userId, m_password);
}

int CTesraCtrl::RunGroupCreation() {
    m_worker = tesra::GroupWorkerParams{};
    m_worker.window = hwnd();
    m_worker.event = std::make_shared<tesra::WaitEvent>();
    const tesra::GroupWorkerParams params = m_worker;
    if (!tesra::net::StartWorker([params] { tesra::GroupSetupWorker(params); })) {
        m_worker.event.reset();
        return 1;
    }
    tesra::PumpLimits limits;
    limits.rounds = m_periods.groupRounds;
    limits.roundMs = 100;
    limits.quit = tesra::QuitRule::kMainWindowOnly;
    limits.mainWindow = MainWindow();
    // The worker's commands 301, 304 and 303 arrive inside this wait and
    // must run there, not wait for the start-up to end.
    m_groupCreation = true;
    const tesra::PumpResult r = tesra::WaitAndPump(*params.event, limits);
    m_groupCreation = false;
    m_worker.event.reset();
    return r == tesra::PumpResult::kQuit ? 0 : 1;
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
        if (m_busy) {
            Defer(Work::kSettings);
        } else {
            FlowScope flow(*this);
            tesra::UploadUserDefaults(*this);
        }
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

    m_closing = false;
    m_minuteTimer = ::SetTimer(hwnd(), kMinuteTimer, m_periods.minuteMs, nullptr);
    return 0;
}

void CTesraCtrl::OnDestroy() {
    // From here no start-up begins and no new window is made.
    m_closing = true;
    HWND h = hwnd();
    for (UINT_PTR* timer : {&m_minuteTimer, &m_sessionTimer, &m_removeTimer}) {
        if (*timer) ::KillTimer(h, *timer);
        *timer = 0;
    }
    // Windows owned by ours are gone already; the others go now. Either
    // way each saved its text and recorded what it saved.
    for (const auto& memo : m_memos)
        if (HWND w = memo->hwnd()) ::DestroyWindow(w);
    SyncAllMemosNow(true);
    // A flow that this destruction interrupted still holds windows of the
    // registry: they are freed when it has returned.
    if (m_busy)
        Defer(Work::kDestroyAll);
    else
        DestroyAllMemos();
    m_loaded = 0;
    CaptionFont().Reset();
}

void CTesraCtrl::OnTimer(UINT_PTR id) {
    if (id == m_removeTimer && id != 0) {
        // Removing a window under a running pass over the registry would
        // shift it; the tick comes again.
        if (m_busy) return;
        ::KillTimer(hwnd(), m_removeTimer);
        m_removeTimer = 0;
        const std::vector<CMemoDlg*> pending = std::move(m_pendingRemove);
        m_pendingRemove.clear();
        for (CMemoDlg* memo : pending) RemoveMemo(memo);
    } else if (id == m_sessionTimer && id != 0) {
        if (m_busy)
            Defer(Work::kSession);
        else
            RefreshSession();
    } else if (id == m_minuteTimer && id != 0) {
        MinuteTick();
    }
}

void CTesraCtrl::RefreshSession() {
    if (m_userId.empty() || m_password.empty()) return;
    FlowScope flow(*this);
    const std::string cookie = tesra::LoginByAgent(*this, m_userId, m_password);
    if (!cookie.empty())
        m_http.SetCookie(cookie);
    else
        tesra::LoginByScript(*this, m_userId, m_password);
}

void CTesraCtrl::MinuteTick() {
    if (m_busy) {
        Defer(Work::kMinute);
        return;
    }
    FlowScope flow(*this);
    const std::int64_t now = Now();
    for (std::size_t i = 0; i < m_memos.size(); ++i) {
        CMemoDlg* memo = m_memos[i].get();
        if (memo->m_alarmTime > 0 && memo->m_alarmTime <= now) {
            memo->StartBlink(1, 1);
            memo->Show(true);
        }
        const bool changed = memo->m_placementChanged || memo->m_propertiesChanged;
        if (changed) memo->SavePlacement();
        memo->m_propertiesChanged = 0;
        if (changed) tesra::UploadMemoProperties(*this, memo->key());
    }
    // Pending uploads need the loaded index: without it they would look like
    // memos deleted meanwhile.
    if (m_loaded) tesra::UploadPendingMemos(*this);
    tesra::SaveIndexIfModified(m_index, GetUserFolder());
}

// ---- deferred work ----

void CTesraCtrl::Defer(Work kind, std::string text) {
    if (kind != Work::kReceive) {
        for (const Deferred& d : m_deferred)
            if (d.kind == kind) return;
    }
    m_deferred.push_back(Deferred{kind, std::move(text)});
}

void CTesraCtrl::RunDeferred() {
    if (m_draining) return;
    m_draining = true;
    while (!m_deferred.empty() && m_busy == 0) {
        const Deferred work = std::move(m_deferred.front());
        m_deferred.pop_front();
        RunWork(work);
    }
    m_draining = false;
}

void CTesraCtrl::RunWork(const Deferred& work) {
    switch (work.kind) {
    case Work::kDestroyAll:
        DestroyAllMemos();
        break;
    case Work::kConnection:
        ApplyConnection(m_deferredConnection);
        m_deferredConnection = Connection{};
        break;
    case Work::kReceive: {
        // Received files are filed even after the at-exit pass: the sender
        // has been told they were taken.
        FlowScope flow(*this);
        tesra::ReceiveMemo(*this, work.text);
        break;
    }
    case Work::kSettings: {
        FlowScope flow(*this);
        tesra::UploadUserDefaults(*this);
        break;
    }
    default:
        // The rest is the running control's business; the at-exit pass has
        // done what remained of it.
        if (m_closing || !hwnd()) break;
        if (work.kind == Work::kSync) SyncAllMemos(false);
        else if (work.kind == Work::kMinute) MinuteTick();
        else if (work.kind == Work::kSession) RefreshSession();
        else if (work.kind == Work::kStartUp) StartUp();
        else if (work.kind == Work::kLoadIndex) RunCommand(tesra::kCmdLoadIndex, {});
        else if (work.kind == Work::kCommand301) RunCommand(tesra::kCmdUploadDefaults, {});
        else if (work.kind == Work::kCommand303) RunCommand(tesra::kCmdFetchIndexToFile, {});
        else if (work.kind == Work::kCommand304) RunCommand(tesra::kCmdCreateGroup, {});
        break;
    }
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

int CTesraCtrl::MessageBox(const std::string& text, UINT style) {
    if (m_messageBox) return m_messageBox(text, style);
    return ::MessageBoxA(hwnd(), text.c_str(), "", style);
}

bool CTesraCtrl::AskYesNo(const std::string& text) { return MessageBox(text, MB_YESNO) == IDYES; }

void CTesraCtrl::ShowMessage(const std::string& text) { MessageBox(text, MB_OK); }

tesra::WindowHandle CTesraCtrl::MainWindow() {
    HWND window = hwnd();
    return window ? ::GetAncestor(window, GA_ROOTOWNER) : nullptr;
}

// ---- commands ----

LRESULT CTesraCtrl::OnCopyData(HWND, const COPYDATASTRUCT* data) {
    if (!data) return 1;
    // The payload comes from any window on the desktop and is valid only
    // during this call: copy exactly cbData bytes, then end the text at its
    // first NUL.
    std::string text;
    if (data->cbData && data->lpData) {
        const char* bytes = static_cast<const char*>(data->lpData);
        text.assign(bytes, ::strnlen(bytes, data->cbData));
    }
    return RunCommand(static_cast<int>(data->dwData), text);
}

LRESULT CTesraCtrl::RunCommand(int code, const std::string& text) {
    // Inside a running flow a command waits for it to end; only the group
    // worker's commands run at once, inside the start-up that waits for them.
    const bool nested = m_busy && !m_groupCreation;
    const auto run = [this](bool defer, Work work, auto&& body) -> LRESULT {
        if (defer) {
            Defer(work);
            return 1;
        }
        FlowScope flow(*this);
        body();
        return 1;
    };
    switch (code) {
    case tesra::kCmdLoadIndex:
        return run(m_busy != 0, Work::kLoadIndex, [this] { LoadMemoIndex(); });
    case tesra::kCmdUploadDefaults:
        return run(nested, Work::kCommand301, [this] { tesra::UploadUserDefaults(*this); });
    case tesra::kCmdReceiveMemo:
        if (m_busy) {
            // Taken: it runs when the flow ends, from this copy of the text.
            // What the receipt refuses is refused now, and a sender that
            // floods one long wait is told "not taken" rather than let the
            // copies grow without bound.
            const auto queued = std::count_if(m_deferred.begin(), m_deferred.end(),
                                              [](const Deferred& d) { return d.kind == Work::kReceive; });
            if (!tesra::fs::IsSafeFileName(tesra::ParseReceiveCommand(text).name) || queued >= kMaxDeferredReceives)
                return 0;
            Defer(Work::kReceive, text);
            return 1;
        } else {
            FlowScope flow(*this);
            return tesra::ReceiveMemo(*this, text);
        }
    case tesra::kCmdFetchIndexToFile:
        return run(nested, Work::kCommand303, [this] { tesra::FetchIndexToFile(*this); });
    case tesra::kCmdCreateGroup:
        return run(nested, Work::kCommand304, [this] { tesra::CreateMemoGroup(*this); });
    default:
        return 1;
    }
}

// ---- synchronisation ----

void CTesraCtrl::SyncAllMemos(bool atExit) {
    if (!m_loaded) return;
    if (m_busy && !atExit) {
        Defer(Work::kSync);
        return;
    }
    SyncAllMemosNow(atExit);
}

void CTesraCtrl::SyncAllMemosNow(bool atExit) {
    if (!m_loaded) return;
    FlowScope flow(*this);
    // Index by index, the count read anew: new memos may join meanwhile;
    // none leaves while a flow runs.
    for (std::size_t i = 0; i < m_memos.size(); ++i) {
        CMemoDlg* memo = m_memos[i].get();
        enum { kNone, kProperties, kFull } action = kNone;
        if (atExit) {
            action = memo->m_syncState == 1 ? kProperties : memo->m_syncState == 2 ? kFull : kNone;
        } else {
            if (memo->m_placementChanged || memo->m_propertiesChanged) {
                memo->SavePlacement();
                action = kProperties;
            }
            if (memo->IsTextModified()) {
                // A window saves on losing activation; one that has not lost
                // it since the typing holds text its file lacks, and with the
                // flag cleared its destruction would not save it either.
                std::string saved;
                const bool hasFile = tesra::fs::ReadFile(memo->dataPath(), &saved);
                if (memo->hwnd() && !memo->dataPath().empty() && (!hasFile || saved != memo->Text())) {
                    memo->SaveText(memo->dataPath());
                    memo->SaveProperties();
                    memo->SaveFont();
                    memo->SavePlacement();
                    tesra::MarkTextSaved(*this, memo->key());
                }
                memo->ClearTextModified();
                action = kFull;
            }
            memo->m_propertiesChanged = 0;
        }
        const std::string key = memo->key();
        if (action == kProperties) {
            tesra::UploadMemoProperties(*this, key);
        } else if (action == kFull && tesra::UploadMemo(*this, key) == 1) {
            m_index.GetString(key, "title", memo->m_title);
        }
    }
    tesra::SaveIndexIfModified(m_index, GetUserFolder());
}
