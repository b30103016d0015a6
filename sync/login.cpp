#include "sync/login.h"

#include "net/agent_socket.h"
#include "net/base64.h"
#include "net/http_client.h"
#include "sync/protocol.h"

namespace tesra {

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
    if (!session.empty()) http.SetCookie(SessionCookie(session));
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
        if (!session.empty()) cookie = SessionCookie(session);
    }
    agent.Close(1);
    return cookie;
}

}  // namespace tesra
