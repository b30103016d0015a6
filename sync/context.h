// What the synchronisation flows need from the memo manager. The control
// implements this; tests give a fake. Everything here runs on the control's
// thread, and the flows keep no state of their own between calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/pump.h"
#include "storage/memo_format.h"

namespace tesra {

class CIniFile;
class CHttpClient;

// The defaults for new memos, as section "main" and the default font give
// them.
struct NewMemoDefaults {
    int background = 0;
    int width = 200;
    int height = 210;
    MemoFont font;  // text colour and LOGFONT
};

// What the host handed to FtpConnection.
struct FtpConnectionValues {
    std::string server;
    int port = 21;
    std::string userId;
    std::string password;
};

// Waits that the flows set on the clients they make; the defaults are the
// control's own, tests shorten them.
struct SyncLimits {
    int ftpTimeoutMs = -1;  // none
    int ftpDeadlineMs = 60000;  // the whole receipt of one memo over FTP
    int agentIoSecs = 60;
};

class ISyncContext {
public:
    virtual ~ISyncContext() = default;

    // The live memo index (m_index).
    virtual CIniFile& LiveIndex() = 0;
    // Made when missing.
    virtual std::string UserFolder() = 0;
    virtual NewMemoDefaults Defaults() = 0;
    // The one client that carries the session cookies.
    virtual CHttpClient& Http() = 0;
    // "host" or "host:port", already resolved (ResolveServerHost).
    virtual std::string MemoServerHost() = 0;
    virtual std::string LoginServerHost() = 0;
    virtual FtpConnectionValues FtpConnection() = 0;
    // Numbers for received memos: the process's received-memo counter.
    virtual CMemoIdMaker& ReceivedMemoIds() = 0;
    // Whether a new memo may not take this id: its section, its data file or
    // a received file on its way to that name exists. The manager adds its
    // open windows, whose memos may not have reached the index yet.
    virtual bool IsMemoIdInUse(std::int32_t id);
    // The index text the server sent last (at start-up, or by command 303):
    // its memos' ids stay in use even where no window or local index holds
    // them any more, so a new memo's upload never overwrites one of them.
    void NoteServerIndex(std::string_view text);
    // A modal Yes/No box without icon; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A modal box with an OK button only, without icon.
    virtual void ShowMessage(const std::string& text) = 0;
    // The whole start-up sequence (save, drop windows, log in, load again);
    // 1 loaded, 0 failed.
    virtual int RunStartUp() = 0;
    // The main window of the control's thread, whose WM_QUIT / WM_CLOSE ends
    // the agent connect's wait.
    virtual WindowHandle MainWindow() = 0;
    virtual SyncLimits Limits() { return {}; }
    // A flow's outcome for the diagnostics log: commands, codes and counts,
    // never a password, a session id or a memo's text.
    virtual void Log(std::string_view line);

private:
    std::vector<std::int32_t> m_serverIndexIds;  // sorted
};

// "웹타라 메모에서 수정된 메모입니다.\n덮어 올리시겠습니까? \n('아니오'를 하시면
// 웹타라에 저장된 메모를 새로 가져옵니다.)\n\n메모내용: %s" with the title.
inline constexpr char kConflictQuestionFormat[] =
    "\xC0\xA5\xC5\xB8\xB6\xF3 \xB8\xDE\xB8\xF0\xBF\xA1\xBC\xAD \xBC\xF6\xC1\xA4\xB5\xC8 "
    "\xB8\xDE\xB8\xF0\xC0\xD4\xB4\xCF\xB4\xD9.\n"
    "\xB5\xA4\xBE\xEE \xBF\xC3\xB8\xAE\xBD\xC3\xB0\xDA\xBD\xC0\xB4\xCF\xB1\xEE? \n"
    "('\xBE\xC6\xB4\xCF\xBF\xC0'\xB8\xA6 \xC7\xCF\xBD\xC3\xB8\xE9 \xC0\xA5\xC5\xB8\xB6\xF3\xBF\xA1 "
    "\xC0\xFA\xC0\xE5\xB5\xC8 \xB8\xDE\xB8\xF0\xB8\xA6 \xBB\xF5\xB7\xCE \xB0\xA1\xC1\xAE\xBF\xC9\xB4\xCF\xB4\xD9.)\n"
    "\n"
    "\xB8\xDE\xB8\xF0\xB3\xBB\xBF\xEB: %s";

// "현재 메모 서버 점검 중입니다.\n메모 저장을 실패하였습니다."
inline constexpr char kUploadFailedMessage[] =
    "\xC7\xF6\xC0\xE7 \xB8\xDE\xB8\xF0 \xBC\xAD\xB9\xF6 \xC1\xA1\xB0\xCB \xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.\n"
    "\xB8\xDE\xB8\xF0 \xC0\xFA\xC0\xE5\xC0\xBB \xBD\xC7\xC6\xD0\xC7\xCF\xBF\xB4\xBD\xC0\xB4\xCF\xB4\xD9.";

// Where a memo file announced by command 302 lands before it takes its id's
// name.
std::string ReceivingFileName(std::int32_t id);

// Server addresses: the environment overrides the preference values.
inline constexpr char kMemoServerVariable[] = "TESRA_MEMO_SERVER";
inline constexpr char kLoginServerVariable[] = "TESRA_LOGIN_SERVER";

// The variable's value when it is set and not empty, else the preference
// value (read from the registry by the control). Either is "host" or
// "host:port".
std::string ResolveServerHost(const char* variable, std::string_view preference);

// The host name of "host" or "host:port": what the server's own error page
// names.
std::string HostName(std::string_view host);

}  // namespace tesra
