// The control's own HTTP client and agent connection against the stand-ins:
// the framing matches, and every injected fault reaches the client as the
// transport outcome the sync flows have to tell apart.
#include <gtest/gtest.h>

#include <string>

#include "net/agent_socket.h"
#include "net/base64.h"
#include "net/http_client.h"
#include "stand_in.h"
#include "support/cp949_corpus.h"
#include "support/temp_dir.h"
#include "sync/protocol.h"

namespace tesra::test {
namespace {

using std::string;
using namespace std::string_literals;

class ControlClient : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<StandIn>(TESRA_MEMO_SERVER_BIN,
                                            std::vector<string>{"--db", dir_.File("memo.db"), "--user", "kim:" + kPassword + ":group"});
        ASSERT_GT(server_->port(), 0);
        host_ = "127.0.0.1:" + std::to_string(server_->port());
        http_.m_nIoSecs = 5;
    }

    string Url(const char* path) const { return ServerUrl(host_, path); }

    void LoginByScript() {
        http_.SetCookie("");
        http_.Get(LoginUrl(Url(kLoginPath), "kim", kPassword));
        const string sid = SessionFromCookieJar(http_.m_strCookie);
        if (!sid.empty()) http_.SetCookie(SessionCookie(sid));
    }

    void Fault(const string& rule) {
        ASSERT_EQ(Exchange(server_->port(), ControlPost("/admin/fault", rule, "")).body, "[OK]\n");
    }

    MemoFields Fields() const {
        MemoFields f;
        f.ver = "4:1700000000";
        f.title = cp949::kMemo;
        return f;
    }

    const string kPassword = "pw&"s + cp949::kHangul;
    TempDir dir_;
    std::unique_ptr<StandIn> server_;
    string host_;
    CHttpClient http_;
};

TEST_F(ControlClient, LogsInByScriptAndRoundTripsAMemo) {
    http_.Post(Url(kGetMemoGroupPath), GetMemoGroupBody());
    EXPECT_EQ(ClassifyMemoGroupReply(http_.m_strBody), -1);

    LoginByScript();
    http_.Post(Url(kGetMemoGroupPath), GetMemoGroupBody());
    EXPECT_EQ(ClassifyMemoGroupReply(http_.m_strBody), 1);

    const string text = "first\r\n"s + cp949::kHangul + "\r\n[ERROR] is mine";
    http_.Post(Url(kSetMemoPath), SetMemoBody("77", Fields(), text));
    EXPECT_EQ(http_.m_transport, HttpTransport::kCompleted);
    EXPECT_EQ(IsServerErrorReply(http_.m_strBody, "127.0.0.1"), 0);
    http_.Post(Url(kGetMemoPath), GetIniBody("77"));
    EXPECT_EQ(ServerStampFromReply(http_.m_strBody), "4:1700000000");
    http_.Post(Url(kGetMemoPath), GetDataBody("77"));
    EXPECT_EQ(http_.m_strBody, text);
}

TEST_F(ControlClient, EachFaultArrivesAsItsOwnTransportOutcome) {
    LoginByScript();
    const string text(1000, 'x');
    http_.Post(Url(kSetMemoPath), SetMemoBody("1", Fields(), text));
    ASSERT_EQ(http_.m_strBody, "[OK]\n");

    struct Case {
        const char* rule;
        HttpTransport transport;
        std::size_t bodyBytes;
    };
    const Case cases[] = {
        {"kind=getdata&mode=drop", HttpTransport::kFailed, 0},
        {"kind=getdata&mode=reset", HttpTransport::kFailed, 0},
        {"kind=getdata&mode=empty", HttpTransport::kCompleted, 0},
        {"kind=getdata&mode=midbody&apply=1", HttpTransport::kFailed, 500},
        {"kind=getdata&mode=error", HttpTransport::kCompleted, 12},
        {"kind=getdata&mode=delay&ms=200", HttpTransport::kCompleted, 1000},
    };
    for (const Case& c : cases) {
        Fault(c.rule);
        http_.Post(Url(kGetMemoPath), GetDataBody("1"));
        EXPECT_EQ(http_.m_transport, c.transport) << c.rule;
        EXPECT_EQ(http_.m_strBody.size(), c.bodyBytes) << c.rule;
    }

    // A reply later than the client waits.
    Fault("kind=getdata&mode=delay&ms=1500");
    http_.m_nPostRounds = 5;
    http_.Post(Url(kGetMemoPath), GetDataBody("1"));
    EXPECT_EQ(http_.m_transport, HttpTransport::kTimedOut);
    EXPECT_EQ(http_.m_strBody, "");
}

TEST_F(ControlClient, AgentSessionIsAcceptedByTheServer) {
    StandIn agent(TESRA_AGENT_BIN, {"--db", dir_.File("memo.db"), "--port", "0"});
    ASSERT_GT(agent.port(), 0);
    static int mainWindow;
    CAgentSocket a(1);
    a.SetConnectMode(1, 3000);
    a.m_hMainWnd = &mainWindow;
    a.m_nIoSecs = 5;
    ASSERT_EQ(a.ConnectAgent("127.0.0.1", agent.port()), 1);
    CBase64 base64;
    ASSERT_EQ(a.Auth("kim", base64.Encode(kPassword.data(), static_cast<int>(kPassword.size()))), 1);
    ASSERT_EQ(a.CreateSession(), 1);
    const string sid = SessionFromAgentReply(a.m_strReply);
    a.Close(1);
    ASSERT_FALSE(sid.empty());

    http_.SetCookie(SessionCookie(sid));
    http_.Post(Url(kGetMemoGroupPath), GetMemoGroupBody());
    EXPECT_EQ(ClassifyMemoGroupReply(http_.m_strBody), 1);

    CAgentSocket refused(1);
    refused.SetConnectMode(1, 3000);
    refused.m_hMainWnd = &mainWindow;
    refused.m_nIoSecs = 5;
    ASSERT_EQ(refused.ConnectAgent("127.0.0.1", agent.port()), 1);
    EXPECT_EQ(refused.Auth("kim", base64.Encode("wrong", 5)), 0);
    EXPECT_EQ(refused.m_strReplyErr, "401");
    EXPECT_EQ(refused.m_strReplyMessage, "wrong user id or password");
    refused.Close(1);
}

}  // namespace
}  // namespace tesra::test
