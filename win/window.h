// Window and dialog bases, and the one window-procedure thunk of this layer.
// The object pointer is attached at creation and detached at WM_NCDESTROY;
// an object whose owner lets it go while one of its own messages is being
// handled is freed when the outermost handler returns.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

#include "storage/storage_util.h"

namespace tesra::win {

// What windows and dialogs share: the handle and the nesting of handlers.
class CMessageTarget {
public:
    CMessageTarget() = default;
    CMessageTarget(const CMessageTarget&) = delete;
    CMessageTarget& operator=(const CMessageTarget&) = delete;
    virtual ~CMessageTarget() = default;

    HWND hwnd() const { return hwnd_; }
    // One of this object's messages is being handled right now.
    bool InHandler() const { return depth_ > 0; }
    // Runs release now, or when the outermost handler of this object has
    // returned. release may delete this object.
    void ReleaseWhenIdle(std::function<void()> release);

protected:
    // Counts one handler; runs a pending release when the last one ends.
    class Nesting {
    public:
        explicit Nesting(CMessageTarget* target) : target_(target) { ++target_->depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        ~Nesting();

    private:
        CMessageTarget* target_;
    };

    HWND hwnd_ = nullptr;

private:
    int depth_ = 0;
    std::function<void()> release_;
};

// The one window-procedure thunk of this layer: our windows, our dialogs and
// the control's window. The object sits in a slot of its window from its
// creating message (created, else nullptr) until WM_NCDESTROY, and holds its
// handle in field meanwhile. A Hold (the nesting of handlers, a reference)
// stands around the message and outlives the detach, since letting it go
// may free the object; run handles the message and answers for what C++
// throws. Empty when no object is attached.
template <class Hold, class Object, class Field, class Run>
auto DispatchToObject(HWND hwnd, UINT msg, int slot, Object* created, Field field, Run run)
    -> std::optional<decltype(run(created))> {
    Object* self = created;
    if (created) {
        ::SetWindowLongPtrA(hwnd, slot, reinterpret_cast<LONG_PTR>(created));
        created->*field = hwnd;
    } else {
        self = reinterpret_cast<Object*>(::GetWindowLongPtrA(hwnd, slot));
    }
    if (!self) return std::nullopt;
    Hold hold(self);
    auto result = run(self);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, slot, 0);
        self->*field = nullptr;
    }
    return result;
}

// A window of a class we register. Subclasses answer WindowProc.
class CWindow : public CMessageTarget {
public:
    // Registers the class once per process (our module as its instance).
    static bool RegisterClassOnce(const char* name, UINT style, HCURSOR cursor, HBRUSH background);
    bool Create(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int cx, int cy,
                HWND parent, HMENU idOrMenu);
    void DestroyWindow();

protected:
    ~CWindow() override;
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcA(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// A dialog from one of the module's templates (ModuleInstance(), the module
// this code is linked into).
class CDialog : public CMessageTarget {
public:
    bool CreateModeless(int templateId, HWND parent);
    // Made as the dialog manager makes a modeless dialog, from a template's
    // frame read once (ReadDialogTemplate): the window made at its place,
    // then WM_INITDIALOG. Without the manager's walk of the template, its
    // font and its base units, which are most of what a window made many
    // times costs; the controls are the dialog's own to make.
    bool CreateModelessFrame(DWORD style, DWORD exStyle, HWND parent, const RECT& at);
    // Runs the dialog modally: the value given to EndDialog, or -1 when the
    // dialog could not be made.
    INT_PTR DoModal(int templateId, HWND parent);
    void DestroyWindow();

protected:
    ~CDialog() override;
    // TRUE when handled (SetResult gives the message's result), FALSE for
    // the dialog manager's default handling.
    virtual INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) = 0;
    INT_PTR SetResult(LRESULT result) {
        // A write is a round trip to the Wine server; the read is not.
        if (::GetWindowLongPtrA(hwnd_, DWLP_MSGRESULT) != result) ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// Keyboard handling for the one active modeless dialog of this thread while
// a host that never calls IsDialogMessage runs the message loop: Tab, the
// arrows and Enter reach the dialog manager, Shift+F10 and the menu key send
// it WM_CONTEXTMENU at (-1, -1), and Alt combinations other than Alt+F4 do
// nothing.
void AttachDialogKeys(HWND dialog);
void DetachDialogKeys();
HWND DialogKeysTarget();

// A window class of this module, registered once; UnregisterModuleClasses
// gives back all of them before the module unloads.
bool RegisterModuleClass(const WNDCLASSEXA& wc);
bool RegisterModuleClass(const WNDCLASSEXW& wc);  // an ASCII name
void UnregisterModuleClasses();

// Every window of the set is shown and stands above every other shown
// top-level window, leaving aside other programs' topmost windows when none
// of the set is topmost (a show could not raise it above those).
bool ShownOnTop(const std::vector<HWND>& windows);

// The desktop window's size: what stored memo positions are percentages of.
DesktopSize Desktop();

// The work area, when the system answers.
std::optional<RECT> WorkArea();
// A thin border's width and height.
SIZE BorderSize();

// What placing a memo reads of the screen, read once for a batch of memos:
// each read is a round trip to the Wine server.
struct ScreenMetrics {
    std::optional<RECT> workArea;
    DesktopSize desktop;
    SIZE border{1, 1};
};
ScreenMetrics ReadScreenMetrics();

}  // namespace tesra::win
