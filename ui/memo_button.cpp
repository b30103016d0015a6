#include "ui/memo_button.h"

#include <commctrl.h>

#include "win/com.h"
#include "win/gdi.h"
#include "win/handles.h"

using tesra::win::MemoryDC;
using tesra::win::Selection;

CMemoButton::~CMemoButton() { Destroy(); }

bool CMemoButton::Create(HWND parent, int id, HBITMAP normal, HBITMAP hover, const RECT& at) {
    if (!normal || m_hwnd) return false;
    m_normal = normal;
    m_hover = hover;
    m_hwnd = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, at.left, at.top,
                               at.right - at.left, at.bottom - at.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), tesra::win::ModuleInstance(),
                               nullptr);
    if (!m_hwnd) return false;
    ::SetWindowSubclass(m_hwnd, &CMemoButton::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

void CMemoButton::Destroy() {
    if (HWND h = m_hwnd) {
        ::RemoveWindowSubclass(h, &CMemoButton::SubclassProc, 1);
        m_hwnd = nullptr;
        ::DestroyWindow(h);
    }
}

SIZE CMemoButton::GetBitmapSize() const { return tesra::win::BitmapSize(m_normal); }

void CMemoButton::SetBackground(COLORREF colour) {
    m_background = colour;
    if (m_hwnd) ::InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CMemoButton::Unhover() {
    m_hovering = false;
    if (m_hwnd) ::InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CMemoButton::Draw(const DRAWITEMSTRUCT& item) const {
    HBITMAP picture = m_hovering && m_hover ? m_hover : m_normal;
    tesra::win::Brush back(::CreateSolidBrush(m_background));
    ::FillRect(item.hDC, &item.rcItem, back.get());
    DrawTransparentBitmap(item.hDC, picture, item.rcItem.left, item.rcItem.top, RGB(255, 255, 0));
}

LRESULT CALLBACK CMemoButton::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    auto* button = reinterpret_cast<CMemoButton*>(self);
    try {
        switch (msg) {
        case WM_MOUSEMOVE:
            if (!button->m_hovering) {
                button->m_hovering = true;
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
                ::TrackMouseEvent(&track);
                ::InvalidateRect(hwnd, nullptr, FALSE);
                if (button->m_onHover) {
                    MSG m{hwnd, msg, wp, lp, static_cast<DWORD>(::GetMessageTime()), {}};
                    m.pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                    ::ClientToScreen(hwnd, &m.pt);
                    button->m_onHover(*button, m);
                }
            }
            break;
        case WM_MOUSELEAVE:
        case WM_KILLFOCUS:
            button->Unhover();
            break;
        case WM_SETCURSOR:
            if (button->m_cursor) ::SetCursor(button->m_cursor);
            else ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
            return TRUE;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, &CMemoButton::SubclassProc, 1);
            button->m_hwnd = nullptr;
            break;
        default:
            break;
        }
    } catch (...) {
        return 0;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

void DrawTransparentBitmap(HDC target, HBITMAP bitmap, int x, int y, COLORREF seeThrough) {
    BITMAP bm{};
    if (!bitmap || !::GetObjectA(bitmap, sizeof bm, &bm)) return;
    MemoryDC image(::CreateCompatibleDC(target));
    MemoryDC maskDc(::CreateCompatibleDC(target));
    tesra::win::Bitmap mask(::CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, nullptr));
    if (!image || !maskDc || !mask) return;
    Selection imageSel(image.get(), bitmap);
    Selection maskSel(maskDc.get(), mask.get());
    // The mask: see-through pixels white, all others black.
    ::SetBkColor(image.get(), seeThrough);
    ::BitBlt(maskDc.get(), 0, 0, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, SRCCOPY);
    tesra::win::TextColours keep(target);
    ::SetTextColor(target, RGB(0, 0, 0));
    ::SetBkColor(target, RGB(255, 255, 255));
    ::BitBlt(target, x, y, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, SRCINVERT);
    ::BitBlt(target, x, y, bm.bmWidth, bm.bmHeight, maskDc.get(), 0, 0, SRCAND);
    ::BitBlt(target, x, y, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, SRCINVERT);
}
