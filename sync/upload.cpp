#include "sync/upload.h"

#include "base/fs.h"
#include "base/text.h"
#include "net/ftp_client.h"
#include "net/http_client.h"
#include "storage/ini_file.h"
#include "storage/memo_files.h"
#include "storage/memo_format.h"
#include "storage/memo_index.h"
#include "storage/memo_record.h"
#include "storage/storage_util.h"
#include "sync/exchange.h"
#include "sync/pending.h"
#include "sync/protocol.h"

namespace tesra {

namespace {

constexpr int kTitleBytes = 70;

// A memo's values from the live index, with the defaults for missing keys.
struct IndexedMemo {
    bool hasVer = false;
    std::string oldver;
    MemoFields fields;
};

IndexedMemo ReadMemo(ISyncContext& ctx, std::string_view section) {
    const MemoRecord r = ReadMemoRecord(ctx.LiveIndex(), section);
    IndexedMemo m;
    m.fields.ver = r.ver.value_or(std::string());
    // An empty stamp counts as none: it marks a memo whose text this
    // computer failed to fetch, and its file must not go out.
    m.hasVer = !m.fields.ver.empty();
    m.oldver = r.oldver.value_or(std::string());
    m.fields.bg = r.colour.value_or(ctx.Defaults().background);
    m.fields.min = r.folded.value_or(0);
    m.fields.alarm = r.alarm.value_or(0);
    m.fields.title = r.title.value_or(std::string());
    m.fields.font = r.font.value_or(std::string());
    m.fields.pos = r.place.value_or(std::string());
    return m;
}

void Report(ISyncContext& ctx, UploadNotice notice) {
    if (notice == UploadNotice::kShow) ctx.ShowMessage(kUploadFailedMessage);
}

// Keeps the memo's text pending. The base is the stamp of the first failed
// attempt: later local saves move "oldver" on, while the server still holds
// what the text was edited from.
void KeepTextPending(ISyncContext& ctx, std::string_view section, const IndexedMemo& m, const std::string& sent) {
    CPendingUploads pending(ctx.UserFolder());
    PendingUpload p = pending.Find(section).value_or(PendingUpload{});
    if (!p.text) p.base = m.oldver;
    p.text = true;
    if (!sent.empty()) p.sent = sent;
    pending.Put(section, p);
}

// A file time from an id, converted as the receipt always did: the id's
// local calendar time taken for UTC.
bool ReceivedFileTime(std::int32_t id, fs::FileTime* out) {
    std::int64_t seconds = 0;
    if (!fs::LocalCalendarAsUtc(id, &seconds)) return false;
    *out = fs::FileTimeFromUnix(seconds);
    return true;
}

// Removes a temporary download unless it was moved into place.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!path_.empty()) fs::RemoveFile(path_);
    }
    const std::string& path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

}  // namespace

int WholeCharLength(std::string_view s) {
    const int length = static_cast<int>(s.size());
    int i = 0;
    while (i < length) {
        if (IsLeadByte(static_cast<unsigned char>(s[static_cast<std::size_t>(i)]))) {
            i += 2;
            if (i > length) return length - 1;
        } else {
            ++i;
        }
    }
    return length;
}

std::string DeriveTitle(std::string_view text) {
    const int crlf = FindFrom(text, "\r\n", 0);
    const std::string_view first = crlf < 0 ? text : text.substr(0, static_cast<std::size_t>(crlf));
    std::string_view t = first;
    if (first.empty() || first.size() > kTitleBytes) {
        t = (first.empty() ? text : first).substr(0, kTitleBytes);
        t = t.substr(0, static_cast<std::size_t>(WholeCharLength(t)));
    }
    return ReplaceAll(t, "\r\n", " ");
}

