#include "memo/memo_dlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <set>
#include <ctime>
#include <optional>

#include "base/fs.h"
#include "base/window_messages.h"
#include "base/text.h"
#include "memo/memo_art.h"
#include "memo/memo_dialogs.h"
#include "memo/memo_menu.h"
#include "res/resource.h"
#include "storage/ini_file.h"
#include "storage/memo_format.h"
#include "storage/memo_record.h"
#include "storage/storage_util.h"
#include "ui/data_tip.h"
#include "ui/memo_button.h"
#include "ui/memo_edit.h"
#include "win/com.h"
#include "win/controls.h"
#include "win/cp949.h"
#include "win/handles.h"
#include "win/window.h"

namespace {

using tesra::kMemoChangedMessage;
using tesra::kSettingsChangedMessage;
using tesra::kTransferProgressMessage;

constexpr int kCaptionHeight = 16;
constexpr int kFoldedWidth = 100;
constexpr int kFoldedHeight = 17;
constexpr int kMinTrackWidth = 140;
constexpr int kMinTrackHeight = 80;
constexpr char kPortalHome[] = "http://www.quillmar.co.kr/";
constexpr char kAlarmFormat[] = "[\xBE\xCB\xB6\xF7] %s";  // [알람] %s
// "모든 파일 (*.*)|*.*|텍스트 파일 (*.txt)|*.txt|"
constexpr char kTextFileFilter[] =
    "\xB8\xF0\xB5\xE7 \xC6\xC4\xC0\xCF (*.*)|*.*|\xC5\xD8\xBD\xBA\xC6\xAE \xC6\xC4\xC0\xCF (*.txt)|*.txt|";

std::string ModuleFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(tesra::win::ModuleInstance(), path, MAX_PATH);
    return tesra::fs::FolderOf(std::string_view(path, n));
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// v on the grid of step s: to the nearer multiple, a remainder of exactly
// half a step going down.
int Snap(int v, int s) {
    const int r = v - (v / s) * s;
    if (r == 0) return v;
    return (v / s) * s + (r > s / 2 ? s : 0);
}

}  // namespace

struct CMemoDlg::Impl : tesra::win::CDialog {
    Impl(CMemoDlg& owner, IMemoHost& memoHost, int colour, int minimisedFlag)
        : self(owner),
          host(memoHost),
          art(MemoArt::Get()),
          colourIndex(ValidColourIndex(colour)),
          background(kMemoColours[static_cast<std::size_t>(colourIndex)]),
          minimised(minimisedFlag),
          defaultWidth(memoHost.MemoDefaults().width),
          defaultHeight(memoHost.MemoDefaults().height),
          edit([this] { self.StopBlink(); }) {}

    ~Impl() override {
        tip.reset();
        DestroyWindow();
    }

    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;

