#include "memo/memo_dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <ctime>

#include "base/text.h"
#include "memo/memo_defaults.h"
#include "memo/memo_art.h"
#include "res/resource.h"
#include "ui/color_combo.h"
#include "win/com.h"
#include "win/controls.h"
#include "win/cp949.h"
#include "win/gdi.h"
#include "win/handles.h"
#include "win/window.h"

namespace tesra::memo {

namespace {

constexpr int kMinWidth = 140, kMaxWidth = 500;
constexpr int kMinHeight = 80, kMaxHeight = 400;
constexpr std::size_t kTitleLimit = 70;  // bytes
constexpr COLORREF kConfirmBackground = RGB(255, 255, 245);
constexpr char kTimeFormat[] = "tt hh\xBD\xC3 mm\xBA\xD0";  // tt hh시 mm분

void SetItemText949(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextW(dialog, id, win::WideFrom949(text).c_str());
}

std::string ItemText949(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return win::Cp949FromWide(text);
}

// Over the middle of the memo that opened it, kept inside the work area.
void CentreOverOwner(HWND dialog) {
    RECT self{}, owner{}, area{};
    ::GetWindowRect(dialog, &self);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    HWND parent = ::GetWindow(dialog, GW_OWNER);
    if (!parent || !::IsWindowVisible(parent) || !::GetWindowRect(parent, &owner)) owner = area;
    const int w = self.right - self.left, h = self.bottom - self.top;
    const int x = std::clamp<int>((owner.left + owner.right - w) / 2, area.left, std::max(area.left, area.right - w));
    const int y = std::clamp<int>((owner.top + owner.bottom - h) / 2, area.top, std::max(area.top, area.bottom - h));
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A press in the client area moves the dialog as a press on a caption does.
void DragFromClient(HWND dialog, LPARAM lp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ::ClientToScreen(dialog, &pt);
    ::ReleaseCapture();
    ::SendMessageA(dialog, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
}

// The font dialog finds its first face by the name it lists: a name the
// machine substitutes (굴림체 drawn by another face) would find none, and the
// dialog would open on its first font and size.
void UseListedFace(LOGFONTW& font) {
    win::Font made(::CreateFontIndirectW(&font));
    win::WindowDC screen(nullptr);
    if (!made || !screen.get()) return;
    win::Selection use(screen.get(), made.get());
    wchar_t face[LF_FACESIZE] = {};
    if (::GetTextFaceW(screen.get(), LF_FACESIZE, face) > 0) ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
}

int SpinPosition(HWND spin) { return static_cast<int>(::SendMessageA(spin, UDM_GETPOS32, 0, 0)); }

// What the four dialogs share: OK runs OnOk, which ends the dialog with 1;
// cancel ends it with 0 and keeps nothing; the rest goes to Handle.
class CModalDlg : public win::CDialog {
protected:
    virtual INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp) = 0;
    virtual void OnOk() { ::EndDialog(hwnd(), 1); }

private:
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) final {
        if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
            if (LOWORD(wp) == IDOK) OnOk();
            else ::EndDialog(hwnd(), 0);
            return TRUE;
        }
        return Handle(msg, wp, lp);
    }
};

// ---- Settings ---------------------------------------------------------------

class CSettingsDlg : public CModalDlg {
public:
    CSettingsDlg(MemoDefaultsData& defaults, FontChooser chooseFont)
        : m_defaults(defaults), m_chooseFont(chooseFont), m_step(std::max(1, defaults.sizeStep)) {}

protected:
    INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnInit();
    void InitSize(int spinId, int editId, int low, int high, int value);
    void ShowFontLabel();
    void OnChooseFont();
    void OnOk() override;

