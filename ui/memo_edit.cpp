#include "ui/memo_edit.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "win/com.h"
#include "win/controls.h"
#include "win/cp949.h"
#include "win/handles.h"
#include "win/window.h"

namespace {

std::wstring WideOf(std::string_view text) { return tesra::win::WideFrom949(text); }
std::string Narrow(std::wstring_view text) { return tesra::win::Cp949FromWide(text); }

// The rich edit made under a class of ours rather than subclassed: a
// subclassed window looks its hook up in a window property on every
// message, which under Wine is a call into its server each time.
constexpr wchar_t kEditClass[] = L"TesraMemoEdit";

// The rich edit's own procedure, and where our object sits among the
// window's bytes (after the rich edit's own); set when the class is
// registered, which holds while it exists (user-interface thread).
struct EditClass {
    WNDPROC base = nullptr;
    int slot = 0;
};

EditClass& TheEditClass() {
    static EditClass c;
    return c;
}

}  // namespace

bool CMemoEdit::EnsureClass() {
    const wchar_t* base = tesra::win::RichEditClass();
    if (!base) return false;
    EditClass& c = TheEditClass();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (c.base && ::GetClassInfoExW(tesra::win::ModuleInstance(), kEditClass, &wc)) return true;
    // A class the library registered for every module; looked for with it
    // as the owner too, where the system's search leaves such classes out.
    if (!::GetClassInfoExW(nullptr, base, &wc) && !::GetClassInfoExW(::GetModuleHandleW(L"riched20.dll"), base, &wc))
        return false;
    c.base = wc.lpfnWndProc;
    c.slot = wc.cbWndExtra;
    wc.cbSize = sizeof wc;
    wc.style &= ~CS_GLOBALCLASS;
    wc.lpfnWndProc = &CMemoEdit::ClassProc;
    wc.cbWndExtra += sizeof(LONG_PTR);
    wc.hInstance = tesra::win::ModuleInstance();
    wc.lpszClassName = kEditClass;
    return tesra::win::RegisterModuleClass(wc);
}

CMemoEdit::CMemoEdit(std::function<void()> onUserInput) : m_onUserInput(std::move(onUserInput)) {}

CMemoEdit::~CMemoEdit() { Destroy(); }

