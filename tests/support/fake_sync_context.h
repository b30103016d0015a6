// The memo manager as the synchronisation flows see it, for tests: a live
// index, a user folder, one HTTP client, and a record of every question,
// message and start-up.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "storage/ini_file.h"
#include "sync/context.h"

namespace tesra::test {

class FakeSyncContext : public ISyncContext {
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
};

}  // namespace tesra::test
