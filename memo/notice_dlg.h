// The small modeless notice shown while a start-up fetches the memo data or
// creates the memo group (template 285).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class CNoticeDlg {
public:
    CNoticeDlg();
    ~CNoticeDlg();  // closes the window if it is still open
    CNoticeDlg(const CNoticeDlg&) = delete;
    CNoticeDlg& operator=(const CNoticeDlg&) = delete;

    // Before Create: replaces the template's text ("\n" breaks lines).
    void SetCustomText(std::string text);
    // Creates, sizes to its lines, puts it on top and shows it.
    bool Create(HWND parent);
    // Ends and destroys the window.
    void Close();
    HWND hwnd() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
