// Stand-in for the messenger client: a small panel that signs the user in
// and out (the control lives while the user is signed in, as in the
// messenger), shows and hides the memos, hands over a memo received by file
// transfer, and logs the control's SendMemoData events with its own actions.
//
//   host.exe [--server S] [--port N] [--user ID] [--password P] [--sign-in]
//            [--received NAME] [--log FILE] [--quit-after SECONDS]
//   host.exe --close
//
// --server and --port name the FTP server handed to FtpConnection; --sign-in
// signs in at start; --received names a file under /Tesra on that server for
// "Send a received memo"; --log appends every log line, in UTF-8, to FILE;
// --quit-after closes the panel after that many seconds. --close asks the
// running panel to close as its close box does, and waits until it has.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/guids.h"
#include "tools/host/container.h"
#include "win/com.h"
#include "win/cp949.h"
#include "win/handles.h"

namespace {

using tesra::host::Call;
using tesra::host::ContainerSite;
using tesra::host::EventSink;
using tesra::host::VBool;
using tesra::host::VI4;
using tesra::host::VStr;
using tesra::win::Bstr;
using tesra::win::ComPtr;
using tesra::win::Variant;
using tesra::win::WideFrom949;

constexpr wchar_t kClassName[] = L"TesraHost";
enum : int { kSignIn = 100, kSignOut, kShow, kHide, kSendReceived, kStatus, kServers, kEventsLabel, kLog };
enum : UINT_PTR { kQuitTimer = 1, kReloadTimer, kStatusTimer };
// The command that announces a memo file waiting on the FTP server.
constexpr ULONG_PTR kCommandReceivedMemo = 302;
// A show within this many seconds of the last start-up only shows.
constexpr std::time_t kStartUpSpacing = 10;
constexpr LRESULT kLogLines = 500;

struct Options {
    std::string server, user, password, received, logFile;
    long port = 0;
    bool signIn = false;
    bool close = false;
    int quitAfter = 0;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--server") o.server = next, ++i;
        else if (a == "--port") o.port = std::atol(next), ++i;
        else if (a == "--user") o.user = next, ++i;
        else if (a == "--password") o.password = next, ++i;
        else if (a == "--received") o.received = next, ++i;
        else if (a == "--log") o.logFile = next, ++i;
        else if (a == "--quit-after") o.quitAfter = std::atoi(next), ++i;
        else if (a == "--sign-in" || a == "--show") o.signIn = true;
        else if (a == "--close") o.close = true;
    }
    return o;
}

std::string Utf8FromWide(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              nullptr);
    return out;
}

// One line of memo text for the log: line breaks shown as " / ".
std::wstring OneLine(const std::string& cp949) {
    std::wstring text = WideFrom949(cp949), out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            out += L" / ";
        } else {
            out += text[i];
        }
    }
    return out.size() > 160 ? out.substr(0, 160) + L"..." : out;
}

