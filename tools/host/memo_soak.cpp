// A day of a messenger in one process: the shipped module loaded once, then
// cycles of sign-in (a new control, connected and shown), the start-up with
// the stand-in server's memos, a few edits, sign-out and release of the
// control. Prints the process's GDI objects, USER objects, kernel handles,
// threads, private bytes (Wine's figure, which counts its Unix side too), the
// private memory committed in the process's address space and what its heaps
// hold, before the first cycle, after it (the module's shared artwork and
// Wine's own caches made) and after the last, each once the cycle's workers
// have left. --floor makes the same windows without the control.
// Timed, run by hand through tools/bench; not a test.
// Usage: memo_soak [--cycles=C] [--memos=N] [--edits=E] MODULE
//        (defaults 200, 100, 3)
#include <windows.h>
#include <ole2.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "control/guids.h"
#include "tools/host/container.h"
#include "win/com.h"
#include "win/unix_stand_in.h"

namespace {

using tesra::host::VBool;
using tesra::host::VI4;
using tesra::host::VStr;
using tesra::win::ComPtr;

void Pump(DWORD ms) { tesra::host::PumpMessages(ms); }

struct VisibleMemos {
    long count = 0;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectMemo(HWND h, LPARAM p) {
    char cls[32] = "";
    ::GetClassNameA(h, cls, sizeof cls);
    auto* memos = reinterpret_cast<VisibleMemos*>(p);
    if (std::string(cls) == "TesraDialog" && ::IsWindowVisible(h)) {
        ++memos->count;
        memos->windows.push_back(h);
    }
    return TRUE;
}

VisibleMemos Memos() {
    VisibleMemos memos;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectMemo, reinterpret_cast<LPARAM>(&memos));
    return memos;
}

// Wine answers 0 for the process's handle count; its table of every
// process's handles has them.
long SystemHandlesOf(DWORD pid) {
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    struct Entry {
        ULONG owner;
        BYTE type, flags;
        USHORT value;
        void* object;
        ACCESS_MASK access;
    };
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    for (int tries = 0; tries < 6; ++tries) {
        const NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                         static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) break;
        if (status != static_cast<NTSTATUS>(0xC0000004L)) return 0;  // not a short buffer
        buffer.resize(buffer.size() * 2);
    }
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    long n = 0;
    for (ULONG i = 0; i < count; ++i) n += entries[i].owner == pid ? 1 : 0;
    return n;
}

struct Figures {
    long gdi = 0, user = 0, handles = 0, threads = 0;
    double privateMb = 0, heapBusyMb = 0, heapCommittedMb = 0, committedMb = 0;
    long heapBlocks = 0;
};

// What the process's heaps hold in blocks in use: a leak grows it, free
// space a heap keeps for later does not.
void HeapsInUse(Figures& f) {
    std::vector<HANDLE> heaps(64);
    DWORD count = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = ::GetProcessHeaps(count, heaps.data());
    }
    double bytes = 0, committed = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!::HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (::HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_REGION) {
                committed += e.Region.dwCommittedSize;
            } else if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                bytes += e.cbData;
                ++f.heapBlocks;
            }
        ::HeapUnlock(heaps[i]);
    }
    f.heapBusyMb = bytes / (1024.0 * 1024.0);
    f.heapCommittedMb = committed / (1024.0 * 1024.0);
}

// Where each of the process's threads started, by module: names a thread
// that stays.
std::string ThreadStarts() {
    std::string out;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return out;
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    for (BOOL ok = ::Thread32First(snap, &t); ok; ok = ::Thread32Next(snap, &t)) {
        if (t.th32OwnerProcessID != ::GetCurrentProcessId()) continue;
        HANDLE h = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, t.th32ThreadID);
        void* start = nullptr;
        if (h) {
            NtQueryInformationThread(h, static_cast<THREADINFOCLASS>(9), &start, sizeof start, nullptr);
            ::CloseHandle(h);
        }
        HMODULE m = nullptr;
        char name[MAX_PATH] = "?";
        if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 static_cast<const char*>(start), &m))
            ::GetModuleFileNameA(m, name, MAX_PATH);
        out += tesra::Format(" %s+0x%llx", std::filesystem::path(name).filename().string().c_str(),
                             static_cast<unsigned long long>(static_cast<const char*>(start) - reinterpret_cast<const char*>(m)));
    }
    ::CloseHandle(snap);
    return out;
}

// The process's private memory as its own address space has it: Wine's
// private-bytes figure counts the Unix side too (its X, font and driver
// libraries), where the module allocates nothing.
double PrivateCommittedMb() {
    double bytes = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (const char* at = nullptr; ::VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) bytes += static_cast<double>(info.RegionSize);
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return bytes / (1024.0 * 1024.0);
}

