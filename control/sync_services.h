// What the control provides to the memo manager and the synchronisation
// flows besides the memos: the connection values the host handed in, the
// one HTTP client that carries the session cookies, the server addresses of
// the preferences, and message boxes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/diag_log.h"
#include "net/http_client.h"
#include "sync/context.h"

// Where the server addresses are kept: values "MemoServer" and "LoginServer".
inline constexpr char kPreferenceKey[] = "Software\\Quillmar\\Tesra\\Preference";
// A DWORD there: not 0 turns the diagnostics log file on.
inline constexpr char kDiagnosticLogValue[] = "DiagnosticLog";
// The log file in the user folder (and its older half, with ".1").
inline constexpr char kDiagnosticLogFile[] = "tesra-log.txt";

class CSyncServices {
public:
    // window: the control's window when it has one (message boxes' owner).
    explicit CSyncServices(std::function<HWND()> window) : m_window(std::move(window)) {}

    // The part of the id before "@" names a folder of ours: an id that
    // cannot be one is refused whole, so nothing is stored or sent for it.
    void StoreConnection(const std::string& server, long port, const std::string& userId,
                         const std::string& password);
    const std::string& server() const { return m_server; }
    std::uint16_t port() const { return m_port; }
    const std::string& userId() const { return m_userId; }
    const std::string& password() const { return m_password; }
    tesra::FtpConnectionValues FtpConnection() const { return {m_server, m_port, m_userId, m_password}; }
    // The user's folder under the data root; made when missing.
    std::string UserFolder() const;

    tesra::CHttpClient& Http() { return m_http; }
    // "host" or "host:port": the environment, else the preference value.
    std::string MemoServerHost() const;
    std::string LoginServerHost() const;

    // One line to the debugger, and to the user folder's log file when the
    // preference turns it on (read again after each change of user).
    void Log(std::string_view line, std::int64_t now);

    // A modal box without icon owned by the control's window; the result
    // stands for the button pressed.
    int MessageBox(const std::string& text, UINT style);
    // The main window of the control's thread.
    tesra::WindowHandle MainWindow() const;

    // Seams for tests; the defaults are the system's own. The hook takes
    // every message box's text and style instead of showing it.
    using MessageBoxHook = std::function<int(const std::string& text, UINT style)>;
    void SetMessageBoxHook(MessageBoxHook hook) { m_messageBox = std::move(hook); }
    tesra::SyncLimits Limits() const { return m_limits; }
    void SetLimits(const tesra::SyncLimits& limits) { m_limits = limits; }

private:
    std::function<HWND()> m_window;
    std::string m_server;
    std::uint16_t m_port = 0;
    std::string m_userId;
    std::string m_password;
    tesra::CHttpClient m_http;
    MessageBoxHook m_messageBox;
    tesra::SyncLimits m_limits;
    tesra::CDiagLog m_log;
    bool m_logChecked = false;
};
