// Time and cost of N memo windows against a floor: N bare borderless popups
// with a rich edit and three buttons each. Prints the time until all are
// visible and painted, and windows and GDI/USER objects per memo.
// Usage: memo_bench [N]
#include <windows.h>
#include <richedit.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "control/memo_defaults.h"
#include "memo/memo_dlg.h"
#include "support/fake_memo_host.h"
#include "support/temp_dir.h"
#include "win/controls.h"

namespace {

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

BOOL CALLBACK CountChild(HWND, LPARAM n) {
    ++*reinterpret_cast<long*>(n);
    return TRUE;
}

BOOL CALLBACK CountTop(HWND h, LPARAM n) {
    ++*reinterpret_cast<long*>(n);
    ::EnumChildWindows(h, &CountChild, n);
    return TRUE;
}

long ThreadWindows() {
    long n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountTop, reinterpret_cast<LPARAM>(&n));
    return n;
}

struct Counts {
    long windows, gdi, user;
};

Counts Now() {
    return {ThreadWindows(), static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)),
            static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS))};
}

template <class F>
void Measure(const char* what, int n, F make) {
    const Counts before = Now();
    const auto start = std::chrono::steady_clock::now();
    make();
    Pump();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const Counts after = Now();
    std::printf("%-28s n=%-5d %9.1f ms  %6.3f ms/memo  windows/memo %.2f  GDI/memo %.2f  USER/memo %.2f\n", what, n,
                ms, ms / n, double(after.windows - before.windows) / n, double(after.gdi - before.gdi) / n,
                double(after.user - before.user) / n);
}

LRESULT CALLBACK BareProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcA(h, msg, wp, lp); }

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 200;
    ResetMemoDefaults();
    tesra::win::EnsureCommonControls();
    const wchar_t* richEdit = tesra::win::RichEditClass();
    WNDCLASSA wc{};
    wc.lpfnWndProc = &BareProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "BareMemo";
    ::RegisterClassA(&wc);
    HWND owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);

    std::vector<HWND> bare;
    Measure("bare popup+edit+3 buttons", n, [&] {
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
    });
    for (HWND h : bare) ::DestroyWindow(h);
    Pump();

    tesra::test::TempDir dir;
    tesra::test::FakeHost host(dir.path());
    std::vector<std::unique_ptr<CMemoDlg>> memos;
    // Where the time of one memo goes, summed over all.
    double create = 0, place = 0, font = 0, show = 0;
    auto lap = [](auto& from) {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - from).count();
        from = now;
        return ms;
    };
    Measure("memo windows", n, [&] {
        for (int i = 0; i < n; ++i) {
            auto t = std::chrono::steady_clock::now();
            auto memo = std::make_unique<CMemoDlg>(host, i % 9, 0);
            memo->SetNotifyWindow(owner);
            if (!memo->Create(owner)) std::exit(1);
            memo->SetKey("memo" + std::to_string(i));
            memo->SetDataPath(dir.File("memo" + std::to_string(i) + ".dat"));
            create += lap(t);
            memo->PlaceDefault();
            place += lap(t);
            memo->ApplyFont();
            font += lap(t);
            memo->Show(true);
            ::UpdateWindow(memo->hwnd());
            show += lap(t);
            host.registered.push_back(memo->hwnd());
            memos.push_back(std::move(memo));
        }
    });
    std::printf("  per memo: create %.2f ms, place %.2f ms, font %.2f ms, show and paint %.2f ms\n", create / n,
                place / n, font / n, show / n);
    const auto start = std::chrono::steady_clock::now();
    memos.clear();
    Pump();
    std::printf("memo windows destroyed in %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    ::DestroyWindow(owner);
    return 0;
}
