#include "control/memo_manager.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/fs.h"
#include "base/pump.h"
#include "base/text.h"
#include "memo/memo_dlg.h"
#include "memo/notice_dlg.h"
#include "net/worker.h"
#include "storage/memo_index.h"
#include "storage/memo_record.h"
#include "storage/storage_util.h"
#include "sync/download.h"
#include "sync/login.h"
#include "sync/startup.h"
#include "sync/upload.h"
#include "win/handles.h"
#include "win/window.h"

CMemoManager::CMemoManager(IMemoManagerOwner& owner, CSyncServices& services)
    : m_owner(owner),
      m_services(services),
      m_receivedIds([this] { return Now(); }),
      m_newIds([this] { return Now(); }),
      m_gate([this](const tesra::DeferredFlow& work) { RunWork(work); }) {}

CMemoManager::~CMemoManager() {
    for (auto& memo : m_memos) CMemoDlg::Destroy(std::move(memo));
}

void CMemoManager::SetClock(Clock now) {
    m_now = std::move(now);
    m_newIds = tesra::CMemoIdMaker([this] { return Now(); });
    m_receivedIds = tesra::CMemoIdMaker([this] { return Now(); });
}

void CMemoManager::SetShowMemoDlg(bool show) {
    const std::int64_t now = Now();
    m_showMemoDlg = show ? 1 : 0;
    if (show && now - m_lastStartUp > 10 && !m_closing) {
        if (m_gate.Busy())
            m_gate.Defer(tesra::FlowWork::kStartUp);
        else
            StartUp();
    }
    ShowAllMemos(m_showMemoDlg != 0);
}

void CMemoManager::ShowAllMemos(bool show) {
    m_showMemoDlg = show ? 1 : 0;
    if (!m_loaded) return;
    if (show && m_memos.empty()) {
        // First run of a profile: Hancom Note's notes are offered once.
        if (TakeHncNoteFlag() == 0 || ImportHancomNotes(0) == 0) NewMemo(m_defaults.background);
        return;
    }
    // A deleted memo waiting for the removal timer stays hidden.
    const auto removing = [this](const CMemoDlg& memo) {
        return std::find(m_pendingRemove.begin(), m_pendingRemove.end(), memo.hwnd()) != m_pendingRemove.end();
    };
    if (show) {
        // A memo shown again is raised again, a move in the window system
        // for each: needed only when some other window came up over them.
        std::vector<HWND> windows;
        for (const auto& memo : m_memos)
            if (!removing(*memo)) windows.push_back(memo->hwnd());
        if (tesra::win::ShownOnTop(windows)) return;
    }
    for (const auto& memo : m_memos)
        if (!show || !removing(*memo)) memo->Show(show);
}

void CMemoManager::SetConnection(const std::string& server, long port, const std::string& userId,
                                 const std::string& password, bool login) {
    Connection c{server, port, userId, password, login};
    if (m_gate.Busy()) {
        // The user folder must not change under a running flow; a deferred
        // login stays asked for.
        c.login = c.login || m_deferredConnection.login;
        m_deferredConnection = c;
        m_gate.Defer(tesra::FlowWork::kConnection);
    } else {
        ApplyConnection(c);
    }
}

bool CMemoManager::ReceiveText(const std::string& text) {
    if (!m_loaded) return false;
    NewMemoWithText(m_defaults.background, text);
    return true;
}

void CMemoManager::ApplyConnection(const Connection& c) {
    m_services.StoreConnection(c.server, c.port, c.userId, c.password);
    if (!c.login) return;
    {
        FlowScope flow(*this);
        // Its outcome is never examined: an unusable session shows at the
        // next request, and the start-up then tries the agent.
        tesra::LoginByScript(*this, m_services.userId(), m_services.password());
    }
    m_owner.RestartSessionTimer();
}

