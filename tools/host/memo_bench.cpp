// Time and cost of N memo windows against a floor: N bare borderless popups
// with a rich edit and three buttons each. Then the real start-up: the
// control in a container against the stand-in memo server holding N memos,
// timed from ShowMemoDlg = true until every memo window is shown and painted, first
// with no local copy (every text downloaded), then again from the local
// copies. Prints the times, their ratio to the floor, and windows per memo
// and GDI objects per memo (GetGuiResources; under Wine, which answers 0 there,
// the live entries of its GDI handle table). First, how late messages and
// key strokes are dispatched while a POST is waited for. For the first N,
// with the control still up: its thread's wake-ups while idle, and a memo's
// upload round trip against a bare Winsock client and curl sending the same
// requests to the same server.
// Each N is measured in several rounds (the floor moves from run to run on
// a shared machine) and the median ratios printed last.
// Every measure, the floor's and the start-ups', runs until its windows and
// their children are visible with nothing left to paint (--phases: where the
// time went).
// Usage: memo_bench [--latency=0] [--idle=SECONDS] [--uploads=K] [--rounds=R] [--phases] [N...]
//        (defaults 60, 50, 5 and 200; the stand-ins preset's server)
#include <windows.h>
#include <ole2.h>
#include <richedit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "control/app.h"
#include "control/tesra_ctrl.h"
#include "memo/memo_dlg.h"
#include "net/http_client.h"
#include "storage/ini_file.h"
#include "sync/protocol.h"
#include "sync/upload.h"
#include "tools/host/bench_waits.h"
#include "tools/host/container.h"
#include "win/class_factory.h"
#include "win/controls.h"
#include "win/unix_stand_in.h"

namespace {

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

struct Counts {
    long windows, gdi, user;
};

Counts Now() {
    const long gdi = static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    return {tesra::host::ThreadWindows(), gdi ? gdi : tesra::host::WineGdiObjects(),
            static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS))};
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// "median 1.08 (0.94-1.28)"
std::string Spread(const std::vector<double>& v, const char* format) {
    if (v.empty()) return "none";
    const auto [low, high] = std::minmax_element(v.begin(), v.end());
    const std::string f = std::string("median ") + format + " (" + format + "-" + format + ")";
    return tesra::Format(f.c_str(), Median(v), *low, *high);
}

// What a measure must have reached before its clock stops, the floor and the
// start-up alike: every window of the set and every child of each visible,
// none with a region left to paint, no WM_PAINT left for the thread.
struct Unsettled {
    long hidden = 0, unpainted = 0;
    bool paintQueued = false;
    bool any() const { return hidden || unpainted || paintQueued; }
};

BOOL CALLBACK CheckOne(HWND h, LPARAM lp) {
    auto& out = *reinterpret_cast<Unsettled*>(lp);
    if (!::IsWindowVisible(h))
        ++out.hidden;
    else if (::GetUpdateRect(h, nullptr, FALSE))
        ++out.unpainted;
    return TRUE;
}

Unsettled Check(const std::vector<HWND>& windows) {
    Unsettled u;
    for (HWND h : windows) {
        CheckOne(h, reinterpret_cast<LPARAM>(&u));
        ::EnumChildWindows(h, &CheckOne, reinterpret_cast<LPARAM>(&u));
    }
    u.paintQueued = (HIWORD(::GetQueueStatus(QS_PAINT)) & QS_PAINT) != 0;
    return u;
}

// A read of the screen: under Wine an X round trip, after which the X server
// has drawn every surface the pump flushed.
void ReadScreen() {
    if (HDC screen = ::GetDC(nullptr)) {
        ::GetPixel(screen, 0, 0);
        ::ReleaseDC(nullptr, screen);
    }
}

