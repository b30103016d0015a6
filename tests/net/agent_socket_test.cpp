#include "net/agent_socket.h"

#include <gtest/gtest.h>

#include <string>

#include "net/base64.h"
#include "net/worker.h"
#include "net_test_util.h"
#include "support/fake_server.h"
#include "support/temp_dir.h"

namespace tesra {
namespace {

using namespace test;
using std::string;

// Any non-null token stands for the main window where there are no windows.
WindowHandle SomeWindow() {
    static int token;
    return &token;
}

std::unique_ptr<CAgentSocket> Agent(int threaded) {
    auto a = std::make_unique<CAgentSocket>(threaded);
    a->SetConnectMode(1, 3000);
    a->m_hMainWnd = SomeWindow();
    a->m_nIoSecs = 2;
    return a;
}

// Round trips and the missing fill: fuzz_base64. The alphabet's ends:
TEST(Base64, EncodesWithoutFill) {
    CBase64 b;
    EXPECT_EQ(b.Encode("\xFB\xEF\xBE", 3), "++++");
    EXPECT_EQ(b.Encode("\xFF\xFF\xFF", 3), "////");
    EXPECT_EQ(b.Encode(nullptr, 5), "");
}

TEST(AgentSocket, PortFromTheEnvironment) {
    for (const auto& [value, port] : {std::pair{"", 9002}, {"19002", 19002}, {"99999", 9002}}) {
        SetVariable("TESRA_AGENT_PORT", value);
        EXPECT_EQ(AgentPortFromEnvironment(), port) << value;
    }
}

// The whole login conversation in both forms, by address and by name.
TEST(AgentSocket, AuthThenCreateSessionSendsExactBytes) {
    for (int threaded : {0, 1}) {
        FakeServer agent({{step::ReadUntil("\r\n\r\n"), step::Send("OK\r\n\r\n"), step::ReadUntil("\r\n\r\n"),
                           step::Send("SID abc123\r\nEMAIL e1\r\n\r\n")}});
        auto a = Agent(threaded);
        ASSERT_EQ(a->ConnectAgent(threaded ? "127.0.0.1" : "localhost", static_cast<std::uint16_t>(agent.port())), 1);
        CBase64 b64;
        EXPECT_EQ(a->Auth("kim|lee@x", b64.Encode("abc", 3)), 1);
        EXPECT_EQ(a->m_strReply, "OK\r\n\r\n");
        EXPECT_EQ(a->CreateSession(), 1);
        EXPECT_EQ(a->m_strReply, "SID abc123\r\nEMAIL e1\r\n\r\n");
        a->Close(1);
        EXPECT_TRUE(agent.Finish());
        EXPECT_EQ(agent.Received(0), "auth kim|lee@x|YWJj\r\n\r\ncreatesession\r\n\r\n") << threaded;
    }
}

TEST(AgentSocket, Replies) {
    struct Case {
        const char* name;
        std::vector<Step> reply;
        int result;
        string text;
    };
    const Case cases[] = {
        {"one line and the empty line", {step::Send("ok\r\n\r\n")}, 1, "ok\r\n\r\n"},
        {"one byte per packet", {step::Drip("ok\r\nx=1\r\n\r\n")}, 1, "ok\r\nx=1\r\n\r\n"},
        {"without the empty line, then close", {step::Send("ok\r\nmore\r\n"), step::Close()}, 1, "ok\r\nmore\r\n"},
        {"last line without line end", {step::Send("ok\r\npartial"), step::Close()}, 1, "ok\r\npartial"},
        {"closed without answering", {step::Close()}, 0, ""},
        {"ERR", {step::Send("ERR 12\r\n\r\n")}, 0, "ERR 12\r\n\r\n"},
        {"ERR without line end", {step::Send("ERR"), step::Close()}, 0, "ERR"},
        {"LF-only lines", {step::Send("ok\n\n"), step::Close()}, 1, "ok\n\n"},
    };
    for (const Case& k : cases) {
        for (int threaded : {0, 1}) {
            Script s{step::ReadUntil("\r\n\r\n")};
            s.insert(s.end(), k.reply.begin(), k.reply.end());
            FakeServer agent({s});
            auto a = Agent(threaded);
            ASSERT_EQ(a->ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(agent.port())), 1);
            EXPECT_EQ(a->Auth("u", "p"), k.result) << k.name << " threaded " << threaded;
            EXPECT_EQ(a->m_strReply, k.text) << k.name << " threaded " << threaded;
            a->Close(1);
        }
    }
}

TEST(AgentSocket, TwoRepliesInOnePacketKeepTheFirstApart) {
    FakeServer agent({{step::ReadUntil("\r\n\r\n"), step::Send("first\r\n\r\nsecond\r\n\r\n"), step::Delay(1500)}});
    auto a = Agent(0);
    a->m_nIoSecs = 1;
    ASSERT_EQ(a->ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(agent.port())), 1);
    EXPECT_EQ(a->Auth("u", "p"), 1);
    EXPECT_EQ(a->m_strReply, "first\r\n\r\n");
    // Each request starts with an empty read-ahead: what came unasked is
    // dropped, and this request's answer never comes.
    EXPECT_EQ(a->CreateSession(), 0);
    EXPECT_EQ(a->m_strReply, "");
    a->Close(1);
}

