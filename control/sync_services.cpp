#include "control/sync_services.h"

#include "base/fs.h"
#include "base/text.h"
#include "control/app.h"
#include "win/registry.h"

namespace {

std::string Preference(const char* name) {
    std::string value;
    tesra::win::RegKey::Open(HKEY_CURRENT_USER, kPreferenceKey).GetString(name, &value);
    return value;
}

std::string LocalPart(const std::string& userId) {
    const int at = tesra::FindFrom(userId, "@", 0);
    return at < 0 ? std::string() : userId.substr(0, static_cast<std::size_t>(at));
}

}  // namespace

void CSyncServices::StoreConnection(const std::string& server, long port, const std::string& userId,
                                    const std::string& password) {
    m_server = server;
    m_port = static_cast<std::uint16_t>(port & 0xFFFF);
    m_logChecked = false;
    const std::string local = LocalPart(userId);
    if (!local.empty() && !tesra::fs::IsSafeFileName(local)) {
        m_userId.clear();
        m_password.clear();
        return;
    }
    m_userId = userId;
    m_password = password;
}

std::string CSyncServices::UserFolder() const {
    const std::string& root = TheApp().dataRoot();
    const std::string local = LocalPart(m_userId);
    const std::string folder = local.empty() ? root : tesra::Format("%s\\%s", root.c_str(), local.c_str());
    if (!tesra::fs::Stat(folder)) ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string CSyncServices::MemoServerHost() const {
    return tesra::ResolveServerHost(tesra::kMemoServerVariable, Preference("MemoServer"));
}

std::string CSyncServices::LoginServerHost() const {
    return tesra::ResolveServerHost(tesra::kLoginServerVariable, Preference("LoginServer"));
}

void CSyncServices::Log(std::string_view line, std::int64_t now) {
    if (!m_logChecked) {
        m_logChecked = true;
        DWORD on = 0;
        tesra::win::RegKey::Open(HKEY_CURRENT_USER, kPreferenceKey).GetDword(kDiagnosticLogValue, &on);
        m_log.SetFile(on ? tesra::fs::JoinPath(UserFolder(), kDiagnosticLogFile) : std::string());
    }
    m_log.Write(line, now);
}

int CSyncServices::MessageBox(const std::string& text, UINT style) {
    if (m_messageBox) return m_messageBox(text, style);
    return ::MessageBoxA(m_window(), text.c_str(), "", style);
}

tesra::WindowHandle CSyncServices::MainWindow() const {
    HWND window = m_window();
    return window ? ::GetAncestor(window, GA_ROOTOWNER) : nullptr;
}
