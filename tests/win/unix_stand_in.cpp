#include "unix_stand_in.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "base/fs.h"
#include "base/text.h"
#include "net/http_client.h"

namespace tesra::test {
namespace {

std::string WindowsPath(const std::string& unixPath) { return "Z:" + ReplaceAll(unixPath, "/", "\\"); }

}  // namespace

bool RunUnix(const std::string& program, const std::string& arguments) {
    std::string command = "\"" + program + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const std::string app = WindowsPath(program);
    if (!::CreateProcessA(app.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    return true;
}

UnixStandIn::UnixStandIn(const std::vector<std::string>& argv, int lifeSeconds) {
    static std::atomic<int> serial{0};
    // Wine's process ids repeat from run to run: the tick count keeps an
    // earlier run's files out of this one's folder.
    unixDir_ = Format("/tmp/tesra-standin-%llu-%d", static_cast<unsigned long long>(::GetTickCount64()), ++serial);
    ::CreateDirectoryA(windowsDir().c_str(), nullptr);
    fs::RemoveFile(fs::JoinPath(windowsDir(), "out"));
    std::string program;
    for (const std::string& a : argv) program += " " + a;
    // A stand-in that outlives its signal is killed: one left spinning
    // would take a core from every run after it.
    const std::string script = Format("echo $$ > %s/pid; exec timeout -k 5 %d%s > %s/out 2>/dev/null",
                                      unixDir_.c_str(), lifeSeconds, program.c_str(), unixDir_.c_str());
    if (!RunUnix("/bin/sh", "-c \"" + script + "\"")) return;
    const std::string out = fs::JoinPath(windowsDir(), "out");
    static constexpr char kListening[] = "listening 127.0.0.1:";
    for (int round = 0; round < 200 && port_ == 0; ++round) {
        std::string text;
        if (fs::ReadFile(out, &text)) {
            const int at = FindFrom(text, kListening, 0);
            if (at >= 0 && text.find('\n', static_cast<std::size_t>(at)) != std::string::npos)
                port_ = static_cast<std::uint16_t>(ParseLong(text.substr(at + sizeof kListening - 1)));
        }
        if (port_ == 0) ::Sleep(50);
    }
}

UnixStandIn::~UnixStandIn() {
    std::string pid;
    if (fs::ReadFile(fs::JoinPath(windowsDir(), "pid"), &pid) && ParseLong(pid) > 0)
        RunUnix("/bin/kill", std::to_string(ParseLong(pid)));
    RunUnix("/bin/rm", "-rf " + unixDir_);
}

std::string UnixStandIn::windowsDir() const { return WindowsPath(unixDir_); }

std::string MemoServerStandIn::NewUser() {
    static std::atomic<int> serial{0};
    return Format("u%llu_%d", static_cast<unsigned long long>(::GetTickCount64()), ++serial);
}

MemoServerStandIn::MemoServerStandIn(const std::string& tools, int lifeSeconds, const std::string& user)
    : UnixStandIn({tools + "/tesra-memo-server", "--db", "/tmp/" + user + ".db"}, lifeSeconds), user_(user) {
    if (port() == 0) return;
    host_ = "127.0.0.1:" + std::to_string(port());
    for (const char* name : {"TESRA_MEMO_SERVER", "TESRA_LOGIN_SERVER"}) _putenv_s(name, host_.c_str());
    _putenv_s("TESRA_AGENT_PORT", "1");
    Admin("/admin/user", "id=" + user_ + "@x&pw=pw");
}

MemoServerStandIn::~MemoServerStandIn() { ::DeleteFileA(WindowsPath("/tmp/" + user_ + ".db").c_str()); }

std::string MemoServerStandIn::Admin(const std::string& path, const std::string& body, const std::string& cookie) const {
    return StandInRequest(host_, path, body, cookie);
}

std::string MemoServerStandIn::NewSession() const {
    return SessionCookie(Trim(GetPiece(Admin("/admin/session", "id=" + user_ + "@x"), "sid=", 1)));
}

std::string MemoServerStandIn::Seed(const std::vector<std::tuple<std::string, MemoFields, std::string>>& memos) const {
    std::string replies = Admin("/admin/user", "id=" + user_ + "@x&pw=pw&group=1");
    const std::string cookie = NewSession();
    replies += Admin(kSetMemoUserPath, SetUserDefaultsBody(0, 200, 210, "0 -12 0 0 0 400 0 0 129 3 2 1 1 x"), cookie);
    for (const auto& [muid, fields, text] : memos) replies += Admin(kSetMemoPath, SetMemoBody(muid, fields, text), cookie);
    return replies;
}

std::string StandInRequest(const std::string& host, const std::string& path, const std::string& body,
                           const std::string& cookie) {
    CHttpClient http;
    http.SetCookie(cookie);
    if (body.empty())
        http.Get("http://" + host + path);
    else
        http.Post("http://" + host + path, body);
    return http.m_strBody;
}

}  // namespace tesra::test
