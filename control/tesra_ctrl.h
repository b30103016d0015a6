// The control object and memo manager.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memo/memo_host.h"
#include "net/http_client.h"
#include "storage/hancom_note.h"
#include "storage/ini_file.h"
#include "storage/memo_format.h"
#include "sync/context.h"
#include "sync/download.h"
#include "sync/startup.h"
#include "win/gdi.h"
#include "win/ole_control.h"

class CMemoDlg;
class CNoticeDlg;

// Private messages that memo windows post to the control's window.
inline constexpr UINT WM_MEMO_CHANGED = WM_USER + 100;
inline constexpr UINT WM_SETTINGS_CHANGED = WM_USER + 101;

// Timer ids on the control's window.
inline constexpr UINT_PTR kRemoveTimer = 1;
inline constexpr UINT_PTR kMinuteTimer = 2;
inline constexpr UINT_PTR kSessionTimer = 3;
inline constexpr UINT kRemovePeriodMs = 100;
inline constexpr UINT kMinutePeriodMs = 60000;
inline constexpr UINT kSessionPeriodMs = 21600000;  // six hours

// The caption font the memo windows paint with; made with the control's
// window, deleted with it.
tesra::win::Font& CaptionFont();

// Where the server addresses are kept: values "MemoServer" and "LoginServer".
inline constexpr char kPreferenceKey[] = "Software\\Quillmar\\Tesra\\Preference";

class CTesraCtrl : public tesra::win::COleControl, public tesra::ISyncContext, public IMemoHost {
public:
    CTesraCtrl();

    // What the synchronisation flows and the memo windows use of the manager.
    tesra::CIniFile& LiveIndex() override { return m_index; }
    std::string UserFolder() override { return GetUserFolder(); }
    tesra::NewMemoDefaults Defaults() override;
    tesra::CHttpClient& Http() override { return m_http; }
    std::string MemoServerHost() override;
    std::string LoginServerHost() override;
    tesra::FtpConnectionValues FtpConnection() override;
    tesra::CMemoIdMaker& ReceivedMemoIds() override { return m_receivedIds; }
    bool IsMemoIdInUse(std::int32_t id) override;
    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    int RunStartUp() override;
    tesra::WindowHandle MainWindow() override;
    tesra::SyncLimits Limits() override { return m_limits; }

    // IMemoHost
    void NewMemo(int background) override;
    UINT_PTR ScheduleRemove(CMemoDlg* memo) override;
    void FireSendMemoData(const std::string& text) override;
    bool IsLoaded() const override { return m_loaded != 0; }
    std::string GetUserFolder() override;
    tesra::ISyncContext& Sync() override { return *this; }
    std::vector<HWND> RegisteredMemoWindows() override;

    // Automation members.
    bool GetShowMemoDlg() const { return m_showMemoDlg != 0; }
    void SetShowMemoDlg(bool show);
    bool FtpConnection(const std::string& server, long port, const std::string& userId, const std::string& password);
    void ChageFtpConnection(const std::string& server, long port, const std::string& userId,
                            const std::string& password);
    bool ReceiveMemoData(BSTR* data);
    bool IsMemoFileExists(const std::string& name);

    // The memo manager.
    void NewMemoWithText(int background, const std::string& text);
    int RestoreMemo(const std::string& section);
    void ShowAllMemos(bool show);
    int DestroyAllMemos();
    void RemoveMemo(CMemoDlg* memo);
    void LoadDefaultFont();
    std::int32_t MakeMemoId();
    void SyncAllMemos(bool atExit);
    int StartUp();
    void LoadMemoIndex();
    // The start-up's steps with the index text (also what the start-up runs).
    void WriteServerIndex(const std::string& text);
    void OpenMemosInIndexText(const std::string& text);

    // The Hancom Note import: the first-run flag (1 while the offer is still
    // to be made; taking it records the offer), and the import itself, which
    // gives 1 when the data file was read.
    int TakeHncNoteFlag();
    int ImportHancomNotes(int reportMissing) override;

    // Seams for tests; the defaults are the system's own.
    using Clock = std::function<std::int64_t()>;
    void SetClock(Clock now);
    struct Periods {
        UINT removeMs = kRemovePeriodMs;
        UINT minuteMs = kMinutePeriodMs;
        UINT sessionMs = kSessionPeriodMs;
        int groupRounds = 2000;
    };
    // Restarts the running timers with the new periods.
    void SetPeriods(const Periods& periods);
    void SetLimits(const tesra::SyncLimits& limits) { m_limits = limits; }
    // Takes every message box's text and style instead of showing it; its
    // result stands for the button pressed.
    using MessageBoxHook = std::function<int(const std::string& text, UINT style)>;
    void SetMessageBoxHook(MessageBoxHook hook) { m_messageBox = std::move(hook); }

