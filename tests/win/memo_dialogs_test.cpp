// The memo menu's modal dialogs, driven by their control ids from inside
// their own modal loops: what each shows, what OK stores, what cancel keeps.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "control/memo_defaults.h"
#include "memo/memo_dialogs.h"
#include "res/resource.h"
#include "win/cp949.h"

namespace {

using namespace tesra::memo;

HWND g_owner = nullptr;
std::function<int(HWND)> g_script;  // answers the button that ends the dialog

BOOL CALLBACK FindOwned(HWND h, LPARAM out) {
    char cls[16] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) != "#32770" || ::GetWindow(h, GW_OWNER) != g_owner) return TRUE;
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
}

void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwned, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    const int button = std::exchange(g_script, nullptr)(dialog);
    ::SendDlgItemMessageA(dialog, button, BM_CLICK, 0, 0);
}

// open() shows a modal dialog; script runs on it from inside its loop.
int Drive(std::function<int(HWND)> script, const std::function<int()>& open) {
    g_script = std::move(script);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &RunScript);
    const int result = open();
    ::KillTimer(nullptr, timer);
    return result;
}

std::string Text(HWND dialog, int id) {
    wchar_t text[128] = {};
    ::GetDlgItemTextW(dialog, id, text, 128);
    return tesra::win::Cp949FromWide(text);
}

void Press(HWND dialog, int spinId, int times, bool up) {
    HWND spin = ::GetDlgItem(dialog, spinId);
    RECT r{};
    ::GetClientRect(spin, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, up ? 1 : r.bottom - 2);
    for (int i = 0; i < times; ++i) {
        ::SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageA(spin, WM_LBUTTONUP, 0, at);
    }
}

class MemoDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 200, nullptr, nullptr,
                                    nullptr, nullptr);
        defaults.font = DefaultMemoFont(96);
        defaults.sizeStep = 3;
    }
    void TearDown() override { ::DestroyWindow(g_owner); }
    MemoDefaultsData defaults;
};

TEST_F(MemoDialogsTest, SettingsShowSizesOnTheGridAndOkClampsThem) {
    struct Row {
        int step, presses;
        bool up;
        int colour, button;
        const char *shownWidth, *shownHeight;
        int result, width, height, background;
    } rows[] = {
        {3, 0, false, 0, IDOK, "198", "210", 1, 198, 210, 0},
        {3, 200, false, 4, IDOK, "138", "78", 1, 140, 80, 4},  // below the spins' floor: raised
        {3, 200, true, 8, IDOK, "498", "399", 1, 498, 399, 8},
        {2, 1, true, 2, IDOK, "202", "212", 1, 202, 212, 2},
        {3, 200, false, 4, IDCANCEL, "138", "78", 0, 200, 210, 0},
    };
    for (const Row& row : rows) {
        defaults.sizeStep = row.step;
        defaults.width = 200, defaults.height = 210, defaults.background = 0;
        const int result = Drive(
            [&](HWND d) {
                int low = 0, high = 0;
                ::SendDlgItemMessageA(d, IDC_SETTINGS_WIDTH_SPIN, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                                      reinterpret_cast<LPARAM>(&high));
                EXPECT_EQ(140 / row.step, low);
                EXPECT_EQ(500 / row.step, high);
                EXPECT_EQ(9, ::SendDlgItemMessageA(d, IDC_SETTINGS_COLOUR, CB_GETCOUNT, 0, 0));
                Press(d, IDC_SETTINGS_WIDTH_SPIN, row.presses, row.up);
                Press(d, IDC_SETTINGS_HEIGHT_SPIN, row.presses, row.up);
                ::SendDlgItemMessageA(d, IDC_SETTINGS_COLOUR, CB_SETCURSEL, row.colour, 0);
                EXPECT_EQ(row.shownWidth, Text(d, IDC_SETTINGS_WIDTH));
                EXPECT_EQ(row.shownHeight, Text(d, IDC_SETTINGS_HEIGHT));
                return row.button;
            },
            [&] { return RunSettingsDialog(g_owner, defaults); });
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.width, defaults.width);
        EXPECT_EQ(row.height, defaults.height);
        EXPECT_EQ(row.background, defaults.background);
    }
}

// The font button replaces the default font and colour at once; cancelling
// the dialog afterwards keeps them.
TEST_F(MemoDialogsTest, SettingsFontButtonChangesTheDefaultsAtOnce) {
    static LOGFONTA offered;
    static COLORREF offeredColour;
    defaults.textColour = RGB(10, 20, 30);
    auto chooser = [](HWND, LOGFONTA& font, COLORREF& colour) {
        offered = font, offeredColour = colour;
        font.lfHeight = -16;
        lstrcpyA(font.lfFaceName, "\xB1\xBC\xB8\xB2");  // 굴림
        colour = RGB(1, 2, 3);
        return 1;
    };
    std::string before, after;
    const int result = Drive(
        [&](HWND d) {
            before = Text(d, IDC_SETTINGS_FONT_LABEL);
            ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_FONT, BN_CLICKED), 0);
            after = Text(d, IDC_SETTINGS_FONT_LABEL);
            return IDCANCEL;
        },
        [&] { return RunSettingsDialog(g_owner, defaults, chooser); });
    EXPECT_EQ(0, result);
    EXPECT_EQ("\xB1\xBC\xB8\xB2\xC3\xBC 9point", before);  // 굴림체
    EXPECT_EQ("\xB1\xBC\xB8\xB2 12point", after);
    EXPECT_STREQ("\xB1\xBC\xB8\xB2\xC3\xBC", offered.lfFaceName);
    EXPECT_EQ(RGB(10, 20, 30), offeredColour);
    EXPECT_STREQ("\xB1\xBC\xB8\xB2", defaults.font.lfFaceName);
    EXPECT_EQ(-16, defaults.font.lfHeight);
    EXPECT_EQ(RGB(1, 2, 3), defaults.textColour);
    EXPECT_EQ(200, defaults.width);
}