// Width and height of text in the panel's font, as drawn in window w.
SIZE TextSize(HWND w, HFONT font, const std::wstring& text) {
    tesra::win::WindowDC dc(w);
    tesra::win::Selection select(dc.get(), font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

std::wstring Describe(HRESULT hr, const VARIANT* result) {
    if (FAILED(hr)) {
        wchar_t text[32];
        std::swprintf(text, 32, L"failed 0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }
    if (result && V_VT(result) == VT_BOOL) return V_BOOL(result) ? L"true" : L"false";
    return L"done";
}

// The control for one sign-in: created, sited in the panel, connected to
// for its events; closed when the user signs out (its at-exit pass runs then).
class SignedInControl {
public:
    SignedInControl() = default;
    SignedInControl(const SignedInControl&) = delete;
    SignedInControl& operator=(const SignedInControl&) = delete;
    ~SignedInControl() {
        if (point_) point_->Unadvise(cookie_);
        if (ole_) {
            if (auto place = ole_.As<IOleInPlaceObject>(IID_IOleInPlaceObject)) place->InPlaceDeactivate();
            ole_->Close(OLECLOSE_NOSAVE);
            ole_->SetClientSite(nullptr);
        }
    }

    // By its class id; when that is not registered, from the module that
    // fallback() loads. byClassId tells which.
    HRESULT Create(HWND panel, const std::function<HMODULE()>& fallback, bool* byClassId,
                   std::function<void(const std::string&)> onSendMemoData) {
        HRESULT hr = ::CoCreateInstance(CLSID_Tesra, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(control_.Out()));
        *byClassId = SUCCEEDED(hr);
        if (FAILED(hr)) {
            HMODULE module = fallback();
            using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
            auto get = module ? reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(
                                    ::GetProcAddress(module, "DllGetClassObject")))
                              : nullptr;
            ComPtr<IClassFactory> factory;
            if (get && SUCCEEDED(hr = get(CLSID_Tesra, IID_IClassFactory, reinterpret_cast<void**>(factory.Out()))))
                hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(control_.Out()));
        }
        if (FAILED(hr)) return hr;

        sink_ = ComPtr<EventSink>::Attach(new EventSink(DIID__DTesraEvents));
        sink_->onSendMemoData = std::move(onSendMemoData);
        auto container = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
        if (container && SUCCEEDED(container->FindConnectionPoint(DIID__DTesraEvents, point_.Out())))
            point_->Advise(sink_.get(), &cookie_);

        // The control has no face: a token place in the panel.
        RECT pos{0, 0, 1, 1};
        site_ = ComPtr<ContainerSite>::Attach(new ContainerSite(panel, pos));
        ole_ = control_.As<IOleObject>(IID_IOleObject);
        if (ole_) {
            ole_->SetClientSite(site_.get());
            ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, panel, &pos);
        }
        return S_OK;
    }

    IDispatch* dispatch() const { return control_.get(); }

    HWND window() const {
        HWND w = nullptr;
        if (auto ow = control_.As<IOleWindow>(IID_IOleWindow)) ow->GetWindow(&w);
        return w;
    }

private:
    ComPtr<IDispatch> control_;
    ComPtr<IOleObject> ole_;
    ComPtr<ContainerSite> site_;
    ComPtr<EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

class HostPanel {
public:
    explicit HostPanel(Options options) : options_(std::move(options)) {}
    HostPanel(const HostPanel&) = delete;
    HostPanel& operator=(const HostPanel&) = delete;
    ~HostPanel() {
        control_.reset();
        window_.Reset();
    }

    bool Create(HINSTANCE instance);
    int Run();

private:
    static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int id);
    void Layout();
    SIZE ButtonSize(int id) const;
    void Log(const std::wstring& line);
    void UpdateState();
    int MemoCount() const;
    // Runs a call into the control with the panel's buttons off: the control
    // pumps messages while it waits for the network.
    template <class Body>
    void Busy(Body&& body);

    void SignIn();
    void SignOut();
    void SetShow(bool show);
    void SendReceived();

    Options options_;
    tesra::win::Window window_;
    HFONT font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    int lineHeight_ = 16;
    tesra::win::UniqueHandle<HMODULE, &::FreeLibrary> module_;  // loaded when the control is not registered
    std::unique_ptr<SignedInControl> control_;
    std::time_t lastShow_ = 0;
    bool busy_ = false;
    bool closePending_ = false;
    std::wstring status_;
};

HWND HostPanel::Child(const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
    HWND child = ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_.get(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                   nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return child;
}

SIZE HostPanel::ButtonSize(int id) const {
    HWND button = ::GetDlgItem(window_.get(), id);
    wchar_t text[64] = {};
    ::GetWindowTextW(button, text, 64);
    return {std::max<LONG>(TextSize(button, font_, text).cx + 24, 84), lineHeight_ + 10};
}

// Margins of 12, a status block, a row of buttons per group, and the event
// log taking the rest.
void HostPanel::Layout() {
    constexpr int kMargin = 12, kGap = 6;
    RECT client;
    ::GetClientRect(window_.get(), &client);
    const int width = client.right - 2 * kMargin;
    int y = kMargin;
    auto place = [&](int id, int x, int top, int w, int h) {
        ::MoveWindow(::GetDlgItem(window_.get(), id), x, top, w, h, TRUE);
    };
    place(kStatus, kMargin, y, width, lineHeight_ + 2);
    y += lineHeight_ + 4;
    place(kServers, kMargin, y, width, lineHeight_ + 2);
    y += lineHeight_ + 2 + 10;
    int x = kMargin, rowHeight = 0;
    const int row[] = {kSignIn, kSignOut, 0, kShow, kHide, 0, kSendReceived};  // 0: a group's gap
    for (int id : row) {
        if (id == 0) {
            x += 10;
            continue;
        }
        const SIZE s = ButtonSize(id);
        if (x > kMargin && x + s.cx > kMargin + width) {
            x = kMargin;
            y += rowHeight + kGap;
        }
        place(id, x, y, s.cx, s.cy);
        x += s.cx + kGap;
        rowHeight = std::max<int>(rowHeight, s.cy);
    }
    y += rowHeight + 12;
    place(kEventsLabel, kMargin, y, width, lineHeight_ + 2);
    y += lineHeight_ + 4;
    place(kLog, kMargin, y, width, std::max<int>(client.bottom - kMargin - y, lineHeight_ * 3));
}

bool HostPanel::Create(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &HostPanel::WndProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassW(&wc)) return false;

    // Bottom right of the work area, where the demo's memos leave room.
    RECT work{0, 0, 1024, 768};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{0, 0, 420, 300};
    const DWORD style = WS_OVERLAPPEDWINDOW;
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    window_.Reset(::CreateWindowExW(0, kClassName, L"Tesra \xBA54\xBAA8 - host", style, work.right - w - 16,
                                    work.bottom - h - 16, w, h, nullptr, nullptr, instance, this));
    if (!window_) return false;

    lineHeight_ = TextSize(window_.get(), font_, L"Ag\xD55C").cy;
    Child(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kStatus);
    Child(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kServers);
    const DWORD button = BS_PUSHBUTTON | WS_TABSTOP;
    Child(L"BUTTON", L"Sign in", button, kSignIn);
    Child(L"BUTTON", L"Sign out", button, kSignOut);
    Child(L"BUTTON", L"Show memos", button, kShow);
    Child(L"BUTTON", L"Hide memos", button, kHide);
    Child(L"BUTTON", L"Send a received memo", button, kSendReceived);
    Child(L"STATIC", L"Events", SS_LEFTNOWORDWRAP, kEventsLabel);
    Child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, kLog);

    wchar_t memoServer[128] = L"-";
    ::GetEnvironmentVariableW(L"TESRA_MEMO_SERVER", memoServer, 128);
    wchar_t servers[256];
    std::swprintf(servers, 256, L"Memo server %ls \x00B7 FTP %ls:%ld", memoServer,
                  WideFrom949(options_.server).c_str(), options_.port);
    ::SetDlgItemTextW(window_.get(), kServers, servers);
    Layout();

    UpdateState();
    ::ShowWindow(window_.get(), SW_SHOWNORMAL);
    ::UpdateWindow(window_.get());
    if (options_.quitAfter > 0)
        ::SetTimer(window_.get(), kQuitTimer, static_cast<UINT>(options_.quitAfter) * 1000u, nullptr);
    ::SetTimer(window_.get(), kStatusTimer, 1000, nullptr);
    if (options_.signIn) SignIn();
    return true;
}