int UploadMemo(ISyncContext& ctx, std::string_view section, UploadNotice notice) {
    const IndexedMemo m = ReadMemo(ctx, section);
    const std::string folder = ctx.UserFolder();
    const std::string muid = MuidOf(section);
    const std::string path = SectionDataPath(folder, section);
    const std::string host = ctx.MemoServerHost();
    // A text in its data file will go: the stamp check goes out now and the
    // files below are read while it travels. Without one (an emptied memo,
    // or its text only in the emergency copy) nothing leaves before the
    // files have been looked at.
    fs::FileStatus data;
    const bool ahead = m.hasVer && !muid.empty() && fs::Stat(path, &data) && data.size > 0;
    if (ahead) sync::PostAhead(ctx, host, kGetMemoPath, GetIniBody(muid));
    struct DropAhead {
        CHttpClient& http;
        ~DropAhead() { http.DropPrefetch(); }
    } dropAhead{ctx.Http()};

    CPendingUploads pending(folder);
    const std::optional<PendingUpload> was = pending.Find(section);
    if (!m.hasVer) {
        // Gone from the index (deleted, or never fetched): nothing to carry.
        if (was) pending.Remove(section);
        return 0;
    }
    // Text its data file could not take waits in the emergency copy.
    const std::string kept = EmergencyCopyName(path);
    std::string text;
    const bool fromCopy = !muid.empty() && fs::ReadFile(kept, &text) && !text.empty();
    if (muid.empty() || (!fromCopy && (!fs::ReadFile(path, &text) || text.empty()))) {
        // An emptied memo is never sent; left pending it would hold back
        // every other pending memo for good.
        if (was) pending.Remove(section);
        return 0;
    }

    MemoFields f = m.fields;
    if (f.title.empty()) {
        f.title = DeriveTitle(text);
        MemoRecord titled;
        titled.title = f.title;
        WriteMemoRecord(ctx.LiveIndex(), section, titled);
    }
    // After a restart the index holds the server's older stamp for a pending
    // memo; the stamp of the text is that of its file.
    if (was) {
        fs::FileStatus st;
        if (fs::Stat(fromCopy ? kept : path, &st)) f.ver = FormatVersionStamp(st);
    }

    const sync::Reply check = sync::Post(ctx, host, kGetMemoPath, GetIniBody(muid));
    // Without the server's stamp the check cannot be made, and uploading
    // blind could overwrite an edit made in the web memo service.
    if (sync::NoAnswer(ctx, check)) {
        ctx.Log(Format("upload %s: no answer to the stamp check, kept pending", std::string(section).c_str()));
        KeepTextPending(ctx, section, m, {});
        Report(ctx, notice);
        return 0;
    }
    const std::string serverVer = ServerStampFromReply(check.body);
    const std::string base = was && was->text ? was->base : m.oldver;
    // The server holding a stamp we sent is no edit of somebody else's: an
    // earlier attempt got through though its reply was lost.
    const bool ours = serverVer == base || serverVer == f.ver || (was && serverVer == was->sent);
    if (!base.empty() && !serverVer.empty() && !ours) {
        if (!ctx.AskYesNo(Format(kConflictQuestionFormat, f.title.c_str()))) {
            // The server's copy wins; the text it replaces stays in the
            // memo's backup file.
            fs::CopyOver(path, MakeBackupName(path));
            ctx.Log(Format("upload %s: edited elsewhere, the server's copy taken", std::string(section).c_str()));
            pending.Remove(section);
            ctx.RunStartUp();
            return 0;
        }
    }

    const sync::Reply stored = sync::Post(ctx, host, kSetMemoPath, SetMemoBody(muid, f, text));
    // Taken literally, a lost reply would count as success and the next
    // start-up would fetch the server's older copy over this text.
    if (!sync::Acknowledged(ctx, stored)) {
        ctx.Log(Format("upload %s: not acknowledged, kept pending", std::string(section).c_str()));
        KeepTextPending(ctx, section, m, f.ver);
        Report(ctx, notice);
        return 0;
    }
    ctx.Log(Format("upload %s: stored, %d bytes%s", std::string(section).c_str(), static_cast<int>(text.size()),
                   fromCopy ? " from the emergency copy" : ""));
    if (was) {
        CPendingUploads(folder).Remove(section);
        // The index names the stamp the server now holds.
        if (ReadMemoRecord(ctx.LiveIndex(), section).ver) {
            MemoRecord stamped;
            stamped.ver = f.ver;
            WriteMemoRecord(ctx.LiveIndex(), section, stamped);
        }
    }
    return 1;
}

