// The control object: the automation surface, its window with the timers,
// and the command channel's forwarding. The memos are the memo manager's;
// connection values, the HTTP client and message boxes the sync services'.
#pragma once

#include <windows.h>

#include <string>

#include "control/memo_manager.h"
#include "control/sync_services.h"
#include "win/gdi.h"
#include "win/ole_control.h"

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

class CTesraCtrl final : public tesra::win::COleControl, private IMemoManagerOwner {
public:
    CTesraCtrl();

    // Automation members.
    bool GetShowMemoDlg() const { return m_manager.ShowMemoDlg(); }
    void SetShowMemoDlg(bool show);
    bool FtpConnection(const std::string& server, long port, const std::string& userId, const std::string& password);
    void ChageFtpConnection(const std::string& server, long port, const std::string& userId,
                            const std::string& password);
    bool ReceiveMemoData(BSTR* data);
    bool IsMemoFileExists(const std::string& name);
    void FireSendMemoData(const std::string& text) override;

    // Its parts, for tests and tools (their seams are theirs).
    CMemoManager& Manager() { return m_manager; }
    CSyncServices& Services() { return m_services; }
    UINT_PTR sessionTimer() const { return m_sessionTimer; }
    UINT_PTR minuteTimer() const { return m_minuteTimer; }

protected:
    ~CTesraCtrl() override = default;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // IMemoManagerOwner
    HWND ControlWindow() override { return hwnd(); }
    void Hold() override { AddRef(); }
    void Let() override { Release(); }
    void StartRemoveTimer() override;
    void RestartSessionTimer() override;

    int OnCreate();
    void OnDestroy();
    void OnTimer(UINT_PTR id);
    LRESULT OnCopyData(const COPYDATASTRUCT* data);

    CSyncServices m_services;
    CMemoManager m_manager;
    UINT_PTR m_removeTimer = 0;
    UINT_PTR m_minuteTimer = 0;
    UINT_PTR m_sessionTimer = 0;
};
