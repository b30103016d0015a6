#include "tools/host/bench_waits.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "base/text.h"
#include "net/http_client.h"
#include "sync/protocol.h"
#include "win/unix_stand_in.h"

namespace tesra::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT kProbe = WM_APP + 7;
constexpr char kProbeClass[] = "TesraBenchProbe";

// What the poster sent and when; the window fills in when it saw it.
struct Probe {
    std::atomic<Clock::rep> sent{0};
    double latencyMs = -1;
    bool key = false;
};

struct ProbeWindow {
    std::vector<Probe>* probes = nullptr;
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ProbeWindow*>(::GetWindowLongPtrA(h, GWLP_USERDATA));
        std::size_t index = 0;
        if (self && msg == kProbe)
            index = static_cast<std::size_t>(wp);
        else if (self && msg == WM_KEYDOWN && wp == 'A')
            index = static_cast<std::size_t>(::GetMessageExtraInfo());
        else
            return ::DefWindowProcA(h, msg, wp, lp);
        if (index < self->probes->size() && (*self->probes)[index].key == (msg == WM_KEYDOWN)) {
            Probe& p = (*self->probes)[index];
            const Clock::time_point sent{Clock::duration{p.sent.load()}};
            p.latencyMs = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        }
        return 0;
    }
};

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(q * static_cast<double>(v.size()) + 0.999999) - 1;
    return v[std::min(at, v.size() - 1)];
}

}  // namespace

void InputLatencyDuringPost(const std::string& tools, int count, int delayMs) {
    test::MemoServerStandIn server(tools, 120);
    if (server.port() == 0) {
        std::printf("input during a wait: no stand-in memo server\n");
        return;
    }
    const std::string cookie = server.NewSession();
    server.Admin("/admin/fault", Format("kind=getini&mode=delay&ms=%d", delayMs));

    WNDCLASSA wc{};
    wc.lpfnWndProc = &ProbeWindow::Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kProbeClass;
    ::RegisterClassA(&wc);
    ProbeWindow self;
    std::vector<Probe> probes(static_cast<std::size_t>(count));
    self.probes = &probes;
    HWND window = ::CreateWindowExA(WS_EX_TOPMOST, kProbeClass, "probe", WS_POPUP | WS_VISIBLE, 0, 0, 120, 80,
                                    nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&self));
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    for (MSG m; ::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageA(&m);

    // Random moments within the wait, half of them key strokes.
    std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> moment(20, delayMs - 200);
    std::vector<int> at(static_cast<std::size_t>(count));
    std::generate(at.begin(), at.end(), [&] { return moment(random); });
    std::sort(at.begin(), at.end());
    for (std::size_t i = 0; i < probes.size(); ++i) probes[i].key = i % 2 == 1;

    const Clock::time_point start = Clock::now();
    std::thread poster([&] {
        for (std::size_t i = 0; i < probes.size(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(at[i]));
            probes[i].sent = Clock::now().time_since_epoch().count();
            if (!probes[i].key) {
                ::PostMessageA(window, kProbe, i, 0);
                continue;
            }
            INPUT in[2]{};
            for (INPUT& k : in) {
                k.type = INPUT_KEYBOARD;
                k.ki.wVk = 'A';
                k.ki.dwExtraInfo = i;
            }
            in[1].ki.dwFlags = KEYEVENTF_KEYUP;
            ::SendInput(2, in, sizeof(INPUT));
        }
    });
    CHttpClient http;
    http.SetCookie(cookie);
    http.Post("http://" + server.host() + kGetMemoPath, GetIniBody("1"));
    const double waited = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    poster.join();
    for (MSG m; ::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
    ::DestroyWindow(window);

    std::vector<double> all, messages, keys;
    for (const Probe& p : probes) {
        if (p.latencyMs < 0) continue;
        all.push_back(p.latencyMs);
        (p.key ? keys : messages).push_back(p.latencyMs);
    }
    std::printf("input during a %.0f ms POST: %zu of %d dispatched (%zu messages, %zu key strokes), posting to "
                "dispatch p50 %.2f ms, p99 %.2f ms (messages p99 %.2f, keys p99 %.2f)\n",
                waited, all.size(), count, messages.size(), keys.size(), Percentile(all, 0.5),
                Percentile(all, 0.99), Percentile(messages, 0.99), Percentile(keys, 0.99));
    std::fflush(stdout);
}

std::vector<double> BareWinsockRoundTrips(const std::string& host, int port, const std::vector<std::string>& requests,
                                          int rounds) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    to.sin_addr.s_addr = ::inet_addr(host.c_str());
    std::vector<double> times;
    char buffer[16384];
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point start = Clock::now();
        for (const std::string& request : requests) {
            const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            bool ok = s != INVALID_SOCKET && ::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                      ::send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size());
            int got = 0;
            while (ok && (got = ::recv(s, buffer, sizeof buffer, 0)) > 0) {
            }
            ok = ok && got == 0;
            if (s != INVALID_SOCKET) ::closesocket(s);
            if (!ok) return {};
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return times;
}

}  // namespace tesra::bench
