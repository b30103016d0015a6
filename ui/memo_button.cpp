#include "ui/memo_button.h"

#include "win/com.h"
#include "win/gdi.h"
#include "win/handles.h"

using tesra::win::MemoryDC;
using tesra::win::Selection;

namespace {
constexpr char kClassName[] = "TesraMemoButton";
}

CMemoButton::~CMemoButton() { DestroyWindow(); }

bool CMemoButton::Create(HWND parent, int id, HBITMAP normal, HBITMAP hover, const RECT& at, UINT nameId) {
    if (!normal || hwnd()) return false;
    m_normal = normal;
    m_hover = hover;
    return CreateNamed(parent, id, at, nameId);
}

bool CMemoButton::CreateMark(HWND parent, const RECT& at, UINT nameId) {
    if (hwnd()) return false;
    m_normal = m_hover = nullptr;
    return CreateNamed(parent, 0, at, nameId);
}

bool CMemoButton::CreateNamed(HWND parent, int id, const RECT& at, UINT nameId) {
    if (!RegisterClassOnce(kClassName, 0, nullptr, nullptr)) return false;
    m_at = at;
    // A window is made with a text anyway: the name costs no more.
    char name[128] = "";
    if (nameId) ::LoadStringA(tesra::win::ModuleInstance(), nameId, name, sizeof name);
    return CWindow::Create(0, kClassName, name, WS_CHILD | WS_VISIBLE, at.left, at.top, at.right - at.left,
                           at.bottom - at.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

SIZE CMemoButton::GetBitmapSize() const { return tesra::win::BitmapSize(m_normal); }

void CMemoButton::Redraw() const {
    if (HWND parent = hwnd() ? ::GetParent(hwnd()) : nullptr) ::InvalidateRect(parent, &m_at, FALSE);
}

void CMemoButton::SetBackground(COLORREF colour) {
    if (colour == m_background) return;
    m_background = colour;
    Redraw();
}

void CMemoButton::Unhover() {
    if (!m_hovering) return;
    m_hovering = false;
    Redraw();
}

void CMemoButton::Paint(HDC dc, const tesra::win::DibImage* face) const {
    if (!hwnd() || ::IsRectEmpty(&m_at)) return;
    if (face && face->cx == m_at.right - m_at.left && face->cy == m_at.bottom - m_at.top) {
        face->Draw(dc, m_at.left, m_at.top);
        return;
    }
    const COLORREF old = ::SetDCBrushColor(dc, m_background);
    ::FillRect(dc, &m_at, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, old);
    DrawTransparentBitmap(dc, Picture(), m_at.left, m_at.top, RGB(255, 255, 0));
}

LRESULT CMemoButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        // The owner has drawn this place in its own paint.
        ::ValidateRect(hwnd(), nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return m_normal ? HTCLIENT : HTTRANSPARENT;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
        if (!(pos->flags & SWP_NOMOVE)) ::OffsetRect(&m_at, pos->x - m_at.left, pos->y - m_at.top);
        if (!(pos->flags & SWP_NOSIZE)) {
            m_at.right = m_at.left + pos->cx;
            m_at.bottom = m_at.top + pos->cy;
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (!m_hovering) {
            m_hovering = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
            ::TrackMouseEvent(&track);
            Redraw();
            if (m_onHover) {
                MSG m{hwnd(), msg, wp, lp, static_cast<DWORD>(::GetMessageTime()), {}};
                m.pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                ::ClientToScreen(hwnd(), &m.pt);
                m_onHover(*this, m);
            }
        }
        return 0;
    case WM_MOUSELEAVE:
    case WM_KILLFOCUS:
        Unhover();
        return 0;
    case WM_SETCURSOR:
        ::SetCursor(m_cursor ? m_cursor : ::LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
    case WM_LBUTTONDOWN:
        m_pressed = true;
        ::SetCapture(hwnd());
        return 0;
    case WM_LBUTTONUP: {
        const bool pressed = m_pressed;
        m_pressed = false;
        if (::GetCapture() == hwnd()) ::ReleaseCapture();
        RECT c{};
        ::GetClientRect(hwnd(), &c);
        const POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (!pressed || !::PtInRect(&c, at)) return 0;
        [[fallthrough]];
    }
    case BM_CLICK:
        // As a push button tells its parent.
        ::SendMessageA(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(hwnd()), BN_CLICKED),
                       reinterpret_cast<LPARAM>(hwnd()));
        return 0;
    case WM_CAPTURECHANGED:
        m_pressed = false;
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

void DrawTransparentBitmap(HDC target, HBITMAP bitmap, int x, int y, COLORREF seeThrough) {
    BITMAP bm{};
    if (!bitmap || !::GetObjectA(bitmap, sizeof bm, &bm)) return;
    MemoryDC image(::CreateCompatibleDC(target));
    if (!image) return;
    Selection imageSel(image.get(), bitmap);
    ::GdiTransparentBlt(target, x, y, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, bm.bmWidth, bm.bmHeight,
                        seeThrough);
}
