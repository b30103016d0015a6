// The waits that keep a Windows user-interface thread alive, with real
// window messages.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/pump.h"
#include "base/window_messages.h"
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

// WM_TRANSFER_PROGRESS, which the memo window handles.
constexpr UINT kTransferProgress = kTransferProgressMessage;

// A message-only window that hands every message to a handler.
class TestWindow {
public:
    using FullHandler = std::function<void(UINT, WPARAM, LPARAM)>;
    explicit TestWindow(std::function<void(UINT)> h) : TestWindow(FullHandler([h](UINT m, WPARAM, LPARAM) { h(m); })) {}
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
        if (self && (m >= WM_APP || m == kTransferProgress)) {
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
    for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
    }
}

// The exit code of the WM_QUIT waiting in the queue, taking it; -1 for none.
int TakeQuit() {
    MSG msg;
    return ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? static_cast<int>(msg.wParam) : -1;
}

TEST(PumpWin, DispatchesBetweenRoundsAndWakesOnTheSignal) {
    auto event = std::make_shared<WaitEvent>();
    std::vector<UINT> seen;
    // The second message signals, as a worker finishing mid-round would.
    TestWindow w([&](UINT m) {
        seen.push_back(m);
        if (m == WM_APP + 1) event->Set();
    });
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    ::PostMessageA(w.hwnd(), WM_APP + 1, 0, 0);
    ::PostMessageA(w.hwnd(), WM_APP + 2, 0, 0);
    const PumpLimits limits{50, 200};
    int rounds = 0;
    EXPECT_EQ(WaitAndPump(*event, limits, &rounds), PumpResult::kSignalled);
    // Every queued message goes at once; the next wait sees the signal.
    EXPECT_EQ(seen, (std::vector<UINT>{WM_APP, WM_APP + 1, WM_APP + 2}));
    EXPECT_EQ(rounds, 1);

    // Signalled before the wait: the first wait returns, nothing is dispatched.
    seen.clear();
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    EXPECT_EQ(WaitAndPump(*event, limits, &rounds), PumpResult::kSignalled);
    EXPECT_EQ(rounds, 1);
    EXPECT_TRUE(seen.empty());
    DrainQueue();
}

