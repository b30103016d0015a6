#include "sync/download.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "base/fs.h"
#include "base/text.h"
#include "net/http_client.h"
#include "storage/ini_file.h"
#include "storage/memo_format.h"
#include "storage/memo_record.h"
#include "sync/exchange.h"
#include "sync/pending.h"
#include "sync/protocol.h"

namespace tesra {

namespace {

// The byte count of a "size:time" stamp.
std::int32_t StampSize(const std::string& stamp) { return ParseLong(GetPiece(stamp, ":", 0)); }

// Whether a reply's text may stand as the memo's text: the start-up's
// worker asks it as the control's thread does.
bool UsableText(bool completed, std::string_view body, std::string_view host, const std::string& ver) {
    if (!completed || IsServerErrorReply(body, HostName(host)) != 0) return false;
    // An empty memo is a fine answer, but not for a memo whose stamp says it
    // holds text.
    return !(body.empty() && StampSize(ver) > 0);
}

// The (url, form) DownloadMemoText posts for the memo, for the prefetch.
std::pair<std::string, std::string> MemoTextRequest(const std::string& host, std::string_view section) {
    return {ServerUrl(host, kGetMemoPath), GetDataBody(MuidOf(section))};
}

}  // namespace

int FetchIndexText(ISyncContext& ctx, std::string& text) {
    const sync::Reply defaults = sync::Post(ctx, kGetMemoUserPath, GetUserDefaultsBody());
    if (sync::NoAnswer(ctx, defaults)) return 0;
    switch (ClassifyUserDefaultsReply(defaults.body)) {
    case UserDefaultsReply::kNone:
        return 1;
    case UserDefaultsReply::kFailed:
        return 0;
    case UserDefaultsReply::kDefaults:
        break;
    }
    const sync::Reply index = sync::Post(ctx, kGetMemoPath, ListIniBody());
    // Without an answer the text would hold no memos, and the start-up would
    // take that for the truth: fail the whole fetch instead. A page without
    // any section (a proxy's) is no answer either; an ERROR token is the
    // server's word and leaves the defaults alone in the text.
    if (sync::NoAnswer(ctx, index)) return 0;
    const bool refused = FindFrom(StatusToken(index.body), "ERROR", 0) >= 0;
    if (!refused && !IsUsableListReply(index.body)) return 0;
    text += defaults.body;
    if (!refused) text += index.body;
    return 1;
}

void FetchIndexToFile(ISyncContext& ctx) {
    // Taken literally, failed or refused replies would empty "tesra.ini";
    // the local index is only ever replaced by a real one: defaults (or the
    // word that there are none) and an index the server did not refuse.
    const sync::Reply defaults = sync::Post(ctx, kGetMemoUserPath, GetUserDefaultsBody());
    if (sync::NoAnswer(ctx, defaults)) return;
    const UserDefaultsReply kind = ClassifyUserDefaultsReply(defaults.body);
    if (kind == UserDefaultsReply::kFailed) return;
    const sync::Reply index = sync::Post(ctx, kGetMemoPath, ListIniBody());
    if (sync::NoAnswer(ctx, index) || !IsUsableListReply(index.body)) return;
    std::string acc;
    if (kind == UserDefaultsReply::kDefaults) acc += defaults.body;
    acc += index.body;
    if (acc.empty()) return;
    ctx.NoteServerIndex(acc);
    fs::WriteFileAtomic(fs::JoinPath(ctx.UserFolder(), "tesra.ini"), WithCrLf(acc));
}

struct CTextDownloads::Shared {
    enum State { kWaiting, kWritten, kGone };
    struct Item {
        std::string path, ver;
        std::mutex lock;  // the worker's write against the take or the close
        State state = kWaiting;
        bool inPlace = false;  // written as the data file itself, which was not there
        std::string text;      // what the worker wrote, once kWritten
        std::string File() const { return inPlace ? path : WrittenName(path); }
    };
    explicit Shared(std::size_t n) : items(n) {}
    // The file goes with whoever moves it from kWritten: the worker, this
    // thread's Land, or the close.
    static void DiscardLocked(Item& item) {
        if (item.state == kWritten) fs::RemoveFile(item.File());
        Done(item);
    }
    // The text is let go as soon as the item is: a start-up of long memos
    // would hold every one of them twice until it ends.
    static void Done(Item& item) {
        item.state = kGone;
        std::string().swap(item.text);
    }
    std::vector<Item> items;  // never resized once the worker runs
    std::unordered_map<std::string, std::size_t> byPath;  // the control's thread only
    std::string host;
    std::atomic<bool> closed{false};
};

CTextDownloads::CTextDownloads(ISyncContext& ctx, const std::vector<std::pair<std::string, std::string>>& memos)
    : m_ctx(ctx), m_shared(std::make_shared<Shared>(memos.size())) {
    std::vector<std::pair<std::string, std::string>> requests;
    m_shared->host = ctx.MemoServerHost();
    for (std::size_t i = 0; i < memos.size(); ++i) {
        m_shared->items[i].path = memos[i].second;
        m_shared->items[i].ver = ReadMemoRecord(ctx.LiveIndex(), memos[i].first).ver.value_or(std::string());
        m_shared->byPath.emplace(memos[i].second, i);
        requests.push_back(MemoTextRequest(m_shared->host, memos[i].first));
    }
    // Only a text the control's thread would take is written. A memo new
    // to this computer gets its data file here, and the control's thread
    // has no file work left for it (a rename to a new name reads the whole
    // folder under some systems); an old text stays until the new one is
    // taken.
    ctx.Http().Prefetch(requests, [shared = m_shared](std::size_t i, const net::HttpReply& reply) {
        if (i >= shared->items.size() || shared->closed) return;
        Shared::Item& item = shared->items[i];
        const std::lock_guard<std::mutex> hold(item.lock);
        if (item.state != Shared::kWaiting) return;  // the control's thread went without it
        try {
            const bool completed =
                reply.completed && !sync::ShortOfContentLength(reply.headers, reply.body.size());
            if (!UsableText(completed, reply.body, shared->host, item.ver)) return;
            std::string text = CrLfOnly(reply.body);
            item.inPlace = fs::WriteFileFlushed(item.path, text, true);
            if (!item.inPlace && !fs::WriteFileFlushed(WrittenName(item.path), text)) return;
            item.text = std::move(text);
        } catch (...) {
            return;  // out of memory before any write: the control's thread writes the text itself
        }
        item.state = Shared::kWritten;
        if (shared->closed) Shared::DiscardLocked(item);
    });
}

CTextDownloads::~CTextDownloads() {
    m_ctx.Http().DropPrefetch();
    m_shared->closed = true;
    // A write under way is waited for: one file at most, and a look that
    // skipped it could miss the worker's own look at the close.
    for (Shared::Item& item : m_shared->items) {
        const std::lock_guard<std::mutex> hold(item.lock);
        Shared::DiscardLocked(item);
    }
}

bool CTextDownloads::Land(const std::string& path, std::string_view text) {
    const auto found = m_shared->byPath.find(path);
    if (found == m_shared->byPath.end()) return false;
    Shared::Item& item = m_shared->items[found->second];
    const std::lock_guard<std::mutex> hold(item.lock);
    if (item.state != Shared::kWritten || item.text != text) {
        // Another reply than the worker's: the caller writes its own text,
        // over a file written in place too.
        if (item.inPlace)
            Shared::Done(item);
        else
            Shared::DiscardLocked(item);
        return false;
    }
    Shared::Done(item);
    if (item.inPlace || fs::MoveReplace(WrittenName(path), path)) return true;
    fs::RemoveFile(WrittenName(path));
    return false;
}

bool CTextDownloads::Covers(const std::string& path) const { return m_shared->byPath.count(path) != 0; }

const std::string& CTextDownloads::Host() const { return m_shared->host; }

int DownloadMemoText(ISyncContext& ctx, std::string_view section, const std::string& path,
                     CTextDownloads* downloads) {
    // The start-up checked its downloads as it began; nothing adds to the
    // pending list while it runs (every other flow waits for it), and each
    // look at the file costs a read of the folder under some systems.
    const bool covered = downloads && downloads->Covers(path);
    if (!covered && IsUploadPending(ctx.UserFolder(), section)) return 1;
    CIniFile& index = ctx.LiveIndex();
    const std::optional<std::string> known = ReadMemoRecord(index, section).ver;
    const std::string ver = known.value_or(std::string());
    const std::string muid = MuidOf(section);
    if (muid.empty() || path.empty()) return 0;

    // The host as the start-up read it: its prefetched request is this one.
    const sync::Reply r = sync::Post(ctx, covered ? downloads->Host() : ctx.MemoServerHost(), kGetMemoPath,
                                     GetDataBody(muid));
    bool ok = UsableText(r.completed, r.body, r.host, ver);
    if (ok) {
        const std::string text = CrLfOnly(r.body);
        // A file we could not replace still holds the old text; showing it
        // as the new one would let an edit overwrite the server's copy.
        ok = (downloads && downloads->Land(path, text)) || fs::WriteFileAtomic(path, text);
    }
    if (!ok && known) {
        MemoRecord unfetched;
        unfetched.ver = std::string();
        WriteMemoRecord(index, section, unfetched);
    }
    return ok ? 1 : 0;
}

int QueryMemoGroup(ISyncContext& ctx) {
    const sync::Reply r = sync::Post(ctx, kGetMemoGroupPath, GetMemoGroupBody());
    if (sync::NoAnswer(ctx, r)) return -1;
    return ClassifyMemoGroupReply(r.body);
}

void CreateMemoGroup(ISyncContext& ctx) { sync::Post(ctx, kSetMemoGroupPath, SetMemoGroupBody()); }

void UploadUserDefaults(ISyncContext& ctx) {
    const NewMemoDefaults d = ctx.Defaults();
    sync::Post(ctx, kSetMemoUserPath, SetUserDefaultsBody(d.background, d.width, d.height, FormatFontString(d.font)));
}

void SendCommandToWindow(WindowHandle window, int code) {
    SendCopyData(window, static_cast<std::uintptr_t>(code), {});
}

bool CGroupWorkerLatch::SendUnlessGaveUp(const std::function<void()>& send) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_gaveUp) return false;
    send();
    return true;
}

bool CGroupWorkerLatch::TryGiveUp() {
    const std::unique_lock<std::mutex> hold(m_lock, std::try_to_lock);
    if (!hold) return false;
    m_gaveUp = true;
    return true;
}

int GroupSetupWorker(const GroupWorkerParams& params, const CommandSender& send) {
    for (const int code : {kCmdUploadDefaults, kCmdCreateGroup, kCmdFetchIndexToFile}) {
        if (!params.latch) {
            send(params.window, code);
        } else if (!params.latch->SendUnlessGaveUp([&] { send(params.window, code); })) {
            break;
        }
    }
    if (params.event) params.event->Set();
    return 1;
}

}  // namespace tesra
