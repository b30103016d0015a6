// The rich edit inside a memo window: a right click opens the edit menu,
// Tab types a tab, the arrows and page keys stay inside at the first and
// last lines, the wheel scrolls line by line, and every key or click tells
// the owner (which stops its blinking).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

class CMemoEdit {
public:
    explicit CMemoEdit(std::function<void()> onUserInput = {});
    ~CMemoEdit();
    CMemoEdit(const CMemoEdit&) = delete;
    CMemoEdit& operator=(const CMemoEdit&) = delete;

    // Multi-line, wrapped at the window's width.
    bool Create(HWND parent, int id, const RECT& at = {});
    void Destroy();
    HWND hwnd() const { return m_hwnd; }

    // The whole text as CP949 bytes with CR LF between paragraphs.
    std::string Text() const;
    // Replaces the whole text (CP949, CR LF or LF breaks); not undoable.
    void SetText(std::string_view text);
    // Puts text at the end, keeping the view at the top.
    void AppendText(std::string_view text);
    bool IsModified() const;
    void SetModified(bool modified);
    void Select(long first, long last);
    int LineCount() const;
    // Display line i as CP949 bytes without its break, at most limit bytes.
    std::string Line(int i, int limit = 8192) const;

    void SetBackground(COLORREF colour);
    // Link notifications and automatic URL detection.
    void DetectLinks();
    // Character format for the whole text and as the default, tab stops
    // every four average characters; keeps the modified flag.
    void ApplyFont(const LOGFONTA& font, COLORREF textColour);
    // The text of [first, last) as CP949.
    std::string Range(long first, long last) const;

    void ShowContextMenu(int x, int y);

private:
    static bool EnsureClass();
    static LRESULT CALLBACK ClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp, bool* handled);

    std::function<void()> m_onUserInput;
    HWND m_hwnd = nullptr;
};
