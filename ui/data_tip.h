// A small tip window that shows a (multi-line) text next to the mouse once
// the mouse has rested on a spot, and hides as soon as the mouse leaves the
// spot, a key is pressed or a button is clicked. At most one tip shows at a
// time in the whole module.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/window.h"

class CDataTip : public tesra::win::CWindow {
public:
    CDataTip();
    ~CDataTip() override;

    bool Create(HWND parent);
    // (x, y) in the parent's client coordinates.
    void SetTip(int x, int y, std::string text);
    void Hide();

    bool m_enabled = false;
    POINT m_offset{10, 5};

    // Shared by all tips: milliseconds before a tip shows.
    static void SetDelay(UINT ms);
    static std::vector<std::string> SplitLines(const std::string& text);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Show();
    void Paint();

    HWND m_parent = nullptr;
    std::string m_text;
    RECT m_hot{};
    POINT m_spot{-1, -1};
};
