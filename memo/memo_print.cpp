// The memo's text on the default printer, and the printer setup dialog.
#include <windows.h>

#include <commdlg.h>
#include <richedit.h>

#include <functional>
#include <string>

#include "memo/memo_dlg.h"
#include "res/resource.h"
#include "win/gdi.h"
#include "win/handles.h"

namespace {

// "기본 설정된 프린터가 없습니다.\n기본 프린터를 설정해 주십시오."
constexpr char kNoDefaultPrinter[] =
    "\xB1\xE2\xBA\xBB \xBC\xB3\xC1\xA4\xB5\xC8 \xC7\xC1\xB8\xB0\xC5\xCD\xB0\xA1 \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.\n"
    "\xB1\xE2\xBA\xBB \xC7\xC1\xB8\xB0\xC5\xCD\xB8\xA6 \xBC\xB3\xC1\xA4\xC7\xD8 \xC1\xD6\xBD\xCA\xBD\xC3\xBF\xC0.";
// "문서를 출력할 수 없습니다."
constexpr char kCannotStartDocument[] =
    "\xB9\xAE\xBC\xAD\xB8\xA6 \xC3\xE2\xB7\xC2\xC7\xD2 \xBC\xF6 \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";
// "다음 페이지를 인쇄 할 수 없습니다."
constexpr char kCannotStartPage[] =
    "\xB4\xD9\xC0\xBD \xC6\xE4\xC0\xCC\xC1\xF6\xB8\xA6 \xC0\xCE\xBC\xE2 \xC7\xD2 \xBC\xF6 "
    "\xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";

using GlobalMemory = tesra::win::UniqueHandle<HGLOBAL, &::GlobalFree>;

// What a print dialog hands back, freed with it.
struct PrintDialogResult {
    tesra::win::MemoryDC dc;
    GlobalMemory devMode;
    GlobalMemory devNames;
};

PrintDialogResult RunPrintDialog(HWND owner, DWORD flags) {
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = flags;
    const BOOL ok = ::PrintDlgA(&pd);
    PrintDialogResult r;
    r.devMode.Reset(pd.hDevMode);
    r.devNames.Reset(pd.hDevNames);
    if (ok) r.dc.Reset(pd.hDC);
    else if (pd.hDC) ::DeleteDC(pd.hDC);
    return r;
}

// The printable area in twips, from the physical offset to the printable
// width and height, as the page and the rendering rectangle.
RECT PageTwips(HDC dc) {
    POINT pt[2] = {{::GetDeviceCaps(dc, PHYSICALOFFSETX), -::GetDeviceCaps(dc, PHYSICALOFFSETY)},
                   {::GetDeviceCaps(dc, HORZRES), -::GetDeviceCaps(dc, VERTRES)}};
    const int old = ::SetMapMode(dc, MM_TWIPS);
    ::DPtoLP(dc, pt, 2);
    ::SetMapMode(dc, old);
    return {pt[0].x, pt[0].y, pt[1].x, pt[1].y};
}

// Characters as the edit counts its positions (one per paragraph break).
long EditLength(HWND edit) {
    GETTEXTLENGTHEX q{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return static_cast<long>(::SendMessageW(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&q), 0));
}

// A rich edit that cannot format for a device (Wine's answers 0 for any
// range) would print nothing: its text is then laid out here, in its default
// character format, wrapped at blanks like the edit wraps, page by page.
class PlainPrinter {
public:
    PlainPrinter(HWND edit, HDC dc, const RECT& twips) : dc_(dc) {
        const int dpiX = ::GetDeviceCaps(dc, LOGPIXELSX), dpiY = ::GetDeviceCaps(dc, LOGPIXELSY);
        area_ = {::MulDiv(twips.left, dpiX, 1440), ::MulDiv(twips.top, dpiY, 1440), ::MulDiv(twips.right, dpiX, 1440),
                 ::MulDiv(twips.bottom, dpiY, 1440)};
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof cf;
        ::SendMessageW(edit, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
        LOGFONTW lf{};
        lf.lfHeight = -::MulDiv(cf.yHeight > 0 ? cf.yHeight : 180, dpiY, 1440);
        lf.lfWeight = (cf.dwEffects & CFE_BOLD) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (cf.dwEffects & CFE_ITALIC) ? 1 : 0;
        lf.lfCharSet = cf.bCharSet;
        lf.lfPitchAndFamily = cf.bPitchAndFamily;
        lstrcpynW(lf.lfFaceName, cf.szFaceName, LF_FACESIZE);
        font_ = tesra::win::Font(::CreateFontIndirectW(&lf));
        const int n = ::GetWindowTextLengthW(edit);
        text_.resize(static_cast<std::size_t>(n) + 1);
        text_.resize(static_cast<std::size_t>(::GetWindowTextW(edit, text_.data(), n + 1)));
    }

    // Pages from the first; false when a page could not be started.
    bool Print(const std::function<bool()>& startPage) {
        tesra::win::Selection use(dc_, font_.get());
        ::SetBkMode(dc_, TRANSPARENT);
        TEXTMETRICW tm{};
        ::GetTextMetricsW(dc_, &tm);
        const int lineHeight = tm.tmHeight + tm.tmExternalLeading;
        const int width = area_.right - area_.left;
        if (!startPage()) return false;
        int y = area_.top;
        std::size_t p = 0;
        for (;;) {
            std::size_t end = text_.find_first_of(L"\r\n", p);
            if (end == std::wstring::npos) end = text_.size();
            std::size_t q = p;
            do {  // an empty paragraph is one empty line
                const std::size_t n = Fit(q, end, width);
                if (y + lineHeight > area_.bottom && y > area_.top) {
                    ::EndPage(dc_);
                    if (!startPage()) return false;
                    y = area_.top;
                }
                ::TextOutW(dc_, area_.left, y, text_.data() + q, static_cast<int>(n));
                y += lineHeight;
                q += n;
                while (q < end && text_[q] == L' ') ++q;
            } while (q < end);
            if (end == text_.size()) break;
            p = end + (text_.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
        }
        ::EndPage(dc_);
        return true;
    }

private:
    // Characters of [first, end) on one line: up to the last blank that
    // fits, or as many as fit, at least one.
    std::size_t Fit(std::size_t first, std::size_t end, int width) const {
        if (first >= end) return 0;
        int fit = 0;
        SIZE size{};
        ::GetTextExtentExPointW(dc_, text_.data() + first, static_cast<int>(end - first), width, &fit, nullptr,
                                &size);
        const std::size_t n = static_cast<std::size_t>(fit);
        if (n >= end - first) return end - first;
        if (n == 0) return 1;
        for (std::size_t k = n; k > 0; --k) {
            if (text_[first + k] == L' ') return k;
        }
        return n;
    }

    HDC dc_;
    RECT area_{};
    tesra::win::Font font_;
    std::wstring text_;
};

}  // namespace

void CMemoDlg::PrintMemo() {
    PrintDialogResult printer = RunPrintDialog(hwnd(), PD_RETURNDEFAULT | PD_RETURNDC);
    if (!printer.dc) {
        Host().ShowMessage(kNoDefaultPrinter);
        return;
    }
    const HDC dc = printer.dc.get();
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = "Tesra";
    if (::StartDocA(dc, &doc) <= 0) {
        Host().ShowMessage(kCannotStartDocument);
        return;
    }
    const HWND edit = ::GetDlgItem(hwnd(), IDC_MEMO_EDIT);
    const long length = EditLength(edit);
    FORMATRANGE range{};
    range.hdc = dc;
    range.hdcTarget = dc;
    range.rc = PageTwips(dc);
    range.rcPage = range.rc;
    range.chrg.cpMin = 0;
    range.chrg.cpMax = -1;
    const auto startPage = [&] {
        if (::StartPage(dc) > 0) return true;
        Host().ShowMessage(kCannotStartPage);
        return false;
    };
    FORMATRANGE measure = range;
    const bool editFormats =
        length == 0 || ::SendMessageW(edit, EM_FORMATRANGE, FALSE, reinterpret_cast<LPARAM>(&measure)) > 0;
    if (!editFormats) {
        PlainPrinter(edit, dc, range.rc).Print(startPage);
    }
    while (editFormats) {
        if (!startPage()) break;
        const RECT band = range.rc;
        const long next =
            static_cast<long>(::SendMessageW(edit, EM_FORMATRANGE, TRUE, reinterpret_cast<LPARAM>(&range)));
        ::SendMessageW(edit, EM_DISPLAYBAND, 0, reinterpret_cast<LPARAM>(&band));
        ::EndPage(dc);
        // A position that does not move on would print blank pages forever.
        if (next < 0 || next >= length || next <= range.chrg.cpMin) break;
        range.chrg.cpMin = next;
        range.rc = range.rcPage;
    }
    ::SendMessageW(edit, EM_FORMATRANGE, FALSE, 0);
    ::EndDoc(dc);
}

void CMemoDlg::PrinterSetup() {
    RunPrintDialog(hwnd(), PD_PRINTSETUP | PD_ALLPAGES | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
                               PD_USEDEVMODECOPIESANDCOLLATE);
}
