// The memo manager: the registry of memo windows and their ids, the live
// and previous indexes, the start-up and restore, new memos, the passes that
// save and upload, the minute tick's work, the commands and the Hancom
// import. Everything that may wait or pump runs through its flow gate
// (control/README.md). The control owns it with its window and timers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/fs.h"
#include "control/sync_services.h"
#include "memo/memo_host.h"
#include "storage/hancom_note.h"
#include "storage/ini_file.h"
#include "storage/memo_format.h"
#include "sync/context.h"
#include "sync/download.h"
#include "sync/flow_gate.h"

class CMemoDlg;
class CNoticeDlg;

// What the manager asks of the control that owns it.
class IMemoManagerOwner {
public:
    virtual ~IMemoManagerOwner() = default;
    // The control's window (parent of the memo windows, target of their
    // notices); nullptr when it has none.
    virtual HWND ControlWindow() = 0;
    // The control's own reference on itself, held across every flow.
    virtual void Hold() = 0;
    virtual void Let() = 0;
    virtual void FireSendMemoData(const std::string& text) = 0;
    // The one-shot removal timer; the session timer, after a login.
    virtual void StartRemoveTimer() = 0;
    virtual void RestartSessionTimer() = 0;
};

class CMemoManager final : public tesra::ISyncContext, public IMemoHost {
public:
    CMemoManager(IMemoManagerOwner& owner, CSyncServices& services);
    ~CMemoManager() override;
    CMemoManager(const CMemoManager&) = delete;
    CMemoManager& operator=(const CMemoManager&) = delete;

    // What the synchronisation flows use.
    tesra::CIniFile& LiveIndex() override { return m_index; }
    std::string UserFolder() override { return m_services.UserFolder(); }
    tesra::NewMemoDefaults Defaults() override;
    tesra::CHttpClient& Http() override { return m_services.Http(); }
    std::string MemoServerHost() override { return m_services.MemoServerHost(); }
    std::string LoginServerHost() override { return m_services.LoginServerHost(); }
    tesra::FtpConnectionValues FtpConnection() override { return m_services.FtpConnection(); }
    tesra::CMemoIdMaker& ReceivedMemoIds() override { return m_receivedIds; }
    bool IsMemoIdInUse(std::int32_t id) override;
    bool AskYesNo(const std::string& text) override;
    // Also the memo windows' message, in a flow of its own: the box pumps.
    void ShowMessage(const std::string& text) override;
    int RunStartUp() override;
    tesra::WindowHandle MainWindow() override { return m_services.MainWindow(); }
    tesra::SyncLimits Limits() override { return m_services.Limits(); }
    void Log(std::string_view line) override { m_services.Log(line, Now()); }

    // What the memo windows ask.
    void NewMemo(int background) override;
    void DeleteMemo(const std::string& key, HWND window) override;
    void TextSaved(const std::string& key) override;
    void FireSendMemoData(const std::string& text) override { m_owner.FireSendMemoData(text); }
    bool IsLoaded() const override { return m_loaded != 0; }
    MemoDefaultsData& MemoDefaults() override { return m_defaults; }
    std::string GetUserFolder() override { return m_services.UserFolder(); }
    std::vector<HWND> RegisteredMemoWindows() override;
    const tesra::win::ScreenMetrics* ScreenSnapshot() override { return m_screen ? &*m_screen : nullptr; }
    int ImportHancomNotes(int reportMissing) override;

    // What the control forwards: automation, its window's messages, timers.
    bool ShowMemoDlg() const { return m_showMemoDlg != 0; }
    void SetShowMemoDlg(bool show);
    // login: FtpConnection's login by the script; ChageFtpConnection stores only.
    void SetConnection(const std::string& server, long port, const std::string& userId,
                       const std::string& password, bool login);
    // Text from the host: a blinking memo of its own; false before a start-up.
    bool ReceiveText(const std::string& text);
    LRESULT RunCommand(int code, const std::string& text);
    void SyncAllMemos(bool atExit);
    void SettingsChanged();
    void MinuteTick();
    void RefreshSession();
    void RemoveScheduled();
    // The control's window is going: the at-exit pass; no start-up and no
    // new window from here on.
    void Close();
    void Open() { m_closing = false; }

    // The registry and the indexes.
    void NewMemoWithText(int background, const std::string& text);
    // With downloads, the start-up's texts written ahead; without
    // mayHaveCopy, the user folder holds no emergency copy.
    int RestoreMemo(const std::string& section, tesra::CTextDownloads* downloads = nullptr, bool mayHaveCopy = true);
    void ShowAllMemos(bool show);
    int DestroyAllMemos();
    void RemoveMemo(CMemoDlg* memo);
    std::int32_t MakeMemoId();
    int StartUp();
    void LoadMemoIndex();
    void LoadDefaultFont();
    // The start-up's steps with the index text (also what the start-up runs).
    void WriteServerIndex(const std::string& text);
    void OpenMemosInIndexText(const std::string& text);
    // The Hancom Note import's first-run flag: 1 while the offer is still to
    // be made; taking it records the offer.
    int TakeHncNoteFlag();

