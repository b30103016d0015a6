// The memo menu behind a memo's pin: three popup menus made anew for every
// opening and destroyed when it closes.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/color_menu.h"
#include "ui/icon_menu.h"

struct MemoMenu {
    MemoMenu();

    // Owner-draw messages of the window that tracks the menu.
    bool MeasureItem(MEASUREITEMSTRUCT& measure) const;
    bool DrawItem(const DRAWITEMSTRUCT& draw) const;

    // Declared so that the main menu, which destroys the other two with
    // itself once they are its submenus, goes last.
    CIconMenu main;
    CIconMenu settings;
    CColorMenu colours;
};

// The first item folds or unfolds by the memo's state. Null when a menu
// cannot be made.
std::unique_ptr<MemoMenu> BuildMemoMenu(bool minimised);
