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

// Refused and timed-out connects of both kinds: the HTTP client's (plain)
// and the agent's (timed) failure tests.
TEST(BlockingSocket, ATimedConnectGetsThroughOnceRoomAppears) {
    // A listener whose queue is full, then takes its queue off while the
    // connect still tries.
    SilentListener silent;
    if (silent.silent()) {
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

// (A line cut short by a close: the HTTP client's reply shapes.) The server
// closes only after the client: the line must fail on its length.
TEST(HttpBlockingSocket, ALineWithoutLfInAHundredThousandBytesFails) {
    FakeServer endless({{step::Send(string(101000, 'a')), step::ReadToClose()}});
    {
        Connected c(endless.port());
        std::vector<char> line(100001);
        EXPECT_EQ(ThrownLabel([&] { c.sock.ReadHeaderLine(line.data(), 100000, 3600); }), "ReadHeaderLine");
    }
    EXPECT_TRUE(endless.Finish());
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
