// Puts a few memo windows on the screen (Korean text, colours, a folded one,
// an alarm) and saves the screen as a 24-bit BMP for a person to look at;
// with --dialogs, each memo dialog (with the settings dialog's colour list
// open in a second shot) and the font chooser as FOLDER/dialog-NAME.bmp.
// Without --dialogs, also the memo menu with its settings submenu open and
// with its colour submenu open when asked, and the menu opened from the
// keyboard (Shift+F10 in the active memo).
// Usage: memo_screens OUTPUT.bmp [MENU.bmp COLOURS.bmp [KEYBOARD.bmp]] | memo_screens --dialogs FOLDER
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "memo/memo_defaults.h"
#include "memo/memo_dialogs.h"
#include "memo/memo_dlg.h"
#include "res/resource.h"
#include "support/fake_memo_host.h"
#include "support/temp_dir.h"
#include "win/gdi.h"
#include "win/handles.h"

namespace {

void PumpFor(DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        MSG m;
        while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageA(&m);
        }
        ::Sleep(20);
    }
}

// The screen's pixels in area (the whole screen by default).
bool SaveScreen(const std::string& path, RECT area = {}) {
    if (::IsRectEmpty(&area)) area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const int w = area.right - area.left, h = area.bottom - area.top;
    tesra::win::WindowDC screen(nullptr);
    tesra::win::MemoryDC mem(::CreateCompatibleDC(screen.get()));
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    tesra::win::Bitmap shot(::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!mem || !shot) return false;
    {
        tesra::win::Selection sel(mem.get(), shot.get());
        ::BitBlt(mem.get(), 0, 0, w, h, screen.get(), area.left, area.top, SRCCOPY);
    }
    ::GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    const DWORD size = rowBytes * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) + size, 0, 0,
                        static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    std::fwrite(bits, 1, size, f);
    return std::fclose(f) == 0;
}

// One dialog on the screen: from inside its modal loop, the dialog (with its
// colour list dropped when asked) is saved and the dialog cancelled.
struct DialogShot {
    const char* name;
    bool dropColours;
    std::function<int(HWND)> open;
};

HWND g_owner = nullptr;
const DialogShot* g_shot = nullptr;
std::string g_folder;
bool g_saved = false;

BOOL CALLBACK FindOwned(HWND h, LPARAM out) {
    if (::GetWindow(h, GW_OWNER) != g_owner || !::IsWindowVisible(h)) return TRUE;
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
}

void CALLBACK Capture(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwned, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    RECT area{};
    ::GetWindowRect(dialog, &area);
    if (g_shot->dropColours) {
        HWND combo = ::GetDlgItem(dialog, IDC_SETTINGS_COLOUR);
        ::SendMessageA(combo, CB_SETCURSEL, 3, 0);
        ::SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        RECT list{};
        if (::GetComboBoxInfo(combo, &info) && ::GetWindowRect(info.hwndList, &list)) ::UnionRect(&area, &area, &list);
    }
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(400);
    ::InflateRect(&area, 4, 4);
    g_saved = SaveScreen(g_folder + "/dialog-" + g_shot->name + ".bmp", area);
    ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The settings dialog's defaults, as a control starts with them.
MemoDefaultsData& Defaults() {
    static MemoDefaultsData defaults = InitialMemoDefaults();
    return defaults;
}

int DialogShots(const std::string& folder) {
    g_folder = folder;
    g_owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 300, 200, 300, 260, nullptr, nullptr,
                                nullptr, nullptr);
    std::tm evening{1, 30, 21, 1, 2, 105, 0, 0, -1};  // 2005-03-01 21:30:01
    const std::int32_t alarm = static_cast<std::int32_t>(std::mktime(&evening));
    const DialogShot shots[] = {
        {"settings", false, [](HWND o) { return tesra::memo::RunSettingsDialog(o, Defaults()); }},
        {"settings-colours", true, [](HWND o) { return tesra::memo::RunSettingsDialog(o, Defaults()); }},
        {"alarm", false,
         [alarm](HWND o) {
             std::int32_t t = alarm;
             return tesra::memo::RunAlarmDialog(o, t);
         }},
        {"alarm-off", false,
         [](HWND o) {
             std::int32_t t = 0;
             return tesra::memo::RunAlarmDialog(o, t);
         }},
        {"title", false,
         [](HWND o) {
             std::string title = "\xC1\xDF\xBF\xE4\xC7\xD1 \xC1\xA6\xB8\xF1";  // 중요한 제목
             return tesra::memo::RunTitleDialog(o, title);
         }},
        {"delete", false, [](HWND o) { return tesra::memo::RunDeleteConfirmDialog(o); }},
        {"font", false,
         [](HWND o) {
             LOGFONTA font = Defaults().font;
             COLORREF colour = RGB(0, 0, 128);
             return tesra::memo::RunFontChooser(o, font, colour);
         }},
    };
    bool ok = true;
    for (const DialogShot& shot : shots) {
        g_shot = &shot;
        g_saved = false;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 500, &Capture);
        shot.open(g_owner);
        ::KillTimer(nullptr, timer);
        ok = ok && g_saved;
    }
    ::DestroyWindow(g_owner);
    return ok ? 0 : 1;
}

}  // namespace