    bool CreateChildren();
    struct ChildRects {
        RECT deleteButton, newButton, edit, home, pin;
        std::optional<RECT> progress;
    };
    ChildRects Layout(int cx, int cy) const;
    // The stored place of a memo being restored, applied before its children
    // are made.
    std::optional<RECT> StoredPlacement() const;
    std::optional<RECT> restoreRect;
    void InitDialog();
    void LayoutChildren(int cx, int cy);
    void Paint();
    void PaintBorder();
    void Redraw() {
        if (hwnd()) ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
    void OnLeftDown(int x, int y, WPARAM wp, LPARAM lp);
    void OpenMenuAtPin();
    void OnDoubleClick(int y);
    void OnMouseMove(int x, int y);
    void OnBlinkTimer();
    void OnActivate(bool active);
    void OnDestroy();
    bool OnCommand(int id, int code);
    LRESULT OnLink(const ENLINK& link);
    void OnWindowPosChanged();
    void OnButtonHover(CMemoButton& button, const MSG& m);
    // False when the data file could not take the text: it is then kept in
    // the emergency copy, and the modified flag stays for the next try.
    bool SaveAll();
    // r on the grid, in screen coordinates; nothing where the work area
    // (the placement's coordinates) does not start at the screen's corner.
    std::optional<RECT> OnGrid(const RECT& r) const;
    void ApplyPlacement(const RECT& r);
    // The hidden transfer bar, made from the template on first use.
    HWND Progress();
    HWND progressBar = nullptr;  // made on the first transfer's progress
    std::string ChooseTextFile(bool save);
    void UseDefaultFont() {
        memoFont = host.MemoDefaults().font;
        textColour = host.MemoDefaults().textColour;
    }
    std::string Section() const { return key; }

    CMemoDlg& self;
    IMemoHost& host;
    std::shared_ptr<const MemoArt> art;
    HWND notify = nullptr;
    std::string key;
    std::string dataPath;
    int initialised = 0;
    int layoutPending = 0;
    int colourIndex;
    COLORREF background;
    int blinkPhase = 0;
    int blinking = 0;
    int alarmShown = 0;
    std::int32_t firedAlarm = 0;
    int minimised;
    int caretPlaced = 0;
    bool saveFailureTold = false;  // once per memo
    int normalWidth = 0;
    int normalHeight = 0;
    int defaultWidth;
    int defaultHeight;
    std::string textFileName = "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD.txt";  // 제목없음.txt
    LOGFONTA memoFont{};
    COLORREF textColour = 0;
    HICON pinIcon = nullptr;
    CMemoEdit edit;
    CMemoButton newButton, deleteButton, homeButton;
    // The pin's name for accessibility clients, made when one first asks: a
    // sixth window in every memo would cost every start-up.
    CMemoButton pinMark;
    tesra::win::Window toolTip;  // made on the first hover over a button
    std::unique_ptr<CDataTip> tip;  // made on the first rest over the pin
    int transferTotal = 0;
    int transferCount = 0;
    const MemoMenu* trackedMenu = nullptr;  // while the memo menu is open
};

// ---- creation ---------------------------------------------------------------

bool CMemoDlg::Impl::CreateChildren() {
    pinIcon = art->pin;
    // A memo whose place is known goes there before it has children, and
    // they are made where they belong: moving them later is most of what a
    // restore would cost.
    if (restoreRect) ApplyPlacement(*restoreRect);
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    const ChildRects r = Layout(c.right, c.bottom);
    if (!edit.Create(hwnd(), IDC_MEMO_EDIT, r.edit)) return false;
    edit.DetectLinks();
    for (CMemoButton* b : {&newButton, &deleteButton, &homeButton}) b->SetBackground(background);
    if (!newButton.Create(hwnd(), IDC_MEMO_NEW, art->newButton.get(), art->newHot.get(), r.newButton,
                          IDS_MEMO_NEW_TIP) ||
        !deleteButton.Create(hwnd(), IDC_MEMO_DELETE, art->deleteButton.get(), art->deleteHot.get(), r.deleteButton,
                             IDS_MEMO_DELETE_TIP) ||
        !homeButton.Create(hwnd(), IDC_MEMO_HOME, art->home.get(), art->homeHot.get(), r.home, IDS_MEMO_HOME_NAME))
        return false;
    auto hover = [this](CMemoButton& b, const MSG& m) { OnButtonHover(b, m); };
    newButton.OnHover(hover);
    deleteButton.OnHover(hover);
    homeButton.SetCursor(art->hand);
    return true;
}

void CMemoDlg::Impl::InitDialog() {
    UseDefaultFont();
    // A memo restored from the index gets its own font next; formatting the
    // edit twice is a good part of what a restore costs.
    if (key.empty()) edit.ApplyFont(memoFont, textColour);
    edit.SetBackground(background);
    initialised = 1;
    // A hidden memo is laid out by its placement's move or, failing one,
    // when it is shown: the children are moved once, not twice.
    if (::IsWindowVisible(hwnd())) {
        RECT c{};
        ::GetClientRect(hwnd(), &c);
        LayoutChildren(c.right, c.bottom);
    } else {
        layoutPending = 1;
    }
}

void CMemoDlg::Impl::OnButtonHover(CMemoButton& button, const MSG& m) {
    if (&button == &homeButton) return;
    if (!toolTip) {
        toolTip.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                        tesra::win::ModuleInstance(), nullptr));
        if (!toolTip) return;
        for (CMemoButton* b : {&newButton, &deleteButton}) {
            TTTOOLINFOW info{};
            info.cbSize = sizeof info;
            info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            info.hwnd = hwnd();
            info.uId = reinterpret_cast<UINT_PTR>(b->hwnd());
            info.hinst = tesra::win::ModuleInstance();
            info.lpszText = MAKEINTRESOURCEW(::GetDlgCtrlID(b->hwnd()));
            ::SendMessageW(toolTip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        }
        ::SendMessageW(toolTip.get(), TTM_ACTIVATE, TRUE, 0);
    }
    // The tool tip came after this move began: it sees it through the relay.
    MSG relay = m;
    ::ScreenToClient(button.hwnd(), &relay.pt);
    ::SendMessageW(toolTip.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

// ---- layout and painting -----------------------------------------------------

CMemoDlg::Impl::ChildRects CMemoDlg::Impl::Layout(int cx, int cy) const {
    const SIZE d = tesra::win::BitmapSize(art->deleteButton.get());
    const SIZE n = tesra::win::BitmapSize(art->newButton.get());
    const int top = minimised ? 3 : 1;
    auto box = [](int x, int y, int w, int h) { return RECT{x, y, x + std::max(0, w), y + std::max(0, h)}; };
    ChildRects r{};
    r.deleteButton = box(cx - d.cx - 4, top, d.cx, d.cy);
    r.newButton = box(cx - 8 - 2 * n.cx, top, n.cx, n.cy);
    const int pin = minimised ? 3 : 0;  // where Paint draws it
    r.pin = box(pin, pin, 16, 16);
    if (minimised) {
        const int w = normalWidth >= 1 ? normalWidth : cx;
        r.edit = box(4, 26, w - 8, cy - 27);
        r.home = box(0, 100, 0, 0);
        r.progress.reset();  // stays where it was
    } else {
        r.edit = box(4, 14, cx - 8, cy - 27);
        r.progress = box(22, 4, 54, 10);
        r.home = box(cx / 2 - 42, cy - 10, 84, 7);
    }
    return r;
}

void CMemoDlg::Impl::LayoutChildren(int cx, int cy) {
    if (!initialised) return;
    layoutPending = 0;
    const ChildRects r = Layout(cx, cy);
    // One move for the children that are not where they belong: a memo
    // restored to its place made them there, and a move of the rich edit
    // costs a reflow. A hidden memo needs no painting yet.
    const bool visible = ::IsWindowVisible(hwnd()) != FALSE;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (visible ? 0 : SWP_NOREDRAW);
    // A set of deferred moves is a Wine server object: made only for moves.
    std::array<std::pair<HWND, RECT>, 6> moves{};
    std::size_t count = 0;
    auto move = [&](HWND child, const RECT& to) {
        if (!child) return;
        RECT at{};
        ::GetWindowRect(child, &at);
        ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&at), 2);
        if (!::EqualRect(&at, &to)) moves[count++] = {child, to};
    };
    move(deleteButton.hwnd(), r.deleteButton);
    move(newButton.hwnd(), r.newButton);
    move(edit.hwnd(), r.edit);
    if (r.progress) move(progressBar, *r.progress);
    move(homeButton.hwnd(), r.home);
    move(pinMark.hwnd(), r.pin);
    if (count > 0) {
        HDWP deferred = ::BeginDeferWindowPos(static_cast<int>(count));
        for (std::size_t i = 0; i < count && deferred; ++i) {
            const RECT& to = moves[i].second;
            deferred = ::DeferWindowPos(deferred, moves[i].first, nullptr, to.left, to.top, to.right - to.left,
                                        to.bottom - to.top, flags);
        }
        if (deferred) ::EndDeferWindowPos(deferred);
    }
    self.SavePlacement();
    if (visible) Redraw();
}

