#include "win/window.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/com.h"
#include "win/handles.h"

namespace tesra::win {

namespace {

// An exception must not cross into the system's dispatcher: the message gets
// this answer instead.
LRESULT FailedMessageResult(UINT msg) {
    switch (msg) {
    case WM_NCCREATE:
        return FALSE;
    case WM_CREATE:
        return -1;
    default:
        return 0;
    }
}

constexpr char kDialogClass[] = "TesraDialog";

// Registered by this module, for the user-interface thread.
std::vector<std::string>& ModuleClasses() {
    static std::vector<std::string> names;
    return names;
}

template <class Class, class Register>
bool RegisterOnce(const Class& wc, const std::string& name, Register doRegister) {
    for (const std::string& known : ModuleClasses())
        if (known == name) return true;
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExA(ModuleInstance(), name.c_str(), &existing)) return true;
    if (!doRegister(&wc)) return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    ModuleClasses().push_back(name);
    return true;
}

}  // namespace

bool RegisterModuleClass(const WNDCLASSEXA& wc) { return RegisterOnce(wc, wc.lpszClassName, &::RegisterClassExA); }

bool RegisterModuleClass(const WNDCLASSEXW& wc) {
    const std::wstring_view wide = wc.lpszClassName;
    return RegisterOnce(wc, std::string(wide.begin(), wide.end()), &::RegisterClassExW);
}

void UnregisterModuleClasses() {
    for (const std::string& name : ModuleClasses()) ::UnregisterClassA(name.c_str(), ModuleInstance());
    ModuleClasses().clear();
}

void CMessageTarget::ReleaseWhenIdle(std::function<void()> release) {
    if (depth_ > 0) {
        release_ = std::move(release);
        return;
    }
    release();
}

CMessageTarget::Nesting::~Nesting() {
    if (--target_->depth_ == 0 && target_->release_) {
        // The release may free the target: nothing of it is touched after.
        const std::function<void()> release = std::move(target_->release_);
        target_->release_ = nullptr;
        release();
    }
}

// ---- CWindow -------------------------------------------------------------

bool CWindow::RegisterClassOnce(const char* name, UINT style, HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &CWindow::StaticProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterModuleClass(wc);
}

bool CWindow::Create(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int cx,
                     int cy, HWND parent, HMENU idOrMenu) {
    if (hwnd_) return false;
    return ::CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, parent, idOrMenu, ModuleInstance(),
                             this) != nullptr;
}

void CWindow::DestroyWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

CWindow::~CWindow() { DestroyWindow(); }

LRESULT CWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK CWindow::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* created = msg == WM_NCCREATE
                        ? static_cast<CWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams)
                        : nullptr;
    const std::optional<LRESULT> r =
        DispatchToObject<Nesting>(hwnd, msg, GWLP_USERDATA, created, &CWindow::hwnd_, [&](CWindow* self) {
            try {
                return self->WindowProc(msg, wp, lp);
            } catch (...) {
                return FailedMessageResult(msg);
            }
        });
    return r ? *r : ::DefWindowProcA(hwnd, msg, wp, lp);
}

// ---- CDialog -------------------------------------------------------------

bool CDialog::CreateModeless(int templateId, HWND parent) {
    if (hwnd_) return false;
    return ::CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), parent, &CDialog::StaticProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool CDialog::CreateModelessFrame(DWORD style, DWORD exStyle, HWND parent, const RECT& at) {
    if (hwnd_) return false;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS | CS_SAVEBITS;  // as the system's dialog class
    wc.lpfnWndProc = &::DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = ModuleInstance();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kDialogClass;
    if (!RegisterModuleClass(wc)) return false;
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    HWND h = ::CreateWindowExA(exStyle, kDialogClass, "", style & ~WS_VISIBLE, at.left, at.top, at.right - at.left,
                               at.bottom - at.top, parent, nullptr, ModuleInstance(), nullptr);
    if (!h) return false;
    // As the dialog manager does: the procedure joins after creation.
    ::SetWindowLongPtrA(h, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&CDialog::StaticProc));
    ::SendMessageA(h, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(this));
    if (!::IsWindow(h)) return false;
    if (style & WS_VISIBLE) ::ShowWindow(h, SW_SHOWNORMAL);
    return hwnd_ == h;
}

INT_PTR CDialog::DoModal(int templateId, HWND parent) {
    if (hwnd_) return -1;
    return ::DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), parent, &CDialog::StaticProc,
                             reinterpret_cast<LPARAM>(this));
}

void CDialog::DestroyWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

CDialog::~CDialog() { DestroyWindow(); }

