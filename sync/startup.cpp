#include "sync/startup.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "net/http_client.h"
#include "storage/ini_file.h"
#include "storage/memo_index.h"
#include "storage/memo_record.h"
#include "sync/download.h"
#include "sync/login.h"
#include "sync/pending.h"
#include "sync/upload.h"

namespace tesra {

namespace {

int Fail(ISyncContext& ctx, IStartUpWindows& windows, const char* message) {
    windows.ShowNotice(nullptr);
    if (!windows.Closing()) ctx.ShowMessage(message);
    return 0;
}

}  // namespace

void WriteServerIndex(ISyncContext& ctx, IStartUpWindows& windows, const std::string& text) {
    WriteServerIndexFile(ctx.UserFolder(), text);
    windows.LoadIndex();
    // Local edits that have not reached the server yet keep their title,
    // placement and stamps over the server's older ones.
    CarryPendingSections(ctx.UserFolder(), ctx.LiveIndex(), windows.PreviousIndex());
}

void OpenMemosInIndexText(ISyncContext& ctx, IStartUpWindows& windows, const std::string& text) {
    const std::vector<std::string> listed = MemoSectionsInIndexText(text);
    const CPendingUploads pending(ctx.UserFolder());
    // A memo the user deleted stays gone while the server has not heard.
    const auto deleted = [&](const std::string& section) {
        const std::optional<PendingUpload> p = pending.Find(section);
        return p && p->deletion;
    };
    std::vector<std::string> sections;
    for (const std::string& section : listed) {
        if (deleted(section))
            ctx.LiveIndex().DeleteSection(section);
        else
            sections.push_back(section);
    }
    // A memo made here whose first upload never went through is not in the
    // server's index yet; it stays on the desktop all the same.
    for (const std::string& section : pending.Sections())
        if (std::find(listed.begin(), listed.end(), section) == listed.end() &&
            ctx.LiveIndex().FindSection(section) >= 0 && !deleted(section))
            sections.push_back(section);
    // The texts to download go out while the windows are made: the same
    // requests in the same order, each taken by its memo's download.
    std::vector<std::pair<std::string, std::string>> downloads;
    for (const std::string& section : sections)
        if (TextOutOfDate(ctx, windows.PreviousIndex(), section) && !pending.Find(section))
            downloads.push_back(MemoTextRequest(ctx, section));
    ctx.Http().Prefetch(downloads);
    windows.BeginMemos();
    for (const std::string& section : sections) windows.OpenMemo(section);
    windows.EndMemos();
    ctx.Http().DropPrefetch();
}

int LoadMemosFromServer(ISyncContext& ctx, IStartUpWindows& windows, const std::string& user,
                        const std::string& password) {
    windows.ShowNotice(kLoadingNotice);
    int group = QueryMemoGroup(ctx);
    if (group == -1) {
        if (user.empty() || password.empty()) return Fail(ctx, windows, kStartUpFailed100);
        const std::string cookie = LoginByAgent(ctx, user, password);
        if (!cookie.empty())
            ctx.Http().SetCookie(cookie);
        else
            LoginByScript(ctx, user, password);
        group = QueryMemoGroup(ctx);
        if (group == -1) return Fail(ctx, windows, kStartUpFailed100);
    }
    const char* emptyIndex = kStartUpFailed200;
    if (group == 0) {
        windows.ShowNotice(kGroupNotice);
        windows.CreateGroup();
        emptyIndex = kStartUpFailed300;
    }
    std::string text;
    FetchIndexText(ctx, text);
    if (text.empty() || windows.Closing()) return Fail(ctx, windows, emptyIndex);

    WriteServerIndex(ctx, windows, text);
    OpenMemosInIndexText(ctx, windows, text);
    windows.ShowNotice(nullptr);
    if (windows.Closing()) return 0;
    windows.Loaded();
    // What did not reach the server before goes now, quietly.
    UploadPendingMemos(ctx);
    return 1;
}

bool TextOutOfDate(ISyncContext& ctx, const CIniFile& previous, std::string_view section) {
    return ReadMemoRecord(ctx.LiveIndex(), section).ver.value_or(std::string()) !=
           ReadMemoRecord(previous, section).ver.value_or(std::string());
}

bool MemoTextReady(ISyncContext& ctx, const CIniFile& previous, std::string_view section, const std::string& path) {
    return !TextOutOfDate(ctx, previous, section) || DownloadMemoText(ctx, section, path) == 1;
}

}  // namespace tesra