    // Seams for tests and tools; the defaults are the system's own.
    using Clock = std::function<std::int64_t()>;
    void SetClock(Clock now);
    // Rounds of 100 ms the start-up waits for the group's creation.
    void SetGroupRounds(int rounds) { m_groupRounds = rounds; }
    // Where "win.ini" is looked for instead of the Windows folder.
    void SetWindowsFolder(std::string folder) { m_windowsFolder = std::move(folder); }
    bool loaded() const { return m_loaded != 0; }
    const std::vector<std::unique_ptr<CMemoDlg>>& memos() const { return m_memos; }
    const tesra::CIniFile& previousIndex() const { return m_previousIndex; }
    // Depth of the flows running now (network waits pump messages inside them).
    int busy() const { return m_gate.Depth(); }

private:
    // The host may let go of the control inside any pumped wait: a final
    // release there destroys it when the outermost holder ends, never under
    // code still running on it.
    class KeepAlive {
    public:
        explicit KeepAlive(CMemoManager& m) : m_owner(m.m_owner) { m_owner.Hold(); }
        KeepAlive(const KeepAlive&) = delete;
        KeepAlive& operator=(const KeepAlive&) = delete;
        ~KeepAlive() { m_owner.Let(); }

    private:
        IMemoManagerOwner& m_owner;
    };
    // A flow: work that waits for the network or pumps messages. Work that
    // arrives meanwhile is deferred (m_gate) and runs when the outermost
    // flow ends, before the control's hold on itself goes.
    class FlowScope {
    public:
        explicit FlowScope(CMemoManager& m) : m_alive(m), m_scope(m.m_gate) {}

    private:
        KeepAlive m_alive;
        tesra::CFlowGate::Scope m_scope;
    };
    class StartUpWindows;
    friend class StartUpWindows;
    struct Connection {
        std::string server;
        long port = 0;
        std::string userId;
        std::string password;
        bool login = false;
    };

    HWND Window() { return m_owner.ControlWindow(); }
    void ApplyConnection(const Connection& c);
    void SyncAllMemosNow(bool atExit);
    void TickUploads();
    // Deletions and uploads the server has not acknowledged yet.
    void SendPending();
    void RunWork(const tesra::DeferredFlow& work);
    CMemoDlg* FindMemo(HWND window) const;
    CMemoDlg* FindMemo(const std::string& key) const;
    // With a key, a memo restored from the index: it is made at its stored
    // place.
    CMemoDlg* MakeMemoWindow(int background, int minimised, const std::string& key = {});
    void AddNewMemo(int background, const std::string* text);
    // The window goes with the removal timer: never inside a flow.
    void ScheduleRemove(HWND window);
    int RunGroupCreation();
    std::unique_ptr<CNoticeDlg> OpenNotice(const char* text);
    int MessageBox(const std::string& text, UINT style);
    std::int64_t Now() const { return m_now ? m_now() : tesra::fs::NowSeconds(); }
    std::string HancomNotePath() const;
    void ImportHancomNote(const tesra::HancomNote& note);
    void OpenImportedMemo(const std::string& section, const std::string& text);

    IMemoManagerOwner& m_owner;
    CSyncServices& m_services;
    int m_loaded = 0;
    MemoDefaultsData m_defaults = InitialMemoDefaults();
    // Read once while a start-up opens its memos.
    std::optional<tesra::win::ScreenMetrics> m_screen;
    std::vector<std::unique_ptr<CMemoDlg>> m_memos;
    tesra::CIniFile m_index;
    tesra::CIniFile m_previousIndex;
    int m_showMemoDlg = 0;
    // Deleted windows waiting for the removal timer. More than the one
    // slot: a second delete before the tick must not leave the first behind.
    std::vector<HWND> m_pendingRemove;
    tesra::GroupWorkerParams m_worker;
    std::int32_t m_lastStartUp = 0;
    Clock m_now;
    tesra::CMemoIdMaker m_receivedIds;
    tesra::CMemoIdMaker m_newIds;
    int m_groupRounds = 2000;
    std::string m_windowsFolder;
    tesra::CFlowGate m_gate;
    bool m_groupCreation = false;  // the worker's commands run inside the start-up's wait
    bool m_closing = false;        // the at-exit pass has begun
    Connection m_deferredConnection;
};
