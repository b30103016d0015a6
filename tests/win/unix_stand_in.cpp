#include "unix_stand_in.h"

#include <windows.h>

#include <atomic>

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
    const std::string script = Format("echo $$ > %s/pid; exec timeout %d%s > %s/out 2>/dev/null", unixDir_.c_str(),
                                      lifeSeconds, program.c_str(), unixDir_.c_str());
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