// A failed connect leaves nothing behind and nothing is sent after it:
// refused (with limits longer than the run, so only the refusal can end it),
// silent (only the connect's own time-out can end it), or threaded without
// the main window whose close would end its wait.
TEST(AgentSocket, FailedConnectsLeaveNothingAndSendNothing) {
    FakeServer live({{step::Delay(10)}});
    SilentListener silent;
    const int closed = ClosedPort();
    const struct {
        const char* name;
        int threaded, port, timeoutMs;
        bool window;
    } cases[] = {
        {"refused", 0, closed, 3600 * 1000, true},
        {"refused threaded", 1, closed, 3600 * 1000, true},
        {"silent", 1, silent.port(), 300, true},
        {"no main window", 1, live.port(), 3000, false},
    };
    for (const auto& k : cases) {
        if (k.port == silent.port() && !silent.silent()) continue;  // the accept queue does not fill here
        auto a = Agent(k.threaded);
        a->SetConnectMode(1, k.timeoutMs);
        a->m_nConnectRounds = 36000;
        if (!k.window) a->m_hMainWnd = nullptr;
        EXPECT_EQ(a->ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(k.port)), 0) << k.name;
        EXPECT_EQ(a->m_hSocket, net::kNoSocket) << k.name;
        EXPECT_EQ(a->Auth("u", "p"), 0) << k.name;
        EXPECT_EQ(a->m_hEvent, nullptr) << k.name;
    }
}

TEST(AgentSocket, ATimeOutAfterTheFirstLineDecidesDifferentlyByForm) {
    for (int threaded : {0, 1}) {
        FakeServer agent({{step::ReadUntil("\r\n\r\n"), step::Send("ok\r\n"), step::Delay(2000)}});
        auto a = Agent(threaded);
        a->m_nIoSecs = 1;
        ASSERT_EQ(a->ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(agent.port())), 1);
        EXPECT_EQ(a->Auth("u", "p"), threaded) << threaded;
        a->Close(1);
    }
}

TEST(AgentSocket, AnAbandonedExchangeLeavesTheObjectFreeToGo) {
    FakeServer agent({{step::ReadUntil("\r\n\r\n"), step::Delay(600), step::Send("late\r\n\r\n")}});
    {
        auto a = Agent(1);
        a->m_nExchangeRounds = 2;
        ASSERT_EQ(a->ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(agent.port())), 1);
        EXPECT_EQ(a->Auth("u", "p"), 0);
        EXPECT_EQ(a->m_bUsable, 0);
        EXPECT_EQ(a->m_strReply, "");
        a->Close(1);
        // Destroyed here while the worker may still be reading.
    }
    EXPECT_TRUE(net::WaitForWorkers(5000));
}

}  // namespace
}  // namespace tesra
