#include "sync/login.h"

#include <string_view>

#include "net/agent_socket.h"
#include "net/base64.h"
#include "net/http_client.h"
#include "sync/protocol.h"

namespace tesra {

namespace {

// A session id goes into the Cookie line of every later request: only
// plain characters, and not many, whatever the script or the agent sent.
bool IsPlainSessionId(std::string_view id) {
    static constexpr std::string_view kPlain =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~+/=%";
    return !id.empty() && id.size() <= 256 && id.find_first_not_of(kPlain) == std::string_view::npos;
}

}  // namespace

void LoginByScript(ISyncContext& ctx, const std::string& userId, const std::string& password) {
    CHttpClient& http = ctx.Http();
    const std::string url = LoginUrl(ServerUrl(ctx.LoginServerHost(), kLoginPath), userId, password);
    const std::string before = http.m_strCookie;
    http.SetCookie("");
    http.Get(url);
    // A login that never reached the script says nothing about the session
    // we had; dropping it would only fail the requests that follow.
    if (http.m_transport != HttpTransport::kCompleted) {
        http.SetCookie(before);
        return;
    }
    const std::string session = SessionFromCookieJar(http.m_strCookie);
    // What the script set stays only when it holds no session to replace it.
    if (!session.empty()) http.SetCookie(IsPlainSessionId(session) ? SessionCookie(session) : std::string());
}

std::string LoginByAgent(ISyncContext& ctx, const std::string& userId, const std::string& password) {
    std::string cookie;
    CAgentSocket agent(1);
    agent.SetConnectMode(1, 3000);
    agent.m_hMainWnd = ctx.MainWindow();
    agent.m_nIoSecs = ctx.Limits().agentIoSecs;
    CBase64 base64;
    const std::string pw64 = base64.Encode(password.data(), static_cast<int>(password.size()));
    if (!agent.ConnectAgent("127.0.0.1", AgentPortFromEnvironment())) return cookie;
    if (agent.Auth(userId, pw64) && agent.CreateSession()) {
        const std::string session = SessionFromAgentReply(agent.m_strReply);
        if (IsPlainSessionId(session)) cookie = SessionCookie(session);
    }
    agent.Close(1);
    return cookie;
}

}  // namespace tesra