// Pumps until the windows are settled (or 60 s have gone, said so); the
// waits it took.
int Settle(const std::vector<HWND>& windows) {
    int waits = 0;
    const ULONGLONG end = ::GetTickCount64() + 60000;
    for (;;) {
        Pump();
        const Unsettled u = Check(windows);
        if (!u.any()) return waits;
        if (::GetTickCount64() >= end) {
            std::printf("  not settled after 60 s: %ld hidden, %ld with a region to paint%s\n", u.hidden, u.unpainted,
                        u.paintQueued ? ", WM_PAINT queued" : "");
            return waits;
        }
        ++waits;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool g_phases = false;
// Floors of one round further apart than this: the machine changed speed.
constexpr double kFloorsApart = 1.3;

// What a teardown left (destroyed windows, the desktop's repaint, posted
// work) is done before the next measure starts: 100 ms without a message.
void Quiesce() {
    const ULONGLONG end = ::GetTickCount64() + 2000;
    do Pump();
    while (::GetTickCount64() < end &&
           ::MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_TIMEOUT);
}

// make() makes and shows the windows; windows() names them once made. The
// time runs to the settled state; with --phases, how it was spent.
template <class F, class W>
double Measure(const char* what, int n, F make, W windows) {
    const Counts before = Now();
    const auto start = std::chrono::steady_clock::now();
    make();
    const double made = Since(start);
    Pump();
    const double pumped = Since(start);
    const std::vector<HWND> set = windows();
    const int waits = Settle(set);
    const double settled = Since(start);
    ReadScreen();
    const double ms = Since(start);
    const Counts after = Now();
    std::printf("%-28s n=%-5d %9.1f ms  %6.3f ms/memo  windows/memo %.2f", what, n, ms, ms / n,
                double(after.windows - before.windows) / n);
    std::printf("  GDI/memo %.2f", double(after.gdi - before.gdi) / n);
    // Wine answers 0.
    if (after.user != before.user) std::printf("  USER/memo %.2f", double(after.user - before.user) / n);
    std::printf("\n");
    if (g_phases)
        std::printf("  made and shown %.1f ms, pumped %.1f ms, settled %.1f ms (%d waits, %zu windows checked), "
                    "on the screen %.1f ms\n",
                    made, pumped - made, settled - pumped, waits, set.size(), ms - settled);
    if (static_cast<int>(set.size()) != n) std::printf("  %zu windows, not %d\n", set.size(), n);
    std::fflush(stdout);
    return ms;
}

LRESULT CALLBACK BareProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcA(h, msg, wp, lp); }

// N bare popups with a rich edit and three buttons, shown and painted.
double Floor(int n, HWND owner) {
    const wchar_t* richEdit = tesra::win::RichEditClass();
    std::vector<HWND> bare;
    const double ms = Measure("bare popup+edit+3 buttons", n, [&] {
        for (int i = 0; i < n; ++i) {
            const int x = (i * 7) % 800, y = (i * 5) % 500;
            HWND h = ::CreateWindowExA(0, "BareMemo", "", WS_POPUP | WS_THICKFRAME, x, y, 200, 210, owner, nullptr,
                                       nullptr, nullptr);
            ::CreateWindowExW(0, richEdit, L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 4, 14, 192, 183, h, nullptr,
                              nullptr, nullptr);
            for (int b = 0; b < 3; ++b)
                ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 150 + b * 12, 1, 11, 11, h,
                                  nullptr, nullptr, nullptr);
            ::ShowWindow(h, SW_SHOWNA);
            ::UpdateWindow(h);
            bare.push_back(h);
        }
    }, [&] { return bare; });
    for (HWND h : bare) ::DestroyWindow(h);
    Quiesce();
    return ms;
}

// The control in a container against the stand-in server, as the host runs it.
class StartUpBench {
public:
    explicit StartUpBench(int n) : n_(n) {
        server_ = std::make_unique<tesra::test::MemoServerStandIn>(TESRA_NATIVE_TOOLS, 1200);
        if (server_->port() == 0) return;
        user_ = server_->user();
        host_ = server_->host();
        cookie_ = server_->NewSession();
        // Spread over the screen as the floor's popups are, in the nine colours.
        std::vector<std::tuple<std::string, tesra::MemoFields, std::string>> memos;
        for (int i = 0; i < n; ++i) {
            const double x = (i * 7) % 80, y = (i * 5) % 65;
            const std::string text = tesra::Format("memo %d\r\n\xC7\xD1\xB1\xDB line two\r\nthird line", i);
            const tesra::MemoFields f{.ver = tesra::Format("%d:%d", static_cast<int>(text.size()), 1700000000 + i),
                                      .title = "",
                                      .font = "",
                                      .pos = tesra::Format("%.2f %.2f %.2f %.2f", x, y, x + 19.5, y + 27.3),
                                      .bg = i % 9};
            memos.push_back({std::to_string(1000 + i), f, text});
        }
        server_->Seed(memos);
        ok_ = true;
    }
    ~StartUpBench() {
        Close();
        server_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(TheApp().dataRoot() + "\\" + user_, ignored);
    }
    bool ok() const { return ok_; }