bool CMemoEdit::Create(HWND parent, int id, const RECT& at) {
    if (m_hwnd || !EnsureClass()) return false;
    m_hwnd = ::CreateWindowExW(0, kEditClass, L"",
                               WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                               at.left, at.top, at.right - at.left, at.bottom - at.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               tesra::win::ModuleInstance(), nullptr);
    if (!m_hwnd) return false;
    // Joined after creation: what comes before is the rich edit's alone.
    ::SetWindowLongPtrW(m_hwnd, TheEditClass().slot, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void CMemoEdit::Destroy() {
    if (m_hwnd) ::DestroyWindow(m_hwnd);  // WM_NCDESTROY clears m_hwnd
}

std::string CMemoEdit::Text() const { return Range(0, -1); }

std::string CMemoEdit::Range(long first, long last) const {
    if (!m_hwnd) return {};
    if (first == 0 && last == -1) {
        GETTEXTLENGTHEX len{GTL_USECRLF | GTL_PRECISE, 1200};
        const LRESULT n = ::SendMessageW(m_hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
        if (n <= 0) return {};
        std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
        GETTEXTEX get{static_cast<DWORD>(buf.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
        const LRESULT got =
            ::SendMessageW(m_hwnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        return Narrow(buf);
    }
    if (last <= first) return {};
    std::wstring buf(static_cast<std::size_t>(last - first) + 1, L'\0');
    TEXTRANGEW range{{first, last}, buf.data()};
    const LRESULT got = ::SendMessageW(m_hwnd, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    buf.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Narrow(buf);
}

void CMemoEdit::SetText(std::string_view text) {
    if (!m_hwnd) return;
    const std::wstring wide = WideOf(text);
    SETTEXTEX set{ST_DEFAULT, 1200};
    ::SendMessageW(m_hwnd, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(wide.c_str()));
}

void CMemoEdit::AppendText(std::string_view text) {
    if (!m_hwnd) return;
    ::SendMessageW(m_hwnd, EM_HIDESELECTION, TRUE, 0);
    const LRESULT end = ::GetWindowTextLengthW(m_hwnd);
    Select(static_cast<long>(end), static_cast<long>(end));
    const std::wstring wide = WideOf(text);
    ::SendMessageW(m_hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    Select(0, 0);
    ::SendMessageW(m_hwnd, EM_HIDESELECTION, FALSE, 0);
}

bool CMemoEdit::IsModified() const { return m_hwnd && ::SendMessageW(m_hwnd, EM_GETMODIFY, 0, 0) != 0; }

void CMemoEdit::SetModified(bool modified) {
    if (m_hwnd) ::SendMessageW(m_hwnd, EM_SETMODIFY, modified ? TRUE : FALSE, 0);
}

void CMemoEdit::Select(long first, long last) {
    if (!m_hwnd) return;
    CHARRANGE range{first, last};
    ::SendMessageW(m_hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

int CMemoEdit::LineCount() const {
    return m_hwnd ? static_cast<int>(::SendMessageW(m_hwnd, EM_GETLINECOUNT, 0, 0)) : 0;
}

std::string CMemoEdit::Line(int i, int limit) const {
    if (!m_hwnd || limit <= 0) return {};
    const LRESULT start = ::SendMessageW(m_hwnd, EM_LINEINDEX, static_cast<WPARAM>(i), 0);
    if (start < 0) return {};
    const LRESULT length = ::SendMessageW(m_hwnd, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    std::string line = Range(static_cast<long>(start), static_cast<long>(start + length));
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (static_cast<int>(line.size()) > limit) line.resize(static_cast<std::size_t>(limit));
    return line;
}

void CMemoEdit::SetBackground(COLORREF colour) {
    if (m_hwnd) ::SendMessageW(m_hwnd, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(colour));
}

void CMemoEdit::DetectLinks() {
    if (!m_hwnd) return;
    // Each message to a rich edit costs; the mask of a new one is empty.
    ::SendMessageW(m_hwnd, EM_SETEVENTMASK, 0, ENM_LINK);
    ::SendMessageW(m_hwnd, EM_AUTOURLDETECT, TRUE, 0);
}

void CMemoEdit::ApplyFont(const LOGFONTA& font, COLORREF textColour) {
    if (!m_hwnd) return;
    const bool modified = IsModified();
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_BOLD | CFM_ITALIC | CFM_SIZE | CFM_FACE | CFM_COLOR;
    if (font.lfItalic) cf.dwEffects |= CFE_ITALIC;
    if (font.lfWeight == FW_BOLD) cf.dwEffects |= CFE_BOLD;
    cf.yHeight = -15 * font.lfHeight;
    cf.crTextColor = textColour;
    cf.bCharSet = font.lfCharSet;
    cf.bPitchAndFamily = font.lfPitchAndFamily;
    const std::wstring face = WideOf(std::string_view(font.lfFaceName, ::strnlen(font.lfFaceName, LF_FACESIZE)));
    lstrcpynW(cf.szFaceName, face.c_str(), LF_FACESIZE);
    // An empty edit's text is all in the default format: one reformat, not two.
    if (::GetWindowTextLengthW(m_hwnd) > 0)
        ::SendMessageW(m_hwnd, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
    ::SendMessageW(m_hwnd, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));

    // A tab stop every four average characters of this font. Measured once
    // per font for all memos: most share one, and a measure costs a DC.
    struct Measured {
        LOGFONTA font;
        int average;
    };
    static std::vector<Measured> measured;  // user-interface thread
    int average = 8;
    auto same = [&](const Measured& m) { return std::memcmp(&m.font, &font, sizeof font) == 0; };
    if (auto it = std::find_if(measured.begin(), measured.end(), same); it != measured.end()) {
        average = it->average;
    } else {
        tesra::win::WindowDC dc(m_hwnd);
        tesra::win::UniqueHandle<HFONT, &::DeleteObject> made(::CreateFontIndirectA(&font));
        if (dc.get() && made) {
            tesra::win::Selection sel(dc.get(), made.get());
            TEXTMETRICA tm{};
            if (::GetTextMetricsA(dc.get(), &tm)) {
                average = tm.tmAveCharWidth;
                if (measured.size() >= 16) measured.erase(measured.begin());
                measured.push_back({font, average});
            }
        }
    }
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof pf;
    pf.dwMask = PFM_TABSTOPS;
    pf.cTabCount = 32;
    for (int k = 0; k < 32; ++k) pf.rgxTabs[k] = k * 60 * average;
    ::SendMessageW(m_hwnd, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    ::SendMessageW(m_hwnd, EM_REQUESTRESIZE, 0, 0);
    SetModified(modified);
}

void CMemoEdit::ShowContextMenu(int x, int y) {
    tesra::win::Menu menu(::LoadMenuA(tesra::win::ModuleInstance(), MAKEINTRESOURCEA(IDM_MEMO_EDIT)));
    if (!menu) return;
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    if (!popup) return;
    CHARRANGE sel{};
    ::SendMessageW(m_hwnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    const bool empty = sel.cpMin == sel.cpMax;
    auto enable = [&](UINT id, bool on) { ::EnableMenuItem(popup, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    enable(IDM_EDIT_UNDO, ::SendMessageW(m_hwnd, EM_CANUNDO, 0, 0) != 0);
    enable(IDM_EDIT_CUT, !empty);
    enable(IDM_EDIT_COPY, !empty);
    enable(IDM_EDIT_PASTE, ::SendMessageW(m_hwnd, EM_CANPASTE, 0, 0) != 0);
    enable(IDM_EDIT_DELETE, !empty);
    enable(IDM_EDIT_SELECT_ALL, ::GetWindowTextLengthW(m_hwnd) > 0);
    RECT w{};
    ::GetWindowRect(m_hwnd, &w);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, w.left + x, w.top + y, 0, m_hwnd, nullptr);
}

LRESULT CALLBACK CMemoEdit::ClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const EditClass& c = TheEditClass();
    auto* edit = reinterpret_cast<CMemoEdit*>(::GetWindowLongPtrW(hwnd, c.slot));
    bool handled = false;
    LRESULT result = 0;
    if (edit) {
        try {
            result = edit->Handle(msg, wp, lp, &handled);
        } catch (...) {
            handled = true;
            result = 0;
        }
    }
    if (!handled) result = ::CallWindowProcW(c.base, hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY && edit) edit->m_hwnd = nullptr;
    return result;
}

LRESULT CMemoEdit::Handle(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    switch (msg) {
    case WM_RBUTTONDOWN: {
        ShowContextMenu(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;  // the default press follows
    }
    case WM_KEYDOWN: {
        if (m_onUserInput) m_onUserInput();
        if (wp == VK_TAB) {
            ::SendMessageW(m_hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\t"));
            *handled = true;
            return 0;
        }
        CHARRANGE sel{};
        ::SendMessageW(m_hwnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        const LRESULT line = ::SendMessageW(m_hwnd, EM_EXLINEFROMCHAR, 0, sel.cpMin);
        const LRESULT last = ::SendMessageW(m_hwnd, EM_GETLINECOUNT, 0, 0) - 1;
        if (((wp == VK_UP || wp == VK_PRIOR) && line == 0) || ((wp == VK_DOWN || wp == VK_NEXT) && line == last)) {
            *handled = true;
            return 0;
        }
        return 0;
    }
    case WM_GETDLGCODE:
        // Tab and the arrows belong to the text, not to the dialog manager.
        *handled = true;
        return ::CallWindowProcW(TheEditClass().base, m_hwnd, msg, wp, lp) | DLGC_WANTTAB | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
        if (m_onUserInput) m_onUserInput();
        return 0;
    case WM_MOUSEWHEEL: {
        const WORD keys = GET_KEYSTATE_WPARAM(wp);
        *handled = true;
        if (keys & (MK_SHIFT | MK_CONTROL)) return 0;
        ::SendMessageW(m_hwnd, EM_LINESCROLL, 0, -GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA);
        return 0;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDM_EDIT_UNDO:
            ::SendMessageW(m_hwnd, EM_UNDO, 0, 0);
            break;
        case IDM_EDIT_CUT:
            ::SendMessageW(m_hwnd, WM_CUT, 0, 0);
            break;
        case IDM_EDIT_COPY:
            ::SendMessageW(m_hwnd, WM_COPY, 0, 0);
            break;
        case IDM_EDIT_PASTE:
            ::SendMessageW(m_hwnd, WM_PASTE, 0, 0);
            break;
        case IDM_EDIT_DELETE:
            ::SendMessageW(m_hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
            break;
        case IDM_EDIT_SELECT_ALL:
            Select(0, -1);
            break;
        default:
            return 0;
        }
        *handled = true;
        return 0;
    default:
        return 0;
    }
}