    MemoDefaultsData& m_defaults;  // font and text colour change at once
    FontChooser m_chooseFont;
    int m_step;
    CColorCombo m_colours{kMemoColours};
};

void CSettingsDlg::InitSize(int spinId, int editId, int low, int high, int value) {
    HWND spin = ::GetDlgItem(hwnd(), spinId);
    ::SendMessageA(spin, UDM_SETRANGE32, static_cast<WPARAM>(low / m_step), high / m_step);
    ::SendMessageA(spin, UDM_SETPOS32, 0, value / m_step);
    ::SetDlgItemInt(hwnd(), editId, static_cast<UINT>(value / m_step * m_step), TRUE);
}

void CSettingsDlg::OnInit() {
    InitSize(IDC_SETTINGS_WIDTH_SPIN, IDC_SETTINGS_WIDTH, kMinWidth, kMaxWidth, m_defaults.width);
    InitSize(IDC_SETTINGS_HEIGHT_SPIN, IDC_SETTINGS_HEIGHT, kMinHeight, kMaxHeight, m_defaults.height);
    m_colours.Attach(::GetDlgItem(hwnd(), IDC_SETTINGS_COLOUR));
    m_colours.SetCurSel(ValidColourIndex(m_defaults.background));
    ShowFontLabel();
    CentreOverOwner(hwnd());
}

void CSettingsDlg::ShowFontLabel() {
    int ppi = 96;
    if (win::WindowDC screen(hwnd()); screen.get()) ppi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    const LOGFONTA& font = m_defaults.font;
    const std::string face(font.lfFaceName, ::strnlen(font.lfFaceName, LF_FACESIZE));
    SetItemText949(hwnd(), IDC_SETTINGS_FONT_LABEL,
                   Format("%s %dpoint", face.c_str(), -::MulDiv(static_cast<int>(font.lfHeight), 72, ppi)));
}

void CSettingsDlg::OnChooseFont() {
    LOGFONTA font = m_defaults.font;
    COLORREF colour = m_defaults.textColour;
    if (m_chooseFont(hwnd(), font, colour) != 1) return;
    m_defaults.font = font;
    m_defaults.textColour = colour;
    ShowFontLabel();
}

void CSettingsDlg::OnOk() {
    m_defaults.width = std::clamp(static_cast<int>(::GetDlgItemInt(hwnd(), IDC_SETTINGS_WIDTH, nullptr, TRUE)),
                                  kMinWidth, kMaxWidth);
    m_defaults.height = std::clamp(static_cast<int>(::GetDlgItemInt(hwnd(), IDC_SETTINGS_HEIGHT, nullptr, TRUE)),
                                   kMinHeight, kMaxHeight);
    m_defaults.background = ValidColourIndex(m_colours.GetCurSel());
    ::EndDialog(hwnd(), 1);
}

INT_PTR CSettingsDlg::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        OnInit();
        return TRUE;
    case WM_VSCROLL: {
        HWND spin = reinterpret_cast<HWND>(lp);
        const int id = ::GetDlgCtrlID(spin);
        if (id == IDC_SETTINGS_WIDTH_SPIN || id == IDC_SETTINGS_HEIGHT_SPIN) {
            const int edit = id == IDC_SETTINGS_WIDTH_SPIN ? IDC_SETTINGS_WIDTH : IDC_SETTINGS_HEIGHT;
            ::SetDlgItemInt(hwnd(), edit, static_cast<UINT>(m_step * SpinPosition(spin)), TRUE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DRAWITEM:
        if (wp != IDC_SETTINGS_COLOUR) return FALSE;
        m_colours.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) != IDC_SETTINGS_FONT) return FALSE;
        if (HIWORD(wp) == BN_CLICKED) OnChooseFont();
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- Alarm ------------------------------------------------------------------

class CAlarmDlg : public CModalDlg {
public:
    explicit CAlarmDlg(std::int32_t alarmTime) : m_alarmTime(alarmTime) {}
    std::int32_t m_alarmTime;  // seconds since 1970, 0 for none

protected:
    INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnInit();
    void EnablePickers(bool on);
    void OnOk() override;
};

void CAlarmDlg::EnablePickers(bool on) {
    ::EnableWindow(::GetDlgItem(hwnd(), IDC_ALARM_DATE), on);
    ::EnableWindow(::GetDlgItem(hwnd(), IDC_ALARM_TIME), on);
}

void CAlarmDlg::OnInit() {
    const bool on = m_alarmTime != 0;
    const std::time_t shown = on ? static_cast<std::time_t>(m_alarmTime) : std::time(nullptr);
    std::tm local{};
    SYSTEMTIME st{};
    if (::localtime_s(&local, &shown) == 0) {
        st.wYear = static_cast<WORD>(local.tm_year + 1900);
        st.wMonth = static_cast<WORD>(local.tm_mon + 1);
        st.wDay = static_cast<WORD>(local.tm_mday);
        st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
        st.wHour = static_cast<WORD>(local.tm_hour);
        st.wMinute = static_cast<WORD>(local.tm_min);
        st.wSecond = static_cast<WORD>(local.tm_sec);
    }
    // Dates the stored 32-bit seconds can hold.
    SYSTEMTIME range[2] = {{1970, 1, 0, 2, 0, 0, 0, 0}, {2038, 1, 0, 18, 0, 0, 0, 0}};
    for (int id : {IDC_ALARM_DATE, IDC_ALARM_TIME}) {
        HWND picker = ::GetDlgItem(hwnd(), id);
        ::SendMessageW(picker, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
        if (st.wYear) ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    }
    const std::wstring format = win::WideFrom949(kTimeFormat);
    ::SendDlgItemMessageW(hwnd(), IDC_ALARM_TIME, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format.c_str()));
    ::CheckDlgButton(hwnd(), IDC_ALARM_ON, on ? BST_CHECKED : BST_UNCHECKED);
    EnablePickers(on);
    CentreOverOwner(hwnd());
}

void CAlarmDlg::OnOk() {
    if (::IsDlgButtonChecked(hwnd(), IDC_ALARM_ON) != BST_CHECKED) {
        m_alarmTime = 0;
    } else {
        SYSTEMTIME date{}, time{};
        ::SendDlgItemMessageW(hwnd(), IDC_ALARM_DATE, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
        ::SendDlgItemMessageW(hwnd(), IDC_ALARM_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
        std::tm local{};
        local.tm_year = date.wYear - 1900;
        local.tm_mon = date.wMonth - 1;
        local.tm_mday = date.wDay;
        local.tm_hour = time.wHour;
        local.tm_min = time.wMinute;
        local.tm_sec = 1;
        local.tm_isdst = -1;  // the time library decides
        m_alarmTime = static_cast<std::int32_t>(std::mktime(&local));
    }
    ::EndDialog(hwnd(), 1);
}

INT_PTR CAlarmDlg::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        OnInit();
        return TRUE;
    case WM_LBUTTONDOWN:
        DragFromClient(hwnd(), lp);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) != IDC_ALARM_ON) return FALSE;
        if (HIWORD(wp) == BN_CLICKED) EnablePickers(::IsDlgButtonChecked(hwnd(), IDC_ALARM_ON) == BST_CHECKED);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- Title ------------------------------------------------------------------

class CTitleDlg : public CModalDlg {
public:
    explicit CTitleDlg(std::string title) : m_title(std::move(title)), m_accepted(m_title) {}
    std::string m_title;

protected:
    INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnEditChange();
    void OnOk() override {
        m_title = ItemText949(hwnd(), IDC_TITLE_EDIT);
        ::EndDialog(hwnd(), 1);
    }

    std::string m_accepted;  // the edit's text as last within the limit
    bool m_restoring = false;
};

// The edit counts characters, the title's limit is bytes: a change that
// would pass the limit is taken back, the caret where the change began.
void CTitleDlg::OnEditChange() {
    if (m_restoring) return;
    std::string text = ItemText949(hwnd(), IDC_TITLE_EDIT);
    if (text.size() <= kTitleLimit || text.size() <= m_accepted.size()) {
        m_accepted = std::move(text);
        return;
    }
    HWND edit = ::GetDlgItem(hwnd(), IDC_TITLE_EDIT);
    DWORD caret = 0;
    ::SendMessageW(edit, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    const int grown = ::GetWindowTextLengthW(edit) - static_cast<int>(win::WideFrom949(m_accepted).size());
    const int back = std::max(0, static_cast<int>(caret) - std::max(0, grown));
    m_restoring = true;
    SetItemText949(hwnd(), IDC_TITLE_EDIT, m_accepted);
    m_restoring = false;
    ::SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(back), back);
    ::MessageBeep(MB_OK);
}

INT_PTR CTitleDlg::Handle(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        // Characters never outnumber bytes: the platform's limit is a first fence.
        ::SendDlgItemMessageW(hwnd(), IDC_TITLE_EDIT, EM_LIMITTEXT, kTitleLimit, 0);
        m_restoring = true;
        SetItemText949(hwnd(), IDC_TITLE_EDIT, m_title);
        m_restoring = false;
        CentreOverOwner(hwnd());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) != IDC_TITLE_EDIT) return FALSE;
        if (HIWORD(wp) == EN_CHANGE) OnEditChange();
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- Delete confirmation ----------------------------------------------------

class CDeleteConfirmDlg : public CModalDlg {
protected:
    INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    win::Brush m_background{::CreateSolidBrush(kConfirmBackground)};
    HICON m_icon = nullptr;  // shared, as the memo's own icons
};

INT_PTR CDeleteConfirmDlg::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        m_icon = static_cast<HICON>(
            ::LoadImageA(win::ModuleInstance(), MAKEINTRESOURCEA(IDI_DELETE_CONFIRM), IMAGE_ICON, 32, 32, LR_SHARED));
        CentreOverOwner(hwnd());
        return TRUE;
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        ::FillRect(reinterpret_cast<HDC>(wp), &client, m_background.get());
        return SetResult(TRUE);
    }
    case WM_CTLCOLORSTATIC:
        ::SetBkColor(reinterpret_cast<HDC>(wp), kConfirmBackground);
        ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    case WM_PAINT: {
        win::PaintDC dc(hwnd());
        if (m_icon) ::DrawIconEx(dc.get(), 8, 8, m_icon, 0, 0, 0, nullptr, DI_NORMAL);
        return TRUE;
    }
    case WM_LBUTTONDOWN:
        DragFromClient(hwnd(), lp);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int RunSettingsDialog(HWND parent, MemoDefaultsData& defaults, FontChooser chooseFont) {
    win::EnsureCommonControls();
    CSettingsDlg dialog(defaults, chooseFont ? chooseFont : RunFontChooser);
    return dialog.DoModal(IDD_SETTINGS, parent) == 1 ? 1 : 0;
}

