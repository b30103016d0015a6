// Pushing local changes to the memo server: a memo's text with its
// properties (checked against edits made meanwhile in the web memo
// service), its properties alone, its deletion, and a memo file announced by
// command 302. An upload that does not reach the server stays pending
// (sync/pending.h) and goes again, through the same check, with
// UploadPendingMemos.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sync/context.h"

namespace tesra {

enum class UploadNotice {
    kShow,   // a failure is reported with the fixed message box
    kQuiet,  // retries: the user heard of it the first time
};

// 1 when the server took the memo; 0 when the memo has no stamp, no text or
// no id the server knows it by (MuidOf),
// when the user let the server's copy win (the start-up has then run), or
// when the upload failed (it is then pending).
int UploadMemo(ISyncContext& ctx, std::string_view section, UploadNotice notice = UploadNotice::kShow);

// 1 when a request was sent, 0 when the memo has no stamp or id. A request that
// does not reach the server leaves the properties pending.
int UploadMemoProperties(ISyncContext& ctx, std::string_view section);

// The user deleted the memo: its section leaves the live index (saved), and
// its deletion is pending until the server has taken it, across restarts.
// Taken literally the deletion would be sent once and forgotten, and a
// server that missed it would bring the memo back at the next start-up.
void RecordDeletion(ISyncContext& ctx, std::string_view section);
// Sends the deletions that are pending; stops at the first the server does
// not answer. Needs no loaded index.
void SendPendingDeletions(ISyncContext& ctx);

// A memo's text has just been saved to its file and its stamps moved on in
// the index: the text is pending until the server acknowledges it, and the
// index that names the memo is saved, so a process that ends before its
// upload leaves both for the next start-up to send.
void MarkTextSaved(ISyncContext& ctx, std::string_view section);

// Sends the pending deletions, then uploads what is pending, quietly; stops
// at the first request that fails. Returns how many memos are still pending.
int UploadPendingMemos(ISyncContext& ctx);

// The largest received memo file: every byte goes out as "%xx" in one
// setmemo body, which must stay within the 16 MiB the server takes.
inline constexpr std::uint64_t kMaxReceivedMemoBytes = ((std::uint64_t{16} << 20) - (std::uint64_t{64} << 10)) / 3;

// Command 302's text: "file name|number".
struct ReceiveCommand {
    std::string name;
    std::string tval;
};
ReceiveCommand ParseReceiveCommand(std::string_view text);

// Fetches "/Tesra/<name>" from the host's FTP server, uploads it as a new
// memo and files it as "memo<id>.dat" in the user folder. 0 when the name
// is not a plain file name (nothing fetched or written), when the FTP logon
// or transfer failed (the file larger than kMaxReceivedMemoBytes, or not
// there within the limits' FTP deadline), or when the server did not take
// the memo; else 1. A 0 leaves nothing of the transfer in the folder.
int ReceiveMemo(ISyncContext& ctx, std::string_view command);

// Length of s without a dangling lead byte at its end.
int WholeCharLength(std::string_view s);

// A title for a memo without one: its first line, at most 70 bytes of
// whole characters, CR LF turned into blanks.
std::string DeriveTitle(std::string_view text);

}  // namespace tesra
