#include "ui/color_menu.h"

#include "win/gdi.h"

CColorMenu::CColorMenu(std::span<const COLORREF> colours) : m_colours(colours) {
    for (UINT i = 0; i < m_colours.size(); ++i) Append(MF_OWNERDRAW, kFirstId + i);
}

bool CColorMenu::IsSwatch(UINT type, UINT id) const {
    return type == ODT_MENU && id >= kFirstId && id - kFirstId < m_colours.size();
}

bool CColorMenu::MeasureItem(MEASUREITEMSTRUCT& measure) const {
    if (!IsSwatch(measure.CtlType, measure.itemID)) return false;
    measure.itemWidth = 30;
    measure.itemHeight = 15;
    return true;
}

bool CColorMenu::DrawItem(const DRAWITEMSTRUCT& draw) const {
    if (!IsSwatch(draw.CtlType, draw.itemID) || reinterpret_cast<HMENU>(draw.hwndItem) != hmenu()) return false;
    // Each swatch framed apart from the next, or the white one would vanish
    // into the menu and the pale ones into each other.
    RECT swatch = draw.rcItem;
    ::FillRect(draw.hDC, &swatch, ::GetSysColorBrush(COLOR_MENU));
    ::InflateRect(&swatch, -2, -1);
    ::FillRect(draw.hDC, &swatch, ::GetSysColorBrush(COLOR_BTNSHADOW));
    ::InflateRect(&swatch, -1, -1);
    tesra::win::Brush brush(::CreateSolidBrush(m_colours[draw.itemID - kFirstId]));
    ::FillRect(draw.hDC, &swatch, brush.get());
    if (draw.itemState & ODS_SELECTED) ::DrawFocusRect(draw.hDC, &draw.rcItem);
    return true;
}
