// The memo window's owner-drawn bitmap buttons: a second picture while the
// mouse is over them, drawn on the memo's colour with yellow see-through.
#pragma once

#include <windows.h>

#include <functional>

class CMemoButton {
public:
    CMemoButton() = default;
    ~CMemoButton();
    CMemoButton(const CMemoButton&) = delete;
    CMemoButton& operator=(const CMemoButton&) = delete;

    // The bitmaps are shared artwork: the button does not own them. False
    // when the normal bitmap is missing or the window cannot be made.
    bool Create(HWND parent, int id, HBITMAP normal, HBITMAP hover, const RECT& at = {});
    void Destroy();
    HWND hwnd() const { return m_hwnd; }

    SIZE GetBitmapSize() const;
    void SetBackground(COLORREF colour);
    void SetCursor(HCURSOR cursor) { m_cursor = cursor; }
    // Called on the first mouse move after the mouse entered.
    void OnHover(std::function<void(CMemoButton&, const MSG&)> hover) { m_onHover = std::move(hover); }
    bool IsHovering() const { return m_hovering; }
    // Back to the normal picture (after the owner ran the button's command).
    void Unhover();

    // WM_DRAWITEM of the owner for this button.
    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);

    HWND m_hwnd = nullptr;
    HBITMAP m_normal = nullptr;
    HBITMAP m_hover = nullptr;
    HCURSOR m_cursor = nullptr;
    COLORREF m_background = RGB(255, 255, 255);
    bool m_hovering = false;
    std::function<void(CMemoButton&, const MSG&)> m_onHover;
};

// Draws bitmap at (x, y), leaving out the pixels of colour see-through.
void DrawTransparentBitmap(HDC target, HBITMAP bitmap, int x, int y, COLORREF seeThrough);