    // One start-up: a new control, connected, then shown; kept up on asking.
    double Run(const char* what, bool keep = false) {
        Open();
        ctrl_->FtpConnection("127.0.0.1", 21, user_ + "@x", "pw");
        Pump();
        now_ += 11;
        const double ms = Measure(
            what, n_, [&] { ctrl_->SetShowMemoDlg(true); },
            [&] {
                std::vector<HWND> memos;
                for (const auto& m : ctrl_->Manager().memos()) memos.push_back(m->hwnd());
                return memos;
            });
        for (const std::string& text : messages_) std::printf("  message: %s\n", text.c_str());
        messages_.clear();
        if (!keep) Close();
        return ms;
    }

    // What wakes the control's thread while nobody touches it.
    void Idle(int seconds) {
        std::map<std::string, long> seen;
        long wakes = 0;
        const ULONGLONG end = ::GetTickCount64() + seconds * 1000ULL;
        for (ULONGLONG now; (now = ::GetTickCount64()) < end;) {
            if (::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                              MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT)
                break;
            ++wakes;
            MSG m;
            bool any = false;
            for (; ::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); any = true) {
                char cls[64] = "";
                ::GetClassNameA(m.hwnd, cls, sizeof cls);
                const auto id = static_cast<unsigned long long>(m.wParam);
                ++seen[m.message == WM_TIMER ? tesra::Format("WM_TIMER id %llu on %s", id, cls)
                                             : tesra::Format("message 0x%04X on %s", m.message, cls)];
                ::TranslateMessage(&m);
                ::DispatchMessageA(&m);
            }
            if (!any) ++seen["no message (sent messages, driver events)"];
        }
        const double perMinute = 60.0 / seconds;
        std::printf("idle %d s, %d memos: %.1f wake-ups/min of the thread\n", seconds, n_, wakes * perMinute);
        for (const auto& [what, count] : seen) std::printf("  %-44s %6.1f/min\n", what.c_str(), count * perMinute);
        std::printf("  control timers: minute tick id %llu every %u s, session refresh id %llu every %u s, removal "
                    "id %llu one-shot after %u ms when a memo goes\n",
                    static_cast<unsigned long long>(ctrl_->minuteTimer()), kMinutePeriodMs / 1000,
                    static_cast<unsigned long long>(ctrl_->sessionTimer()), kSessionPeriodMs / 1000,
                    static_cast<unsigned long long>(kRemoveTimer), kRemovePeriodMs);
        std::fflush(stdout);
    }

    // One memo's upload (the stamp check and the store) through the control's
    // own path, k times; then curl sending the same two requests to the same
    // server k times, timed by curl itself (its start-up left out).
    void Uploads(int k) {
        const std::string section = ctrl_->Manager().memos().front()->key();
        tesra::CIniFile& index = ctrl_->Manager().LiveIndex();
        tesra::MemoFields f;
        index.GetString(section, "ver", f.ver);
        index.GetString(section, "title", f.title);
        index.GetString(section, "font", f.font);
        index.GetString(section, "%pos", f.pos);
        index.GetInt(section, "bg", f.bg);
        index.GetInt(section, "min", f.min);
        index.GetInt(section, "alarm", f.alarm);
        std::string text;
        tesra::fs::ReadFile(tesra::SectionDataPath(ctrl_->Manager().UserFolder(), section), &text);
        const std::string muid = tesra::MuidOf(section), dir = server_->windowsDir();
        // The requests as the HTTP client frames them, for the bare client.
        std::vector<std::string> requests;
        {
            tesra::CHttpClient http;
            http.SetCookie(cookie_);
            for (const auto& [path, body] : {std::pair{tesra::kGetMemoPath, tesra::GetIniBody(muid)},
                                             std::pair{tesra::kSetMemoPath, tesra::SetMemoBody(muid, f, text)}}) {
                http.Post("http://" + host_ + path, body);
                requests.push_back(http.m_strRequest);
            }
        }
        // In turn, so that the machine's drift falls on all three alike: the
        // control's upload; the same two requests through the HTTP client
        // alone (what the flow adds to it); and as a bare blocking Winsock
        // client sends them (the floor of a round trip on this platform).
        std::vector<double> ours, client, bare, inline_;
        for (int i = 0; i < k; ++i) {
            auto start = std::chrono::steady_clock::now();
            if (tesra::UploadMemo(ctrl_->Manager(), section) != 1) {
                std::printf("upload %d failed\n", i);
                return;
            }
            ours.push_back(Since(start));
            start = std::chrono::steady_clock::now();
            Admin(tesra::kGetMemoPath, tesra::GetIniBody(muid), cookie_);
            Admin(tesra::kSetMemoPath, tesra::SetMemoBody(muid, f, text), cookie_);
            client.push_back(Since(start));
            for (double ms : tesra::bench::BareWinsockRoundTrips("127.0.0.1", server_->port(), requests, 1))
                bare.push_back(ms);
            start = std::chrono::steady_clock::now();
            for (const std::string& request : requests) {
                tesra::net::HttpReply reply;
                tesra::net::RunHttpExchange("127.0.0.1", server_->port(), request, 60, &reply);
            }
            inline_.push_back(Since(start));
        }
        tesra::fs::WriteFileAtomic(dir + "\\check", tesra::GetIniBody(muid));
        tesra::fs::WriteFileAtomic(dir + "\\store", tesra::SetMemoBody(muid, f, text));
        const std::string curl = "-s -0 -o /dev/null -w '%{time_total}\\n' -b '" + cookie_ + "' --data-binary ";
        tesra::fs::WriteFileAtomic(dir + "\\curl.sh",
                             tesra::Format("cd %s; for i in $(seq %d); do curl %s@check http://%s%s --next %s@store "
                                           "http://%s%s; done > times.part; mv times.part times\n",
                                           server_->unixDir().c_str(), k, curl.c_str(), host_.c_str(),
                                           tesra::kGetMemoPath, curl.c_str(), host_.c_str(), tesra::kSetMemoPath));
        tesra::test::RunUnix("/bin/sh", server_->unixDir() + "/curl.sh");
        std::string times;
        for (int round = 0; round < 1200 && !tesra::fs::ReadFile(dir + "\\times", &times); ++round) ::Sleep(50);
        std::vector<double> theirs;  // one line a request, two a round trip
        std::size_t lines = 0;
        for (std::size_t at = 0, end; (end = times.find('\n', at)) != std::string::npos; at = end + 1, ++lines) {
            if (lines % 2 == 0) theirs.push_back(0);
            theirs.back() += std::atof(times.substr(at, end - at).c_str()) * 1000;
        }
        std::printf("upload round trip (stamp check + store, %zu-byte body), median of %d: control %.2f ms, its "
                    "HTTP client alone %.2f ms, its exchanges without the worker %.2f ms, bare Winsock %.2f ms, curl "
                    "%.2f ms (%zu rounds); control / bare Winsock %.2f x\n",
                    tesra::SetMemoBody(muid, f, text).size(), k, Median(ours), Median(client), Median(inline_),
                    Median(bare), Median(theirs), theirs.size(), Median(bare) > 0 ? Median(ours) / Median(bare) : 0.0);
        std::fflush(stdout);
    }

