// Memo windows in Xvfb with a stand-in manager.
#include <windows.h>
#include <oleacc.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/window_messages.h"
#include "box_answerer.h"
#include "memo/memo_dlg.h"
#include "memo/memo_menu.h"
#include "memo/notice_dlg.h"
#include "res/resource.h"
#include "storage/memo_format.h"
#include "support/fake_memo_host.h"
#include "support/temp_dir.h"
#include "ui/data_tip.h"
#include "win/com.h"
#include "win/cp949.h"
#include "win/window.h"

namespace {

constexpr UINT kMemoChanged = tesra::kMemoChangedMessage;

using tesra::test::FakeHost;

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

// (A named callback: the 32-bit build's window callbacks are stdcall.)
BOOL CALLBACK CountClass(HWND h, LPARAM p) {
    auto* c = reinterpret_cast<std::pair<const char*, int>*>(p);
    char name[64] = {};
    ::GetClassNameA(h, name, sizeof name);
    c->second += lstrcmpiA(name, c->first) == 0;
    return TRUE;
}

// Windows of this thread by class name.
int CountWindows(const char* cls) {
    std::pair<const char*, int> count{cls, 0};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountClass, reinterpret_cast<LPARAM>(&count));
    return count.second;
}

std::vector<int> Box(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A menu's items as (command, text, image) of their records, or (id, "", -1)
// for an item drawn by other code; every item must be owner-drawn.
using MenuRow = std::tuple<int, std::string, int>;
std::vector<MenuRow> MenuRows(HMENU menu) {
    std::vector<MenuRow> rows;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW) << i;
        const auto* item = reinterpret_cast<const CIconMenu::Item*>(info.dwItemData);
        rows.push_back(item ? MenuRow{item->command, item->text, item->image}
                            : MenuRow{static_cast<int>(info.wID), "", -1});
    }
    return rows;
}

// Keys through the input queue, as the keyboard sends them to the focus: the
// chord pressed in order and released in reverse.
void Press(std::initializer_list<WORD> chord) {
    std::vector<INPUT> keys;
    for (int up = 0; up < 2; ++up)
        for (std::size_t i = 0; i < chord.size(); ++i) {
            INPUT k{};
            k.type = INPUT_KEYBOARD;
            k.ki.wVk = up ? chord.begin()[chord.size() - 1 - i] : chord.begin()[i];
            k.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            keys.push_back(k);
        }
    ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// What an accessibility client reads through oleacc as a window's name.
std::string AccessibleName(HWND window) {
    tesra::win::ComPtr<IAccessible> object;
    // (The library's IID_IAccessible symbol holds another GUID.)
    if (::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                     reinterpret_cast<void**>(object.Out())) != S_OK)
        return "<none>";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT hr = object->get_accName(self, &name);
    const std::string text = hr == S_OK ? tesra::win::Cp949FromWide(name) : "";
    ::SysFreeString(name);
    return text;
}

std::string StringResource(UINT id) {
    char text[256] = {};
    ::LoadStringA(::GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}

// Answers cancel to every dialog a memo opens (they are modal) for as long
// as it lives.
struct CancelMemoDialogs : tesra::test::BoxAnswerer {
    CancelMemoDialogs() : BoxAnswerer(::GetCurrentProcessId(), IDCANCEL) {}
};

class MemoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.defaults.sizeStep = 1;  // no grid unless a test asks for one
        owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner);
    }
    void TearDown() override {
        memos.clear();
        ::DestroyWindow(owner);
        Pump();
    }

    CMemoDlg& Make(const std::string& key, int colour = 0, int minimised = 0) {
        auto memo = std::make_unique<CMemoDlg>(host, colour, minimised);
        memo->SetNotifyWindow(owner);
        EXPECT_TRUE(memo->Create(owner));
        memo->SetKey(key);
        memo->SetDataPath(dir.File(key + ".dat"));
        memos.push_back(std::move(memo));
        return *memos.back();
    }

    int ChangeNotices() {
        int n = 0;
        MSG m;
        while (::PeekMessageA(&m, owner, kMemoChanged, kMemoChanged, PM_REMOVE)) ++n;
        return n;
    }

    std::string Index(const std::string& key, const char* name) {
        std::string v;
        host.index.GetString(key, name, v);
        return v;
    }

    tesra::test::TempDir dir;
    FakeHost host{dir.path()};
    HWND owner = nullptr;
    std::vector<std::unique_ptr<CMemoDlg>> memos;
};

