// The control object and memo manager.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "net/http_client.h"
#include "storage/ini_file.h"
#include "storage/memo_format.h"
#include "sync/context.h"
#include "win/gdi.h"
#include "win/ole_control.h"

// Private messages that memo windows post to the control's window.
inline constexpr UINT WM_MEMO_CHANGED = WM_USER + 100;
inline constexpr UINT WM_SETTINGS_CHANGED = WM_USER + 101;

// Timer ids on the control's window.
inline constexpr UINT_PTR kRemoveTimer = 1;
inline constexpr UINT_PTR kMinuteTimer = 2;
inline constexpr UINT_PTR kSessionTimer = 3;
inline constexpr UINT kMinutePeriodMs = 60000;
inline constexpr UINT kSessionPeriodMs = 21600000;  // six hours

// The caption font the memo windows paint with; made with the control's
// window, deleted with it.
tesra::win::Font& CaptionFont();

// Where the server addresses are kept: values "MemoServer" and "LoginServer".
inline constexpr char kPreferenceKey[] = "Software\\Quillmar\\Tesra\\Preference";

class CTesraCtrl : public tesra::win::COleControl, public tesra::ISyncContext {
public:
    CTesraCtrl();

    // What the synchronisation flows use of the memo manager.
    tesra::CIniFile& LiveIndex() override { return m_index; }
    std::string UserFolder() override { return GetUserFolder(); }
    tesra::NewMemoDefaults Defaults() override;
    tesra::CHttpClient& Http() override { return m_http; }
    std::string MemoServerHost() override;
    std::string LoginServerHost() override;
    tesra::FtpConnectionValues FtpConnection() override;
    tesra::CMemoIdMaker& ReceivedMemoIds() override { return m_receivedIds; }
    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    int RunStartUp() override;
    tesra::WindowHandle MainWindow() override;

    // Automation members.
    bool GetShowMemoDlg() const { return m_showMemoDlg != 0; }
    void SetShowMemoDlg(bool show);
    bool FtpConnection(const std::string& server, long port, const std::string& userId, const std::string& password);
    void ChageFtpConnection(const std::string& server, long port, const std::string& userId,
                            const std::string& password);
    bool ReceiveMemoData(BSTR* data);
    bool IsMemoFileExists(const std::string& name);
    // Raises SendMemoData with the text's bytes packed into a BSTR.
    void FireSendMemoData(const std::string& text);

    void ShowAllMemos(bool show);
    std::string GetUserFolder();

    // Connection values as the host handed them in.
    const std::string& server() const { return m_server; }
    std::uint16_t port() const { return m_port; }
    const std::string& userId() const { return m_userId; }
    const std::string& password() const { return m_password; }
    bool loaded() const { return m_loaded != 0; }
    UINT_PTR sessionTimer() const { return m_sessionTimer; }
    UINT_PTR minuteTimer() const { return m_minuteTimer; }

protected:
    ~CTesraCtrl() override = default;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    int OnCreate();
    void OnDestroy();
    void OnTimer(UINT_PTR id);
    LRESULT OnCopyData(HWND from, const COPYDATASTRUCT* data);
    void StoreConnection(const std::string& server, long port, const std::string& userId,
                         const std::string& password);
    void RefreshSession();
    void SyncAllMemos(bool atExit);
    int DestroyAllMemos();

    std::string Preference(const char* name) const;

    int m_loaded = 0;
    std::string m_server;
    std::uint16_t m_port = 0;
    std::string m_userId;
    std::string m_password;
    tesra::CIniFile m_index;
    tesra::CIniFile m_previousIndex;
    int m_showMemoDlg = 0;
    UINT_PTR m_removeTimer = 0;
    UINT_PTR m_minuteTimer = 0;
    UINT_PTR m_sessionTimer = 0;
    std::int32_t m_lastStartUp = 0;
    tesra::CHttpClient m_http;
    tesra::CMemoIdMaker m_receivedIds;
};
