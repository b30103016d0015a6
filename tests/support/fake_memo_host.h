// The memo manager as a memo window sees it, for window tests and tools:
// a live index, a user folder, and a record of what the windows asked for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "memo/memo_host.h"
#include "storage/ini_file.h"

namespace tesra::test {

struct FakeHost : IMemoHost {
    explicit FakeHost(const std::string& userFolder) : folder(userFolder) {}
    void NewMemo(int background) override { newMemos.push_back(background); }
    void DeleteMemo(const std::string& key, HWND window) override {
        deleted.push_back(key);
        if (onDelete) onDelete(window);
    }
    void TextSaved(const std::string& key) override { saved.push_back(key); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void FireSendMemoData(const std::string& text) override { sent.push_back(text); }
    int ImportHancomNotes(int reportMissing) override {
        imports.push_back(reportMissing);
        return 0;
    }
    MemoDefaultsData& MemoDefaults() override { return defaults; }
    bool IsLoaded() const override { return loaded; }
    CIniFile& LiveIndex() override { return index; }
    std::string GetUserFolder() override { return folder; }
    std::vector<HWND> RegisteredMemoWindows() override { return registered; }

    std::string folder;
    MemoDefaultsData defaults = InitialMemoDefaults();
    CIniFile index;
    std::vector<int> newMemos;
    std::vector<std::string> deleted, saved, messages, sent;
    std::vector<HWND> registered;
    std::vector<int> imports;
    bool loaded = false;
    std::function<void(HWND)> onDelete;
};

}  // namespace tesra::test