int RunAlarmDialog(HWND parent, std::int32_t& alarmTime) {
    win::EnsureCommonControls();
    CAlarmDlg dialog(alarmTime);
    if (dialog.DoModal(IDD_ALARM, parent) != 1) return 0;
    alarmTime = dialog.m_alarmTime;
    return 1;
}

int RunTitleDialog(HWND parent, std::string& title) {
    CTitleDlg dialog(title);
    if (dialog.DoModal(IDD_TITLE, parent) != 1) return 0;
    title = std::move(dialog.m_title);
    return 1;
}

int RunDeleteConfirmDialog(HWND parent) {
    CDeleteConfirmDlg dialog;
    return dialog.DoModal(IDD_DELETE_CONFIRM, parent) == 1 ? 1 : 0;
}

int RunFontChooser(HWND parent, LOGFONTA& font, COLORREF& colour) {
    LOGFONTW chosen = win::WideLogFont(font);
    UseListedFace(chosen);
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = parent;
    cf.lpLogFont = &chosen;
    cf.Flags = CF_SCREENFONTS | CF_FIXEDPITCHONLY | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    cf.rgbColors = colour;
    if (!::ChooseFontW(&cf)) return 0;
    font = win::NarrowLogFont(chosen);
    colour = cf.rgbColors;
    return 1;
}

}  // namespace tesra::memo
