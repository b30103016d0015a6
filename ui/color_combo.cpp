#include "ui/color_combo.h"

#include "win/gdi.h"

void CColorCombo::Attach(HWND combo) {
    m_hwnd = combo;
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < m_colours.size(); ++i) ::SendMessageA(combo, CB_ADDSTRING, 0, 0);
    SetCurSel(0);
}

int CColorCombo::GetCurSel() const {
    return m_hwnd ? static_cast<int>(::SendMessageA(m_hwnd, CB_GETCURSEL, 0, 0)) : -1;
}

void CColorCombo::SetCurSel(int index) {
    if (m_hwnd) ::SendMessageA(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CColorCombo::DrawItem(const DRAWITEMSTRUCT& item) const {
    // itemID is -1 (as unsigned) for the empty box.
    if (item.itemID >= m_colours.size()) return;
    // The one-pixel edge is the list's own colour, or a selection drawn
    // there before would stay.
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_WINDOW));
    RECT swatch = item.rcItem;
    ::InflateRect(&swatch, -1, -1);
    tesra::win::Brush fill(::CreateSolidBrush(m_colours[item.itemID]));
    ::FillRect(item.hDC, &swatch, fill.get());
    if (item.itemState & ODS_SELECTED) ::DrawFocusRect(item.hDC, &swatch);
}