private:
    std::string Admin(const std::string& path, const std::string& body = {}, const std::string& cookie = {}) {
        return tesra::test::StandInRequest(host_, path, body, cookie);
    }
    void Open() {
        site_ = new tesra::host::ContainerSite(window_.get(), RECT{0, 0, 1, 1});
        tesra::win::CClassFactory<CTesraCtrl> factory;
        if (factory.CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(ole_.Out())) != S_OK)
            std::exit(2);
        ctrl_ = static_cast<CTesraCtrl*>(static_cast<tesra::win::COleControl*>(static_cast<IOleObject*>(ole_.get())));
        ctrl_->Manager().SetClock([this] { return now_; });
        ctrl_->Services().SetMessageBoxHook([this](const std::string& text, UINT) {
            messages_.push_back(text);
            return IDYES;
        });
        RECT pos{0, 0, 1, 1};
        ole_->SetClientSite(site_);
        ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_.get(), &pos);
    }
    void Close() {
        tesra::host::CloseInPlace(ole_, site_);
        ctrl_ = nullptr;
        Quiesce();
    }

    int n_;
    bool ok_ = false;
    std::string user_, host_, cookie_;
    std::unique_ptr<tesra::test::MemoServerStandIn> server_;
    tesra::host::HostWindow window_;
    tesra::host::ContainerSite* site_ = nullptr;
    tesra::win::ComPtr<IOleObject> ole_;
    CTesraCtrl* ctrl_ = nullptr;
    std::int64_t now_ = 1800000000;
    std::vector<std::string> messages_;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    int idleSeconds = 60, uploads = 50, rounds = 5;
    bool latency = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--idle=", 0) == 0)
            idleSeconds = std::atoi(a.c_str() + 7);
        else if (a.rfind("--uploads=", 0) == 0)
            uploads = std::atoi(a.c_str() + 10);
        else if (a == "--latency=0")
            latency = false;
        else if (a == "--phases")
            g_phases = true;
        else if (a.rfind("--rounds=", 0) == 0)
            rounds = std::max(1, std::atoi(a.c_str() + 9));
        else
            sizes.push_back(std::atoi(a.c_str()));
    }
    if (sizes.empty()) sizes.push_back(200);
    if (FAILED(::OleInitialize(nullptr))) return 1;
    tesra::win::EnsureCommonControls();
    WNDCLASSA wc{};
    wc.lpfnWndProc = &BareProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "BareMemo";
    ::RegisterClassA(&wc);
    if (latency) tesra::bench::InputLatencyDuringPost(TESRA_NATIVE_TOOLS);
    HWND owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    for (int n : sizes) {
        if (n <= 0) continue;
        std::vector<double> colds, warms, floors;
        for (int round = 1; round <= rounds; ++round) {
            // Each start-up against the mean of the floors just before and
            // just after it: this machine's speed drifts within a run. A
            // round whose floors are far apart (the machine changed speed
            // under it) is measured again, twice at most.
            double cold = 0, warm = 0, coldFloor = 0, warmFloor = 0, apart = 0;
            for (int attempt = 0; attempt < 3; ++attempt) {
                const bool last = n == sizes.front() && round == rounds;
                const double f1 = Floor(n, owner);
                double f2 = 0;
                {
                    StartUpBench bench(n);
                    if (!bench.ok()) {
                        std::printf("no stand-in memo server: build the stand-ins preset's server first\n");
                        return 1;
                    }
                    cold = bench.Run("start-up, texts downloaded");
                    f2 = Floor(n, owner);
                    warm = bench.Run("start-up, local copies", last);
                    if (last) {
                        if (idleSeconds > 0) bench.Idle(idleSeconds);
                        if (uploads > 0) bench.Uploads(uploads);
                    }
                }
                const double f3 = Floor(n, owner);
                coldFloor = (f1 + f2) / 2;
                warmFloor = (f2 + f3) / 2;
                apart = std::max({f1, f2, f3}) / std::min({f1, f2, f3});
                if (apart <= kFloorsApart || last) break;
                std::printf("n=%d, round %d: floors %.0f, %.0f, %.0f ms are %.2f x apart: measured again\n", n, round,
                            f1, f2, f3, apart);
            }
            floors.push_back(coldFloor);
            floors.push_back(warmFloor);
            colds.push_back(cold / coldFloor);
            warms.push_back(warm / warmFloor);
            std::printf("n=%d, round %d: start-up %.0f ms (%.2f x floor %.0f ms) downloading, %.0f ms (%.2f x floor %.0f "
                        "ms) from local copies%s\n",
                        n, round, cold, cold / coldFloor, coldFloor, warm, warm / warmFloor, warmFloor,
                        apart > kFloorsApart ? " (floors apart, kept)" : "");
            std::fflush(stdout);
        }
        if (!colds.empty())
            std::printf("n=%d, %zu rounds: floor %s ms; downloading %s x floor; from local copies %s x floor\n", n,
                        colds.size(), Spread(floors, "%.0f").c_str(), Spread(colds, "%.2f").c_str(),
                        Spread(warms, "%.2f").c_str());
        std::fflush(stdout);
    }
    ::DestroyWindow(owner);
    ::OleUninitialize();
    return 0;
}