int UploadMemoProperties(ISyncContext& ctx, std::string_view section) {
    const IndexedMemo m = ReadMemo(ctx, section);
    const std::string muid = MuidOf(section);
    if (!m.hasVer || muid.empty()) return 0;
    const sync::Reply r = sync::Post(ctx, kSetMemoPath, SetIniBody(muid, m.fields));
    CPendingUploads pending(ctx.UserFolder());
    PendingUpload p = pending.Find(section).value_or(PendingUpload{});
    if (!sync::Acknowledged(ctx, r)) {
        p.properties = true;
        pending.Put(section, p);
    } else if (p.properties) {
        p.properties = false;
        if (p.text)
            pending.Put(section, p);
        else
            pending.Remove(section);
    }
    return 1;
}

void RecordDeletion(ISyncContext& ctx, std::string_view section) {
    if (section.empty()) return;
    ctx.Log(Format("deletion %s: recorded", std::string(section).c_str()));
    PendingUpload p;
    p.deletion = true;
    CPendingUploads(ctx.UserFolder()).Put(section, p);
    ctx.LiveIndex().DeleteSection(section);
    SaveIndexIfModified(ctx.LiveIndex(), ctx.UserFolder());
}

namespace {

// The delete reply is not read for its word: any status token means the
// server dealt with this memo (one it no longer has is deleted all the same).
bool SendDeletion(ISyncContext& ctx, const std::string& section) {
    // A name that is no server memo's has nothing to delete there.
    if (const std::string muid = MuidOf(section); !muid.empty()) {
        const sync::Reply r = sync::Post(ctx, kSetMemoPath, DelMemoBody(muid));
        if (!r.completed || StatusToken(r.body).empty()) {
            ctx.Log(Format("deletion %s: no answer, kept pending", section.c_str()));
            return false;
        }
    }
    ctx.Log(Format("deletion %s: done", section.c_str()));
    CPendingUploads(ctx.UserFolder()).Remove(section);
    return true;
}

}  // namespace

void SendPendingDeletions(ISyncContext& ctx) {
    for (const std::string& section : CPendingUploads(ctx.UserFolder()).Sections()) {
        const std::optional<PendingUpload> p = CPendingUploads(ctx.UserFolder()).Find(section);
        if (p && p->deletion && !SendDeletion(ctx, section)) return;
    }
}

void MarkTextSaved(ISyncContext& ctx, std::string_view section) {
    if (section.empty()) return;
    KeepTextPending(ctx, section, ReadMemo(ctx, section), {});
    SaveIndexIfModified(ctx.LiveIndex(), ctx.UserFolder());
}

int UploadPendingMemos(ISyncContext& ctx) {
    SendPendingDeletions(ctx);
    for (const std::string& section : CPendingUploads(ctx.UserFolder()).Sections()) {
        const std::optional<PendingUpload> p = CPendingUploads(ctx.UserFolder()).Find(section);
        if (!p || p->deletion) continue;
        if (p->text) {
            UploadMemo(ctx, section, UploadNotice::kQuiet);
        } else {
            if (!ReadMemo(ctx, section).hasVer) {
                CPendingUploads(ctx.UserFolder()).Remove(section);
                continue;
            }
            UploadMemoProperties(ctx, section);
        }
        // Still pending: the server is not answering yet; the rest waits too.
        if (IsUploadPending(ctx.UserFolder(), section)) break;
    }
    return static_cast<int>(CPendingUploads(ctx.UserFolder()).Sections().size());
}