void CMemoManager::DeleteMemo(const std::string& key, HWND window) {
    // The window that asked may be gone, and the host may let go of us, by
    // the time the server has answered.
    KeepAlive alive(*this);
    if (m_loaded && !key.empty()) {
        // Gone from this computer at once; pending until the server took it.
        tesra::RecordDeletion(*this, key);
        const std::string path = tesra::SectionDataPath(UserFolder(), key);
        tesra::fs::CopyOver(path, tesra::MakeBackupName(path));
        tesra::fs::RemoveFile(path);
        tesra::fs::RemoveFile(tesra::EmergencyCopyName(path));
    }
    ScheduleRemove(window);
    SendPending();
}

void CMemoManager::TextSaved(const std::string& key) { tesra::MarkTextSaved(*this, key); }

void CMemoManager::SendPending() {
    if (m_gate.Busy()) {
        m_gate.Defer(tesra::FlowWork::kSendPending);
        return;
    }
    FlowScope flow(*this);
    // Uploads need the loaded index (without it they would look like memos
    // deleted meanwhile); deletions do not.
    if (m_loaded)
        tesra::UploadPendingMemos(*this);
    else
        tesra::SendPendingDeletions(*this);
}

// ---- memo windows ----

bool CMemoManager::IsMemoIdInUse(std::int32_t id) {
    const std::string key = tesra::MemoKey(id);
    for (const auto& memo : m_memos)
        if (memo->key() == key) return true;
    return m_previousIndex.FindSection(key) >= 0 || ISyncContext::IsMemoIdInUse(id);
}

std::vector<HWND> CMemoManager::RegisteredMemoWindows() {
    std::vector<HWND> windows;
    for (const auto& memo : m_memos)
        if (HWND w = memo->hwnd()) windows.push_back(w);
    return windows;
}

std::int32_t CMemoManager::MakeMemoId() {
    // One counter for both creators, and no id that a window, the index, a
    // data file or a received file already holds.
    std::int32_t id = m_newIds.Next();
    for (int tries = 0; tries < 100000 && IsMemoIdInUse(id); ++tries) id = m_newIds.Next();
    return id;
}

CMemoDlg* CMemoManager::MakeMemoWindow(int background, int minimised, const std::string& key) {
    HWND window = Window();
    if (!window || m_closing) return nullptr;
    auto memo = std::make_unique<CMemoDlg>(*this, background, minimised);
    memo->SetNotifyWindow(window);
    if (!key.empty()) memo->SetKey(key);
    if (!memo->Create(window)) return nullptr;
    m_memos.push_back(std::move(memo));
    return m_memos.back().get();
}

void CMemoManager::AddNewMemo(int background, const std::string* text) {
    const std::int32_t id = MakeMemoId();
    CMemoDlg* memo = MakeMemoWindow(background, 0);
    if (!memo) return;
    memo->SetKey(tesra::MemoKey(id));
    memo->SetDataPath(tesra::MemoDataPath(UserFolder(), id));
    memo->PlaceDefault();
    if (text) memo->SetMemoText(*text);
    memo->Show(true);
    if (text) memo->StartBlink(1, 0);
    memo->PlayMemoSound(4);
    const HWND window = memo->hwnd();
    ShowAllMemos(true);
    // The user asked for a memo to type in; received text only blinks.
    if (CMemoDlg* shown = text ? nullptr : FindMemo(window)) shown->Activate();
}

CMemoDlg* CMemoManager::FindMemo(HWND window) const {
    for (const auto& memo : m_memos)
        if (window && memo->hwnd() == window) return memo.get();
    return nullptr;
}

CMemoDlg* CMemoManager::FindMemo(const std::string& key) const {
    for (const auto& memo : m_memos)
        if (!key.empty() && memo->key() == key) return memo.get();
    return nullptr;
}

void CMemoManager::NewMemo(int background) { AddNewMemo(background, nullptr); }

void CMemoManager::NewMemoWithText(int background, const std::string& text) { AddNewMemo(background, &text); }

