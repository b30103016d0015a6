#include "sync/startup.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/text.h"
#include "net/http_client.h"
#include "storage/ini_file.h"
#include "storage/memo_format.h"
#include "storage/memo_index.h"
#include "storage/memo_record.h"
#include "sync/download.h"
#include "sync/login.h"
#include "sync/pending.h"
#include "sync/upload.h"

namespace tesra {

namespace {

int Fail(ISyncContext& ctx, IStartUpWindows& windows, const char* message, const char* why) {
    ctx.Log(std::string("start-up failed: ") + why);
    windows.ShowNotice(nullptr);
    if (!windows.Closing()) ctx.ShowMessage(message);
    return 0;
}

}  // namespace

void WriteServerIndex(ISyncContext& ctx, IStartUpWindows& windows, const std::string& text) {
    ctx.NoteServerIndex(text);
    WriteServerIndexFile(ctx.UserFolder(), text);
    windows.LoadIndex();
    // Local edits that have not reached the server yet keep their title,
    // placement and stamps over the server's older ones.
    CarryPendingSections(ctx.UserFolder(), ctx.LiveIndex(), windows.PreviousIndex());
}

bool OpenMemosInIndexText(ISyncContext& ctx, IStartUpWindows& windows, const std::string& text) {
    const IndexTextMemos named = MemoSectionsInIndexText(text);
    const std::vector<std::string>& listed = named.sections;
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
        if (IsMemoSectionName(section) && std::find(listed.begin(), listed.end(), section) == listed.end() &&
            ctx.LiveIndex().FindSection(section) >= 0 && !deleted(section))
            sections.push_back(section);
    // The texts to download go out while the windows are made: the same
    // requests in the same order, each taken by its memo's download.
    std::vector<std::pair<std::string, std::string>> texts;
    const std::string folder = ctx.UserFolder();
    for (const std::string& section : sections)
        if (TextOutOfDate(ctx, windows.PreviousIndex(), section) && !pending.Find(section))
            texts.emplace_back(section, SectionDataPath(folder, section));
    ctx.Log(Format("start-up: %d memos in the index, %d to open, %d texts to download", static_cast<int>(listed.size()),
                   static_cast<int>(sections.size()), static_cast<int>(texts.size())));
    CTextDownloads downloads(ctx, texts);
    windows.BeginMemos();
    for (const std::string& section : sections) windows.OpenMemo(section, downloads);
    windows.EndMemos();
    return !named.capped;
}

int LoadMemosFromServer(ISyncContext& ctx, IStartUpWindows& windows, const std::string& user,
                        const std::string& password) {
    windows.ShowNotice(kLoadingNotice);
    int group = QueryMemoGroup(ctx);
    if (group == -1) {
        if (user.empty() || password.empty()) return Fail(ctx, windows, kStartUpFailed100, "no session, no user");
        const std::string cookie = LoginByAgent(ctx, user, password);
        if (!cookie.empty())
            ctx.Http().SetCookie(cookie);
        else
            LoginByScript(ctx, user, password);
        group = QueryMemoGroup(ctx);
        if (group == -1) return Fail(ctx, windows, kStartUpFailed100, "no session after the logins");
    }
    ctx.Log(group == 0 ? "start-up: no memo group yet, creating it" : "start-up: memo group found");
    const char* emptyIndex = kStartUpFailed200;
    if (group == 0) {
        windows.ShowNotice(kGroupNotice);
        windows.CreateGroup();
        emptyIndex = kStartUpFailed300;
    }
    std::string text;
    FetchIndexText(ctx, text);
    if (text.empty() || windows.Closing()) return Fail(ctx, windows, emptyIndex, "no index");

    WriteServerIndex(ctx, windows, text);
    const bool all = OpenMemosInIndexText(ctx, windows, text);
    windows.ShowNotice(nullptr);
    if (windows.Closing()) return 0;
    if (!all) ctx.ShowMessage(Format(kTooManyMemosFormat, static_cast<int>(kMaxMemosPerIndex)));
    windows.Loaded();
    // What did not reach the server before goes now, quietly.
    const int left = UploadPendingMemos(ctx);
    ctx.Log(Format("start-up: loaded%s, %d uploads or deletions still pending", all ? "" : " (index over the cap)", left));
    return 1;
}

bool TextOutOfDate(ISyncContext& ctx, const CIniFile& previous, std::string_view section) {
    return ReadMemoRecord(ctx.LiveIndex(), section).ver.value_or(std::string()) !=
           ReadMemoRecord(previous, section).ver.value_or(std::string());
}

bool MemoTextReady(ISyncContext& ctx, const CIniFile& previous, std::string_view section, const std::string& path,
                   CTextDownloads* downloads) {
    return !TextOutOfDate(ctx, previous, section) || DownloadMemoText(ctx, section, path, downloads) == 1;
}

}  // namespace tesra
