// The memo manager as a memo window sees it, for window tests and tools:
// a live index, a user folder, and a record of what the windows asked for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "memo/memo_host.h"
#include "support/fake_sync_context.h"

namespace tesra::test {

struct FakeHost : IMemoHost {
    explicit FakeHost(const std::string& folder) : sync(folder) {}
    void NewMemo(int background) override { newMemos.push_back(background); }
    UINT_PTR ScheduleRemove(CMemoDlg* memo) override {
        removed.push_back(memo);
        if (onRemove) onRemove(memo);
        return 1;
    }
    void FireSendMemoData(const std::string& text) override { sent.push_back(text); }
    int ImportHancomNotes(int reportMissing) override {
        imports.push_back(reportMissing);
        return 0;
    }
    bool IsLoaded() const override { return loaded; }
    CIniFile& LiveIndex() override { return sync.index; }
    std::string GetUserFolder() override { return sync.folder; }
    ISyncContext& Sync() override { return sync; }
    std::vector<HWND> RegisteredMemoWindows() override { return registered; }

    FakeSyncContext sync;
    std::vector<int> newMemos;
    std::vector<CMemoDlg*> removed;
    std::vector<HWND> registered;
    std::vector<std::string> sent;
    std::vector<int> imports;
    bool loaded = false;
    std::function<void(CMemoDlg*)> onRemove;
};

}  // namespace tesra::test