TEST_F(MemoWindowTest, RestoredPlacesFallBackToTheCascade) {
    ASSERT_EQ(Box(::GetDesktopWindow()), (std::vector<int>{0, 0, 1024, 768}));
    struct Case {
        const char* pos;     // legacy pixels, or null
        const char* pctPos;  // percentages, or null
        std::vector<int> box;
    };
    const Case cases[] = {
        {nullptr, "90.00 10.00 99.00 30.00", {921, 76, 140, 154}},  // 921 + 30 < 1024; 140 wide at least
        {nullptr, "98.00 10.00 99.00 30.00", {0, 0, 200, 210}},    // 1003 + 30 >= 1024
        {"-10 100 190 300", nullptr, {-10, 100, 200, 200}},
        {"-11 100 190 300", nullptr, {0, 0, 200, 210}},
        {"0200 0100 0400 0300", "0.00 0.00 50.00 50.00", {200, 100, 200, 200}},  // "pos" wins
        {"", "10.00 10.00 30.00 30.00", {0, 0, 200, 210}},
        {nullptr, "", {0, 0, 200, 210}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pos ? c.pos : c.pctPos);
        host.index.Clear();
        if (c.pos) host.index.SetString("memo1", "pos", c.pos);
        if (c.pctPos) host.index.SetString("memo1", "%pos", c.pctPos);
        CMemoDlg& memo = Make("memo1");
        memo.RestorePlacement();
        EXPECT_EQ(Box(memo.hwnd()), c.box);
        EXPECT_EQ(memo.m_placementChanged, 0);
        memos.clear();
    }
}

TEST_F(MemoWindowTest, PlacementRoundTripsThroughPercentagesAndTheCascadeSkipsTakenSlots) {
    CMemoDlg& a = Make("memo1");
    ::SetWindowPos(a.hwnd(), nullptr, 256, 192, 256, 192, SWP_NOZORDER | SWP_NOACTIVATE);
    a.SavePlacement();
    EXPECT_EQ(Index("memo1", "%pos"), "25.00 25.00 50.00 50.00");
    CMemoDlg& b = Make("memo1");
    b.RestorePlacement();
    EXPECT_EQ(Box(b.hwnd()), Box(a.hwnd()));

    // Three memos down the left edge: the fourth below them, though it
    // reaches past the bottom; the fifth starts the next column.
    memos.clear();
    const std::vector<std::vector<int>> expected = {
        {0, 0, 200, 210}, {0, 210, 200, 210}, {0, 420, 200, 210}, {0, 630, 200, 210}, {200, 0, 200, 210}};
    for (const auto& box : expected) {
        CMemoDlg& m = Make("memo" + std::to_string(memos.size()));
        m.PlaceDefault();
        EXPECT_EQ(Box(m.hwnd()), box);
        host.registered.push_back(m.hwnd());
    }
    // A memo resized by hand no longer holds its slot.
    ::SetWindowPos(memos[0]->hwnd(), nullptr, 0, 0, 300, 210, SWP_NOZORDER | SWP_NOACTIVATE);
    CMemoDlg& last = Make("memo9");
    last.PlaceDefault();
    EXPECT_EQ(Box(last.hwnd()), (std::vector<int>{0, 0, 200, 210}));
}

