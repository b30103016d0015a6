// The memo manager as the synchronisation flows see it, for tests: a live
// index, a user folder, one HTTP client, and a record of every question,
// message and start-up. A start-up's memos open without a screen: a memo
// "opens" when its text is at hand, with the title its window would show.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "storage/ini_file.h"
#include "storage/memo_index.h"
#include "sync/context.h"
#include "sync/startup.h"

namespace tesra::test {

class FakeSyncContext : public ISyncContext, public IStartUpWindows {
public:
    explicit FakeSyncContext(std::string userFolder) : folder(std::move(userFolder)) {
        http.m_nIoSecs = 5;
        http.m_nPostRounds = 50;
        limits.ftpTimeoutMs = 5000;
        limits.agentIoSecs = 5;
    }

    CIniFile& LiveIndex() override { return index; }
    std::string UserFolder() override { return folder; }
    NewMemoDefaults Defaults() override { return defaults; }
    CHttpClient& Http() override { return http; }
    std::string MemoServerHost() override { return memoHost; }
    std::string LoginServerHost() override { return loginHost; }
    FtpConnectionValues FtpConnection() override { return ftp; }
    CMemoIdMaker& ReceivedMemoIds() override { return ids; }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    int RunStartUp() override {
        ++startUps;
        return onStartUp ? onStartUp() : 1;
    }
    WindowHandle MainWindow() override { return &mainWindow; }
    SyncLimits Limits() override { return limits; }

    void ShowNotice(const char*) override {}
    void CreateGroup() override {}
    bool Closing() override { return false; }
    void LoadIndex() override { LoadIndexFiles(folder, index, previous); }
    CIniFile& PreviousIndex() override { return previous; }
    void OpenMemo(const std::string& s, CTextDownloads& downloads) override {
        int bg = 0;
        if (index.GetInt(s, "bg", bg) && MemoTextReady(*this, previous, s, SectionDataPath(folder, s), &downloads))
            index.GetString(s, "title", windows[s]);
    }
    void Loaded() override { loaded = true; }

    std::string folder;
    CIniFile index;
    CHttpClient http;
    NewMemoDefaults defaults;
    std::string memoHost;
    std::string loginHost;
    FtpConnectionValues ftp;
    CMemoIdMaker ids{[] { return std::int64_t{1700000000}; }};
    SyncLimits limits;
    bool answerYes = true;
    std::function<int()> onStartUp;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    int startUps = 0;
    int mainWindow = 0;
    CIniFile previous;
    std::map<std::string, std::string> windows;  // memo key to title
    bool loaded = false;
};

}  // namespace tesra::test
