// Stand-in for the messenger client: hosts the control in a window, drives
// its property and methods from buttons, shows SendMemoData events, and
// sends WM_COPYDATA commands to the control's window.
//
//   host.exe [--server S] [--port N] [--user ID] [--password P] [--show]
//            [--log FILE] [--quit-after SECONDS] [--minute-tick-after SECONDS]
//
// With --server (and the rest) it calls FtpConnection at start, with --show
// it then sets ShowMemoDlg; --log appends every log line to FILE; and
// --quit-after closes the window after that many seconds (for unattended
// runs); --minute-tick-after hands the control one minute tick early, so that
// a short run shows alarms that are due.
#include <windows.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/guids.h"
#include "tools/host/container.h"
#include "win/com.h"

namespace {

using tesra::host::Call;
using tesra::host::ContainerSite;
using tesra::host::EventSink;
using tesra::host::VBool;
using tesra::host::VI4;
using tesra::host::VStr;
using tesra::host::VStrRef;
using tesra::win::Bstr;
using tesra::win::ComPtr;
using tesra::win::Variant;
using tesra::win::WideFromAnsi;

enum : int {
    kServer = 100, kPort, kUser, kPassword, kConnect, kChangeConnection,
    kShow, kHide, kQueryShow, kMemoText, kReceive, kName, kExists,
    kCommand, kPayload, kSend, kLog,
};
constexpr UINT_PTR kQuitTimer = 1;
constexpr UINT_PTR kTickTimer = 2;
constexpr UINT_PTR kControlMinuteTimer = 2;  // the control's own timer id

struct Options {
    std::string server, user, password, logFile;
    long port = 0;
    bool connect = false;
    bool show = false;
    int quitAfter = 0;
    int tickAfter = 0;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--server") o.server = next, o.connect = true, ++i;
        else if (a == "--port") o.port = std::atol(next), ++i;
        else if (a == "--user") o.user = next, ++i;
        else if (a == "--password") o.password = next, ++i;
        else if (a == "--log") o.logFile = next, ++i;
        else if (a == "--quit-after") o.quitAfter = std::atoi(next), ++i;
        else if (a == "--minute-tick-after") o.tickAfter = std::atoi(next), ++i;
        else if (a == "--show") o.show = true;
    }
    return o;
}

class HostApp {
public:
    explicit HostApp(Options options) : options_(std::move(options)) {}
    HostApp(const HostApp&) = delete;
    HostApp& operator=(const HostApp&) = delete;
    ~HostApp() { Shutdown(); }

    bool Create(HINSTANCE instance);
    int Run();

private:
    static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    HWND Child(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id);
    std::string Text(int id) const;
    void Log(const std::string& line);
    bool CreateControl();
    void Shutdown();
    void Connect(int dispid);
    void SetShow(bool show);
    void QueryShow();
    void Receive();
    void Exists();
    void SendCommand();
    static std::string Describe(HRESULT hr, const VARIANT* result);

    Options options_;
    HWND window_ = nullptr;
    ComPtr<IDispatch> control_;
    ComPtr<IOleObject> ole_;
    ContainerSite* site_ = nullptr;
    EventSink* sink_ = nullptr;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    HMODULE module_ = nullptr;  // when loaded without registration
};

HWND HostApp::Child(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND child = ::CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr),
                                   nullptr);
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