int CMemoManager::RestoreMemo(const std::string& section, tesra::CTextDownloads* downloads, bool mayHaveCopy) {
    const tesra::MemoRecord record = tesra::ReadMemoRecord(m_index, section);
    if (!record.colour) return 0;
    CMemoDlg* memo = MakeMemoWindow(*record.colour, record.folded.value_or(0), section);
    if (!memo) return 0;
    memo->SetDataPath(tesra::SectionDataPath(UserFolder(), section));
    if (!tesra::MemoTextReady(*this, m_previousIndex, section, memo->dataPath(), downloads) || m_closing) {
        RemoveMemo(memo);
        return 0;
    }
    // The font before the text: formatting an empty edit is cheap, and the
    // paragraphs the text brings take the tab stops of the first.
    memo->ApplyFont();
    memo->LoadMemoText(mayHaveCopy);
    memo->RestorePlacement();
    memo->m_alarmTime = record.alarm.value_or(0);
    memo->m_title = record.title.value_or(std::string());
    if (m_showMemoDlg) {
        memo->Show(true);
        // Painted as it comes, as a user watches them come: left to the
        // end, a whole start-up's paints and window events wait in the
        // queue, and every window made meanwhile pays for the backlog.
        ::UpdateWindow(memo->hwnd());
    }
    return 1;
}

int CMemoManager::DestroyAllMemos() {
    const int count = static_cast<int>(m_memos.size());
    std::vector<std::unique_ptr<CMemoDlg>> memos = std::move(m_memos);
    m_memos.clear();
    m_pendingRemove.clear();
    for (auto& memo : memos) CMemoDlg::Destroy(std::move(memo));
    return count;
}

void CMemoManager::ScheduleRemove(HWND window) {
    if (window && std::find(m_pendingRemove.begin(), m_pendingRemove.end(), window) == m_pendingRemove.end())
        m_pendingRemove.push_back(window);
    m_owner.StartRemoveTimer();
}

void CMemoManager::RemoveScheduled() {
    const std::vector<HWND> pending = std::move(m_pendingRemove);
    m_pendingRemove.clear();
    for (HWND window : pending)
        if (CMemoDlg* memo = FindMemo(window)) RemoveMemo(memo);
}

void CMemoManager::RemoveMemo(CMemoDlg* memo) {
    for (auto it = m_memos.begin(); it != m_memos.end(); ++it) {
        if (it->get() != memo) continue;
        std::unique_ptr<CMemoDlg> owned = std::move(*it);
        m_memos.erase(it);
        std::erase(m_pendingRemove, memo->hwnd());
        CMemoDlg::Destroy(std::move(owned));
        return;
    }
}

