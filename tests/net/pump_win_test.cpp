// The waits that keep a Windows user-interface thread alive, with real
// window messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "base/pump.h"
#include "net/agent_socket.h"
#include "net/ftp_client.h"
#include "net/http_client.h"
#include "net/worker.h"
#include "net_test_util.h"
#include "support/fake_server.h"
#include "support/temp_dir.h"

namespace tesra {
namespace {

using namespace test;
using std::string;

// A message-only window that hands every message to a handler.
class TestWindow {
public:
    using Handler = std::function<void(UINT)>;
    using FullHandler = std::function<void(UINT, WPARAM, LPARAM)>;
    explicit TestWindow(Handler handler) : TestWindow(FullHandler([h = std::move(handler)](UINT m, WPARAM, LPARAM) { h(m); })) {}
    explicit TestWindow(FullHandler handler) : handler_(std::move(handler)) {
        static const ATOM cls = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &Proc;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "TesraNetTestWindow";
            return ::RegisterClassA(&wc);
        }();
        (void)cls;
        hwnd_ = ::CreateWindowExA(0, "TesraNetTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
        ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() { ::DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<TestWindow*>(::GetWindowLongPtrA(h, GWLP_USERDATA));
        if (self && (m >= WM_APP || m == CFtpClient::kTransferProgress)) {
            self->handler_(m, w, l);
            return 0;
        }
        if (m == WM_CLOSE) {
            if (self) self->handler_(m, w, l);
            return 0;  // not destroyed: the test owns the window
        }
        return ::DefWindowProcA(h, m, w, l);
    }
    FullHandler handler_;
    HWND hwnd_;
};

void DrainQueue() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(PumpWin, DispatchesBetweenRoundsAndStopsOnTheSignal) {
    int seen = 0;
    TestWindow w([&](UINT) { ++seen; });
    auto event = std::make_shared<WaitEvent>();
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    ::PostMessageA(w.hwnd(), WM_APP + 1, 0, 0);
    std::thread worker([event] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        event->Set();
    });
    Stopwatch t;
    PumpLimits limits;
    limits.rounds = 50;
    EXPECT_EQ(WaitAndPump(*event, limits), PumpResult::kSignalled);
    worker.join();
    EXPECT_EQ(seen, 2);
    EXPECT_LT(t.ms(), 400);
}

TEST(PumpWin, QuitAndCloseRules) {
    int closes = 0;
    TestWindow main([&](UINT m) { closes += m == WM_CLOSE; });
    TestWindow other([&](UINT m) { closes += m == WM_CLOSE; });
    WaitEvent never;
    PumpLimits any;
    any.rounds = 5;
    ::PostMessageA(other.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitAndPump(never, any), PumpResult::kQuit);
    EXPECT_EQ(closes, 1);  // dispatched before returning

    ::PostQuitMessage(0);
    EXPECT_EQ(WaitAndPump(never, any), PumpResult::kQuit);

    PumpLimits mainOnly;
    mainOnly.rounds = 3;
    mainOnly.quit = QuitRule::kMainWindowOnly;
    mainOnly.mainWindow = main.hwnd();
    ::PostMessageA(other.hwnd(), WM_CLOSE, 0, 0);
    ::PostQuitMessage(0);  // addressed to no window
    EXPECT_EQ(WaitAndPump(never, mainOnly), PumpResult::kExhausted);
    EXPECT_EQ(closes, 2);
    ::PostMessageA(main.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitAndPump(never, mainOnly), PumpResult::kQuit);
    EXPECT_EQ(closes, 3);
    DrainQueue();
}

TEST(PumpWin, ARequestFromInsideAPostsWaitIsRefused) {
    FakeServer server({{step::ReadUntil("\n\nouter"), step::Delay(300), step::Send("HTTP/1.0 200 OK\r\n\r\n[OUTER]")}});
    CHttpClient client;
    HttpTransport nested = HttpTransport::kNone;
    string nestedBody = "unset";
    TestWindow w([&](UINT) {
        client.Post("http://" + server.address() + "/x", "inner");
        nested = client.m_transport;
        nestedBody = client.m_strBody;
        client.Get("http://" + server.address() + "/y");
    });
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    client.Post("http://" + server.address() + "/x", "outer");
    EXPECT_EQ(nested, HttpTransport::kRefused);
    EXPECT_EQ(nestedBody, "");
    EXPECT_EQ(client.m_transport, HttpTransport::kCompleted);
    EXPECT_EQ(client.m_strBody, "[OUTER]");
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.accepted(), 1);
}

TEST(PumpWin, ACloseEndsAPostAndTheNextPostIsItsOwn) {
    FakeServer slow({{step::ReadUntil("\n\nfirst"), step::Delay(500),
                      step::Send("HTTP/1.0 200 OK\r\nSet-Cookie: LATE=1; x\r\n\r\n[LATE]")}});
    FakeServer fast({{step::ReadUntil("\n\nsecond"), step::Delay(700), step::Send("HTTP/1.0 200 OK\r\n\r\n[SECOND]")}});
    TestWindow w([](UINT) {});
    {
        CHttpClient client;
        ::PostMessageA(w.hwnd(), WM_CLOSE, 0, 0);
        Stopwatch t;
        client.Post("http://" + slow.address() + "/x", "first");
        EXPECT_LT(t.ms(), 250);
        EXPECT_EQ(client.m_transport, HttpTransport::kInterrupted);
        EXPECT_NE(client.m_hEvent, nullptr);  // left as it was
        Stopwatch t2;
        client.Post("http://" + fast.address() + "/x", "second");
        // The first worker's signal came in the middle of this wait.
        EXPECT_GE(t2.ms(), 600);
        EXPECT_EQ(client.m_transport, HttpTransport::kCompleted);
        EXPECT_EQ(client.m_strBody, "[SECOND]");
        EXPECT_EQ(client.m_strCookie, "");
    }
    EXPECT_TRUE(net::WaitForWorkers(5000));
}

TEST(PumpWin, AgentConnectEndsOnlyOnTheMainWindowsClose) {
    SilentListener silent;
    TestWindow main([](UINT) {});
    TestWindow other([](UINT) {});
    CAgentSocket a(1);
    a.SetConnectMode(1, 1000);
    a.m_hMainWnd = main.hwnd();
    ::PostMessageA(other.hwnd(), WM_CLOSE, 0, 0);
    std::thread closer([h = main.hwnd()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ::PostMessageA(h, WM_CLOSE, 0, 0);
    });
    Stopwatch t;
    const int port = silent.silent() ? silent.port() : ClosedPort();
    const int r = a.ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(port));
    closer.join();
    EXPECT_EQ(r, 0);
    if (silent.silent()) {
        EXPECT_GE(t.ms(), 350);
        EXPECT_LT(t.ms(), 1500);
    }
    DrainQueue();
    EXPECT_TRUE(net::WaitForWorkers(6000));
}