void CMemoDlg::Impl::Paint() {
    tesra::win::PaintDC dc(hwnd());
    RECT r{};
    ::GetClientRect(hwnd(), &r);
    HBRUSH back = art->colours[static_cast<std::size_t>(colourIndex)].get();
    RECT band{r.left, r.top, r.right, r.top + kCaptionHeight};
    RECT body{r.left, r.top + kCaptionHeight, r.right, r.bottom};
    ::FillRect(dc.get(), &band, back);
    ::FillRect(dc.get(), &body, back);
    if (!minimised) {
        ::MoveToEx(dc.get(), r.right - 4, r.bottom, nullptr);
        ::LineTo(dc.get(), r.right, r.bottom - 4);
        ::MoveToEx(dc.get(), r.right - 8, r.bottom, nullptr);
        ::LineTo(dc.get(), r.right, r.bottom - 8);
    }
    {
        tesra::win::Selection pen(dc.get(), art->grey128.get());
        if (minimised) {
            const POINT outline[] = {{r.left, r.top},
                                     {r.left, r.bottom - 1},
                                     {r.right - 1, r.bottom - 1},
                                     {r.right - 1, r.top},
                                     {r.left, r.top}};
            ::Polyline(dc.get(), outline, 5);
            tesra::win::TextColours keep(dc.get());
            tesra::win::Selection font(dc.get(), art->caption.get());
            ::SetBkMode(dc.get(), TRANSPARENT);
            ::SetBkColor(dc.get(), RGB(255, 255, 255));
            tesra::win::DrawText949(dc.get(), self.m_title, {18, 0, r.right - 30, r.bottom},
                                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
    }
    if (!minimised) {
        tesra::win::Selection pen(dc.get(), art->grey192.get());
        ::MoveToEx(dc.get(), r.right - 3, r.bottom, nullptr);
        ::LineTo(dc.get(), r.right, r.bottom - 3);
        ::MoveToEx(dc.get(), r.right - 7, r.bottom, nullptr);
        ::LineTo(dc.get(), r.right, r.bottom - 7);
    }
    if (alarmShown) {
        char when[64] = {};
        const std::time_t t = firedAlarm;
        if (const std::tm* local = std::localtime(&t)) std::strftime(when, sizeof when, "%Y/%m/%d %H:%M", local);
        const std::string text = tesra::Format(kAlarmFormat, when);
        tesra::win::TextColours keep(dc.get());
        tesra::win::Selection font(dc.get(), art->alarmFont.get());
        ::SetBkMode(dc.get(), TRANSPARENT);
        const std::wstring wide = tesra::win::WideFrom949(text);
        ::TextOutW(dc.get(), 18, 1, wide.c_str(), static_cast<int>(wide.size()));
    }
    // The buttons stand on this band; their windows leave it to us, and are
    // validated here, or each would take a paint message only for that: all
    // in one request, the region being the process's own.
    tesra::win::Region buttons(::CreateRectRgn(0, 0, 0, 0));
    for (const CMemoButton* b : {&newButton, &deleteButton, &homeButton}) {
        b->Paint(dc.get(), art->Face(b->Picture(), b->Background()));
        if (!b->hwnd() || !buttons) continue;
        tesra::win::Region one(::CreateRectRgnIndirect(&b->Area()));
        if (one) ::CombineRgn(buttons.get(), buttons.get(), one.get(), RGN_OR);
    }
    if (buttons) ::RedrawWindow(hwnd(), nullptr, buttons.get(), RDW_VALIDATE | RDW_ALLCHILDREN);
    // The pin's area reaches into the edit's.
    if (pinMark.hwnd()) ::ValidateRect(pinMark.hwnd(), nullptr);
    if (pinIcon) {
        const int at = minimised ? 3 : 0;
        ::DrawIconEx(dc.get(), at, at, pinIcon, 16, 16, 0, nullptr, DI_NORMAL);
    }
}

void CMemoDlg::Impl::PaintBorder() {
    tesra::win::WindowDC dc(hwnd(), tesra::win::WindowDC::kWholeWindow);
    if (!dc.get()) return;
    RECT w = WindowRect(hwnd());
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd(), &origin);
    const int cl = origin.x - w.left, ct = origin.y - w.top;
    ::ExcludeClipRect(dc.get(), cl, ct, cl + c.right, ct + c.bottom);
    RECT all{0, 0, w.right - w.left, w.bottom - w.top};
    ::FillRect(dc.get(), &all, art->outline.get());
    ::InflateRect(&all, -1, -1);
    ::FillRect(dc.get(), &all, art->colours[static_cast<std::size_t>(colourIndex)].get());
}

// ---- mouse, timer, activation --------------------------------------------------

void CMemoDlg::Impl::OnLeftDown(int x, int y, WPARAM, LPARAM lp) {
    if (blinking) self.StartBlink(0, 0);
    if (y > kCaptionHeight) return;
    if (x >= 0 && x < 16 && y >= 0 && y < 16) {
        OpenMenuAtPin();
        return;
    }
    ::ReleaseCapture();
    ::SendMessageA(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, lp);
}

void CMemoDlg::Impl::OpenMenuAtPin() {
    const RECT w = WindowRect(hwnd());
    self.ShowMemoMenu(w.left + 3, w.top + 16);
}

void CMemoDlg::Impl::OnDoubleClick(int y) {
    if (blinking) self.StartBlink(0, 0);
    if (y < kFoldedHeight) {
        self.SetMinimized(minimised ? 0 : 1);
        if (!caretPlaced && !minimised) edit.Select(0, 0);
        caretPlaced = 1;
    }
}

void CMemoDlg::Impl::OnMouseMove(int x, int y) {
    if (!(x >= 0 && x < 16 && y >= 0 && y < 16)) return;
    std::string text = self.m_title;
    if (text.empty() && edit.LineCount() >= 1) {
        text = std::string(tesra::Trim(edit.Line(0, 8192)));
        if (text.size() > 72) text = tesra::Format("%s...", tesra::CopyTextBounded(text, 70).c_str());
    }
    if (text.empty()) return;
    if (!tip) {
        tip = std::make_unique<CDataTip>();
        if (!tip->Create(hwnd())) {
            tip.reset();
            return;
        }
        tip->m_enabled = true;
        tip->m_offset = {0, 20};
        CDataTip::SetDelay(100);
    }
    tip->SetTip(x, y, std::move(text));
}

void CMemoDlg::Impl::OnBlinkTimer() {
    blinkPhase = !blinkPhase;
    if (blinkPhase) {
        if (alarmShown) self.PlayMemoSound(3);
        pinIcon = alarmShown ? art->alarm : art->pin;
    } else {
        pinIcon = alarmShown ? art->alarmBlink : art->pinBlink;
    }
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    RECT band{1, 1, c.right - 2, kCaptionHeight};
    ::InvalidateRect(hwnd(), &band, FALSE);
}

bool CMemoDlg::Impl::SaveAll() {
    const bool written = self.SaveText(dataPath) >= 0;
    const std::string copy = tesra::EmergencyCopyName(dataPath);
    if (written) {
        tesra::fs::RemoveFile(copy);
    } else {
        // What the user typed is never lost: beside the file it could not
        // replace, and the upload takes it from there.
        tesra::fs::WriteFileAtomic(copy, edit.Text());
    }
    self.SaveProperties();
    self.SaveFont();
    self.SavePlacement();
    // Pending from the save on: a host that dies before its change notice
    // runs must not take the upload with it.
    host.TextSaved(key);
    if (!written && !saveFailureTold) {
        saveFailureTold = true;
        host.ShowMessage(tesra::win::ModuleString(IDS_TEXT_NOT_SAVED));
    }
    return written;
}

void CMemoDlg::Impl::OnActivate(bool active) {
    if (active) {
        tesra::win::DetachDialogKeys();
        tesra::win::AttachDialogKeys(hwnd());
        if (edit.hwnd() && !minimised) ::SetFocus(edit.hwnd());
        return;
    }
    if (tesra::win::DialogKeysTarget() == hwnd()) tesra::win::DetachDialogKeys();
    if (edit.IsModified() && !dataPath.empty()) {
        SaveAll();
        if (notify) ::PostMessageA(notify, kMemoChangedMessage, 0, 0);
    }
}

void CMemoDlg::Impl::OnDestroy() {
    if (edit.IsModified()) {
        if (!dataPath.empty()) {
            SaveAll();
            self.m_syncState = 2;
        }
    } else if (self.m_placementChanged || self.m_propertiesChanged) {
        self.SavePlacement();
        self.m_syncState = 1;
    }
    if (blinking) ::KillTimer(hwnd(), kBlinkTimer);
    tip.reset();
    edit.Destroy();
    toolTip.Reset();
    newButton.Destroy();
    deleteButton.Destroy();
    homeButton.Destroy();
    pinMark.Destroy();
    if (tesra::win::DialogKeysTarget() == hwnd()) tesra::win::DetachDialogKeys();
}

void CMemoDlg::Impl::OnWindowPosChanged() {
    const int s = std::max(1, host.MemoDefaults().sizeStep);
    const RECT w = WindowRect(hwnd());
    const int x = Snap(w.left, s), y = Snap(w.top, s);
    int cx = w.right - w.left, cy = w.bottom - w.top;
    // A folded memo keeps its bar's size; only its place is on the grid.
    if (!minimised) {
        cx = Snap(cx, s);
        cy = Snap(cy, s);
    }
    if (x != w.left || y != w.top || cx != w.right - w.left || cy != w.bottom - w.top) {
        ::SetWindowPos(hwnd(), nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
        self.m_placementChanged = 1;
    }
}

bool CMemoDlg::Impl::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return id == IDCANCEL || id == IDOK;
    switch (id) {
    case IDC_MEMO_NEW:
        host.NewMemo(host.MemoDefaults().background);
        newButton.Unhover();
        return true;
    case IDC_MEMO_DELETE:
        deleteButton.Unhover();
        self.DeleteMemo();
        return true;
    case IDC_MEMO_HOME:
        ::ShellExecuteA(hwnd(), "open", kPortalHome, nullptr, nullptr, SW_SHOWNORMAL);
        homeButton.Unhover();
        return true;
    case IDCANCEL:
    case IDOK:
        return true;  // Escape and Enter leave a memo where it is
    default:
        return false;
    }
}

LRESULT CMemoDlg::Impl::OnLink(const ENLINK& link) {
    if (link.msg == WM_LBUTTONDOWN) {
        tesra::win::WaitCursor wait;
        edit.Select(link.chrg.cpMin, link.chrg.cpMax);
        const std::string target = edit.Range(link.chrg.cpMin, link.chrg.cpMax);
        edit.Select(link.chrg.cpMin, link.chrg.cpMin);
        const std::string open = tesra::LinkToOpen(target);
        if (!open.empty())
            ::ShellExecuteW(hwnd(), L"open", tesra::win::WideFrom949(open).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return 1;
    }
    return link.msg == WM_LBUTTONUP ? 1 : 0;
}

INT_PTR CMemoDlg::Impl::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        if (!CreateChildren()) {
            ::DestroyWindow(hwnd());
            return FALSE;
        }
        InitDialog();
        return FALSE;  // the focus stays where the manager puts it
    case WM_PAINT:
        Paint();
        return TRUE;
    case WM_NCPAINT:
        if (::GetWindowLongA(hwnd(), GWL_STYLE) & WS_THICKFRAME) PaintBorder();
        return SetResult(0);
    case WM_CTLCOLORDLG:
        // The dialog manager erases with it. Its answer goes back as it is,
        // where a handled erase would write its result into the window's
        // bytes: a round trip to the Wine server each time.
        return reinterpret_cast<INT_PTR>(art->colours[static_cast<std::size_t>(colourIndex)].get());
    case WM_SIZE:
        LayoutChildren(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return TRUE;
    case WM_SHOWWINDOW:
        if (wp && layoutPending) {
            RECT c{};
            ::GetClientRect(hwnd(), &c);
            LayoutChildren(c.right, c.bottom);
        }
        return FALSE;
    case WM_GETMINMAXINFO:
        if (!minimised) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lp);
            info->ptMinTrackSize = {kMinTrackWidth, kMinTrackHeight};
        }
        return SetResult(0);
    case WM_WINDOWPOSCHANGED: {
        const LRESULT r = ::DefWindowProcA(hwnd(), msg, wp, lp);
        // Shown by a move that kept the size (the alarm's): no WM_SHOWWINDOW.
        if (layoutPending && (reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW)) {
            RECT c{};
            ::GetClientRect(hwnd(), &c);
            LayoutChildren(c.right, c.bottom);
        }
        OnWindowPosChanged();
        return SetResult(r);
    }
    case WM_LBUTTONDOWN:
        OnLeftDown(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)), wp, lp);
        return TRUE;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick(static_cast<short>(HIWORD(lp)));
        return FALSE;
    case WM_CONTEXTMENU:
        // From the keyboard (Shift+F10, the menu key) it has no point: the
        // memo menu, at the pin. A right click belongs to the edit's menu.
        if (static_cast<short>(LOWORD(lp)) != -1 || static_cast<short>(HIWORD(lp)) != -1) return FALSE;
        OpenMenuAtPin();
        return TRUE;
    case WM_GETOBJECT:
        if (!pinMark.hwnd() && initialised) {
            RECT c{};
            ::GetClientRect(hwnd(), &c);
            pinMark.CreateMark(hwnd(), Layout(c.right, c.bottom).pin, IDS_MEMO_PIN_NAME);
        }
        return FALSE;  // the system's own proxy, which reads the children's texts
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return FALSE;
    case WM_TIMER:
        if (wp == kBlinkTimer) OnBlinkTimer();
        return FALSE;
    case WM_NCACTIVATE: {
        OnActivate(wp != 0);
        // The default frame drawing, then our own border over it.
        const LRESULT r = ::DefWindowProcA(hwnd(), msg, wp, lp);
        if (::GetWindowLongA(hwnd(), GWL_STYLE) & WS_THICKFRAME) PaintBorder();
        return SetResult(r);
    }
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wp), HIWORD(wp)) ? TRUE : FALSE;
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        return measure->CtlType == ODT_MENU && trackedMenu && trackedMenu->MeasureItem(*measure);
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        return item->CtlType == ODT_MENU && trackedMenu && trackedMenu->DrawItem(*item);
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->idFrom == IDC_MEMO_EDIT && header->code == EN_LINK)
            return SetResult(OnLink(*reinterpret_cast<const ENLINK*>(lp)));
        return FALSE;
    }
    case kTransferProgressMessage:
        if (wp == 1) {
            transferCount += static_cast<int>(lp);
            if (transferTotal > 0) {
                const int pos = static_cast<int>(static_cast<double>(transferCount) / transferTotal * 100.0);
                ::SendMessageA(Progress(), PBM_SETPOS, static_cast<WPARAM>(pos), 0);
            }
        }
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- CMemoDlg ------------------------------------------------------------------

