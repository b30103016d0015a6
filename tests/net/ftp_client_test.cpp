#include "net/ftp_client.h"

#include <gtest/gtest.h>

#include <string>

#include "base/fs.h"
#include "net_test_util.h"
#include "support/fake_server.h"
#include "support/temp_dir.h"

namespace tesra {
namespace {

using namespace test;
using std::string;
using step::Answer;

const std::vector<Step> kGreeting = {step::Send("220 ready\r\n")};
const std::vector<Step> kLogon = Answer("230 logged in\r\n");
const std::vector<Step> kTypeI = Answer("200 Type set to I\r\n");
const std::vector<Step> kPasv = {step::ListenData(), step::ReadUntil("\r\n"),
                                 step::Send("227 Entering Passive Mode ({PASV})\r\n")};

std::unique_ptr<CFtpClient> Client() {
    auto c = std::make_unique<CFtpClient>();
    c->m_nTimeoutMs = 3000;
    return c;
}

int LogOn(CFtpClient& c, const FakeServer& s) {
    return c.LogOn("127.0.0.1", s.port(), "u", "p", "", "", "", "", 21, 0);
}

struct LogonCase {
    int type, port;
    string greeting;
    std::vector<string> replies;
    string commands;
    int result;
    string last;
};

TEST(FtpClient, EveryLogonTypesSequence) {
    const string hello = "220 ready\r\n";
    const LogonCase cases[] = {
        // Only a line with the first line's code and a blank ends a greeting.
        {0, 21, "220-Welcome\r\n220-still\r\n221 other code\r\n220\r\n 220 indented\r\n220-x\r\n220 ready\r\n",
         {"331 pw", "230 ok"}, "USER u|PASS p", 1, "230 ok"},
        {0, 21, hello, {"230 ok"}, "USER u", 1, "230 ok"},
        {0, 21, hello, {"331 pw", "332 acct", "230 ok"}, "USER u|PASS p|ACCT a", 1, "230 ok"},
        {0, 21, hello, {"331 pw", "332 acct", "331 again"}, "USER u|PASS p|ACCT a", 0, "001 Logon failed"},
        {0, 21, hello, {"331 pw", "530 Login incorrect."}, "USER u|PASS p", 0, "530 Login incorrect."},
        {0, 21, hello, {"120 later"}, "USER u", 0, "120 later"},
        {1, 21, hello, {"331 fw pw", "230 fw ok", "331 site ok", "331 pw", "332 acct", "230 ok"},
         "USER fu|PASS fp|SITE ftp.host|USER u|PASS p|ACCT a", 1, "230 ok"},
        {1, 21, hello, {"331 fw pw", "331 again"}, "USER fu|PASS fp", 0, "001 Logon failed"},
        {1, 21, hello, {"230 fw ok", "230 site"}, "USER fu|SITE ftp.host", 0, "001 Logon failed"},
        {2, 21, hello, {"230 fw ok", "331 pw", "230 ok"}, "USER fu|USER u@ftp.host|PASS p", 1, "230 ok"},
        {3, 21, hello, {"220 open", "331 pw", "230 ok"}, "OPEN ftp.host|USER u|PASS p", 1, "230 ok"},
        {4, 21, hello, {"331 fw pw", "230 fw ok", "230 ok"}, "USER fu|PASS fp|USER u", 1, "230 ok"},
        {5, 21, hello, {"331 pw", "230 ok"}, "USER u@ftp.host|PASS p", 1, "230 ok"},
        {6, 21, hello, {"331 fw pw", "230 fw ok", "331 pw", "230 ok"}, "USER fu@ftp.host|PASS fp|USER u|PASS p", 1, "230 ok"},
        {7, 21, hello, {"331 pw", "332 acct", "230 ok"}, "USER u@ftp.host fu|PASS p|ACCT a", 1, "230 ok"},
        {7, 21, hello, {"230 too soon"}, "USER u@ftp.host fu", 0, "001 Logon failed"},
        {8, 21, hello, {"331 pw", "230 ok"}, "USER u@fu@ftp.host|PASS p@fp", 1, "230 ok"},
        // A port other than 21 goes into the host text.
        {5, 2121, hello, {"331 pw", "230 ok"}, "USER u@ftp.host:2121|PASS p", 1, "230 ok"},
    };
    for (const LogonCase& k : cases) {
        Script script = {step::Send(k.greeting)};
        for (const string& r : k.replies) {
            const auto a = Answer(r + "\r\n");
            script.insert(script.end(), a.begin(), a.end());
        }
        FakeServer server({script});
        auto c = Client();
        // Every type but 0 connects to the firewall; the server's host only
        // appears in the commands.
        const string host = k.type == 0 ? "127.0.0.1" : "ftp.host";
        const int port = k.type == 0 ? server.port() : k.port;
        EXPECT_EQ(c->LogOn(host, port, "u", "p", "a", "127.0.0.1", "fu", "fp", server.port(), k.type), k.result)
            << "type " << k.type;
        EXPECT_EQ(c->m_strLastReply, k.last) << "type " << k.type;
        c.reset();
        server.Finish();
        string expected = k.commands;
        for (std::size_t at; (at = expected.find('|')) != string::npos;) expected.replace(at, 1, "\r\n");
        EXPECT_EQ(server.Received(0), expected + "\r\n") << "type " << k.type;
    }
}

TEST(FtpClient, LogonFailuresBeforeTheSequence) {
    auto c = Client();
    EXPECT_EQ(c->LogOn("127.0.0.1", 21, "u", "p", "", "", "", "", 21, 9), 0);
    EXPECT_EQ(c->LogOn("127.0.0.1", ClosedPort(), "u", "p", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(c->m_strLastReply, "003 Unable to connect to server");
    FakeServer busy({{step::Send("421 Too many users\r\n")}});
    EXPECT_EQ(LogOn(*c, busy), 0);
    EXPECT_EQ(c->m_strLastReply, "421 Too many users");
}

TEST(FtpClient, BrokenRepliesEndWithNetworkError) {
    string filler;
    for (int i = 0; i < 100000; ++i) filler += "220-filler\r\n";
    // The last two close only after the client: their bounds, not the
    // server's close or the time-out, must end the reading.
    const std::vector<Step> broken[] = {
        {step::Send("220 hel"), step::Close()},                     // closed mid-line
        {step::Send("220-first\r\n220-second\r\n"), step::Close()},  // multi-line never ended
        {step::Reset()},
        {step::Send(string(1100 * 1024, 'x')), step::ReadToClose()},  // a megabyte without LF
        {step::Send(filler), step::ReadToClose()},  // a reply without end
    };
    for (const auto& script : broken) {
        FakeServer server({script});
        auto c = Client();
        c->m_nTimeoutMs = 3600 * 1000;
        EXPECT_EQ(LogOn(*c, server), 0);
        EXPECT_EQ(c->m_strLastReply, "006 Network error");
        c.reset();
        server.Finish();
        for (const string& e : server.Errors()) EXPECT_EQ(e.find("did not close"), string::npos) << e;
    }
}

// Every command goes through the same check; the logon's first is enough.
TEST(FtpClient, CommandsNeverCarryLineBreaksOrNul) {
    for (const string& bad : {string("u\r\nDELE x"), string("u\nx"), string("u\rx"), string("u\0x", 3)}) {
        FakeServer server({Steps({kGreeting, {step::Delay(200)}})});
        auto c = Client();
        EXPECT_EQ(c->LogOn("127.0.0.1", server.port(), bad, "p", "", "", "", "", 21, 0), 0);
        EXPECT_EQ(c->m_strLastReply, "006 Network error");
        c.reset();
        server.Finish();
        EXPECT_EQ(server.Received(0), "");
    }
}

// The data connection goes to the control connection's peer whatever the
// reply names (127.0.0.2 is loopback too, but nothing listens there).
TEST(FtpClient, PassiveDownload) {
    const string content = "memo text \xB8\xDE\xB8\xF0\r\n" + string(10000, 'd');
    FakeServer server({Steps({kGreeting, kLogon, kTypeI,
                              {step::ListenData(), step::ReadUntil("\r\n"), step::Send("227 =(127,0,0,2,{PORT})\r\n"),
                               step::ReadUntil("\r\n"), step::Send("150 Opening BINARY mode\r\n"), step::AcceptData(),
                               step::DataSend(content), step::DataClose(), step::Send("226 Transfer complete\r\n")}})});
    TempDir dir;
    auto c = Client();
    ASSERT_EQ(LogOn(*c, server), 1);
    EXPECT_EQ(c->TransferFile("/Tesra/memo1.dat", dir.File("memo1.dat"), 1, 1), 1);
    EXPECT_EQ(c->m_strLastReply, "226 Transfer complete");
    EXPECT_EQ(ReadBytes(dir.File("memo1.dat")), content);
    EXPECT_FALSE(fs::Stat(dir.File("memo1.dat.~part")));
    c->LogOff();
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Received(0), "USER u\r\nTYPE I\r\nPASV\r\nRETR /Tesra/memo1.dat\r\nQUIT\r\n");
}

TEST(FtpClient, PasvReplyParsing) {
    string host;
    int port = 0;
    ASSERT_TRUE(net::ParsePasvReply("227 Entering Passive Mode (10,0,0,5,19,137)", &host, &port));
    EXPECT_EQ(host, "10.0.0.5");
    EXPECT_EQ(port, 19 * 256 + 137);
    ASSERT_TRUE(net::ParsePasvReply("227 ( 1, 2,3 ,4,0,255 ).", &host, &port));
    EXPECT_EQ(host, "1.2.3.4");
    EXPECT_EQ(port, 255);
    for (const char* bad : {"227 Entering Passive Mode 10,0,0,5,19,137", "227 (10,0,0,5,19,137", "227 )(1,2,3,4,5,6)",
                            "227 (10,0,0,5,19)", "227 (10,0,0,5,19,137,1)", "227 (10,0,0,256,19,137)",
                            "227 (10,0,0,-1,19,137)", "227 (10,0,0,a,19,137)", "227 (10,0,,5,19,137)",
                            "227 (0010,0,0,5,19,137)", "227 ()"})
        EXPECT_FALSE(net::ParsePasvReply(bad, &host, &port)) << bad;
}

// After TYPE I: a PASV reply that names no address, the data connection that
// never comes, and every last word of the server. The target stays as it was
// unless the transfer completed, and no partial file is left.
TEST(FtpClient, TheServersLastWordDecides) {
    struct Case {
        const char* name;
        std::vector<Step> afterType;
        int result;
        string last, file;
        int waitMs = 3000;
    };
    const int nowhere = ClosedPort();
    const auto noData =
        Answer("227 (127,0,0,1," + std::to_string(nowhere / 256) + "," + std::to_string(nowhere % 256) + ")\r\n");
    const auto retr = [](std::vector<Step> after) { return Steps({kPasv, {step::ReadUntil("\r\n")}, after}); };
    const Case cases[] = {
        {"no address", Steps({Answer("227 Entering Passive Mode\r\n"), {step::Delay(100)}}), 0,
         "227 Entering Passive Mode", "old"},
        {"port byte too big", Steps({Answer("227 (127,0,0,1,300,1)\r\n"), {step::Delay(100)}}), 0,
         "227 (127,0,0,1,300,1)", "old"},
        {"550", retr({step::Send("550 No such file\r\n")}), 0, "550 No such file", "old"},
        {"425", retr({step::Send("425 Can't open data connection\r\n")}), 0, "425 Can't open data connection", "old"},
        {"421", retr({step::Send("421 Service closing\r\n"), step::Close()}), 0, "421 Service closing", "old"},
        {"150 then 451",
         retr({step::Send("150 go\r\n"), step::AcceptData(), step::DataSend("partial"), step::DataClose(),
               step::Send("451 Aborted\r\n")}),
         0, "451 Aborted", "old"},
        {"150 then close",
         retr({step::Send("150 go\r\n"), step::AcceptData(), step::DataSend("partial"), step::Close()}), 0,
         "006 Network error", "old"},
        {"empty file",
         retr({step::Send("150 go\r\n"), step::AcceptData(), step::DataClose(), step::Send("226 done\r\n")}), 1,
         "226 done", ""},
        // 150, but no data connection: an immediate end of data, and the reply after it decides.
        {"no data, 425", Steps({noData, Answer("150 go\r\n"), {step::Send("425 No data\r\n")}}), 0, "425 No data",
         "old"},
        {"no data, 226", Steps({noData, Answer("150 go\r\n"), {step::Send("226 Nothing sent\r\n")}}), 1,
         "226 Nothing sent", ""},
        // Data that stops coming is no end of the file, whatever the control line says.
        {"data stalls, 226",
         retr({step::Send("150 go\r\n"), step::AcceptData(), step::DataSend("partial"), step::Send("226 done\r\n"),
               step::Delay(1500)}),
         0, "006 Network error", "old", 300},
    };
    for (const Case& k : cases) {
        FakeServer server({Steps({kGreeting, kLogon, kTypeI, k.afterType})});
        TempDir dir;
        WriteBytes(dir.File("t.dat"), "old");
        auto c = Client();
        c->m_nTimeoutMs = k.waitMs;
        ASSERT_EQ(LogOn(*c, server), 1);
        EXPECT_EQ(c->TransferFile("/r", dir.File("t.dat"), 1, 1), k.result) << k.name;
        EXPECT_EQ(c->m_strLastReply, k.last) << k.name;
        EXPECT_EQ(ReadBytes(dir.File("t.dat")), k.file) << k.name;
        EXPECT_FALSE(fs::Stat(dir.File("t.dat.~part"))) << k.name;
    }
}

TEST(FtpClient, DownloadIntoAMissingFolderFailsBeforeAnyCommand) {
    FakeServer server({Steps({kGreeting, kLogon, {step::Delay(100)}})});
    TempDir dir;
    auto c = Client();
    ASSERT_EQ(LogOn(*c, server), 1);
    EXPECT_EQ(c->TransferFile("/r", dir.File("missing/t.dat"), 1, 1), 0);
    EXPECT_EQ(c->m_strLastReply, "004 Unable to open file on local machine");
    EXPECT_EQ(c->TransferFile("/r", dir.File("missing.dat"), 1, 0), 0);
    EXPECT_EQ(c->m_strLastReply, "004 Unable to open file on local machine");
    c.reset();
    server.Finish();
    EXPECT_EQ(server.Received(0), "USER u\r\n");
}

}  // namespace
}  // namespace tesra