ReceiveCommand ParseReceiveCommand(std::string_view text) {
    ReceiveCommand c;
    c.name = GetPiece(text, "|", 0);
    c.tval = GetPiece(text, "|", 1);
    return c;
}

int ReceiveMemo(ISyncContext& ctx, std::string_view command) {
    const ReceiveCommand cmd = ParseReceiveCommand(command);
    // The text comes from any window on the desktop: only a plain name of
    // one file may reach the FTP server and the user folder.
    if (!fs::IsSafeFileName(cmd.name)) return 0;
    const std::string section = StripExtension(cmd.name);
    const std::string folder = ctx.UserFolder();
    const NewMemoDefaults defaults = ctx.Defaults();
    IndexedMemo m = ReadMemo(ctx, section);
    if (m.fields.pos.empty()) m.fields.pos = kDefaultPositionString;
    if (m.fields.font.empty()) m.fields.font = FormatFontString(defaults.font);

    // The id is made before the transfer so that the download has a name of
    // our own: the received name is the sender's choice and may well be that
    // of one of our files. An id already in use is skipped, so a sender's
    // number can never replace an existing memo.
    CMemoIdMaker& ids = ctx.ReceivedMemoIds();
    const bool fromTval = !m.fields.ver.empty() && m.fields.ver != "0";
    std::int32_t id = 0;
    for (int tries = 0;; ++tries) {
        if (tries == 1000) return 0;
        id = fromTval ? ids.NextFrom(ParseLong(cmd.tval)) : ids.Next();
        if (!ctx.IsMemoIdInUse(id)) break;
    }
    const FtpConnectionValues conn = ctx.FtpConnection();
    TempFile local(fs::JoinPath(folder, ReceivingFileName(id)));
    {
        CFtpClient ftp;
        ftp.m_nTimeoutMs = ctx.Limits().ftpTimeoutMs;
        ftp.SetDeadline(ctx.Limits().ftpDeadlineMs);
        ftp.m_nMaxDownload = kMaxReceivedMemoBytes;
        if (!ftp.LogOn(conn.server, conn.port, conn.userId, conn.password, "", "", "", "", 21, 0)) {
            ctx.Log("receive: no FTP logon");
            return 0;
        }
        const int transferred = ftp.TransferFile("/Tesra/" + cmd.name, local.path(), 1, 1);
        ftp.LogOff();
        // Reporting success for a file that never arrived would let the
        // sender drop a memo we do not have.
        if (!transferred) {
            ctx.Log("receive: the transfer failed or passed its bounds");
            return 0;
        }
    }
    std::string text;
    if (!fs::ReadFile(local.path(), &text) || text.empty()) return 1;

    fs::FileStatus stamp;
    stamp.size = static_cast<std::int64_t>(text.size());
    stamp.lastWrite = id;
    m.fields.ver = FormatVersionStamp(stamp);
    if (m.fields.title.empty()) m.fields.title = DeriveTitle(text);
    const sync::Reply r = sync::Post(ctx, kSetMemoPath, SetReceivedMemoBody(id, m.fields, text));
    // Not taken: the download goes (it stays on the FTP server, and the
    // sender learns of the failure); a file left under the sender's name
    // could stand in for one of ours at the next load.
    if (!sync::Acknowledged(ctx, r)) {
        ctx.Log("receive: the memo server did not take it");
        return 0;
    }
    ctx.Log(Format("receive: filed as memo%ld, %d bytes", static_cast<long>(id), static_cast<int>(text.size())));

    // The server has the memo now; should the move fail, the next start-up
    // fetches it from there.
    const std::string final = MemoDataPath(folder, id);
    if (!fs::MoveReplace(local.path(), final)) return 1;
    local.Release();
    fs::FileTime written;
    if (ReceivedFileTime(id, &written)) SetFileTimes(final, nullptr, nullptr, &written);
    return 1;
}

}  // namespace tesra
