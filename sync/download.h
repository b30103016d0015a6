// Bringing server state to this computer, and publishing the user's
// defaults: the index, one memo's text, the memo group.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/pump.h"
#include "sync/context.h"

namespace tesra {

// The command codes of WM_COPYDATA to the control's window.
inline constexpr int kCmdLoadIndex = 300;
inline constexpr int kCmdUploadDefaults = 301;
inline constexpr int kCmdReceiveMemo = 302;
inline constexpr int kCmdFetchIndexToFile = 303;
inline constexpr int kCmdCreateGroup = 304;

// The user's defaults and the memo index as one index text, appended to
// text. 1 done (also for a user without stored defaults, text unchanged),
// 0 failed (text unchanged): the defaults request failed or was refused,
// or the index exchange failed. An index that the server refuses with an
// ERROR token leaves the defaults alone in the text.
int FetchIndexText(ISyncContext& ctx, std::string& text);

// Command 303: the same two replies into "tesra.ini", replaced atomically.
// The file stays as it was unless both exchanges completed and gave a usable
// index (a user without defaults is usable, an empty result is not).
void FetchIndexToFile(ISyncContext& ctx);

// The start-up's texts, sent ahead on the client's prefetching worker while
// the windows are made (the same requests in the same order); each text that
// arrives as DownloadMemoText would take it is written and flushed there: as
// the data file when there is none yet, else into a file beside it that the
// control's thread renames. A file that is not taken is removed when this
// goes, or by the worker when it finishes one after that.
class CTextDownloads {
public:
    // The memos' sections with their data files, in the order their
    // downloads will be asked for.
    CTextDownloads(ISyncContext& ctx, const std::vector<std::pair<std::string, std::string>>& memos);
    ~CTextDownloads();
    CTextDownloads(const CTextDownloads&) = delete;
    CTextDownloads& operator=(const CTextDownloads&) = delete;

    // Whether the file written for path holds exactly text and is now path
    // (renamed over it, or written as it). false: the caller writes text
    // itself.
    bool Land(const std::string& path, std::string_view text);
    // Whether path is one of these downloads, which the start-up checked
    // against the pending uploads as it began.
    bool Covers(const std::string& path) const;
    // The memo server they were asked of, read once for them all.
    const std::string& Host() const;
    // Where the worker writes the text of a data file.
    static std::string WrittenName(const std::string& path) { return path + ".download"; }

private:
    struct Shared;
    ISyncContext& m_ctx;
    std::shared_ptr<Shared> m_shared;
};

// One memo's text into its data file, replaced atomically, line ends made
// CR LF (from the file downloads wrote, when it holds the text). 1 the file
// holds the text to show; 0 it was left as it was because the server refused
// or the exchange failed, and then the live index's "ver" of the memo is
// emptied so that no upload goes out from the old text and a later start-up
// asks for it again. A memo whose upload is pending is never overwritten: 1
// without a request.
int DownloadMemoText(ISyncContext& ctx, std::string_view section, const std::string& path,
                     CTextDownloads* downloads = nullptr);

// 1 the user's memo group exists, 0 it does not, -1 no usable answer.
int QueryMemoGroup(ISyncContext& ctx);
// Command 304; the reply is not read.
void CreateMemoGroup(ISyncContext& ctx);
// Command 301 and the settings dialog; the reply is not read.
void UploadUserDefaults(ISyncContext& ctx);

// What the group-creation worker and its waiter share. The waiter's give-up
// is taken only while no command is on its way: a command sent is delivered
// inside the wait, none after it (a late 303 would rewrite the index in the
// middle of a later session).
class CGroupWorkerLatch {
public:
    // Worker: runs send unless the waiter gave up; the latch is held meanwhile.
    bool SendUnlessGaveUp(const std::function<void()>& send);
    // Waiter: gives up, or answers false while a command is on its way (the
    // waiter delivers it and asks again).
    bool TryGiveUp();

private:
    std::mutex m_lock;
    bool m_gaveUp = false;
};

// The group-creation worker's parameter block (m_worker).
struct GroupWorkerParams {
    WindowHandle window = nullptr;
    std::shared_ptr<WaitEvent> event;
    std::shared_ptr<CGroupWorkerLatch> latch;
};

// How the worker hands a command to the control's window: WM_COPYDATA
// through SendMessage, so the command runs on the control's thread while
// that thread pumps messages in its wait.
using CommandSender = std::function<void(WindowHandle window, int code)>;
void SendCommandToWindow(WindowHandle window, int code);

// Runs on the worker thread: commands 301, 304, 303 in this order, each
// only while the waiter still waits, then the event. Returns 1.
int GroupSetupWorker(const GroupWorkerParams& params, const CommandSender& send = SendCommandToWindow);

}  // namespace tesra