TEST_F(MemoWindowTest, FoldingKeepsTheSizeToReturnTo) {
    CMemoDlg& memo = Make("memo1");
    ::SetWindowPos(memo.hwnd(), nullptr, 40, 48, 230, 190, SWP_NOZORDER | SWP_NOACTIVATE);
    memo.SetMinimized(1);
    EXPECT_EQ(Box(memo.hwnd()), (std::vector<int>{40, 48, 100, 17}));
    EXPECT_FALSE(::GetWindowLongA(memo.hwnd(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(memo.m_placementChanged, 1);
    memo.SavePlacement();  // the unfolded size is what is stored
    EXPECT_EQ(Index("memo1", "%pos"), tesra::FormatPositionString({40, 48, 270, 238}, {1024, 768}));
    EXPECT_EQ(Index("memo1", "min"), "1");
    // A double-click on the band unfolds it; below the band it does not fold.
    ::SendMessageA(memo.hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(50, 16));
    EXPECT_EQ(Box(memo.hwnd()), (std::vector<int>{40, 48, 230, 190}));
    EXPECT_TRUE(::GetWindowLongA(memo.hwnd(), GWL_STYLE) & WS_THICKFRAME);
    ::SendMessageA(memo.hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(50, 17));
    EXPECT_FALSE(memo.IsMinimized());
    // Restoring a folded memo folds it after placing it at its full size.
    CMemoDlg& again = Make("memo1", 0, 1);
    again.RestorePlacement();
    EXPECT_EQ(Box(again.hwnd()), (std::vector<int>{40, 48, 100, 17}));
    again.SetMinimized(0);
    EXPECT_EQ(Box(again.hwnd()), (std::vector<int>{40, 48, 230, 190}));
}

TEST_F(MemoWindowTest, MovesAndSizesSnapToTheGrid) {
    host.defaults.sizeStep = 3;
    CMemoDlg& memo = Make("memo1");
    const struct {
        int x, w;
        std::vector<int> box;
    } cases[] = {
        {99, 201, {99, 30, 201, 210}},
        {100, 200, {99, 30, 201, 210}},  // remainder 1 goes down, 2 goes up
        {101, 202, {102, 30, 201, 210}},
    };
    for (const auto& c : cases) {
        memo.m_placementChanged = 0;
        ::SetWindowPos(memo.hwnd(), nullptr, c.x, 30, c.w, 210, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(Box(memo.hwnd()), c.box) << c.x;
        EXPECT_EQ(memo.m_placementChanged, c.box[0] != c.x || c.box[2] != c.w ? 1 : 0) << c.x;
    }
}

TEST_F(MemoWindowTest, DeactivationSavesTypedTextWithCrLfAndRestampsTheIndex) {
    const std::string path = dir.File("memo1.dat");
    ASSERT_TRUE(tesra::test::WriteBytes(path, "a\r\nb\r\n"));
    CMemoDlg& memo = Make("memo1");
    memo.LoadMemoText();
    EXPECT_EQ(memo.Text(), "a\r\nb\r\n");  // the final break is an empty last line
    EXPECT_FALSE(memo.IsTextModified());

    ::SendMessageA(memo.hwnd(), WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(ChangeNotices(), 0);  // nothing typed, nothing written
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.bak")), "<missing>");

    HWND edit = ::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT);
    ::SendMessageW(edit, WM_CHAR, L'\xAC00', 0);  // 가, typed at the start
    ASSERT_TRUE(memo.IsTextModified());
    ::SendMessageA(memo.hwnd(), WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(tesra::test::ReadBytes(path), "\xB0\xA1" "a\r\nb\r\n");
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.bak")), "a\r\nb\r\n");
    EXPECT_EQ(ChangeNotices(), 1);
    const std::string first = Index("memo1", "ver");
    EXPECT_EQ(first.substr(0, first.find(':')), "8");
    EXPECT_EQ(Index("memo1", "oldver"), "");

    ::SendMessageW(edit, WM_CHAR, L'x', 0);
    ::SendMessageA(memo.hwnd(), WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(Index("memo1", "oldver"), first);
    EXPECT_EQ(ChangeNotices(), 1);
}

TEST_F(MemoWindowTest, DestructionRecordsWhatItSaved) {
    CMemoDlg& typed = Make("memo1");
    ::SendMessageW(::GetDlgItem(typed.hwnd(), IDC_MEMO_EDIT), WM_CHAR, L'z', 0);
    CMemoDlg& moved = Make("memo2");
    moved.SetMinimized(1);
    CMemoDlg& idle = Make("memo3");
    for (auto& m : memos) ::DestroyWindow(m->hwnd());
    EXPECT_EQ(typed.m_syncState, 2);
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.dat")), "z");
    EXPECT_EQ(moved.m_syncState, 1);
    EXPECT_EQ(Index("memo2", "min"), "1");
    EXPECT_EQ(idle.m_syncState, -1);
    EXPECT_EQ(ChangeNotices(), 0);
}

TEST_F(MemoWindowTest, AnAlarmUnfoldsRaisesAndShowsItsTimeUntilAClick) {
    CMemoDlg& memo = Make("memo1");
    memo.PlaceDefault();
    memo.SetMinimized(1);
    memo.Show(true);
    memo.m_alarmTime = 1109637000;
    memo.StartBlink(1, 1);
    EXPECT_TRUE(memo.IsBlinking());
    EXPECT_FALSE(memo.IsMinimized());
    EXPECT_TRUE(::GetWindowLongA(memo.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(memo.IsAlarmShown());
    EXPECT_EQ(memo.FiredAlarmTime(), 1109637000);
    EXPECT_EQ(memo.m_alarmTime, 0);
    ::SendMessageA(memo.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 60));
    EXPECT_FALSE(memo.IsBlinking());
    EXPECT_FALSE(memo.IsAlarmShown());
    // (Wine keeps a window that SetWindowPos put in the topmost band there
    // whatever HWND_NOTOPMOST says, so leaving the band is not checked.)
    // An attention blink is stopped by a key in the text.
    memo.StartBlink(1, 0);
    EXPECT_FALSE(memo.IsAlarmShown());
    ::SendMessageW(::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_FALSE(memo.IsBlinking());
}

TEST_F(MemoWindowTest, TheActiveMemoTakesKeysFromTheHostsLoop) {
    CMemoDlg& memo = Make("memo1");
    // Shown, as a memo the user activates is: the focus its activation
    // takes would otherwise go back to a window that can have it.
    ::ShowWindow(memo.hwnd(), SW_SHOW);
    HWND edit = ::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT);
    ::SendMessageA(memo.hwnd(), WM_NCACTIVATE, TRUE, 0);
    EXPECT_EQ(tesra::win::DialogKeysTarget(), memo.hwnd());
    ::PostMessageA(edit, WM_SYSKEYDOWN, 'X', 0);
    ::PostMessageA(edit, WM_SYSKEYDOWN, VK_F4, 0);
    MSG m{};
    ASSERT_TRUE(::PeekMessageA(&m, edit, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_NULL));  // Alt+X does nothing
    ASSERT_TRUE(::PeekMessageA(&m, edit, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_SYSKEYDOWN));  // Alt+F4 goes on
    ::SendMessageA(memo.hwnd(), WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(tesra::win::DialogKeysTarget(), nullptr);
    ::PostMessageA(edit, WM_SYSKEYDOWN, 'X', 0);
    ASSERT_TRUE(::PeekMessageA(&m, edit, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_SYSKEYDOWN));
}

TEST_F(MemoWindowTest, TheMenuOpensFromTheKeyboardAndTheButtonsAndPinHaveNames) {
    CMemoDlg& memo = Make("memo1");
    memo.Show(true);
    ::SetForegroundWindow(memo.hwnd());
    ::SetFocus(::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT));
    Pump();
    ASSERT_EQ(tesra::win::DialogKeysTarget(), memo.hwnd());
    // Shift+F10, then the menu key: each opens the memo menu, whose loop
    // takes the keys typed after it (Down, Enter: fold, then unfold).
    Press({VK_SHIFT, VK_F10});
    Press({VK_DOWN});
    Press({VK_RETURN});
    Pump();
    EXPECT_TRUE(memo.IsMinimized());
    Press({VK_APPS});
    Press({VK_DOWN});
    Press({VK_RETURN});
    Pump();
    EXPECT_FALSE(memo.IsMinimized());

    // The pin is found as a child once a client asks for the memo.
    EXPECT_EQ(AccessibleName(memo.hwnd()), "");
    std::vector<std::string> names;
    for (HWND child = ::GetWindow(memo.hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (child != ::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT)) names.push_back(AccessibleName(child));
    std::sort(names.begin(), names.end());
    std::vector<std::string> tips;
    for (UINT id : {IDS_MEMO_DELETE_TIP, IDS_MEMO_NEW_TIP, IDS_MEMO_HOME_NAME, IDS_MEMO_PIN_NAME})
        tips.push_back(StringResource(id));
    std::sort(tips.begin(), tips.end());
    EXPECT_EQ(names, tips);
    EXPECT_EQ(tips[0].empty(), false);
    // The mouse over the pin still reaches the memo (its menu, its tip).
    RECT w{};
    ::GetWindowRect(memo.hwnd(), &w);
    EXPECT_EQ(::WindowFromPoint(POINT{w.left + 6, w.top + 6}), memo.hwnd());
}

TEST_F(MemoWindowTest, TheMemoMenuIsDrawnByItsMenusWithTheToolbarsImages) {
    const std::string sep, colours = "\xBB\xF6 \xB9\xD9\xB2\xD9\xB1\xE2",
                           settings = "\xB8\xDE\xB8\xF0 \xBC\xB3\xC1\xA4";
    std::vector<MenuRow> main = {
        {IDM_MEMO_MINIMIZE, "\xC5\xA9\xB1\xE2 \xC3\xD6\xBC\xD2\xC8\xAD(&R)", 2},
        {CIconMenu::kSeparator, sep, -1},
        {IDM_MEMO_NEW, "\xBB\xF5 \xB8\xDE\xB8\xF0(&N)...", 5},
        {IDM_MEMO_OPEN, "\xB8\xDE\xB8\xF0 \xBA\xD2\xB7\xAF\xBF\xC0\xB1\xE2(&O)...", 6},
        {IDM_MEMO_SAVE, "\xB8\xDE\xB8\xF0 \xC0\xFA\xC0\xE5\xC7\xCF\xB1\xE2(&S)...", 7},
        {CIconMenu::kSeparator, sep, -1},
        {CIconMenu::kTopPopup, colours, -1},
        {CIconMenu::kTopPopup, settings, -1},
        {CIconMenu::kSeparator, sep, -1},
        {IDM_MEMO_PRINTER_SETUP, "\xC7\xC1\xB8\xB0\xC5\xCD \xBC\xB3\xC1\xA4...", -1},
        {IDM_MEMO_PRINT, "\xC0\xCE\xBC\xE2(&P)", 0},
        {CIconMenu::kSeparator, sep, -1},
        {IDM_MEMO_HANCOM, "\xC7\xD1\xC4\xC4 \xC2\xCA\xC1\xF6\xBF\xA1\xBC\xAD \xBA\xD2\xB7\xAF\xBF\xC0\xB1\xE2...", 8},
        {IDM_MEMO_SEND, "\xC7\xD2\xBA\xB8 \xC2\xCA\xC1\xF6\xB7\xCE \xBA\xB8\xB3\xBB\xB1\xE2...", 1},
    };
    const std::vector<MenuRow> sub = {
        {IDM_MEMO_TITLE, "\xC1\xA6\xB8\xF1 \xBC\xB3\xC1\xA4(&T)...", -1},
        {IDM_MEMO_FONT, "\xB1\xDB\xB2\xC3 \xBC\xB3\xC1\xA4(&F)...", -1},
        {IDM_MEMO_ALARM, "\xBE\xCB\xB6\xF7 \xBC\xB3\xC1\xA4(&A)...", 4},
        {CIconMenu::kSeparator, sep, -1},
        {IDM_MEMO_SETTINGS, "\xC8\xAF\xB0\xE6 \xBC\xB3\xC1\xA4(&E)...", -1},
    };
    std::vector<MenuRow> swatches;
    for (int i = 0; i < 9; ++i) swatches.emplace_back(IDM_MEMO_COLOUR + i, "", -1);
    for (bool folded : {false, true}) {
        SCOPED_TRACE(folded);
        if (folded) main[0] = {IDM_MEMO_RESTORE, "\xC0\xCC\xC0\xFC \xC5\xA9\xB1\xE2\xB7\xCE(&N)", 3};
        const std::unique_ptr<MemoMenu> menu = BuildMemoMenu(folded);
        ASSERT_TRUE(menu);
        EXPECT_EQ(MenuRows(menu->main.hmenu()), main);
        EXPECT_EQ(::GetSubMenu(menu->main.hmenu(), 6), menu->colours.hmenu());
        EXPECT_EQ(MenuRows(menu->colours.hmenu()), swatches);  // their own drawing kept
        EXPECT_EQ(::GetSubMenu(menu->main.hmenu(), 7), menu->settings.hmenu());
        EXPECT_EQ(MenuRows(menu->settings.hmenu()), sub);
        MEASUREITEMSTRUCT swatch{ODT_MENU, 0, IDM_MEMO_COLOUR + 8, 0, 0, 0};
        EXPECT_TRUE(menu->MeasureItem(swatch));
        EXPECT_EQ(swatch.itemWidth * 100 + swatch.itemHeight, 3015u);
    }
}

TEST_F(MemoWindowTest, ButtonsAndMenuCommandsAskTheManager) {
    host.defaults.background = 2;
    CMemoDlg& memo = Make("memo1", 5);  // a blue memo
    // A click is a press and a release on the button.
    HWND newButton = ::GetDlgItem(memo.hwnd(), IDC_MEMO_NEW);
    ::SendMessageA(newButton, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::SendMessageA(newButton, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    memo.RunMemoCommand(IDM_MEMO_NEW);
    EXPECT_EQ(host.newMemos, (std::vector<int>{2, 2}));  // the user's colour, not this memo's
    memo.SetMemoText("\xC7\xD1\r\nx");
    memo.RunMemoCommand(IDM_MEMO_SEND);
    memo.RunMemoCommand(IDM_MEMO_HANCOM);
    EXPECT_EQ(host.sent, std::vector<std::string>{"\xC7\xD1\r\nx"});
    EXPECT_EQ(host.imports, std::vector<int>{1});
    // A swatch recolours the memo at once; even its own colour marks the
    // properties changed.
    for (int twice = 0; twice < 2; ++twice) {
        memo.m_propertiesChanged = 0;
        memo.RunMemoCommand(IDM_MEMO_COLOUR + 7);
        EXPECT_EQ(memo.ColourIndex(), 7);
        EXPECT_EQ(Index("memo1", "bg"), "7");
        EXPECT_EQ(memo.m_propertiesChanged, 1);
    }
    // The pin opens the menu; its choice runs once it has closed. (Keys
    // queued before the click reach the menu's own loop: Down, Enter folds.)
    memo.Show(true);
    ::PostMessageA(memo.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(memo.hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageA(memo.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 15));
    EXPECT_TRUE(memo.IsMinimized());
    memo.RunMemoCommand(IDM_MEMO_RESTORE);
    EXPECT_FALSE(memo.IsMinimized());
    // Cancelled dialogs change nothing and mark nothing.
    memo.m_propertiesChanged = 0;
    memo.m_title = "t";
    memo.m_alarmTime = 42;
    ChangeNotices();
    {
        CancelMemoDialogs cancel;
        for (int id : {IDM_MEMO_TITLE, IDM_MEMO_FONT, IDM_MEMO_ALARM, IDM_MEMO_SETTINGS, 0, 9999})
            memo.RunMemoCommand(static_cast<UINT>(id));
    }
    EXPECT_EQ(memo.m_propertiesChanged, 0);
    EXPECT_EQ(memo.m_title, "t");
    EXPECT_EQ(memo.m_alarmTime, 42);
    MSG m;
    EXPECT_FALSE(::PeekMessageA(&m, owner, tesra::kSettingsChangedMessage, tesra::kSettingsChangedMessage, PM_REMOVE));
    memo.Show(true);
    ::SendMessageA(memo.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_MEMO_DELETE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(memo.hwnd(), IDC_MEMO_DELETE)));
    EXPECT_EQ(host.deleted, std::vector<std::string>{"memo1"});
    EXPECT_FALSE(::IsWindowVisible(memo.hwnd()));
}

TEST_F(MemoWindowTest, OnlyAMemoWithTextAsksBeforeItIsDeleted) {
    host.loaded = true;
    CancelMemoDialogs cancel;
    CMemoDlg& kept = Make("memo1");
    kept.SetMemoText("keep");
    kept.DeleteMemo();  // the user says no
    CMemoDlg& empty = Make("memo2");  // its text was cleared, not yet saved
    empty.DeleteMemo();
    EXPECT_EQ(host.deleted, std::vector<std::string>{"memo2"});
}

// A folder standing at the data file: the text stays in the window and in
// the emergency copy beside the file, the user hears of it once, and the
// next save that can write the file drops the copy.
TEST_F(MemoWindowTest, TextItsFileCannotTakeIsKeptBesideItAndTheUserToldOnce) {
    CMemoDlg& memo = Make("memo1");
    ASSERT_TRUE(::CreateDirectoryA(dir.File("memo1.dat").c_str(), nullptr));
    HWND edit = ::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT);
    for (const wchar_t c : {L'a', L'b'}) {
        ::SendMessageW(edit, WM_CHAR, c, 0);
        EXPECT_FALSE(memo.SaveAll());
    }
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.unsaved")), "ab");
    EXPECT_TRUE(memo.IsTextModified());
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.saved, (std::vector<std::string>{"memo1", "memo1"}));
    ASSERT_TRUE(::RemoveDirectoryA(dir.File("memo1.dat").c_str()));
    EXPECT_TRUE(memo.SaveAll());
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.dat")), "ab");
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.unsaved")), "<missing>");
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(MemoWindowTest, TipsAreMadeOnTheFirstHoverOnly) {
    CMemoDlg& a = Make("memo1");
    Make("memo2");
    EXPECT_EQ(CountWindows("tooltips_class32"), 0);
    EXPECT_EQ(CountWindows("CDataTip"), 0);
    HWND del = ::GetDlgItem(a.hwnd(), IDC_MEMO_DELETE);
    ::SendMessageA(del, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    ::SendMessageA(del, WM_MOUSEMOVE, 0, MAKELPARAM(4, 3));
    ::SendMessageA(::GetDlgItem(a.hwnd(), IDC_MEMO_NEW), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(CountWindows("tooltips_class32"), 1);
    // The pin shows the title, or else the first line of the text.
    ::SendMessageA(a.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(CountWindows("CDataTip"), 0);  // nothing to show yet
    a.m_title = "t";
    ::SendMessageA(a.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ::SendMessageA(a.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
    EXPECT_EQ(CountWindows("CDataTip"), 1);
    EXPECT_EQ(CDataTip::SplitLines("a\r\nb\n"), (std::vector<std::string>{"a", "b", ""}));
}

TEST_F(MemoWindowTest, TheEditKeepsTabsAndSavesReceivedText) {
    CMemoDlg& memo = Make("memo1");
    HWND edit = ::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT);
    ::SendMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(memo.Text(), "\t");
    // Received text is written at once and announced; an empty one is not.
    memo.SetMemoText("");
    EXPECT_EQ(ChangeNotices(), 0);
    memo.SetMemoText("\xC7\xD1\r\nx");
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.dat")), "\xC7\xD1\r\nx");
    EXPECT_EQ(ChangeNotices(), 1);
    EXPECT_NE(Index("memo1", "ver"), "");
    // The font goes to the index and comes back from it unchanged.
    const std::string font = "255 -16 0 0 0 700 1 0 129 3 2 1 49 \xB1\xBC\xB8\xB2\xC3\xBC";
    host.index.SetString("memo1", "font", font);
    memo.ApplyFont();
    host.index.SetString("memo1", "font", "");
    memo.SaveFont();
    EXPECT_EQ(Index("memo1", "font"), font);
}

TEST_F(MemoWindowTest, ARestoredMemosTextTakesItsFontAndWrapsAtTheEdit) {
    // As a start-up restores one: its font into the empty edit, then its file.
    host.index.SetString("memo1", "font", "255 -16 0 0 0 700 1 0 129 3 2 1 49 Arial");
    CMemoDlg& memo = Make("memo1");
    memo.ApplyFont();
    std::string words;
    for (int i = 0; i < 40; ++i) words += "word ";
    tesra::test::WriteBytes(dir.File("memo1.dat"), words + "\nlast");
    memo.LoadMemoText();
    HWND edit = ::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT);
    auto formatAt = [&](long at) {
        CHARRANGE one{at, at + 1};
        ::SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof cf;
        ::SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return std::tuple{tesra::win::Cp949FromWide(cf.szFaceName), cf.yHeight, (cf.dwEffects & CFE_BOLD) != 0,
                          (cf.dwEffects & CFE_ITALIC) != 0, cf.crTextColor};
    };
    const auto stored = std::tuple{std::string("Arial"), 240L, true, true, COLORREF{255}};
    EXPECT_EQ(formatAt(0), stored);
    EXPECT_EQ(formatAt(static_cast<long>(words.size()) + 2), stored);  // in "last"
    // One paragraph wider than the edit: wrapped at its width, not scrolled.
    EXPECT_GE(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 3);
    // A new font on a memo with text reaches all of it.
    host.index.SetString("memo1", "font", "0 -12 0 0 0 400 0 0 129 3 2 1 49 Arial");
    memo.ApplyFont();
    EXPECT_EQ(formatAt(static_cast<long>(words.size()) + 2),
              std::tuple(std::string("Arial"), 180L, false, false, COLORREF{0}));
}

TEST_F(MemoWindowTest, AMemoDeletedFromItsOwnButtonIsFreedAfterTheClick) {
    CMemoDlg& memo = Make("memo1");
    ::SendMessageW(::GetDlgItem(memo.hwnd(), IDC_MEMO_EDIT), WM_CHAR, L'k', 0);
    HWND h = memo.hwnd();
    host.onDelete = [&](HWND window) {
        std::unique_ptr<CMemoDlg> owned = std::move(memos.back());
        ASSERT_EQ(owned->hwnd(), window);
        memos.pop_back();
        CMemoDlg::Destroy(std::move(owned));  // inside the button's handler
    };
    ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_MEMO_DELETE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(h, IDC_MEMO_DELETE)));
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_TRUE(memos.empty());
    // Not loaded yet: only the window goes; the typed text was written back.
    EXPECT_EQ(tesra::test::ReadBytes(dir.File("memo1.dat")), "k");
}

TEST(NoticeWindowTest, HeightFollowsTheLines) {
    const struct {
        const char* text;
        int height;
    } cases[] = {{"", 60}, {"one line", 45}, {"a\nb", 60}, {"a\nb\nc", 75}};
    for (const auto& c : cases) {
        CNoticeDlg notice;
        notice.SetCustomText(c.text);
        ASSERT_TRUE(notice.Create(nullptr));
        EXPECT_EQ(Box(notice.hwnd())[3], c.height) << c.text;
        char shown[256] = {};
        ::GetDlgItemTextA(notice.hwnd(), IDC_NOTICE_TEXT, shown, sizeof shown);
        if (*c.text) {
            EXPECT_STREQ(shown, c.text);
        }
        // Its close box hides it, as a dialog's cancel does.
        ::SendMessageA(notice.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        Pump();
        EXPECT_FALSE(::IsWindowVisible(notice.hwnd()));
        notice.Close();
        EXPECT_EQ(notice.hwnd(), nullptr);
    }
}

// A window object let go of inside its own handler lives until the
// outermost handler has returned.
class Probe : public tesra::win::CWindow {
public:
    explicit Probe(std::vector<std::string>& log) : log_(log) {}
    ~Probe() override { log_.push_back("freed"); }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_USER) {
            ::SendMessageA(hwnd(), WM_USER + 1, 0, 0);
            log_.push_back("outer done");
            return 7;
        }
        if (msg == WM_USER + 1) {
            DestroyWindow();
            ReleaseWhenIdle([this] { delete this; });
            log_.push_back("inner done");
            return 0;
        }
        return Default(msg, wp, lp);
    }

private:
    std::vector<std::string>& log_;
};

TEST(WindowLifetimeTest, ReleaseWaitsForTheOutermostHandler) {
    ASSERT_TRUE(tesra::win::CWindow::RegisterClassOnce("TesraProbe", 0, nullptr, nullptr));
    std::vector<std::string> log;
    auto* probe = new Probe(log);
    ASSERT_TRUE(probe->Create(0, "TesraProbe", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    HWND h = probe->hwnd();
    EXPECT_EQ(::SendMessageA(h, WM_USER, 0, 0), 7);
    EXPECT_EQ(log, (std::vector<std::string>{"inner done", "outer done", "freed"}));
    EXPECT_FALSE(::IsWindow(h));
}

// What decides whether a start-up's closing show raises the memos again.
TEST(WindowLayerTest, ShownOnTopSeesAnyShownWindowThatCameUpOverTheSet) {
    auto popup = [](DWORD exStyle) {
        return ::CreateWindowExA(exStyle, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    };
    tesra::win::Window a(popup(0)), b(popup(0)), other(popup(0)), band(popup(WS_EX_TOPMOST));
    ::ShowWindow(a.get(), SW_SHOWNA);
    EXPECT_FALSE(tesra::win::ShownOnTop({a.get(), b.get()}));  // b hidden
    ::ShowWindow(b.get(), SW_SHOWNA);
    EXPECT_TRUE(tesra::win::ShownOnTop({a.get(), b.get()}));
    ::ShowWindow(other.get(), SW_SHOWNA);
    EXPECT_FALSE(tesra::win::ShownOnTop({a.get(), b.get()}));
    ::ShowWindow(other.get(), SW_HIDE);
    // Another program's topmost window counts only above a topmost member.
    ::ShowWindow(band.get(), SW_SHOWNA);
    EXPECT_TRUE(tesra::win::ShownOnTop({a.get(), b.get()}));
    ::SetWindowPos(a.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(band.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(tesra::win::ShownOnTop({a.get(), b.get()}));
}

}  // namespace