    // Where "win.ini" is looked for instead of the Windows folder.
    void SetWindowsFolder(std::string folder) { m_windowsFolder = std::move(folder); }

    // Connection values as the host handed them in.
    const std::string& server() const { return m_server; }
    std::uint16_t port() const { return m_port; }
    const std::string& userId() const { return m_userId; }
    const std::string& password() const { return m_password; }
    bool loaded() const { return m_loaded != 0; }
    UINT_PTR sessionTimer() const { return m_sessionTimer; }
    UINT_PTR minuteTimer() const { return m_minuteTimer; }
    const std::vector<std::unique_ptr<CMemoDlg>>& memos() const { return m_memos; }
    const tesra::CIniFile& previousIndex() const { return m_previousIndex; }
    // Depth of the flows running now (network waits pump messages inside them).
    int busy() const { return m_busy; }

protected:
    ~CTesraCtrl() override;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // Work that arrived while a flow ran; it runs when the outermost flow
    // ends, in arrival order, each kind but received memos at most once.
    enum class Work { kSync, kMinute, kSession, kSettings, kStartUp, kLoadIndex, kCommand301, kCommand303,
                      kCommand304, kReceive, kConnection, kDestroyAll };
    struct Deferred {
        Work kind;
        std::string text;
    };
    class FlowScope;
    friend class FlowScope;
    class StartUpWindows;
    friend class StartUpWindows;

    int OnCreate();
    void OnDestroy();
    void OnTimer(UINT_PTR id);
    LRESULT OnCopyData(HWND from, const COPYDATASTRUCT* data);
    LRESULT RunCommand(int code, const std::string& text);
    void MinuteTick();
    void RefreshSession();
    void StoreConnection(const std::string& server, long port, const std::string& userId,
                         const std::string& password);
    void Defer(Work kind, std::string text = {});
    void RunDeferred();
    void RunWork(const Deferred& work);
    // With a key, a memo restored from the index: it is made at its stored
    // place.
    CMemoDlg* MakeMemoWindow(int background, int minimised, const std::string& key = {});
    void AddNewMemo(int background, const std::string* text);
    int RunGroupCreation();
    std::unique_ptr<CNoticeDlg> OpenNotice(const char* text);
    void StartMinuteTimer();
    int MessageBox(const std::string& text, UINT style);
    std::int64_t Now() const { return m_now ? m_now() : tesra::fs::NowSeconds(); }

    std::string Preference(const char* name) const;
    std::string HancomNotePath() const;
    void ImportHancomNote(const tesra::HancomNote& note);
    void OpenImportedMemo(const std::string& section, const std::string& text);

    int m_loaded = 0;
    std::string m_server;
    std::uint16_t m_port = 0;
    std::string m_userId;
    std::string m_password;
    std::vector<std::unique_ptr<CMemoDlg>> m_memos;
    tesra::CIniFile m_index;
    tesra::CIniFile m_previousIndex;
    int m_showMemoDlg = 0;
    // Deleted windows waiting for timer 1. More than the one slot: a second
    // delete before the tick must not leave the first window behind.
    std::vector<CMemoDlg*> m_pendingRemove;
    tesra::GroupWorkerParams m_worker;
    UINT_PTR m_removeTimer = 0;
    UINT_PTR m_minuteTimer = 0;
    UINT_PTR m_sessionTimer = 0;
    std::int32_t m_lastStartUp = 0;
    tesra::CHttpClient m_http;
    tesra::CMemoIdMaker m_receivedIds;

    Clock m_now;
    Periods m_periods;
    tesra::SyncLimits m_limits;
    MessageBoxHook m_messageBox;
    std::string m_windowsFolder;
    tesra::CMemoIdMaker m_newIds;
    int m_busy = 0;
    bool m_groupCreation = false;  // the worker's commands run inside the start-up's wait
    bool m_closing = false;        // the at-exit pass has begun
    bool m_draining = false;
    // Received-memo commands that one flow's wait may queue.
    static constexpr std::ptrdiff_t kMaxDeferredReceives = 64;
    std::deque<Deferred> m_deferred;
    struct Connection {
        std::string server;
        long port = 0;
        std::string userId;
        std::string password;
        bool login = false;
    };
    Connection m_deferredConnection;
    void ApplyConnection(const Connection& c);
    void SyncAllMemosNow(bool atExit);
};
