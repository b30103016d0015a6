// The memo menu's modal dialogs, driven by their control ids from inside
// their own modal loops: what each shows, what OK stores, what cancel keeps.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "memo/memo_defaults.h"
#include "memo/memo_dialogs.h"
#include "res/resource.h"
#include "win/cp949.h"

namespace {

using namespace tesra::memo;

HWND g_owner = nullptr;
std::function<int(HWND)> g_script;  // answers the button that ends the dialog

void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND dialog = nullptr;
    while ((dialog = ::FindWindowExA(nullptr, dialog, "#32770", nullptr)) && ::GetWindow(dialog, GW_OWNER) != g_owner) {
    }
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
    return tesra::win::Cp949FromWide(std::wstring_view(text, ::GetDlgItemTextW(dialog, id, text, 128)));
}

void Press(HWND dialog, int spinId, int times, bool up) {
    HWND spin = ::GetDlgItem(dialog, spinId);
    RECT r{};
    ::GetClientRect(spin, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, up ? 1 : r.bottom - 2);
    for (int i = 0; i < times; ++i)
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP}) ::SendMessageA(spin, message, MK_LBUTTON, at);
}

class MemoDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
        defaults.font = DefaultMemoFont(96);
    }
    void TearDown() override { ::DestroyWindow(g_owner); }
    MemoDefaultsData defaults;
};

TEST_F(MemoDialogsTest, SettingsShowSizesOnTheGridAndOkClampsThem) {
    struct Row {
        int step, presses, up, colour, button;
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
        std::vector<std::string> shown;
        const int result = Drive(
            [&](HWND d) {
                Press(d, IDC_SETTINGS_WIDTH_SPIN, row.presses, row.up);
                Press(d, IDC_SETTINGS_HEIGHT_SPIN, row.presses, row.up);
                ::SendDlgItemMessageA(d, IDC_SETTINGS_COLOUR, CB_SETCURSEL, row.colour, 0);
                shown = {Text(d, IDC_SETTINGS_WIDTH), Text(d, IDC_SETTINGS_HEIGHT)};
                return row.button;
            },
            [&] { return RunSettingsDialog(g_owner, defaults); });
        EXPECT_EQ((std::vector<std::string>{row.shownWidth, row.shownHeight}), shown);
        EXPECT_EQ((std::vector<int>{row.result, row.width, row.height, row.background}),
                  (std::vector<int>{result, defaults.width, defaults.height, defaults.background}));
    }
}

// The font button replaces the default font and colour at once; cancelling
// the dialog afterwards keeps them.
TEST_F(MemoDialogsTest, SettingsFontButtonChangesTheDefaultsAtOnce) {
    static LOGFONTA offered;  // what the chooser was given
    static COLORREF offeredColour;
    defaults.textColour = RGB(10, 20, 30);
    auto chooser = [](HWND, LOGFONTA& font, COLORREF& colour) {
        offered = font, offeredColour = colour;
        font.lfHeight = -16;
        lstrcpyA(font.lfFaceName, "\xB1\xBC\xB8\xB2");  // 굴림
        colour = RGB(1, 2, 3);
        return 1;
    };
    std::vector<std::string> labels;
    const int result = Drive(
        [&](HWND d) {
            labels.push_back(Text(d, IDC_SETTINGS_FONT_LABEL));
            ::SendDlgItemMessageA(d, IDC_SETTINGS_FONT, BM_CLICK, 0, 0);
            labels.push_back(Text(d, IDC_SETTINGS_FONT_LABEL));
            return IDCANCEL;
        },
        [&] { return RunSettingsDialog(g_owner, defaults, chooser); });
    EXPECT_EQ(0, result);
    // 굴림체 9 points, what the chooser was offered; then its answer, 굴림 12.
    EXPECT_EQ((std::vector<std::string>{"\xB1\xBC\xB8\xB2\xC3\xBC 9point", "\xB1\xBC\xB8\xB2 12point"}), labels);
    EXPECT_STREQ("\xB1\xBC\xB8\xB2\xC3\xBC", offered.lfFaceName);
    EXPECT_EQ(RGB(10, 20, 30), offeredColour);
    EXPECT_STREQ("\xB1\xBC\xB8\xB2", defaults.font.lfFaceName);
    EXPECT_EQ(RGB(1, 2, 3), defaults.textColour);
}

TEST_F(MemoDialogsTest, AlarmBoxEnablesThePickersAndOkComposesLocalTime) {
    auto local = [](int y, int mo, int d, int h, int mi) {  // second 1, daylight saving as the library decides
        std::tm t{1, mi, h, d, mo - 1, y - 1900, 0, 0, -1};
        return static_cast<std::int32_t>(std::mktime(&t));
    };
    const std::int32_t june = local(2010, 6, 15, 8, 5);
    SYSTEMTIME today{};
    ::GetLocalTime(&today);
    // click: on the check box; enabled: the pickers, before any click.
    struct Row { std::int32_t alarm; bool click, enabled; int button, shownYear, shownDay, result, stored; } rows[] = {
        {0, false, false, IDOK, today.wYear, today.wDay, 1, 0},
        {0, true, false, IDOK, today.wYear, today.wDay, 1, local(2005, 3, 1, 21, 30)},
        {june, false, true, IDCANCEL, 2010, 15, 0, june},
        {june, true, true, IDOK, 2010, 15, 1, 0},
    };
    for (const Row& row : rows) {
        std::int32_t alarm = row.alarm;
        const int result = Drive(
            [&](HWND d) {
                SYSTEMTIME shown{};
                ::SendDlgItemMessageW(d, IDC_ALARM_DATE, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
                EXPECT_EQ((std::vector<int>{row.shownYear, row.shownDay}), (std::vector<int>{shown.wYear, shown.wDay}));
                if (row.click) ::SendDlgItemMessageA(d, IDC_ALARM_ON, BM_CLICK, 0, 0);
                for (int id : {IDC_ALARM_DATE, IDC_ALARM_TIME})
                    EXPECT_EQ(row.enabled != row.click, ::IsWindowEnabled(::GetDlgItem(d, id)) != FALSE);
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
    std::string seventy;
    for (int i = 0; i < 35; ++i) seventy += "\xB0\xA1";  // 가
    const struct Row { std::string title; std::wstring typed; std::string stored; } rows[] = {
        {seventy, L"", seventy},
        {"", std::wstring(36, L'\xAC00'), seventy},  // the 36th Hangul would end at byte 72
        {"a" + seventy.substr(2), L"\xAC00" L"b", "a" + seventy.substr(2) + "b"},  // 69 bytes: room for 1
    };
    for (const Row& row : rows) {
        std::string title = row.title;
        EXPECT_EQ(1, Drive(
            [&](HWND d) {
                HWND edit = ::GetDlgItem(d, IDC_TITLE_EDIT);
                ::SendMessageW(edit, EM_SETSEL, 0x7fff, 0x7fff);
                for (wchar_t c : row.typed) ::SendMessageW(edit, WM_CHAR, c, 1);
                return IDOK;
            },
            [&] { return RunTitleDialog(g_owner, title); }));
        EXPECT_EQ(row.stored, title);
    }
}

TEST_F(MemoDialogsTest, DeleteConfirmAnswersYesOnly) {
    for (auto [button, expected] : {std::pair{IDOK, 1}, std::pair{IDCANCEL, 0}})
        EXPECT_EQ(expected, Drive([button = button](HWND) { return button; },
                                  [] { return RunDeleteConfirmDialog(g_owner); }));
}

}  // namespace