Figures Measure() {
    Figures f;
    HANDLE self = ::GetCurrentProcess();
    f.gdi = static_cast<long>(::GetGuiResources(self, GR_GDIOBJECTS));
    if (f.gdi == 0) f.gdi = tesra::host::WineGdiObjects();
    // Wine answers 0 for USER objects: the thread's windows stand for them.
    f.user = static_cast<long>(::GetGuiResources(self, GR_USEROBJECTS));
    if (f.user == 0) f.user = tesra::host::ThreadWindows();
    DWORD handles = 0;
    ::GetProcessHandleCount(self, &handles);
    f.handles = handles ? static_cast<long>(handles) : SystemHandlesOf(::GetCurrentProcessId());
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap != INVALID_HANDLE_VALUE) {
        THREADENTRY32 t{};
        t.dwSize = sizeof t;
        for (BOOL ok = ::Thread32First(snap, &t); ok; ok = ::Thread32Next(snap, &t))
            f.threads += t.th32OwnerProcessID == ::GetCurrentProcessId() ? 1 : 0;
        ::CloseHandle(snap);
    }
    PROCESS_MEMORY_COUNTERS_EX mem{};
    mem.cb = sizeof mem;
    if (::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem), sizeof mem))
        // Wine leaves PrivateUsage at 0; its page-file figure is the private one.
        f.privateMb = static_cast<double>(mem.PrivateUsage ? mem.PrivateUsage : mem.PagefileUsage) / (1024.0 * 1024.0);
    f.committedMb = PrivateCommittedMb();
    HeapsInUse(f);
    return f;
}

// Figures once the workers a cycle started have left: each takes its stack
// (a megabyte of private bytes under Wine) with it, and a worker waits two
// seconds for more work before it leaves; a figure taken before then says
// nothing about a leak.
Figures Settled() {
    Figures f = Measure();
    for (int round = 0, still = 0; round < 60 && still < 30; ++round) {
        Pump(100);
        const Figures next = Measure();
        still = next.threads == f.threads && next.handles == f.handles ? still + 1 : 0;
        f = next;
    }
    return f;
}

void Print(const char* when, const Figures& f) {
    std::printf("soak %-22s GDI %5ld  USER %5ld  handles %5ld  threads %3ld  private %8.2f MB (%8.3f MB committed in its address space)  heap in use %7.3f MB "
                "in %6ld blocks of %7.3f MB\n",
                when, f.gdi, f.user, f.handles, f.threads, f.privateMb, f.committedMb, f.heapBusyMb, f.heapBlocks, f.heapCommittedMb);
    std::fflush(stdout);
}

// A member by its name, as a script host calls it; arguments in declaration order.
HRESULT CallByName(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT> args) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    VARIANT result;
    ::VariantInit(&result);
    const HRESULT called = tesra::host::Call(d, id, flags, std::move(args), &result);
    ::VariantClear(&result);
    return called;
}

