// The stand-in agent's line protocol, and its sessions at the memo server.
#include <gtest/gtest.h>

#include <string>

#include "stand_in.h"
#include "support/cp949_corpus.h"
#include "support/temp_dir.h"
#include "sync/protocol.h"

namespace tesra::test {
namespace {

using std::string;
using namespace std::string_literals;

// The control's encoding: the standard alphabet and no "=" fill.
string Base64NoFill(const string& bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(c);
        count += 8;
        while (count >= 6) out.push_back(kAlphabet[(bits >> (count -= 6)) & 0x3F]);
    }
    if (count > 0) out.push_back(kAlphabet[(bits << (6 - count)) & 0x3F]);
    return out;
}

string Auth(const string& id, const string& pw) { return "auth " + id + "|" + Base64NoFill(pw) + "\r\n\r\n"; }
constexpr char kCreateSession[] = "createsession\r\n\r\n";

class Agent : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<StandIn>(TESRA_MEMO_SERVER_BIN, std::vector<string>{"--db", dir_.File("memo.db")});
        ASSERT_GT(server_->port(), 0);
        AddUser("kim", kPassword);
        StartAgent("normal");
    }

    void StartAgent(const string& mode) {
        agent_.reset();
        agent_ = std::make_unique<StandIn>(TESRA_AGENT_BIN,
                                           std::vector<string>{"--db", dir_.File("memo.db"), "--port", "0", "--mode", mode});
        ASSERT_GT(agent_->port(), 0) << agent_->firstLine();
    }

    void AddUser(const string& id, const string& pw) {
        const string form = "id=" + EncodeFormValue(id) + "&pw=" + EncodeFormValue(pw) + "&group=1";
        ASSERT_EQ(Exchange(server_->port(), ControlPost("/admin/user", form, "")).body, "[OK]\n");
    }

    // Both requests on one connection, as the control sends them; the
    // replies come back one after the other, each ended by its empty line.
    string Talk(const string& requests, std::size_t chunk = 0) {
        return Exchange(agent_->port(), requests, chunk, std::chrono::seconds(10), true).bytes;
    }

    int GroupAnswer(const string& sid) {
        return ClassifyMemoGroupReply(
            Exchange(server_->port(), ControlPost(kGetMemoGroupPath, GetMemoGroupBody(), SessionCookie(sid))).body);
    }

    const string kPassword = "pw&"s + cp949::kHangul + "\xFF";
    TempDir dir_;
    std::unique_ptr<StandIn> server_;
    std::unique_ptr<StandIn> agent_;
};

TEST_F(Agent, HandsOutASessionTheMemoServerAccepts) {
    const string replies = Talk(Auth("kim", kPassword) + kCreateSession);
    ASSERT_EQ(replies.substr(0, 4), "OK\r\n");
    ASSERT_EQ(replies.substr(4, 2), "\r\n");
    const string second = replies.substr(6);
    const string sid = SessionFromAgentReply(second);
    ASSERT_EQ(sid.size(), 32u);
    EXPECT_EQ(second, "OK\r\n" + sid + "\r\n\r\n");
    EXPECT_EQ(GroupAnswer(sid), 1);
    EXPECT_EQ(GroupAnswer("not-a-session"), -1);

    // Request bytes trickling in one at a time make no difference.
    const string slow = Talk(Auth("kim", kPassword) + kCreateSession, 1);
    EXPECT_EQ(GroupAnswer(SessionFromAgentReply(slow.substr(6))), 1);
}

TEST_F(Agent, RefusesWrongCredentialsWithItsErrorFields) {
    for (const string& auth : {Auth("kim", "wrong"), Auth("nobody", kPassword), "auth kim|***\r\n\r\n"s,
                               "auth kim\r\n\r\n"s, "auth |"s + Base64NoFill(kPassword) + "\r\n\r\n"}) {
        const string replies = Talk(auth + kCreateSession);
        ASSERT_EQ(replies.substr(0, 3), "ERR") << auth;
        // Each refusal carries its fields and ends with the empty line; the
        // session request after it is refused too.
        const string first = replies.substr(0, replies.find("\r\n\r\n") + 4);
        EXPECT_NE(first.find("\r\nmessage="), string::npos);
        EXPECT_NE(first.find("\r\nserver=127.0.0.1:"), string::npos);
        EXPECT_NE(first.find("\r\nurl="), string::npos);
        EXPECT_EQ(replies.substr(first.size(), 3), "ERR") << auth;
    }
    // Padded Base64 is fine too.
    EXPECT_EQ(Talk("auth kim|" + Base64NoFill(kPassword) + "=\r\n\r\n").substr(0, 4), "OK\r\n");
    EXPECT_EQ(Talk(kCreateSession).substr(0, 3), "ERR");
    EXPECT_EQ(Talk("hello\r\n\r\n").substr(0, 3), "ERR");
}

TEST_F(Agent, SeesUsersAddedAfterItStartedAndIdsWithABar) {
    AddUser("a|b", "pw");
    const string replies = Talk(Auth("a|b", "pw") + kCreateSession);
    EXPECT_EQ(replies.substr(0, 6), "OK\r\n\r\n");
    EXPECT_EQ(GroupAnswer(SessionFromAgentReply(replies.substr(6))), 1);
}

TEST_F(Agent, ModesForTheControlsFallbacks) {
    StartAgent("single-line");
    EXPECT_EQ(Talk(Auth("kim", kPassword) + kCreateSession), "OK\r\n\r\nOK\r\n\r\n");
    StartAgent("refuse");
    EXPECT_EQ(Talk(Auth("kim", kPassword)).substr(0, 3), "ERR");
    StartAgent("close");
    EXPECT_EQ(Talk(Auth("kim", kPassword)), "");
}

TEST_F(Agent, StopsOnSigterm) {
    const std::uint16_t port = agent_->port();
    EXPECT_EQ(agent_->Stop(std::chrono::seconds(5)), 0);
    EXPECT_FALSE(Exchange(port, kCreateSession).connected);
}

}  // namespace
}  // namespace tesra::test
