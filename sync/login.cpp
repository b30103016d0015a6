#include "sync/login.h"

#include <string_view>

#include "net/agent_socket.h"
#include "net/base64.h"
#include "base/text.h"
#include "net/http_client.h"
#include "sync/exchange.h"
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
        ctx.Log("login script: " + sync::TransportOutcome(http));
        http.SetCookie(before);
        return;
    }
    const std::string session = SessionFromCookieJar(http.m_strCookie);
    ctx.Log(Format("login script: %s, %s", sync::TransportOutcome(http).c_str(),
                   session.empty() ? "no session" : IsPlainSessionId(session) ? "session set" : "session refused"));
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
    if (!agent.ConnectAgent("127.0.0.1", AgentPortFromEnvironment())) {
        ctx.Log("agent: no connection");
        return cookie;
    }
    const char* outcome = "refused";
    if (agent.Auth(userId, pw64) && agent.CreateSession()) {
        const std::string session = SessionFromAgentReply(agent.m_strReply);
        if (IsPlainSessionId(session)) cookie = SessionCookie(session);
        outcome = cookie.empty() ? "session refused" : "session set";
    }
    ctx.Log(std::string("agent: ") + outcome);
    agent.Close(1);
    return cookie;
}

}  // namespace tesra
