#include "net/blocking_socket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net_test_util.h"
#include "support/fake_server.h"

namespace tesra {
namespace {

using namespace test;
using std::string;

// A socket connected to a fake server, closed at the end.
struct Connected {
    explicit Connected(int port, int timed = 0) {
        sock.SetConnectMode(timed, 3000);
        sock.Create(1);
        sock.Connect(Loopback(port));
    }
    ~Connected() {
        if (sock.m_hSocket != net::kNoSocket) sock.Close(1);
    }
    CHttpBlockingSocket sock;
};

// Every connect of these tests checks the address bytes; here what is no address.
TEST(BlockingSocket, AddressesFromDottedTextOnly) {
    for (const char* name : {"localhost", "255.255.255.255"})
        EXPECT_EQ(ThrownLabel([&] { CBlockingSocket::GetHostByAddr(name, 80); }), "GetHostByName") << name;
    EXPECT_EQ(ThrownLabel([] { CBlockingSocket::GetHostByName("", 80); }), "GetHostByName");
    EXPECT_EQ(ThrownLabel([] { CBlockingSocket::GetHostByName("127.0.0.1", 80); }), "");
}

TEST(BlockingSocket, SendAfterCloseThrowsClose) {
    FakeServer server({{step::Delay(100)}});
    Connected c(server.port());
    c.sock.Close(1);
    EXPECT_EQ(c.sock.m_hSocket, net::kNoSocket);
    EXPECT_EQ(ThrownLabel([&] { c.sock.Send("x", 1, 1); }), "Close");
}

TEST(BlockingSocket, ConnectsAndRefusals) {
    // Timed (1) and plain (0), to a listener and to a closed port. A refused
    // timed connect must end on the refusal: its time-out is longer than the
    // test's, so waiting it out fails the run.
    const int closed = ClosedPort();
    FakeServer server({{step::Delay(50)}});
    const struct {
        int timed, port;
        const char* label;
    } cases[] = {{1, server.port(), ""}, {1, closed, "ConnectEx"}, {0, closed, "Connect"}};
    for (const auto& k : cases) {
        CBlockingSocket s;
        s.SetConnectMode(k.timed, 3600 * 1000);
        s.Create(1);
        int error = 0;
        EXPECT_EQ(ThrownLabel([&] { s.Connect(Loopback(k.port)); }, &error), k.label) << k.timed << " " << k.port;
        if (!k.timed) {
            EXPECT_NE(error, 0);  // the plain connect's own error
        }
        s.Close(1);
        EXPECT_EQ(s.m_hSocket, net::kNoSocket);
    }

    // A listener whose queue is full: the time-out ends the connect; once
    // room appears while the connect still tries, it gets through.
    SilentListener silent;
    if (silent.silent()) {
        CBlockingSocket s;
        s.Create(1);
        EXPECT_EQ(ThrownLabel([&] { s.ConnectEx(Loopback(silent.port()), 300); }), "ConnectEx");
        EXPECT_EQ(s.m_hSocket, net::kNoSocket);
        CBlockingSocket slow;
        slow.Create(1);
        std::thread release([&silent] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            silent.Release();
        });
        EXPECT_EQ(ThrownLabel([&] { slow.ConnectEx(Loopback(silent.port()), 3600 * 1000); }), "");
        release.join();
        slow.Close(1);
    }
}

TEST(HttpBlockingSocket, ALineCutShortByACloseOrWithoutLfInAHundredThousandBytesFails) {
    // The second server closes only after the client: the line must fail on
    // its length, not at the close.
    FakeServer cut({{step::Send("Part"), step::Close()}});
    FakeServer endless({{step::SendRepeated(string(1000, 'a'), 101), step::ReadToClose()}});
    for (FakeServer* server : {&cut, &endless}) {
        {
            Connected c(server->port());
            std::vector<char> line(100001);
            EXPECT_EQ(ThrownLabel([&] { c.sock.ReadHeaderLine(line.data(), 100000, 3600); }), "ReadHeaderLine");
        }
        EXPECT_TRUE(server->Finish());
    }
}

TEST(HttpBlockingSocket, LongLinesAreCutToTheCallersRoomAndTheirRestDropped) {
    const std::vector<string> packets = {"abcdefgh\nxy\n"};
    std::size_t next = 0;
    const ReceiveFn feed = [&](char* b, int cap) {
        if (next == packets.size()) return 0;
        const string& p = packets[next++];
        const int n = std::min<int>(cap, static_cast<int>(p.size()));
        std::memcpy(b, p.data(), static_cast<std::size_t>(n));
        return n;
    };
    auto sock = std::make_unique<CHttpBlockingSocket>();
    char line[5];
    EXPECT_EQ(sock->ReadHeaderLine(line, 5, feed), 4);
    EXPECT_STREQ(line, "abcd");
    EXPECT_EQ(sock->m_nReadBuf, 3);
    EXPECT_EQ(sock->ReadHeaderLine(line, 5, feed), 3);
    EXPECT_STREQ(line, "xy\n");
    EXPECT_EQ(sock->m_nReadBuf, 0);
}

}  // namespace
}  // namespace tesra