CMemoDlg::CMemoDlg(IMemoHost& host, int colourIndex, int minimised)
    : m_impl(std::make_unique<Impl>(*this, host, colourIndex, minimised)) {}

CMemoDlg::~CMemoDlg() {
    if (m_impl->hwnd()) ::DestroyWindow(m_impl->hwnd());
}

void CMemoDlg::SetNotifyWindow(HWND window) { m_impl->notify = window; }

bool CMemoDlg::Create(HWND parent) {
    Impl& m = *m_impl;
    if (!m.art->Complete() || !tesra::win::EnsureCommonControls() || !tesra::win::RichEditClass()) return false;
    // Unfolded only: folding needs the children.
    if (!m.key.empty() && !m.minimised) m.restoreRect = m.StoredPlacement();
    // A memo whose place is known is made there, unless the size is below
    // the least a memo may have, which a placement would correct.
    RECT at{0, 0, m.defaultWidth, m.defaultHeight};
    if (const std::optional<RECT> placed = m.restoreRect ? m.OnGrid(*m.restoreRect) : std::nullopt;
        placed && placed->right - placed->left >= kMinTrackWidth && placed->bottom - placed->top >= kMinTrackHeight) {
        at = *placed;
        if (!::EqualRect(&at, &*m.restoreRect)) m_placementChanged = 1;
        m.restoreRect.reset();
    }
    const bool made = m.CreateModelessFrame(m.art->frame->style, m.art->frame->exStyle, parent, at);
    m.restoreRect.reset();
    return made;
}

