// A popup menu drawn by us in the flat style of the platform's menus, with
// the 16 x 16 image of a toolbar resource beside each command that has one.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win/gdi.h"
#include "win/menu.h"
#include "win/unique_handle.h"

class CIconMenu : public tesra::win::CPopupMenu {
public:
    // The data value of every item we draw.
    struct Item {
        int image = -1;   // index into the toolbar's images, -1 for none
        int command = 0;  // kSeparator, kTopPopup or kPopup for items without a command
        std::string text; // CP949, at most 127 bytes
    };
    static constexpr int kPopup = -2;
    static constexpr int kSeparator = -3;
    static constexpr int kTopPopup = -4;

    CIconMenu();

    // The images of toolbar resource id and its bitmap of the same id.
    // 1 on success, 0 when either is missing.
    int LoadToolbar(int id);
    // Makes menu's items (and those of its submenus) ours to draw, from the
    // last to the first; items already owner-drawn keep their own drawing.
    void MakeOwnerDrawn(HMENU menu);

    // WM_MEASUREITEM / WM_DRAWITEM of the menu's owner: false for an item
    // that is not one of ours.
    bool MeasureItem(MEASUREITEMSTRUCT& measure) const;
    bool DrawItem(const DRAWITEMSTRUCT& draw) const;

    int ImageOf(int command) const;
    const std::vector<std::unique_ptr<Item>>& items() const { return m_items; }

private:
    using ImageList = tesra::win::UniqueHandle<HIMAGELIST, &::ImageList_Destroy>;

    void Convert(HMENU menu, int depth);
    const Item* Find(ULONG_PTR data) const;
    HFONT FontFor(UINT state) const;
    void DrawImageBox(HDC dc, const Item& item, UINT state, const RECT& box) const;

    tesra::win::Font m_boldFont;
    tesra::win::Font m_menuFont;
    int m_imageWidth = 16;
    int m_imageHeight = 16;
    ImageList m_images;
    COLORREF m_menuText, m_highlightText, m_menuBack, m_highlight, m_light3d;
    COLORREF m_buttonHighlight, m_buttonShadow, m_greyText;
    std::vector<std::unique_ptr<Item>> m_items;
    std::vector<std::pair<int, int>> m_imageMap;  // (image index, command id)
};