// The floor of a cycle: as many bare popups with a rich edit and three
// buttons, given text, shown and destroyed, with no control at all. What
// grows here grows in the platform, not in the module.
void FloorCycle(int memos, HWND owner) {
    static HMODULE richEdit = ::LoadLibraryA("riched20.dll");
    (void)richEdit;
    std::vector<HWND> made;
    for (int i = 0; i < memos; ++i) {
        HWND h = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_THICKFRAME, (i * 7) % 800, (i * 5) % 500, 200, 210,
                                   owner, nullptr, nullptr, nullptr);
        HWND edit = ::CreateWindowExW(0, L"RichEdit20W", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 4, 14, 192, 183,
                                      h, nullptr, nullptr, nullptr);
        ::SetWindowTextA(edit, tesra::Format("memo %d\r\n\xC7\xD1\xB1\xDB line two", i).c_str());
        for (int b = 0; b < 3; ++b)
            ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 150 + b * 12, 1, 11, 11, h,
                              nullptr, nullptr, nullptr);
        ::ShowWindow(h, SW_SHOWNA);
        made.push_back(h);
    }
    Pump(0);
    for (HWND h : made) ::DestroyWindow(h);
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 200, memos = 100, edits = 3;
    bool floor = false;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--cycles=", 0) == 0)
            cycles = std::atoi(a.c_str() + 9);
        else if (a.rfind("--memos=", 0) == 0)
            memos = std::atoi(a.c_str() + 8);
        else if (a.rfind("--edits=", 0) == 0)
            edits = std::atoi(a.c_str() + 8);
        else if (a == "--floor")
            floor = true;
        else
            module = argv[i];
    }
    if (!module || FAILED(::OleInitialize(nullptr))) return 1;
    tesra::test::MemoServerStandIn server(TESRA_NATIVE_TOOLS, 7200);
    if (server.port() == 0) {
        std::printf("no stand-in memo server: build the stand-ins preset's server first\n");
        return 1;
    }
    std::vector<std::tuple<std::string, tesra::MemoFields, std::string>> seeded;
    for (int i = 0; i < memos; ++i) {
        const double x = (i * 7) % 80, y = (i * 5) % 65;
        const std::string text = tesra::Format("memo %d\r\n\xC7\xD1\xB1\xDB line two", i);
        seeded.push_back({std::to_string(1000 + i),
                          tesra::MemoFields{.ver = tesra::Format("%d:%d", static_cast<int>(text.size()), 1700000000 + i),
                                            .title = "",
                                            .font = "",
                                            .pos = tesra::Format("%.2f %.2f %.2f %.2f", x, y, x + 19.5, y + 27.3),
                                            .bg = i % 9},
                          text});
    }
    server.Seed(seeded);
    const std::wstring user(server.user().begin(), server.user().end());  // ASCII
    const tesra::win::Bstr ftpHost(L"127.0.0.1"), userId((user + L"@x").c_str()), password(L"pw");

    tesra::host::HostWindow window;
    const Figures start = Measure();
    HMODULE dll = ::LoadLibraryA(module);
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (!getClassObject) {
        std::printf("%s: no DllGetClassObject\n", module);
        return 1;
    }
    Print("at start", start);
    Figures first;
    long shortCycles = 0;
    const ULONGLONG began = ::GetTickCount64();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        if (floor) {
            FloorCycle(memos, window.get());
        } else {
            ComPtr<IClassFactory> factory;
            ComPtr<IOleObject> ole;
            if (FAILED(getClassObject(CLSID_Tesra, IID_IClassFactory, reinterpret_cast<void**>(factory.Out()))) ||
                FAILED(factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(ole.Out()))))
                return 2;
            auto* site = new tesra::host::ContainerSite(window.get(), RECT{0, 0, 1, 1});
            RECT pos{0, 0, 1, 1};
            ole->SetClientSite(site);
            ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, window.get(), &pos);
            ComPtr<IDispatch> control;
            ole->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(control.Out()));
            // Sign-in: the connection values, then the memos shown.
            CallByName(control.get(), L"FtpConnection", DISPATCH_METHOD,
                       {VStr(ftpHost.get()), VI4(21), VStr(userId.get()), VStr(password.get())});
            CallByName(control.get(), L"ShowMemoDlg", DISPATCH_PROPERTYPUT, {VBool(true)});
            VisibleMemos up;
            for (int round = 0; round < 400 && (up = Memos()).count < memos; ++round) Pump(10);
            if (up.count < memos) ++shortCycles;
            // A few edits, each saved when its memo loses the activation and uploaded.
            for (int e = 0; e < edits && e < static_cast<int>(up.windows.size()); ++e) {
                HWND memo = up.windows[static_cast<std::size_t>(e * 7) % up.windows.size()];
                HWND edit = ::FindWindowExA(memo, nullptr, "TesraMemoEdit", nullptr);
                if (!edit) continue;
                ::SetActiveWindow(memo);
                // The same length every cycle: a day's edits change the texts,
                // not how much there is, so the end state matches the start.
                ::SendMessageA(edit, EM_SETSEL, 0, -1);
                const std::string line = tesra::Format("memo edited %d in cycle %06d", e, cycle);
                ::SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(line.c_str()));
                ::SetActiveWindow(window.get());
                Pump(0);
            }
            // Sign-out: the memos hidden, the control closed and released.
            CallByName(control.get(), L"ShowMemoDlg", DISPATCH_PROPERTYPUT, {VBool(false)});
            control.Reset();
            tesra::host::CloseInPlace(ole, site);
            factory.Reset();
        }
        Pump(50);
        if (cycle == 1) {
            first = Settled();
            std::printf("threads:%s\n", ThreadStarts().c_str());
            Print("after cycle 1", first);
        } else if (cycle % std::max(1, cycles / 8) == 0 && cycle != cycles) {
            Print(tesra::Format("after cycle %d", cycle).c_str(), Settled());
        }
    }
    const Figures last = Settled();
    std::printf("threads:%s\n", ThreadStarts().c_str());
    Print(tesra::Format("after cycle %d", cycles).c_str(), last);
    const auto change = [](double a, double b) { return a ? (b - a) * 100.0 / a : 0.0; };
    std::printf("soak: %d cycles of %d memos in %.1f s (%ld cycles short of their memos); from cycle 1 to %d: GDI "
                "%+.1f %%, USER %+.1f %%, handles %+.1f %%, threads %+.1f %%, private bytes %+.1f %% (committed %+.1f %%), heap in use %+.1f %%\n",
                cycles, memos, (::GetTickCount64() - began) / 1000.0, shortCycles, cycles,
                change(first.gdi, last.gdi), change(first.user, last.user), change(first.handles, last.handles),
                change(first.threads, last.threads), change(first.privateMb, last.privateMb), change(first.committedMb, last.committedMb),
                change(first.heapBusyMb, last.heapBusyMb));
    std::error_code ignored;
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(dll, path, MAX_PATH);
    std::filesystem::remove_all(std::filesystem::path(path).parent_path() / "tesra" / server.user(), ignored);
    ::OleUninitialize();
    return 0;
}