// Opens the memo menu of memo by a click on its pin; a second thread walks
// down to the item-th selectable item (a submenu) and into it to its
// subItem-th with the keys, saves the screen while the menu is up (tracking
// a menu is modal) and closes it.
bool ShootMenu(HWND memo, int item, int subItem, const std::string& path) {
    std::atomic<bool> saved{false};
    std::thread shooter([&] {
        ::Sleep(800);
        for (int i = 0; i <= item; ++i) ::PostMessageA(memo, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageA(memo, WM_KEYDOWN, VK_RIGHT, 0);  // the submenu opens on its first item
        for (int i = 0; i < subItem; ++i) ::PostMessageA(memo, WM_KEYDOWN, VK_DOWN, 0);
        ::Sleep(800);
        saved = SaveScreen(path);
        ::PostMessageA(memo, WM_CANCELMODE, 0, 0);
    });
    ::SendMessageA(memo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));  // back when the menu has closed
    shooter.join();
    return saved;
}

// Shift+F10 typed into memo, which has the focus; saves the screen while the
// menu it opens is up and closes it.
bool ShootKeyboardMenu(HWND memo, const std::string& path) {
    ::SetForegroundWindow(memo);
    ::SetFocus(::GetDlgItem(memo, 304));
    PumpFor(300);
    std::atomic<bool> saved{false}, done{false};
    std::thread shooter([&] {
        ::Sleep(800);
        saved = SaveScreen(path);
        ::PostMessageA(memo, WM_CANCELMODE, 0, 0);
        done = true;
    });
    INPUT keys[4]{};
    const WORD vk[4] = {VK_SHIFT, VK_F10, VK_F10, VK_SHIFT};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vk[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    ::SendInput(4, keys, sizeof(INPUT));
    while (!done) PumpFor(50);
    shooter.join();
    return saved;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (std::string(argv[1]) == "--dialogs") return argc < 3 ? 2 : DialogShots(argv[2]);
    tesra::test::TempDir dir;
    tesra::test::FakeHost host(dir.path());
    HWND owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    // Desktop background as a plain grey, so the memos' edges show.
    struct Sample {
        int colour;
        RECT place;
        const char* title;
        const char* text;
    };
    const Sample samples[] = {
        {0, {20, 20, 240, 230}, "",
         "\xBF\xC0\xB4\xC3 \xC7\xD2 \xC0\xCF\r\n- \xC8\xB8\xC0\xC7 \xC0\xDA\xB7\xE1 \xC1\xA4\xB8\xAE\r\n"
         "- \xBF\xEC\xC3\xBC\xB1\xB9 \xB0\xA1\xB1\xE2\r\nhttp://www.example.com/\r\nTab\there"},
        {5, {270, 20, 490, 200}, "", "\xC6\xC4\xB6\xF5 \xB8\xDE\xB8\xF0 (blue)\r\n\xC7\xD1\xB1\xDB \xB1\xDB\xB2\xC3 \xBD\xC3\xC7\xE8"},
        {6, {520, 20, 740, 200}, "", "\xBF\xAC\xBE\xEE\xBB\xF6 salmon memo"},
        {2, {20, 260, 240, 470}, "\xC1\xDF\xBF\xE4\xC7\xD1 \xC1\xA6\xB8\xF1", "folded"},
        {3, {270, 260, 520, 470}, "", "\xBE\xCB\xB6\xF7 \xBD\xC3\xB0\xA3\xC0\xD4\xB4\xCF\xB4\xD9!"},
        {8, {560, 260, 780, 470}, "", "white memo\r\n\xC8\xF2\xBB\xF6"},
    };
    std::vector<std::unique_ptr<CMemoDlg>> memos;
    int n = 0;
    for (const Sample& s : samples) {
        auto memo = std::make_unique<CMemoDlg>(host, s.colour, 0);
        memo->SetNotifyWindow(owner);
        if (!memo->Create(owner)) return 1;
        memo->SetKey("memo" + std::to_string(++n));
        memo->SetDataPath(dir.File("memo" + std::to_string(n) + ".dat"));
        memo->m_title = s.title;
        ::SetWindowPos(memo->hwnd(), nullptr, s.place.left, s.place.top, s.place.right - s.place.left,
                       s.place.bottom - s.place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        memo->SetMemoText(s.text);
        memo->Show(true);
        memos.push_back(std::move(memo));
    }
    memos[3]->SetMinimized(1);
    memos[4]->m_alarmTime = 1109637000;  // 2005/03/01 09:30 in Seoul
    memos[4]->StartBlink(1, 1);
    // One memo active, the mouse resting on another's delete button.
    ::SetActiveWindow(memos[0]->hwnd());
    RECT del{};
    ::GetWindowRect(::GetDlgItem(memos[1]->hwnd(), 305), &del);
    ::SetCursorPos(del.left + 5, del.top + 5);
    PumpFor(1500);
    bool ok = SaveScreen(argv[1]);
    if (argc >= 4) ok = ShootMenu(memos[0]->hwnd(), 5, 2, argv[2]) && ShootMenu(memos[0]->hwnd(), 4, 3, argv[3]) && ok;
    if (argc >= 5) ok = ShootKeyboardMenu(memos[0]->hwnd(), argv[4]) && ok;
    memos.clear();
    ::DestroyWindow(owner);
    return ok ? 0 : 1;
}
