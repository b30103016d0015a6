// The settings dialog's list of memo colours: one empty owner-drawn item
// per colour, drawn as a swatch of it.
#pragma once

#include <windows.h>

#include <span>
#include <vector>

class CColorCombo {
public:
    explicit CColorCombo(std::span<const COLORREF> colours) : m_colours(colours.begin(), colours.end()) {}
    CColorCombo(const CColorCombo&) = delete;
    CColorCombo& operator=(const CColorCombo&) = delete;

    // Takes a dialog's combo box (drop-down list, owner-drawn fixed items):
    // one item per colour, the first selected.
    void Attach(HWND combo);
    HWND hwnd() const { return m_hwnd; }
    // The selected colour index, -1 for none.
    int GetCurSel() const;
    void SetCurSel(int index);

    // WM_DRAWITEM of the dialog for this combo box.
    void DrawItem(const DRAWITEMSTRUCT& item) const;

private:
    std::vector<COLORREF> m_colours;
    HWND m_hwnd = nullptr;
};