std::string HostApp::Text(int id) const {
    char buf[4096] = {};
    const int n = ::GetDlgItemTextA(window_, id, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void HostApp::Log(const std::string& line) {
    HWND list = ::GetDlgItem(window_, kLog);
    const LRESULT at = ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    if (!options_.logFile.empty()) {
        if (FILE* f = std::fopen(options_.logFile.c_str(), "ab")) {
            std::fprintf(f, "%s\r\n", line.c_str());
            std::fclose(f);
        }
    }
}

std::string HostApp::Describe(HRESULT hr, const VARIANT* result) {
    char text[64];
    if (FAILED(hr)) {
        std::snprintf(text, sizeof text, "failed 0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }
    if (result && V_VT(result) == VT_BOOL) return V_BOOL(result) ? "true" : "false";
    return "done";
}

bool HostApp::Create(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HostApp::WndProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TesraHost";
    if (!::RegisterClassA(&wc)) return false;
    window_ = ::CreateWindowExA(0, "TesraHost", "Tesra host", WS_OVERLAPPEDWINDOW, 40, 40, 640, 520, nullptr,
                                nullptr, instance, this);
    if (!window_) return false;

    const DWORD edit = WS_BORDER | ES_AUTOHSCROLL, button = BS_PUSHBUTTON;
    Child("STATIC", "Server / port", 0, 10, 12, 100, 20, -1);
    Child("EDIT", options_.server.c_str(), edit, 110, 10, 200, 22, kServer);
    Child("EDIT", std::to_string(options_.port).c_str(), edit | ES_NUMBER, 320, 10, 60, 22, kPort);
    Child("STATIC", "User / password", 0, 10, 40, 100, 20, -1);
    Child("EDIT", options_.user.c_str(), edit, 110, 38, 200, 22, kUser);
    Child("EDIT", options_.password.c_str(), edit | ES_PASSWORD, 320, 38, 120, 22, kPassword);
    Child("BUTTON", "FtpConnection", button, 450, 10, 170, 24, kConnect);
    Child("BUTTON", "ChageFtpConnection", button, 450, 38, 170, 24, kChangeConnection);
    Child("BUTTON", "Show memos", button, 10, 72, 140, 24, kShow);
    Child("BUTTON", "Hide memos", button, 160, 72, 140, 24, kHide);
    Child("BUTTON", "Read ShowMemoDlg", button, 310, 72, 140, 24, kQueryShow);
    Child("EDIT", "", edit, 10, 106, 430, 22, kMemoText);
    Child("BUTTON", "ReceiveMemoData", button, 450, 105, 170, 24, kReceive);
    Child("EDIT", "", edit, 10, 136, 430, 22, kName);
    Child("BUTTON", "IsMemoFileExists", button, 450, 135, 170, 24, kExists);
    HWND codes = Child("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 168, 80, 200, kCommand);
    for (const char* code : {"300", "301", "302", "303", "304"})
        ::SendMessageA(codes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(code));
    ::SendMessageA(codes, CB_SETCURSEL, 0, 0);
    Child("EDIT", "", edit, 100, 168, 340, 22, kPayload);
    Child("BUTTON", "Send command", button, 450, 167, 170, 24, kSend);
    Child("LISTBOX", "", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 10, 200, 610, 270, kLog);

    if (!CreateControl()) return false;
    ::ShowWindow(window_, SW_SHOWNORMAL);
    if (options_.connect) Connect(2);
    if (options_.show) SetShow(true);
    if (options_.quitAfter > 0)
        ::SetTimer(window_, kQuitTimer, static_cast<UINT>(options_.quitAfter) * 1000u, nullptr);
    if (options_.tickAfter > 0)
        ::SetTimer(window_, kTickTimer, static_cast<UINT>(options_.tickAfter) * 1000u, nullptr);
    return true;
}

bool HostApp::CreateControl() {
    HRESULT hr = ::CoCreateInstance(CLSID_Tesra, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(control_.Out()));
    if (FAILED(hr)) {
        // Not registered: take the module beside this program.
        char self[MAX_PATH];
        std::string path(self, ::GetModuleFileNameA(nullptr, self, MAX_PATH));
        path = path.substr(0, path.find_last_of('\\') + 1) + "TESRA.OCX";
        module_ = ::LoadLibraryA(path.c_str());
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto get = module_ ? reinterpret_cast<GetClassObject>(
                                 reinterpret_cast<void (*)()>(::GetProcAddress(module_, "DllGetClassObject")))
                           : nullptr;
        ComPtr<IClassFactory> factory;
        if (get && SUCCEEDED(get(CLSID_Tesra, IID_IClassFactory, reinterpret_cast<void**>(factory.Out()))))
            hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(control_.Out()));
        Log(SUCCEEDED(hr) ? "control created from " + path : "cannot create the control");
    } else {
        Log("control created by CLSID");
    }
    if (FAILED(hr)) return false;

    sink_ = new EventSink(DIID__DTesraEvents);
    sink_->onSendMemoData = [this](const std::string& text) { Log("SendMemoData: " + text); };
    auto container = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (container && SUCCEEDED(container->FindConnectionPoint(DIID__DTesraEvents, point_.Out())))
        point_->Advise(sink_, &cookie_);

    ole_ = control_.As<IOleObject>(IID_IOleObject);
    RECT pos{630, 0, 631, 1};  // the control has no face; a token place in the window
    site_ = new ContainerSite(window_, pos);
    if (ole_) {
        ole_->SetClientSite(site_);
        ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_, &pos);
    }
    return true;
}

void HostApp::Shutdown() {
    if (point_) point_->Unadvise(cookie_);
    point_.Reset();
    if (ole_) {
        if (auto ipo = ole_.As<IOleInPlaceObject>(IID_IOleInPlaceObject)) ipo->InPlaceDeactivate();
        ole_->Close(OLECLOSE_NOSAVE);
        ole_->SetClientSite(nullptr);
    }
    ole_.Reset();
    control_.Reset();
    if (site_) site_->Release();
    if (sink_) sink_->Release();
    site_ = nullptr;
    sink_ = nullptr;
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
}

void HostApp::Connect(int dispid) {
    Bstr server(WideFromAnsi(Text(kServer)).c_str()), user(WideFromAnsi(Text(kUser)).c_str()),
        password(WideFromAnsi(Text(kPassword)).c_str());
    Variant result;
    const HRESULT hr = Call(control_.get(), dispid, DISPATCH_METHOD,
                            {VStr(server.get()), VI4(std::atol(Text(kPort).c_str())), VStr(user.get()),
                             VStr(password.get())},
                            result.get());
    Log(std::string(dispid == 2 ? "FtpConnection: " : "ChageFtpConnection: ") + Describe(hr, result.get()));
}

void HostApp::SetShow(bool show) {
    const HRESULT hr = Call(control_.get(), 1, DISPATCH_PROPERTYPUT, {VBool(show)}, nullptr);
    Log(std::string("ShowMemoDlg = ") + (show ? "true: " : "false: ") + Describe(hr, nullptr));
}

void HostApp::QueryShow() {
    Variant result;
    const HRESULT hr = Call(control_.get(), 1, DISPATCH_PROPERTYGET, {}, result.get());
    Log("ShowMemoDlg is " + Describe(hr, result.get()));
}

void HostApp::Receive() {
    // Memo text crosses as its CP949 bytes packed into a BSTR.
    Bstr text = Bstr::FromBytes(Text(kMemoText));
    BSTR raw = text.get();
    Variant result;
    const HRESULT hr = Call(control_.get(), 4, DISPATCH_METHOD, {VStrRef(&raw)}, result.get());
    Log("ReceiveMemoData: " + Describe(hr, result.get()));
}

void HostApp::Exists() {
    Bstr name(WideFromAnsi(Text(kName)).c_str());
    Variant result;
    const HRESULT hr = Call(control_.get(), 5, DISPATCH_METHOD, {VStr(name.get())}, result.get());
    Log("IsMemoFileExists(" + Text(kName) + "): " + Describe(hr, result.get()));
}

void HostApp::SendCommand() {
    HWND target = nullptr;
    if (auto w = control_.As<IOleWindow>(IID_IOleWindow)) w->GetWindow(&target);
    if (!target) {
        Log("the control has no window");
        return;
    }
    const std::string payload = Text(kPayload);
    const ULONG_PTR code = std::strtoul(Text(kCommand).c_str(), nullptr, 10);
    COPYDATASTRUCT cds{code, static_cast<DWORD>(payload.size()), const_cast<char*>(payload.data())};
    const LRESULT r = ::SendMessageA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(window_),
                                     reinterpret_cast<LPARAM>(&cds));
    Log("command " + std::to_string(code) + ": " + std::to_string(r));
}

LRESULT CALLBACK HostApp::WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        ::SetWindowLongPtrA(h, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<HostApp*>(::GetWindowLongPtrA(h, GWLP_USERDATA));
    if (self && self->window_ == h) return self->Handle(msg, wp, lp);
    return ::DefWindowProcA(h, msg, wp, lp);
}

LRESULT HostApp::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case kConnect: Connect(2); return 0;
        case kChangeConnection: Connect(3); return 0;
        case kShow: SetShow(true); return 0;
        case kHide: SetShow(false); return 0;
        case kQueryShow: QueryShow(); return 0;
        case kReceive: Receive(); return 0;
        case kExists: Exists(); return 0;
        case kSend: SendCommand(); return 0;
        default: break;
        }
        break;
    case WM_TIMER:
        if (wp == kQuitTimer) ::PostMessageA(window_, WM_CLOSE, 0, 0);
        if (wp == kTickTimer) {
            ::KillTimer(window_, kTickTimer);
            HWND control = nullptr;
            if (auto w = control_.As<IOleWindow>(IID_IOleWindow)) w->GetWindow(&control);
            if (control) ::PostMessageA(control, WM_TIMER, kControlMinuteTimer, 0);
            Log("minute tick handed to the control");
        }
        return 0;
    case WM_CLOSE:
        Shutdown();
        ::DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(window_, msg, wp, lp);
}

int HostApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(::OleInitialize(nullptr))) return 2;
    int rc = 1;
    {
        HostApp app(ParseOptions(argc, argv));
        if (app.Create(::GetModuleHandleA(nullptr))) rc = app.Run();
    }
    ::OleUninitialize();
    return rc;
}