TEST(PumpWin, FtpControlWaitsKeepMessagesFlowing) {
    FakeServer server({{step::Delay(300), step::Send("220 late\r\n"), step::ReadUntil("\r\n"), step::Send("230 ok\r\n")}});
    int seen = 0;
    TestWindow w([&](UINT) { ++seen; });
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    CFtpClient c;
    c.m_nTimeoutMs = 3000;
    EXPECT_EQ(c.LogOn("127.0.0.1", server.port(), "u", "p", "", "", "", "", 21, 0), 1);
    EXPECT_EQ(seen, 1);

    // A quit met while waiting ends the dialogue and stays for the caller's loop.
    FakeServer quiet({{step::Delay(1000)}});
    CFtpClient q;
    q.m_nTimeoutMs = 3000;
    ::PostQuitMessage(3);
    Stopwatch t;
    EXPECT_EQ(q.LogOn("127.0.0.1", quiet.port(), "u", "p", "", "", "", "", 21, 0), 0);
    // Met in the connect or in the greeting's wait, depending on how fast
    // the loopback connect completes.
    EXPECT_TRUE(q.m_strLastReply == "006 Network error" || q.m_strLastReply == "003 Unable to connect to server")
        << q.m_strLastReply;
    EXPECT_LT(t.ms(), 500);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(PumpWin, TransferProgressReachesItsWindow) {
    const std::string content(10000, 'p');
    FakeServer server({Steps({{step::Send("220 ready\r\n")}, step::Answer("230 in\r\n"), step::Answer("200 I\r\n"),
                              {step::ListenData(), step::ReadUntil("\r\n"), step::Send("227 ({PASV})\r\n"),
                               step::ReadUntil("\r\n"), step::Send("150 go\r\n"), step::AcceptData(),
                               step::DataSend(content), step::DataClose(), step::Send("226 done\r\n")}})});
    long long bytes = 0;
    int otherDirection = 0;
    TestWindow w(TestWindow::FullHandler([&](UINT m, WPARAM wp, LPARAM lp) {
        if (m != CFtpClient::kTransferProgress) return;
        if (wp == 0)
            bytes += lp;
        else
            ++otherDirection;
    }));
    TempDir dir;
    CFtpClient c;
    c.m_nTimeoutMs = 3000;
    c.m_hWndProgress = w.hwnd();
    ASSERT_EQ(c.LogOn("127.0.0.1", server.port(), "u", "p", "", "", "", "", 21, 0), 1);
    EXPECT_EQ(c.TransferFile("/r", dir.File("p.dat"), 1, 1), 1);
    EXPECT_EQ(bytes, static_cast<long long>(content.size()));
    EXPECT_EQ(otherDirection, 0);
}

}  // namespace
}  // namespace tesra