std::int32_t Local(int y, int mo, int d, int h, int mi) {
    std::tm t{1, mi, h, d, mo - 1, y - 1900, 0, 0, -1};
    return static_cast<std::int32_t>(std::mktime(&t));
}

TEST_F(MemoDialogsTest, AlarmBoxEnablesThePickersAndOkComposesLocalTime) {
    const std::int32_t june = Local(2010, 6, 15, 8, 5);
    SYSTEMTIME today{};
    ::GetLocalTime(&today);
    struct Row {
        std::int32_t alarm;
        bool click;  // the check box
        int button;
        int shownYear, shownDay;
        bool enabled;
        int result;
        std::int32_t stored;
    } rows[] = {
        {0, false, IDOK, today.wYear, today.wDay, false, 1, 0},
        {0, true, IDOK, today.wYear, today.wDay, false, 1, Local(2005, 3, 1, 21, 30)},
        {june, false, IDCANCEL, 2010, 15, true, 0, june},
        {june, true, IDOK, 2010, 15, true, 1, 0},
    };
    for (const Row& row : rows) {
        std::int32_t alarm = row.alarm;
        const int result = Drive(
            [&](HWND d) {
                SYSTEMTIME shown{};
                ::SendDlgItemMessageW(d, IDC_ALARM_DATE, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
                EXPECT_EQ(row.shownYear, shown.wYear);
                EXPECT_EQ(row.shownDay, shown.wDay);
                EXPECT_EQ(row.enabled, ::IsWindowEnabled(::GetDlgItem(d, IDC_ALARM_DATE)) != FALSE);
                EXPECT_EQ(row.enabled, ::IsWindowEnabled(::GetDlgItem(d, IDC_ALARM_TIME)) != FALSE);
                if (row.click) ::SendDlgItemMessageA(d, IDC_ALARM_ON, BM_CLICK, 0, 0);
                EXPECT_EQ(row.enabled != row.click, ::IsWindowEnabled(::GetDlgItem(d, IDC_ALARM_TIME)) != FALSE);
                SYSTEMTIME date{2005, 3, 2, 1, 0, 0, 0, 0}, time{2000, 1, 6, 1, 21, 30, 0, 0};
                ::SendDlgItemMessageW(d, IDC_ALARM_DATE, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));
                ::SendDlgItemMessageW(d, IDC_ALARM_TIME, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
                return row.button;
            },
            [&] { return RunAlarmDialog(g_owner, alarm); });
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.stored, alarm);
    }
}

// The limit is 70 bytes of CP949, not 70 characters.
TEST_F(MemoDialogsTest, TitleTakesSeventyBytes) {
    const std::string ga = "\xB0\xA1";  // 가
    std::string seventy;
    for (int i = 0; i < 35; ++i) seventy += ga;
    struct Row {
        std::string title;
        std::wstring typed;
        int button, result;
        std::string stored;
    } rows[] = {
        {seventy, L"", IDOK, 1, seventy},
        {"", std::wstring(36, L'\xAC00'), IDOK, 1, seventy},           // the 36th Hangul would be byte 72
        {"a" + seventy.substr(2), L"\xAC00" L"b", IDOK, 1, "a" + seventy.substr(2) + "b"},  // 69 bytes: no room for 2
        {"x", L"yz", IDCANCEL, 0, "x"},
    };
    for (const Row& row : rows) {
        std::string title = row.title;
        const int result = Drive(
            [&](HWND d) {
                HWND edit = ::GetDlgItem(d, IDC_TITLE_EDIT);
                ::SendMessageW(edit, EM_SETSEL, 0x7fff, 0x7fff);
                for (wchar_t c : row.typed) ::SendMessageW(edit, WM_CHAR, c, 1);
                return row.button;
            },
            [&] { return RunTitleDialog(g_owner, title); });
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.stored, title);
    }
}

TEST_F(MemoDialogsTest, DeleteConfirmAnswersYesOnly) {
    for (auto [button, expected] : {std::pair{IDOK, 1}, std::pair{IDCANCEL, 0}})
        EXPECT_EQ(expected, Drive([button = button](HWND) { return button; },
                                  [] { return RunDeleteConfirmDialog(g_owner); }));
}

}  // namespace
