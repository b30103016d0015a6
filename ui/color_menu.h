// The colour popup of the memo menu: one owner-drawn swatch a memo colour,
// command id 500 + colour index.
#pragma once

#include <windows.h>

#include <span>

#include "win/menu.h"

class CColorMenu : public tesra::win::CPopupMenu {
public:
    static constexpr UINT kFirstId = 500;

    // One item a colour, in table order.
    explicit CColorMenu(std::span<const COLORREF> colours);

    // WM_MEASUREITEM / WM_DRAWITEM of the menu's owner: false for an item
    // that is not a swatch of this menu.
    bool MeasureItem(MEASUREITEMSTRUCT& measure) const;
    bool DrawItem(const DRAWITEMSTRUCT& draw) const;

private:
    bool IsSwatch(UINT type, UINT id) const;

    std::span<const COLORREF> m_colours;
};
