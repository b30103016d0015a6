// What a memo window asks of the memo manager that owns it. CTesraCtrl
// implements it; window tests can give a small fake.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tesra {
class CIniFile;
class ISyncContext;
}  // namespace tesra

class CMemoDlg;

class IMemoHost {
public:
    virtual ~IMemoHost() = default;

    // The new-memo button and menu entry.
    virtual void NewMemo(int background) = 0;
    // The delete command: the window is destroyed by the removal timer.
    virtual UINT_PTR ScheduleRemove(CMemoDlg* memo) = 0;
    // Send as a messenger note.
    virtual void FireSendMemoData(const std::string& text) = 0;
    // The memo menu's Hancom Note import; reportMissing: say so when Hancom
    // Note's file is not there.
    virtual int ImportHancomNotes(int reportMissing) = 0;
    // m_loaded: a start-up has completed.
    virtual bool IsLoaded() const = 0;
    // The live memo index (m_index) that placement and properties go to.
    virtual tesra::CIniFile& LiveIndex() = 0;
    // Made when missing.
    virtual std::string GetUserFolder() = 0;
    // For the flows a memo command starts (server deletion).
    virtual tesra::ISyncContext& Sync() = 0;
    // The windows of the memos in the registry, for the cascade of a new
    // memo (the one being placed is not in it yet).
    virtual std::vector<HWND> RegisteredMemoWindows() { return {}; }
};