INT_PTR CALLBACK CDialog::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* created = msg == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lp) : nullptr;
    const std::optional<INT_PTR> r =
        DispatchToObject<Nesting>(hwnd, msg, DWLP_USER, created, &CDialog::hwnd_, [&](CDialog* self) {
            INT_PTR result;
            try {
                result = self->DialogProc(msg, wp, lp);
            } catch (...) {
                // Handled, with the defined answer: the default must not run
                // on a half-done state.
                ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, FailedMessageResult(msg));
                result = msg == WM_INITDIALOG ? FALSE : TRUE;
            }
            // The object lets go of the handle once it is being destroyed.
            if (msg == WM_DESTROY) self->hwnd_ = nullptr;
            return result;
        });
    return r ? *r : FALSE;
}

// ---- Keyboard of the active modeless dialog --------------------------------

namespace {

// One per process: only the active memo holds it (user-interface thread).
struct DialogKeys {
    Hook hook;
    HWND dialog = nullptr;
};

DialogKeys& Keys() {
    static DialogKeys keys;
    return keys;
}

void NullMessage(MSG* m) {
    m->message = WM_NULL;
    m->wParam = 0;
    m->lParam = 0;
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wp, LPARAM lp) {
    DialogKeys& keys = Keys();
    auto* m = reinterpret_cast<MSG*>(lp);
    if (code >= 0 && m) {
        // The keyboard's menu request (Shift+F10, the menu key) goes to the
        // dialog as the system words it: WM_CONTEXTMENU at (-1, -1). Its
        // key-up is dropped, or the default handling would ask a second time.
        const bool shiftF10 = m->message == WM_SYSKEYDOWN && m->wParam == VK_F10 && ::GetKeyState(VK_SHIFT) < 0;
        if ((shiftF10 || (m->message == WM_KEYDOWN && m->wParam == VK_APPS)) && keys.dialog && wp == PM_REMOVE) {
            ::PostMessageA(keys.dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m->hwnd), MAKELPARAM(-1, -1));
            NullMessage(m);
            return 1;
        }
        if (m->message == WM_KEYUP && m->wParam == VK_APPS) {
            NullMessage(m);
            return 1;
        }
        if (m->message == WM_SYSKEYDOWN && m->wParam != VK_F4) {
            NullMessage(m);
            return 1;
        }
        if (m->message == WM_KEYDOWN && wp == PM_REMOVE && keys.dialog && ::IsWindow(keys.dialog) &&
            ::IsDialogMessageA(keys.dialog, m)) {
            NullMessage(m);
            return 1;
        }
    }
    return ::CallNextHookEx(keys.hook.get(), code, wp, lp);
}

}  // namespace

void AttachDialogKeys(HWND dialog) {
    DialogKeys& keys = Keys();
    keys.hook.Reset();
    keys.dialog = dialog;
    keys.hook.Reset(::SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, nullptr, ::GetCurrentThreadId()));
}

void DetachDialogKeys() {
    DialogKeys& keys = Keys();
    keys.hook.Reset();
    keys.dialog = nullptr;
}

HWND DialogKeysTarget() { return Keys().hook ? Keys().dialog : nullptr; }

namespace {

struct TopWalk {
    std::vector<HWND> left;  // sorted; those not met yet
    std::size_t topmostLeft = 0;
    bool onTop = true;
};

bool Topmost(HWND h) { return (::GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

BOOL CALLBACK WalkFromTop(HWND w, LPARAM p) {
    auto& walk = *reinterpret_cast<TopWalk*>(p);
    if (auto it = std::lower_bound(walk.left.begin(), walk.left.end(), w); it != walk.left.end() && *it == w) {
        walk.topmostLeft -= Topmost(w);
        walk.left.erase(it);
        return !walk.left.empty();
    }
    if (!::IsWindowVisible(w) || (walk.topmostLeft == 0 && Topmost(w))) return TRUE;
    walk.onTop = false;
    return FALSE;
}

}  // namespace

bool ShownOnTop(const std::vector<HWND>& windows) {
    TopWalk walk;
    for (HWND h : windows) {
        if (!h || !::IsWindowVisible(h)) return false;
        walk.left.push_back(h);
    }
    std::sort(walk.left.begin(), walk.left.end());
    walk.left.erase(std::unique(walk.left.begin(), walk.left.end()), walk.left.end());
    for (HWND h : walk.left) walk.topmostLeft += Topmost(h);
    if (walk.left.empty()) return true;
    // One listing of the top-level windows, front to back.
    ::EnumWindows(&WalkFromTop, reinterpret_cast<LPARAM>(&walk));
    return walk.onTop && walk.left.empty();
}

DesktopSize Desktop() {
    RECT d{};
    ::GetWindowRect(::GetDesktopWindow(), &d);
    return {d.right - d.left, d.bottom - d.top};
}

std::optional<RECT> WorkArea() {
    RECT work{};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) return std::nullopt;
    return work;
}

SIZE BorderSize() { return {::GetSystemMetrics(SM_CXBORDER), ::GetSystemMetrics(SM_CYBORDER)}; }

ScreenMetrics ReadScreenMetrics() { return {WorkArea(), Desktop(), BorderSize()}; }

}  // namespace tesra::win
