#include "ui/data_tip.h"

#include <algorithm>
#include <memory>

#include "win/cp949.h"
#include "win/gdi.h"
#include "win/handles.h"

namespace {

constexpr UINT_PTR kDelayTimer = 1010;
constexpr char kClassName[] = "CDataTip";

// What all tips share; made with the first tip, freed with the last.
struct Shared {
    tesra::win::Font font;
    tesra::win::Brush brush;
    tesra::win::Hook keyboard;
    int instances = 0;
    CDataTip* current = nullptr;
    UINT delay = 500;
};

Shared& TipShared() {
    static Shared shared;
    return shared;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wp, LPARAM lp) {
    if (code >= 0 && TipShared().current) TipShared().current->Hide();
    return ::CallNextHookEx(TipShared().keyboard.get(), code, wp, lp);
}

}  // namespace

CDataTip::CDataTip() {
    Shared& s = TipShared();
    if (s.instances++ == 0) {
        const LOGFONTA lf = tesra::win::KoreanLogFont(-12, FF_MODERN | FIXED_PITCH, "\xB1\xBC\xB8\xB2\xC3\xBC");  // 굴림체
        s.font.Reset(::CreateFontIndirectA(&lf));
        s.brush.Reset(::CreateSolidBrush(::GetSysColor(COLOR_INFOBK)));
        s.keyboard.Reset(::SetWindowsHookExA(WH_KEYBOARD, &KeyboardHook, nullptr, ::GetCurrentThreadId()));
    }
    RegisterClassOnce(kClassName, CS_SAVEBITS | CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW), nullptr);
}

CDataTip::~CDataTip() {
    Shared& s = TipShared();
    if (s.current == this) s.current = nullptr;
    if (hwnd()) ::KillTimer(hwnd(), kDelayTimer);
    DestroyWindow();
    if (--s.instances == 0) {
        s.keyboard.Reset();
        s.font.Reset();
        s.brush.Reset();
    }
}

void CDataTip::SetDelay(UINT ms) { TipShared().delay = ms; }

bool CDataTip::Create(HWND parent) {
    m_parent = parent;
    return CWindow::Create(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP | WS_BORDER | WS_CLIPSIBLINGS, 0, 0, 10, 10,
                           parent, nullptr);
}

void CDataTip::SetTip(int x, int y, std::string text) {
    if (!m_enabled || !hwnd()) return;
    RECT client{};
    ::GetClientRect(m_parent, &client);
    POINT p{x, y};
    if (!::PtInRect(&client, p)) return;
    ::ClientToScreen(m_parent, &p);
    if (p.x == m_spot.x && p.y == m_spot.y) return;
    m_text = std::move(text);
    m_spot = p;
    ::KillTimer(hwnd(), kDelayTimer);
    ::SetTimer(hwnd(), kDelayTimer, TipShared().delay, nullptr);
}

std::vector<std::string> CDataTip::SplitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else if (c != '\r')
            lines.back() += c;
    }
    return lines;
}

void CDataTip::Show() {
    if (!hwnd()) return;
    Shared& s = TipShared();
    if (s.current && s.current != this) s.current->Hide();
    int width = 0, height = 0;
    {
        tesra::win::WindowDC dc(hwnd());
        tesra::win::Selection sel(dc.get(), s.font.get());
        for (const std::string& line : SplitLines(m_text)) {
            SIZE size{};
            const std::wstring wide = tesra::win::WideFrom949(line);
            ::GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
            width = std::max(width, static_cast<int>(size.cx));
            height += size.cy;
        }
    }
    ::SetCapture(hwnd());
    RECT r{m_spot.x, m_spot.y, m_spot.x + width, m_spot.y + height};
    ::InflateRect(&r, 4, 2);
    ::OffsetRect(&r, m_offset.x, m_offset.y);
    ::SetWindowPos(hwnd(), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    m_hot = {m_spot.x - 2, m_spot.y - 2, m_spot.x + 2, m_spot.y + 2};
    s.current = this;
}

void CDataTip::Hide() {
    if (!hwnd()) return;
    ::ShowWindow(hwnd(), SW_HIDE);
    ::KillTimer(hwnd(), kDelayTimer);
    if (::GetCapture() == hwnd()) ::ReleaseCapture();
    if (TipShared().current == this) TipShared().current = nullptr;
}

void CDataTip::Paint() {
    tesra::win::PaintDC dc(hwnd());
    Shared& s = TipShared();
    tesra::win::Selection sel(dc.get(), s.font.get());
    tesra::win::TextColours keep(dc.get());
    ::SetBkMode(dc.get(), TRANSPARENT);
    ::SetTextColor(dc.get(), ::GetSysColor(COLOR_INFOTEXT));
    ::SetTextAlign(dc.get(), TA_LEFT | TA_TOP);
    const std::vector<std::string> lines = SplitLines(m_text);
    SIZE first{};
    ::GetTextExtentPoint32W(dc.get(), L" ", 1, &first);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::wstring wide = tesra::win::WideFrom949(lines[i]);
        ::TextOutW(dc.get(), 2, 1 + static_cast<int>(i) * first.cy, wide.c_str(), static_cast<int>(wide.size()));
    }
}

LRESULT CDataTip::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER:
        if (wp == kDelayTimer) {
            ::KillTimer(hwnd(), kDelayTimer);
            POINT cursor{};
            ::GetCursorPos(&cursor);
            if (cursor.x == m_spot.x && cursor.y == m_spot.y) Show();
            return 0;
        }
        break;
    case WM_ERASEBKGND: {
        RECT r{};
        ::GetClientRect(hwnd(), &r);
        ::FillRect(reinterpret_cast<HDC>(wp), &r, TipShared().brush.get());
        return 1;
    }
    case WM_PAINT:
        Paint();
        return 0;
    case WM_MOUSEMOVE: {
        const LRESULT r = Default(msg, wp, lp);
        POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ::ClientToScreen(hwnd(), &p);
        if (!::PtInRect(&m_hot, p)) Hide();
        return r;
    }
    case WM_LBUTTONDOWN:
        Hide();
        ::SendMessageA(m_parent, WM_LBUTTONDOWN, wp, MAKELPARAM(8, 8));
        return 0;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_CANCELMODE:
        Hide();
        break;
    default:
        break;
    }
    return Default(msg, wp, lp);
}