TEST(PumpWin, AMessageWakesTheWaitAndAStreamOfThemDoesNotStretchIt) {
    auto event = std::make_shared<WaitEvent>();
    int stream = 0;
    TestWindow w([&](UINT m) {
        if (m == WM_APP) event->Set();
        if (m == WM_APP + 1 && ++stream < 20000) ::PostMessageA(w.hwnd(), WM_APP + 1, 0, 0);
    });
    // Queued and already seen by a peek: still dispatched within the round,
    // whose end would be too late.
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    MSG peeked;
    ASSERT_TRUE(::PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(WaitAndPump(*event, PumpLimits{1, 5000}), PumpResult::kSignalled);
    // The limit is time, however many times messages wake the wait.
    WaitEvent never;
    ::PostMessageA(w.hwnd(), WM_APP + 1, 0, 0);
    int rounds = 0;
    EXPECT_EQ(WaitAndPump(never, PumpLimits{2, 20}, &rounds), PumpResult::kExhausted);
    EXPECT_EQ(rounds, 2);
    EXPECT_LT(stream, 20000);
    DrainQueue();
}

TEST(PumpWin, QuitAndCloseRulesAndTheQuitIsPutBack) {
    TestWindow main([](UINT) {});
    TestWindow other([](UINT) {});
    struct Case {
        const char* name;
        QuitRule rule;
        HWND close;    // WM_CLOSE posted to this window, if any
        int quitCode;  // PostQuitMessage(quitCode) when >= 0
        PumpResult result;
        int rounds;
    };
    const Case cases[] = {
        {"any: other's close", QuitRule::kAnyWindow, other.hwnd(), -1, PumpResult::kQuit, 1},
        {"any: quit", QuitRule::kAnyWindow, nullptr, 3, PumpResult::kQuit, 1},
        {"main: other's close and a quit for no window", QuitRule::kMainWindowOnly, other.hwnd(), 4,
         PumpResult::kExhausted, 3},
        {"main: main's close", QuitRule::kMainWindowOnly, main.hwnd(), -1, PumpResult::kQuit, 1},
        {"quit only: a close", QuitRule::kQuitOnly, main.hwnd(), -1, PumpResult::kExhausted, 3},
        {"quit only: quit", QuitRule::kQuitOnly, nullptr, 5, PumpResult::kQuit, 1},
    };
    for (const Case& k : cases) {
        WaitEvent never;
        const PumpLimits limits{3, 200, k.rule, main.hwnd()};
        if (k.close) ::PostMessageA(k.close, WM_CLOSE, 0, 0);
        if (k.quitCode >= 0) ::PostQuitMessage(k.quitCode);
        int rounds = 0;
        EXPECT_EQ(WaitAndPump(never, limits, &rounds), k.result) << k.name;
        EXPECT_EQ(rounds, k.rounds) << k.name;
        // A quit the wait took is back in the queue for the host's loop.
        EXPECT_EQ(TakeQuit(), k.quitCode) << k.name;
        DrainQueue();
    }
}

TEST(PumpWin, ACloseIsDispatchedBeforeItEndsTheWait) {
    std::vector<string> order;
    TestWindow main([&](UINT m) {
        if (m == WM_CLOSE) order.push_back("main close");
    });
    TestWindow other([&](UINT m) {
        if (m != WM_CLOSE) return;
        order.push_back("other close");
        ::PostMessageA(main.hwnd(), WM_CLOSE, 0, 0);
    });
    WaitEvent never;
    const PumpLimits limits{3, 200, QuitRule::kMainWindowOnly, main.hwnd()};
    ::PostMessageA(other.hwnd(), WM_CLOSE, 0, 0);
    ::PostMessageA(other.hwnd(), WM_APP, 0, 0);
    int rounds = 0;
    EXPECT_EQ(WaitAndPump(never, limits, &rounds), PumpResult::kQuit);
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(order, (std::vector<string>{"other close", "main close"}));
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

// (That the next request is not disturbed by the worker left behind: the
// HTTP client's abandoned-post test.)
TEST(PumpWin, ACloseEndsAPostAndLeavesItsEventToTheWorker) {
    FakeServer slow({{step::ReadUntil("\n\nfirst"), step::Delay(300), step::Send("HTTP/1.0 200 OK\r\n\r\n[LATE]")}});
    TestWindow w([](UINT) {});
    {
        CHttpClient client;
        ::PostMessageA(w.hwnd(), WM_CLOSE, 0, 0);
        client.Post("http://" + slow.address() + "/x", "first");
        EXPECT_EQ(client.m_transport, HttpTransport::kInterrupted);
        EXPECT_NE(client.m_hEvent, nullptr);
    }
    EXPECT_TRUE(net::WaitForWorkers(5000));
}

int ThreadsOfThisProcess() {
    const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    int n = 0;
    for (BOOL more = ::Thread32First(snap, &t); more; more = ::Thread32Next(snap, &t))
        n += t.th32OwnerProcessID == ::GetCurrentProcessId() ? 1 : 0;
    ::CloseHandle(snap);
    return n;
}

// A worker slow to leave its body after the signal (descheduled, say) still
// takes the waiter's next request instead of a new thread taking it.
TEST(PumpWin, BackToBackWaitsReuseTheWorkerThatSignalled) {
    struct SlowToLetGo {
        ~SlowToLetGo() { ::Sleep(30); }
    };
    const int before = ThreadsOfThisProcess();
    for (int i = 0; i < 8; ++i) {
        auto slow = std::make_shared<SlowToLetGo>();
        ASSERT_EQ(net::RunOnWorkerAndWait([slow] {}, std::make_shared<WaitEvent>(), PumpLimits{}), PumpResult::kSignalled);
    }
    EXPECT_LE(ThreadsOfThisProcess(), before + 1);
    EXPECT_TRUE(net::WaitForWorkers(5000));
}

TEST(PumpWin, AgentConnectEndsOnlyOnTheMainWindowsClose) {
    SilentListener silent;
    if (!silent.silent()) GTEST_SKIP() << "this platform accepts every queued connect";
    int mainCloses = 0;
    TestWindow main([&](UINT m) { mainCloses += m == WM_CLOSE ? 1 : 0; });
    TestWindow other([&](UINT m) {
        if (m == WM_CLOSE) ::PostMessageA(main.hwnd(), WM_CLOSE, 0, 0);
    });
    CAgentSocket a(1);
    a.SetConnectMode(1, 1000);
    a.m_hMainWnd = main.hwnd();
    ::PostMessageA(other.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(a.ConnectAgent("127.0.0.1", static_cast<std::uint16_t>(silent.port())), 0);
    // The other window's close did not end the wait; the main window's did.
    EXPECT_EQ(mainCloses, 1);
    DrainQueue();
    EXPECT_TRUE(net::WaitForWorkers(10000));
}

TEST(PumpWin, FtpWaitsKeepMessagesFlowingAndProgressReachesItsWindow) {
    const std::string content(10000, 'p');
    FakeServer server({Steps({{step::Delay(300), step::Send("220 late\r\n")}, step::Answer("230 in\r\n"),
                              step::Answer("200 I\r\n"),
                              {step::ListenData(), step::ReadUntil("\r\n"), step::Send("227 ({PASV})\r\n"),
                               step::ReadUntil("\r\n"), step::Send("150 go\r\n"), step::AcceptData(),
                               step::DataSend(content), step::DataClose(), step::Send("226 done\r\n")}})});
    int seen = 0, otherDirection = 0;
    long long bytes = 0;
    TestWindow w(TestWindow::FullHandler([&](UINT m, WPARAM wp, LPARAM lp) {
        if (m != kTransferProgress)
            ++seen;
        else if (wp == 0)
            bytes += lp;
        else
            ++otherDirection;
    }));
    ::PostMessageA(w.hwnd(), WM_APP, 0, 0);
    TempDir dir;
    CFtpClient c;
    c.m_nTimeoutMs = 3000;
    c.m_hWndProgress = w.hwnd();
    ASSERT_EQ(c.LogOn("127.0.0.1", server.port(), "u", "p", "", "", "", "", 21, 0), 1);
    EXPECT_EQ(seen, 1);  // dispatched while the greeting was awaited
    EXPECT_EQ(c.TransferFile("/r", dir.File("p.dat"), 1, 1), 1);
    EXPECT_EQ(bytes, static_cast<long long>(content.size()));
    EXPECT_EQ(otherDirection, 0);

    // A quit met while waiting ends the dialogue and stays for the caller's loop.
    FakeServer quiet({{step::Delay(1000)}});
    CFtpClient q;
    q.m_nTimeoutMs = 3000;
    ::PostQuitMessage(3);
    EXPECT_EQ(q.LogOn("127.0.0.1", quiet.port(), "u", "p", "", "", "", "", 21, 0), 0);
    // Met in the connect or in the greeting's wait, depending on how fast
    // the loopback connect completes.
    EXPECT_TRUE(q.m_strLastReply == "006 Network error" || q.m_strLastReply == "003 Unable to connect to server")
        << q.m_strLastReply;
    EXPECT_EQ(TakeQuit(), 3);
}

}  // namespace
}  // namespace tesra
