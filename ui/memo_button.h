// The memo window's bitmap buttons: a second picture while the mouse is over
// them, drawn on the memo's colour with yellow see-through. Each is a child
// window (its id, its clicks, its tool tip and cursor), but its owner draws
// it in its own paint: a start-up paints hundreds, and a child's own paint
// costs as much as the rest of a memo's.
#pragma once

#include <windows.h>

#include <functional>

#include "win/gdi.h"
#include "win/window.h"

class CMemoButton : public tesra::win::CWindow {
public:
    CMemoButton() = default;
    ~CMemoButton() override;

    // The bitmaps are shared artwork: the button does not own them. The
    // window's text is its name for accessibility clients (a string
    // resource; none for 0). False when the normal bitmap is missing or the
    // window cannot be made.
    bool Create(HWND parent, int id, HBITMAP normal, HBITMAP hover, const RECT& at = {}, UINT nameId = 0);
    // Only a name for a place its owner draws and answers clicks on: no
    // picture, and the mouse goes through it to the owner.
    bool CreateMark(HWND parent, const RECT& at, UINT nameId);
    void Destroy() { DestroyWindow(); }

    SIZE GetBitmapSize() const;
    void SetBackground(COLORREF colour);
    void SetCursor(HCURSOR cursor) { m_cursor = cursor; }
    // Called on the first mouse move after the mouse entered.
    void OnHover(std::function<void(CMemoButton&, const MSG&)> hover) { m_onHover = std::move(hover); }
    bool IsHovering() const { return m_hovering; }
    // Back to the normal picture (after the owner ran the button's command).
    void Unhover();

    // The picture shown now: the hover picture while the mouse is over it.
    HBITMAP Picture() const { return m_hovering && m_hover ? m_hover : m_normal; }
    COLORREF Background() const { return m_background; }
    // Drawn by the owner into its paint, where the button stands: face, when
    // given, is Picture() already on Background().
    void Paint(HDC dc, const tesra::win::DibImage* face = nullptr) const;
    // Where it stands in the owner's client area.
    const RECT& Area() const { return m_at; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool CreateNamed(HWND parent, int id, const RECT& at, UINT nameId);
    void Redraw() const;

    RECT m_at{};  // in the owner's client area
    HBITMAP m_normal = nullptr;
    HBITMAP m_hover = nullptr;
    HCURSOR m_cursor = nullptr;
    COLORREF m_background = RGB(255, 255, 255);
    bool m_hovering = false;
    bool m_pressed = false;
    std::function<void(CMemoButton&, const MSG&)> m_onHover;
};

// Draws bitmap at (x, y), leaving out the pixels of colour see-through.
void DrawTransparentBitmap(HDC target, HBITMAP bitmap, int x, int y, COLORREF seeThrough);
