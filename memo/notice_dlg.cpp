#include "memo/notice_dlg.h"

#include "base/text.h"
#include "res/resource.h"
#include "win/cp949.h"
#include "win/window.h"

struct CNoticeDlg::Impl : tesra::win::CDialog {
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    std::string custom;
};

INT_PTR CNoticeDlg::Impl::DialogProc(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        std::string text;
        if (!custom.empty()) {
            text = custom;
            const std::wstring wide = tesra::win::WideFrom949(text);
            ::SetDlgItemTextW(hwnd(), IDC_NOTICE_TEXT, wide.c_str());
        } else {
            wchar_t buf[512] = {};
            ::GetDlgItemTextW(hwnd(), IDC_NOTICE_TEXT, buf, 512);
            text = tesra::win::Cp949FromWide(buf);
        }
        // Centred on the screen or the owner, as a dialog is.
        RECT w{}, area{};
        ::GetWindowRect(hwnd(), &w);
        HWND owner = ::GetWindow(hwnd(), GW_OWNER);
        if (!owner || !::IsWindowVisible(owner) || !::GetWindowRect(owner, &area))
            ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        const int width = w.right - w.left;
        const int x = area.left + ((area.right - area.left) - width) / 2;
        const int lines = tesra::CountPieces(text, "\n");
        const int height = (3 * lines + 6) * 5;
        const int y = area.top + ((area.bottom - area.top) - height) / 2;
        ::SetWindowPos(hwnd(), HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
        return TRUE;
    }
    case WM_COMMAND:
        // The close box is cancel: it hides the notice, as a dialog's
        // cancel would; only the creator destroys it.
        if (LOWORD(wp) == IDCANCEL) ::ShowWindow(hwnd(), SW_HIDE);
        return TRUE;
    default:
        return FALSE;
    }
}

CNoticeDlg::CNoticeDlg() : m_impl(std::make_unique<Impl>()) {}

CNoticeDlg::~CNoticeDlg() { Close(); }

void CNoticeDlg::SetCustomText(std::string text) { m_impl->custom = std::move(text); }

bool CNoticeDlg::Create(HWND parent) {
    if (!m_impl->CreateModeless(IDD_NOTICE, parent)) return false;
    ::SetWindowPos(m_impl->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    return true;
}

void CNoticeDlg::Close() {
    if (HWND h = m_impl->hwnd()) {
        ::ShowWindow(h, SW_HIDE);
        ::DestroyWindow(h);
    }
}

HWND CNoticeDlg::hwnd() const { return m_impl->hwnd(); }