HWND CMemoDlg::hwnd() const { return m_impl->hwnd(); }
void CMemoDlg::SetKey(std::string key) { m_impl->key = std::move(key); }
void CMemoDlg::SetDataPath(std::string path) { m_impl->dataPath = std::move(path); }
const std::string& CMemoDlg::key() const { return m_impl->key; }
const std::string& CMemoDlg::dataPath() const { return m_impl->dataPath; }

// ---- placement -------------------------------------------------------------------

std::optional<RECT> CMemoDlg::Impl::OnGrid(const RECT& r) const {
    const std::optional<RECT> work = host.WorkArea();
    if (!work || work->left != 0 || work->top != 0) return std::nullopt;
    const int s = std::max(1, host.MemoDefaults().sizeStep);
    const int x = Snap(r.left, s), y = Snap(r.top, s);
    int cx = r.right - r.left, cy = r.bottom - r.top;
    if (!minimised) {
        cx = Snap(cx, s);
        cy = Snap(cy, s);
    }
    return RECT{x, y, x + cx, y + cy};
}

HWND CMemoDlg::Impl::Progress() {
    if (progressBar) return progressBar;
    const tesra::win::DialogTemplateItem* item = art->FrameItem(IDC_MEMO_PROGRESS);
    if (!item) return nullptr;
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    const RECT r = Layout(c.right, c.bottom).progress.value_or(RECT{22, 4, 76, 14});
    HWND bar = ::CreateWindowExW(item->exStyle, item->className.c_str(), item->text.c_str(),
                                 (item->style | WS_CHILD) & ~WS_VISIBLE, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(item->id)),
                                 tesra::win::ModuleInstance(), nullptr);
    if (bar) ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(1, 100));
    progressBar = bar;  // goes with the memo's window
    return bar;
}