void CMemoManager::LoadDefaultFont() {
    MemoDefaultsData& d = m_defaults;
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

void CMemoManager::LoadMemoIndex() {
    tesra::LoadIndexFiles(UserFolder(), m_index, m_previousIndex);
    m_showMemoDlg = 1;
    MemoDefaultsData& d = m_defaults;
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

std::unique_ptr<CNoticeDlg> CMemoManager::OpenNotice(const char* text) {
    auto notice = std::make_unique<CNoticeDlg>();
    notice->SetCustomText(text);
    if (!notice->Create(Window())) return notice;
    if (HWND h = notice->hwnd()) {
        ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    return notice;
}

namespace {

// Whether the folder may hold an emergency copy, looked for once for all the
// memos of a start-up: a probe per memo for a name that is not there reads
// the whole folder under Wine. Only the memos' own windows make one, and a
// window saves after its text was loaded.
bool AnyEmergencyCopy(const std::string& folder) {
    return tesra::fs::AnyFileMatching(folder, "*.unsaved").value_or(true);
}

}  // namespace

// The screen's side of a start-up: the notice, the memo windows and the
// wait for the group's worker.
class CMemoManager::StartUpWindows final : public tesra::IStartUpWindows {
public:
    explicit StartUpWindows(CMemoManager& ctrl) : ctrl_(ctrl) {}
    StartUpWindows(const StartUpWindows&) = delete;
    StartUpWindows& operator=(const StartUpWindows&) = delete;
    ~StartUpWindows() override { ctrl_.m_screen.reset(); }  // a start-up that stopped midway too
    void ShowNotice(const char* text) override {
        if (notice_) notice_->Close();
        notice_.reset();
        if (text) notice_ = ctrl_.OpenNotice(text);
    }
    void CreateGroup() override { ctrl_.RunGroupCreation(); }
    bool Closing() override { return ctrl_.m_closing; }
    void LoadIndex() override { ctrl_.LoadMemoIndex(); }
    tesra::CIniFile& PreviousIndex() override { return ctrl_.m_previousIndex; }
    void BeginMemos() override {
        wait_.emplace();  // once for all the memos' loads
        copies_ = AnyEmergencyCopy(ctrl_.UserFolder());
        ctrl_.m_screen = tesra::win::ReadScreenMetrics();
    }
    void OpenMemo(const std::string& section, tesra::CTextDownloads& downloads) override {
        ctrl_.RestoreMemo(section, &downloads, copies_);
    }
    void EndMemos() override {
        wait_.reset();
        ctrl_.m_screen.reset();
    }
    void Loaded() override { ctrl_.m_loaded = 1; }

private:
    CMemoManager& ctrl_;
    std::unique_ptr<CNoticeDlg> notice_;
    std::optional<tesra::win::WaitCursor> wait_;
    bool copies_ = true;
};

void CMemoManager::WriteServerIndex(const std::string& text) {
    StartUpWindows windows(*this);
    tesra::WriteServerIndex(*this, windows, text);
}

void CMemoManager::OpenMemosInIndexText(const std::string& text) {
    StartUpWindows windows(*this);
    tesra::OpenMemosInIndexText(*this, windows, text);
}

int CMemoManager::RunStartUp() {
    // Asked for by an upload whose conflict the server's copy won: that
    // upload runs inside a pass over the windows the start-up would drop.
    if (m_gate.Busy()) {
        if (!m_closing) m_gate.Defer(tesra::FlowWork::kStartUp);
        return 0;
    }
    return StartUp();
}

int CMemoManager::StartUp() {
    if (m_closing || !Window()) return 0;
    if (m_gate.Busy()) {
        m_gate.Defer(tesra::FlowWork::kStartUp);
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
    return tesra::LoadMemosFromServer(*this, windows, m_services.userId(), m_services.password());
}

int CMemoManager::RunGroupCreation() {
    m_worker = tesra::GroupWorkerParams{};
    m_worker.window = Window();
    m_worker.event = std::make_shared<tesra::WaitEvent>();
    m_worker.latch = std::make_shared<tesra::CGroupWorkerLatch>();
    const tesra::GroupWorkerParams params = m_worker;
    tesra::PumpLimits limits;
    limits.rounds = m_groupRounds;
    limits.roundMs = 100;
    limits.quit = tesra::QuitRule::kMainWindowOnly;
    limits.mainWindow = MainWindow();
    // The worker's commands 301, 304 and 303 arrive inside this wait and
    // must run there, not wait for the start-up to end.
    m_groupCreation = true;
    const std::optional<tesra::PumpResult> waited =
        tesra::net::RunOnWorkerAndWait([params] { tesra::GroupSetupWorker(params); }, params.event, limits);
    if (!waited) {
        m_groupCreation = false;
        m_worker.event.reset();
        return 1;
    }
    const tesra::PumpResult r = *waited;
    // A worker still running sends nothing more; a command already on its
    // way runs here first, inside this wait, as if it had come in time.
    if (r != tesra::PumpResult::kSignalled) {
        tesra::PumpLimits deliver = limits;
        deliver.rounds = 1;
        deliver.roundMs = 10;
        tesra::WaitEvent none;
        for (int tries = 0; !params.latch->TryGiveUp() && tries < 500; ++tries) tesra::WaitAndPump(none, deliver);
    }
    m_groupCreation = false;
    m_worker.event.reset();
    return r == tesra::PumpResult::kQuit ? 0 : 1;
}

void CMemoManager::RefreshSession() {
    if (m_gate.Busy()) {
        m_gate.Defer(tesra::FlowWork::kSession);
        return;
    }
    const std::string user = m_services.userId(), password = m_services.password();
    if (user.empty() || password.empty()) return;
    FlowScope flow(*this);
    const std::string cookie = tesra::LoginByAgent(*this, user, password);
    if (!cookie.empty())
        Http().SetCookie(cookie);
    else
        tesra::LoginByScript(*this, user, password);
}

void CMemoManager::MinuteTick() {
    // Alarms need no network: they ring on time, also while a question or a
    // time-out holds another flow. Only the uploads wait for it.
    const std::int64_t now = Now();
    for (const auto& memo : m_memos) {
        if (memo->m_alarmTime > 0 && memo->m_alarmTime <= now) {
            memo->StartBlink(1, 1);
            memo->Show(true);
        }
    }
    if (m_gate.Busy())
        m_gate.Defer(tesra::FlowWork::kTickUploads);
    else
        TickUploads();
}

void CMemoManager::TickUploads() {
    FlowScope flow(*this);
    for (std::size_t i = 0; i < m_memos.size(); ++i) {
        CMemoDlg* memo = m_memos[i].get();
        const bool changed = memo->m_placementChanged || memo->m_propertiesChanged;
        if (changed) memo->SavePlacement();
        memo->m_propertiesChanged = 0;
        if (changed) tesra::UploadMemoProperties(*this, memo->key());
    }
    // Pending uploads need the loaded index: without it they would look like
    // memos deleted meanwhile.
    if (m_loaded) tesra::UploadPendingMemos(*this);
    tesra::SaveIndexIfModified(m_index, UserFolder());
}

// ---- deferred work ----

void CMemoManager::RunWork(const tesra::DeferredFlow& work) {
    using tesra::FlowWork;
    switch (work.kind) {
    case FlowWork::kDestroyAll:
        DestroyAllMemos();
        break;
    case FlowWork::kConnection:
        ApplyConnection(m_deferredConnection);
        m_deferredConnection = Connection{};
        break;
    case FlowWork::kReceive: {
        // Received files are filed even after the at-exit pass: the sender
        // has been told they were taken.
        FlowScope flow(*this);
        tesra::ReceiveMemo(*this, work.text);
        break;
    }
    case FlowWork::kSettings: {
        FlowScope flow(*this);
        tesra::UploadUserDefaults(*this);
        break;
    }
    case FlowWork::kSendPending:
        // The user deleted a memo: that goes out even after the at-exit pass.
        SendPending();
        break;
    default:
        // The rest is the running control's business; the at-exit pass has
        // done what remained of it.
        if (m_closing || !Window()) break;
        if (work.kind == FlowWork::kSync) SyncAllMemos(false);
        else if (work.kind == FlowWork::kTickUploads) TickUploads();
        else if (work.kind == FlowWork::kSession) RefreshSession();
        else if (work.kind == FlowWork::kStartUp && StartUp()) ShowAllMemos(m_showMemoDlg != 0);
        else if (work.kind == FlowWork::kLoadIndex) RunCommand(tesra::kCmdLoadIndex, {});
        else if (work.kind == FlowWork::kUploadDefaults) RunCommand(tesra::kCmdUploadDefaults, {});
        else if (work.kind == FlowWork::kFetchIndex) RunCommand(tesra::kCmdFetchIndexToFile, {});
        else if (work.kind == FlowWork::kCreateGroup) RunCommand(tesra::kCmdCreateGroup, {});
        break;
    }
}

// ---- what the synchronisation flows use ----

tesra::NewMemoDefaults CMemoManager::Defaults() {
    const MemoDefaultsData& d = m_defaults;
    tesra::NewMemoDefaults out;
    out.background = d.background;
    out.width = d.width;
    out.height = d.height;
    out.font.textColor = d.textColour;
    out.font.font = d.font;
    return out;
}

int CMemoManager::MessageBox(const std::string& text, UINT style) { return m_services.MessageBox(text, style); }

bool CMemoManager::AskYesNo(const std::string& text) { return MessageBox(text, MB_YESNO) == IDYES; }

void CMemoManager::ShowMessage(const std::string& text) {
    FlowScope flow(*this);
    MessageBox(text, MB_OK);
}

void CMemoManager::SettingsChanged() {
    if (m_gate.Busy()) {
        m_gate.Defer(tesra::FlowWork::kSettings);
        return;
    }
    FlowScope flow(*this);
    tesra::UploadUserDefaults(*this);
}

void CMemoManager::Close() {
    // From here no start-up begins and no new window is made.
    m_closing = true;
    // Windows owned by the control's are gone already; the others go now.
    // Either way each saved its text and recorded what it saved.
    for (const auto& memo : m_memos)
        if (HWND w = memo->hwnd()) ::DestroyWindow(w);
    SyncAllMemosNow(true);
    // A flow that this destruction interrupted still holds windows of the
    // registry: they are freed when it has returned.
    if (m_gate.Busy())
        m_gate.Defer(tesra::FlowWork::kDestroyAll);
    else
        DestroyAllMemos();
    m_loaded = 0;
}

// ---- commands ----

LRESULT CMemoManager::RunCommand(int code, const std::string& text) {
    using tesra::FlowWork;
    // Inside a running flow a command waits for it to end; only the group
    // worker's commands run at once, inside the start-up that waits for them.
    const bool nested = m_gate.Busy() && !m_groupCreation;
    const auto run = [this](bool defer, FlowWork work, auto&& body) -> LRESULT {
        if (defer) {
            m_gate.Defer(work);
            return 1;
        }
        FlowScope flow(*this);
        body();
        return 1;
    };
    switch (code) {
    case tesra::kCmdLoadIndex:
        return run(m_gate.Busy(), FlowWork::kLoadIndex, [this] { LoadMemoIndex(); });
    case tesra::kCmdUploadDefaults:
        return run(nested, FlowWork::kUploadDefaults, [this] { tesra::UploadUserDefaults(*this); });
    case tesra::kCmdReceiveMemo:
        if (m_gate.Busy()) {
            // Taken: it runs when the flow ends, from this copy of the text.
            // What the receipt refuses is refused now, and so is a flood.
            if (!tesra::fs::IsSafeFileName(tesra::ParseReceiveCommand(text).name)) return 0;
            return m_gate.Defer(FlowWork::kReceive, text) == tesra::CFlowGate::Deferral::kRefused ? 0 : 1;
        } else {
            FlowScope flow(*this);
            return tesra::ReceiveMemo(*this, text);
        }
    case tesra::kCmdFetchIndexToFile:
        return run(nested, FlowWork::kFetchIndex, [this] { tesra::FetchIndexToFile(*this); });
    case tesra::kCmdCreateGroup:
        return run(nested, FlowWork::kCreateGroup, [this] { tesra::CreateMemoGroup(*this); });
    default:
        return 1;
    }
}

// ---- synchronisation ----

void CMemoManager::SyncAllMemos(bool atExit) {
    if (!m_loaded) return;
    if (m_gate.Busy() && !atExit) {
        m_gate.Defer(tesra::FlowWork::kSync);
        return;
    }
    SyncAllMemosNow(atExit);
}

void CMemoManager::SyncAllMemosNow(bool atExit) {
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
                // The flag goes only once the text is in its file: one that
                // could not be written is tried again at the next save.
                std::string saved;
                const bool hasFile = tesra::fs::ReadFile(memo->dataPath(), &saved);
                bool inFile = (hasFile && saved == memo->Text()) || !memo->hwnd() || memo->dataPath().empty();
                if (!inFile) inFile = memo->SaveAll();
                if (inFile) memo->ClearTextModified();
                action = kFull;
            }
            memo->m_propertiesChanged = 0;
        }
        const std::string key = memo->key();
        if (action == kProperties) {
            tesra::UploadMemoProperties(*this, key);
        } else if (action == kFull && tesra::UploadMemo(*this, key) == 1) {
            // The upload may have named the memo; found again after its wait.
            if (CMemoDlg* uploaded = FindMemo(key)) uploaded->m_title = tesra::ReadMemoRecord(m_index, key).title.value_or(std::string());
        }
    }
    tesra::SaveIndexIfModified(m_index, UserFolder());
}

