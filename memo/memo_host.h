// What a memo window asks of the memo manager that owns it. CTesraCtrl
// implements it; window tests can give a small fake.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "memo/memo_defaults.h"
#include "win/window.h"

namespace tesra {
class CIniFile;
}  // namespace tesra

class CMemoDlg;

class IMemoHost {
public:
    virtual ~IMemoHost() = default;

    // The new-memo button and menu entry.
    virtual void NewMemo(int background) = 0;
    // The delete command, after the user's yes: the manager records the
    // deletion, tells the server when its gate lets it, and removes the
    // window with its removal timer. The request may wait: the caller
    // touches nothing of the host or of itself after it.
    virtual void DeleteMemo(const std::string& key, HWND window) = 0;
    // The memo's text has just been saved (or kept in its emergency copy):
    // it is pending until the server has it.
    virtual void TextSaved(const std::string& key) = 0;
    // A modal box with an OK button only.
    virtual void ShowMessage(const std::string& text) = 0;
    // Send as a messenger note.
    virtual void FireSendMemoData(const std::string& text) = 0;
    // The memo menu's Hancom Note import; reportMissing: say so when Hancom
    // Note's file is not there.
    virtual int ImportHancomNotes(int reportMissing) = 0;
    // The user's defaults for new memos, the grid and the settings dialog.
    virtual MemoDefaultsData& MemoDefaults() = 0;
    // m_loaded: a start-up has completed.
    virtual bool IsLoaded() const = 0;
    // The live memo index (m_index) that placement and properties go to.
    virtual tesra::CIniFile& LiveIndex() = 0;
    // Made when missing.
    virtual std::string GetUserFolder() = 0;
    // The windows of the memos in the registry, for the cascade of a new
    // memo (the one being placed is not in it yet).
    virtual std::vector<HWND> RegisteredMemoWindows() { return {}; }
    // The screen as read once for the memos a start-up opens; null outside
    // one, when a memo reads what it needs itself.
    virtual const tesra::win::ScreenMetrics* ScreenSnapshot() { return nullptr; }
    std::optional<RECT> WorkArea() {
        const tesra::win::ScreenMetrics* screen = ScreenSnapshot();
        return screen ? screen->workArea : tesra::win::WorkArea();
    }
    tesra::DesktopSize Desktop() {
        const tesra::win::ScreenMetrics* screen = ScreenSnapshot();
        return screen ? screen->desktop : tesra::win::Desktop();
    }
    SIZE BorderSize() {
        const tesra::win::ScreenMetrics* screen = ScreenSnapshot();
        return screen ? screen->border : tesra::win::BorderSize();
    }
};