void HostPanel::Log(const std::wstring& line) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t stamp[16];
    std::swprintf(stamp, 16, L"%02u:%02u:%02u  ", now.wHour, now.wMinute, now.wSecond);
    const std::wstring text = stamp + line;
    HWND list = ::GetDlgItem(window_.get(), kLog);
    if (::SendMessageW(list, LB_GETCOUNT, 0, 0) >= kLogLines) ::SendMessageW(list, LB_DELETESTRING, 0, 0);
    const LRESULT at = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // A line wider than the list scrolls sideways rather than being cut.
    const SIZE size = TextSize(list, font_, text);
    if (size.cx + 8 > ::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0))
        ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(size.cx + 8), 0);
    ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
    if (!options_.logFile.empty()) {
        if (FILE* f = std::fopen(options_.logFile.c_str(), "ab")) {
            std::fprintf(f, "%s\n", Utf8FromWide(text).c_str());
            std::fclose(f);
        }
    }
}

BOOL CALLBACK CountMemoWindow(HWND w, LPARAM counter) {
    char cls[16] = {};
    ::GetClassNameA(w, cls, sizeof cls);
    if (::IsWindowVisible(w) && std::string(cls) == "TesraDialog") ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int HostPanel::MemoCount() const {
    // Memo windows are the visible windows of this thread of the control's
    // dialog class (its other dialogs are the system's).
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountMemoWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void HostPanel::UpdateState() {
    const bool in = control_ != nullptr;
    std::wstring status;
    if (in) {
        const int memos = MemoCount();
        wchar_t count[64];
        std::swprintf(count, 64, memos == 1 ? L"1 memo on the desktop" : L"%d memos on the desktop", memos);
        status = L"Signed in as " + WideFrom949(options_.user) + L" \x00B7 " + count;
    } else {
        status = L"Signed out";
    }
    if (status != status_) {
        status_ = status;
        ::SetDlgItemTextW(window_.get(), kStatus, status.c_str());
    }
    const auto enable = [this](int id, bool on) { ::EnableWindow(::GetDlgItem(window_.get(), id), on && !busy_); };
    enable(kSignIn, !in);
    enable(kSignOut, in);
    enable(kShow, in);
    enable(kHide, in);
    enable(kSendReceived, in && !options_.received.empty());
}

template <class Body>
void HostPanel::Busy(Body&& body) {
    busy_ = true;
    UpdateState();
    body();
    busy_ = false;
    UpdateState();
    if (closePending_) ::PostMessageW(window_.get(), WM_CLOSE, 0, 0);
}

void HostPanel::SignIn() {
    if (control_ || busy_) return;
    Busy([this] {
        auto control = std::make_unique<SignedInControl>();
        const auto besideHost = [this] {
            if (!module_) {
                wchar_t self[MAX_PATH];
                std::wstring path(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
                path = path.substr(0, path.find_last_of(L'\\') + 1) + L"TESRA.OCX";
                module_.Reset(::LoadLibraryW(path.c_str()));
            }
            return module_.get();
        };
        bool byClassId = false;
        const HRESULT hr = control->Create(window_.get(), besideHost, &byClassId, [this](const std::string& text) {
            Log(L"SendMemoData: " + OneLine(text));
        });
        if (FAILED(hr)) {
            wchar_t text[64];
            std::swprintf(text, 64, L"cannot create the control (0x%08lX)", static_cast<unsigned long>(hr));
            Log(text);
            return;
        }
        control_ = std::move(control);
        if (!byClassId) Log(L"the control is not registered: made from TESRA.OCX beside the host");
        Bstr server(WideFrom949(options_.server).c_str()), user(WideFrom949(options_.user).c_str()),
            password(WideFrom949(options_.password).c_str());
        Variant result;
        const HRESULT call = Call(control_->dispatch(), 2, DISPATCH_METHOD,
                                  {VStr(server.get()), VI4(options_.port), VStr(user.get()), VStr(password.get())},
                                  result.get());
        Log(L"Signing in as " + WideFrom949(options_.user) + L" (FtpConnection: " + Describe(call, result.get()) +
            L")");
    });
    SetShow(true);
}

void HostPanel::SignOut() {
    if (!control_ || busy_) return;
    Busy([this] {
        // Closing the control runs its last save and upload.
        control_.reset();
        ::KillTimer(window_.get(), kReloadTimer);
        Log(L"Signed out");
    });
}

void HostPanel::SetShow(bool show) {
    if (!control_ || busy_) return;
    Busy([this, show] {
        if (show) lastShow_ = std::time(nullptr);
        const HRESULT hr = Call(control_->dispatch(), 1, DISPATCH_PROPERTYPUT, {VBool(show)}, nullptr);
        wchar_t text[96];
        std::swprintf(text, 96, L"ShowMemoDlg = %ls: %ls, %d memos on the desktop", show ? L"true" : L"false",
                      Describe(hr, nullptr).c_str(), MemoCount());
        Log(text);
    });
}

void HostPanel::SendReceived() {
    if (!control_ || busy_) return;
    HWND target = control_->window();
    if (!target) {
        Log(L"the control has no window");
        return;
    }
    Busy([this, target] {
        // "file name|time stamp": the control fetches /Tesra/<name> over FTP
        // and files it on the memo server as a new memo.
        const std::string payload = options_.received + "|" + std::to_string(std::time(nullptr));
        COPYDATASTRUCT data{kCommandReceivedMemo, static_cast<DWORD>(payload.size()),
                            const_cast<char*>(payload.data())};
        const LRESULT r = ::SendMessageW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(window_.get()),
                                         reinterpret_cast<LPARAM>(&data));
        Log(L"Received memo " + WideFrom949(options_.received) + L": " + (r ? L"taken" : L"failed") +
            L" (command 302)");
        if (!r) return;
        // It appears with the next start-up, which a show runs only once the
        // last one is far enough behind.
        const std::time_t since = std::time(nullptr) - lastShow_;
        const UINT wait = since > kStartUpSpacing ? 100u : static_cast<UINT>(kStartUpSpacing + 1 - since) * 1000u;
        ::SetTimer(window_.get(), kReloadTimer, wait, nullptr);
    });
}

LRESULT CALLBACK HostPanel::WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        ::SetWindowLongPtrW(h, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<HostPanel*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (self && self->window_.get() == h) return self->Handle(msg, wp, lp);
    return ::DefWindowProcW(h, msg, wp, lp);
}

LRESULT HostPanel::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case kSignIn: SignIn(); return 0;
        case kSignOut: SignOut(); return 0;
        case kShow: SetShow(true); return 0;
        case kHide: SetShow(false); return 0;
        case kSendReceived: SendReceived(); return 0;
        default: break;
        }
        break;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize = {360, 260};
        return 0;
    }
    case WM_TIMER:
        if (wp == kQuitTimer) ::PostMessageW(window_.get(), WM_CLOSE, 0, 0);
        if (wp == kStatusTimer && !busy_) UpdateState();
        if (wp == kReloadTimer && !busy_) {
            ::KillTimer(window_.get(), kReloadTimer);
            Log(L"Loading the memos again for the received one");
            SetShow(true);
        }
        return 0;
    case WM_CLOSE:
        // Never inside a call into the control: it closes when that returns.
        if (busy_) {
            closePending_ = true;
            return 0;
        }
        SignOut();
        window_.Reset();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_.get(), msg, wp, lp);
}

int HostPanel::Run() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (window_ && ::IsDialogMessageW(window_.get(), &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Asks the running panel to close and waits, bounded, until it has gone.
int CloseRunningPanel() {
    HWND panel = ::FindWindowW(kClassName, nullptr);
    if (!panel) return 1;
    ::PostMessageW(panel, WM_CLOSE, 0, 0);
    for (int i = 0; i < 300 && ::IsWindow(panel); ++i) ::Sleep(100);
    return ::IsWindow(panel) ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    if (options.close) return CloseRunningPanel();
    if (FAILED(::OleInitialize(nullptr))) return 2;
    int rc = 1;
    {
        HostPanel panel(std::move(options));
        if (panel.Create(::GetModuleHandleW(nullptr))) rc = panel.Run();
    }
    ::OleUninitialize();
    return rc;
}