void CMemoDlg::Impl::ApplyPlacement(const RECT& r) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.flags = 0;
    wp.showCmd = SW_HIDE;
    wp.ptMinPosition = {0, 0};
    const SIZE border = host.BorderSize();
    wp.ptMaxPosition = {-border.cx, -border.cy};
    wp.rcNormalPosition = r;
    // Put on the grid here, as OnWindowPosChanged would after the move:
    // one move and one layout of the children instead of two.
    if (const std::optional<RECT> placed = OnGrid(r)) {
        wp.rcNormalPosition = *placed;
        if (!::EqualRect(placed.operator->(), &r)) self.m_placementChanged = 1;
        // A hidden memo made where it belongs (a restore) is not moved again.
        const RECT now = WindowRect(hwnd());
        if (!::IsWindowVisible(hwnd()) && !::IsIconic(hwnd()) && !::IsZoomed(hwnd()) && ::EqualRect(&now, &*placed))
            return;
    }
    ::SetWindowPlacement(hwnd(), &wp);
}

void CMemoDlg::PlaceDefault() {
    Impl& m = *m_impl;
    m.minimised = 0;
    const tesra::DesktopSize d = m.host.Desktop();
    const int w = m.defaultWidth, h = m.defaultHeight;
    // Every registered memo's rectangle once; a slot is taken by a memo
    // that stands there as placed or as the grid moved it.
    std::set<std::array<int, 4>> standing;
    for (HWND other : m.host.RegisteredMemoWindows()) {
        if (other == hwnd()) continue;
        const RECT r = WindowRect(other);
        standing.insert({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    const int s = std::max(1, m.host.MemoDefaults().sizeStep);
    auto taken = [&](int x, int y) {
        return standing.count({x, y, w, h}) || standing.count({Snap(x, s), Snap(y, s), Snap(w, s), Snap(h, s)});
    };
    int x = 0, y = 0;
    bool found = false;
    while (w > 0 && h > 0) {
        if (standing.empty() || !taken(x, y)) {
            found = true;
            break;
        }
        y += h;
        if (y + h / 2 > d.height) {
            y = 0;
            x += w;
        }
        if (!(x + w / 2 <= d.width)) break;
    }
    if (!found) x = y = 0;
    m.ApplyPlacement({x, y, x + w, y + h});
}

std::optional<RECT> CMemoDlg::Impl::StoredPlacement() const {
    const tesra::MemoRecord record = tesra::ReadMemoRecord(host.LiveIndex(), key);
    const tesra::DesktopSize d = host.Desktop();
    tesra::PixelRect r;
    if (record.legacyPlace) {
        if (record.legacyPlace->empty()) return std::nullopt;
        tesra::ParseLegacyPosition(*record.legacyPlace, r);
    } else {
        if (record.place.value_or(std::string()).empty()) return std::nullopt;
        r = tesra::ParsePositionString(*record.place, d);
    }
    if (!(r.left + 10 >= 0 && r.left + 30 < d.width && r.top + 10 >= 0 && r.top + 30 < d.height))
        return std::nullopt;
    return RECT{r.left, r.top, r.right, r.bottom};
}

void CMemoDlg::RestorePlacement() {
    Impl& m = *m_impl;
    const std::optional<RECT> r = m.StoredPlacement();
    if (!r) return PlaceDefault();
    m.normalWidth = r->right - r->left;
    m.normalHeight = r->bottom - r->top;
    m.ApplyPlacement(*r);
    if (m.minimised == 1) SetMinimized(1);
    m_placementChanged = 0;
}

void CMemoDlg::SavePlacement() {
    Impl& m = *m_impl;
    if (m.key.empty() || !hwnd()) return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    ::GetWindowPlacement(hwnd(), &wp);
    RECT r = wp.rcNormalPosition;
    if (m.minimised) r = {r.left, r.top, r.left + m.normalWidth, r.top + m.normalHeight};
    tesra::MemoRecord placed;
    placed.colour = m.colourIndex;
    placed.place = tesra::FormatPositionString({r.left, r.top, r.right, r.bottom}, m.host.Desktop());
    placed.folded = m.minimised;
    tesra::WriteMemoRecord(m.host.LiveIndex(), m.key, placed);
    m_placementChanged = 0;
}

void CMemoDlg::SaveProperties() {
    Impl& m = *m_impl;
    tesra::CIniFile& index = m.host.LiveIndex();
    tesra::MemoRecord properties;
    tesra::fs::FileStatus status;
    if (!m.dataPath.empty() && tesra::fs::Stat(m.dataPath, &status)) {
        properties.oldver = tesra::ReadMemoRecord(index, m.key).ver.value_or(std::string());
        properties.ver = tesra::FormatVersionStamp(status);
    }
    properties.alarm = m_alarmTime;
    properties.title = m_title;
    tesra::WriteMemoRecord(index, m.key, properties);
}

void CMemoDlg::SaveFont() {
    Impl& m = *m_impl;
    tesra::MemoFont font;
    font.textColor = m.textColour;
    font.font = m.memoFont;
    tesra::MemoRecord record;
    record.font = tesra::FormatFontString(font);
    tesra::WriteMemoRecord(m.host.LiveIndex(), m.key, record);
}

void CMemoDlg::ApplyFont() {
    Impl& m = *m_impl;
    if (!m.initialised) return;
    if (const std::optional<std::string> text = tesra::ReadMemoRecord(m.host.LiveIndex(), m.key).font) {
        tesra::MemoFont font;
        tesra::ParseFontString(*text, font);
        m.memoFont = font.font;
        m.textColour = font.textColor;
    } else {
        m.UseDefaultFont();
    }
    m.edit.ApplyFont(m.memoFont, m.textColour);
}

// ---- text ----------------------------------------------------------------------

namespace {

// A text file's lines as the edit takes them: every CR dropped, every LF a
// CR LF, so a file that ends with a break ends with an empty line.
std::string EditTextOfFile(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (char c : bytes) {
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

IMemoHost& CMemoDlg::Host() const { return m_impl->host; }

void CMemoDlg::AppendText(const std::string& text) { m_impl->edit.AppendText(text); }

void CMemoDlg::LoadTextFile(const std::string& path) {
    Impl& m = *m_impl;
    std::string bytes;
    if (!tesra::fs::ReadFile(path, &bytes)) {
        m.edit.SetText("");
        return;
    }
    m.edit.SetText(EditTextOfFile(bytes));
    m.edit.Select(0, 0);
}

void CMemoDlg::LoadMemoText(bool mayHaveCopy) {
    Impl& m = *m_impl;
    if (m.dataPath.empty()) return;
    // Text its file could not take last time comes back, to be saved again.
    const std::string copy = tesra::EmergencyCopyName(m.dataPath);
    const bool kept = mayHaveCopy && tesra::FileExists(copy);
    if (!kept && !tesra::FileExists(m.dataPath)) return;
    tesra::win::WaitCursor wait;
    LoadTextFile(kept ? copy : m.dataPath);
    m.edit.SetModified(kept);
}

void CMemoDlg::SetMemoText(const std::string& text) {
    Impl& m = *m_impl;
    if (text.empty()) {
        m.edit.Select(0, 0);
        m.edit.SetModified(false);
        return;
    }
    m.edit.SetText(text);
    // Received text is new to this computer: it is saved whatever the edit
    // says of its modified flag after a programmatic replace.
    m.edit.SetModified(true);
    if (!m.dataPath.empty()) {
        m.SaveAll();
        if (m.notify) ::PostMessageA(m.notify, kMemoChangedMessage, 0, 0);
    }
    m.edit.Select(0, 0);
}

bool CMemoDlg::SaveAll() { return m_impl->SaveAll(); }

long CMemoDlg::SaveText(const std::string& path) {
    if (path.empty()) return -1;
    tesra::fs::CopyOver(path, tesra::MakeBackupName(path));  // no file yet: nothing to keep
    if (!tesra::fs::WriteFileAtomic(path, m_impl->edit.Text())) return -1;
    tesra::fs::FileStatus status;
    return tesra::fs::Stat(path, &status) ? static_cast<long>(status.size) : -1;
}

bool CMemoDlg::IsTextModified() const { return m_impl->edit.IsModified(); }
void CMemoDlg::ClearTextModified() { m_impl->edit.SetModified(false); }
std::string CMemoDlg::Text() const { return m_impl->edit.Text(); }

// ---- blinking, folding, colour ---------------------------------------------------

void CMemoDlg::StartBlink(int on, int alarm) {
    Impl& m = *m_impl;
    if (!hwnd()) return;
    m.blinking = on;
    if (!on) {
        if (m.alarmShown) {
            ::SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            m.alarmShown = 0;
        }
        ::KillTimer(hwnd(), kBlinkTimer);
        m.pinIcon = m.art->pin;
        m.Redraw();
        return;
    }
    if (alarm) {
        if (m.minimised) SetMinimized(0);
        if (!m.caretPlaced) {
            m.edit.Select(0, 0);
            m.caretPlaced = 1;
        }
        ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        m.alarmShown = 1;
        m.firedAlarm = m_alarmTime;
        m_alarmTime = 0;
    }
    m.Redraw();
    ::SetTimer(hwnd(), kBlinkTimer, kBlinkPeriodMs, nullptr);
}

void CMemoDlg::StopBlink() {
    if (m_impl->blinking) StartBlink(0, 0);
}

bool CMemoDlg::IsBlinking() const { return m_impl->blinking != 0; }
bool CMemoDlg::IsAlarmShown() const { return m_impl->alarmShown != 0; }
std::int32_t CMemoDlg::FiredAlarmTime() const { return m_impl->firedAlarm; }

void CMemoDlg::SetMinimized(int flag) {
    Impl& m = *m_impl;
    m.minimised = flag;
    if (!hwnd()) return;
    const RECT w = WindowRect(hwnd());
    LONG style = ::GetWindowLongA(hwnd(), GWL_STYLE);
    if (flag) {
        m.normalWidth = w.right - w.left;
        m.normalHeight = w.bottom - w.top;
        ::SetWindowLongA(hwnd(), GWL_STYLE, style & ~WS_THICKFRAME);
        ::SetWindowPos(hwnd(), nullptr, w.left, w.top, kFoldedWidth, kFoldedHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        ::SetWindowLongA(hwnd(), GWL_STYLE, style | WS_THICKFRAME);
        ::SetWindowPos(hwnd(), nullptr, w.left, w.top, m.normalWidth, m.normalHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    m_placementChanged = 1;
}

bool CMemoDlg::IsMinimized() const { return m_impl->minimised != 0; }

void CMemoDlg::SetColor(int index, bool repaint) {
    Impl& m = *m_impl;
    index = ValidColourIndex(index);
    if (index == m.colourIndex) return;
    m.colourIndex = index;
    m.background = kMemoColours[static_cast<std::size_t>(index)];
    for (CMemoButton* b : {&m.newButton, &m.deleteButton, &m.homeButton}) b->SetBackground(m.background);
    m.edit.SetBackground(m.background);
    SavePlacement();
    if (repaint) {
        m.Redraw();
        if (hwnd() && (::GetWindowLongA(hwnd(), GWL_STYLE) & WS_THICKFRAME)) m.PaintBorder();
    }
}

int CMemoDlg::ColourIndex() const { return m_impl->colourIndex; }

// ---- sounds, delete, show, destroy -------------------------------------------------

void CMemoDlg::PlayMemoSound(int code) {
    const char* name = nullptr;
    switch (code) {
    case 2:
        name = "\\recycle.wav";
        break;
    case 3:
        name = "\\ring.wav";
        break;
    case 4:
        name = "\\new.wav";
        break;
    default:
        return;
    }
    const std::string path = ModuleFolder() + name;
    ::PlaySoundA(path.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT | SND_NOWAIT | SND_NOSTOP);
}

void CMemoDlg::DeleteMemo() {
    Impl& m = *m_impl;
    // Text goes only on the user's yes; the window may be gone by then.
    if (m.host.IsLoaded() && !m.edit.Text().empty() &&
        (tesra::memo::RunDeleteConfirmDialog(hwnd()) != 1 || !hwnd()))
        return;
    if (!hwnd()) return;
    // The text goes with the memo; before a start-up only the window goes.
    if (m.host.IsLoaded()) m.edit.SetModified(false);
    PlayMemoSound(2);
    ::ShowWindow(hwnd(), SW_HIDE);
    // The manager may wait for the server and pump: this object may be gone
    // when it returns.
    const std::string key = m.key;
    m.host.DeleteMemo(key, hwnd());
}

void CMemoDlg::Activate() {
    HWND window = hwnd();
    if (!window) return;
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    ::SetActiveWindow(window);
    if (HWND edit = m_impl->edit.hwnd()) ::SetFocus(edit);
}

void CMemoDlg::Show(bool show) {
    // Shown without taking the activation: a start-up shows many at once.
    // A visible memo is shown again too: the start-up's closing show is what
    // puts the memos back above the host's window, which came up meanwhile.
    if (hwnd()) ::ShowWindow(hwnd(), show ? SW_SHOWNA : SW_HIDE);
}

void CMemoDlg::Destroy(std::unique_ptr<CMemoDlg> memo) {
    if (!memo) return;
    Impl& impl = *memo->m_impl;
    if (impl.hwnd()) ::DestroyWindow(impl.hwnd());
    CMemoDlg* raw = memo.release();
    impl.ReleaseWhenIdle([raw] { delete raw; });
}

// ---- the memo menu -------------------------------------------------------------------

void CMemoDlg::ShowMemoMenu(int x, int y) {
    Impl& m = *m_impl;
    std::unique_ptr<MemoMenu> menu = hwnd() ? BuildMemoMenu(m.minimised != 0) : nullptr;
    if (!menu) return;
    m.trackedMenu = menu.get();
    const UINT id = static_cast<UINT>(::TrackPopupMenu(
        menu->main.hmenu(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, x, y, 0, hwnd(), nullptr));
    m.trackedMenu = nullptr;
    menu.reset();
    RunMemoCommand(id);
}

std::string CMemoDlg::Impl::ChooseTextFile(bool save) {
    std::wstring filter = tesra::win::WideFrom949(kTextFileFilter);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    wchar_t path[MAX_PATH] = {};
    const std::wstring initial = tesra::win::WideFrom949(textFileName);
    initial.copy(path, MAX_PATH - 1);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!hwnd()) return {};
    edit.Select(0, 0);
    return chosen ? tesra::win::Cp949FromWide(path) : std::string();
}

void CMemoDlg::RunMemoCommand(UINT id) {
    Impl& m = *m_impl;
    // A modal loop (the menu's, a dialog's) may have seen the window go.
    if (!hwnd()) return;
    if (id >= IDM_MEMO_COLOUR && id < IDM_MEMO_COLOUR + kMemoColourCount) {
        SetColor(static_cast<int>(id - IDM_MEMO_COLOUR), true);
        m_propertiesChanged = 1;
        return;
    }
    switch (id) {
    case IDM_MEMO_MINIMIZE:
    case IDM_MEMO_RESTORE:
        SetMinimized(id == IDM_MEMO_MINIMIZE ? 1 : 0);
        break;
    case IDM_MEMO_NEW:
        m.host.NewMemo(m.host.MemoDefaults().background);  // the user's colour, not this memo's
        break;
    case IDM_MEMO_OPEN:
    case IDM_MEMO_SAVE: {
        const std::string path = m.ChooseTextFile(id == IDM_MEMO_SAVE);
        if (path.empty()) break;
        m.textFileName = path;
        tesra::win::WaitCursor wait;
        if (id == IDM_MEMO_SAVE) {
            SaveText(path);
        } else {
            LoadTextFile(path);
            m.edit.SetModified(true);  // the file's text becomes the memo's at the next save
        }
        break;
    }
    case IDM_MEMO_TITLE: {
        std::string title = m_title;
        if (tesra::memo::RunTitleDialog(hwnd(), title) != 1 || !hwnd()) break;
        m_title = title;
        tesra::MemoRecord titled;
        titled.title = m_title;
        tesra::WriteMemoRecord(m.host.LiveIndex(), m.key, titled);
        m_propertiesChanged = 1;
        m.Redraw();
        break;
    }
    case IDM_MEMO_FONT: {
        LOGFONTA font = m.memoFont;
        COLORREF colour = m.textColour;
        if (tesra::memo::RunFontChooser(hwnd(), font, colour) != 1 || !hwnd()) break;
        m.memoFont = font;
        m.textColour = colour;
        SaveFont();
        ApplyFont();
        m_propertiesChanged = 1;
        break;
    }
    case IDM_MEMO_ALARM: {
        std::int32_t alarm = m_alarmTime;
        if (tesra::memo::RunAlarmDialog(hwnd(), alarm) != 1 || !hwnd()) break;
        m_alarmTime = alarm;
        tesra::MemoRecord timed;
        timed.alarm = alarm;
        tesra::WriteMemoRecord(m.host.LiveIndex(), m.key, timed);
        m_propertiesChanged = 1;
        break;
    }
    case IDM_MEMO_SETTINGS:
        if (tesra::memo::RunSettingsDialog(hwnd(), m.host.MemoDefaults()) == 1 && m.notify)
            ::PostMessageA(m.notify, kSettingsChangedMessage, 0, 0);
        break;
    case IDM_MEMO_PRINTER_SETUP:
        PrinterSetup();
        break;
    case IDM_MEMO_PRINT:
        PrintMemo();
        break;
    case IDM_MEMO_HANCOM:
        m.host.ImportHancomNotes(1);
        break;
    case IDM_MEMO_SEND:
        m.host.FireSendMemoData(m.edit.Text());
        break;
    default:
        break;  // the menu closed without a choice
    }
}
