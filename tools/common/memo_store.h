// What the stand-in memo server knows, in one SQLite file that the stand-in
// agent opens too: users, sessions, memo groups, user defaults and memos.
// Every text is kept as the bytes that arrived (BLOB), never re-encoded.
// Methods throw std::runtime_error when the database fails.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesra::tools {

struct MemoRecord {
    std::string muid;
    std::string ver;
    std::string title;
    std::string font;
    std::string pos;
    std::string alarm;
    std::string bg;
    std::string min;
    std::string text;
    bool deleted = false;
};

struct UserDefaults {
    std::string showdlg;
    std::string bg;
    std::string defcx;
    std::string defcy;
    std::string font;
};

struct MemoGroup {
    std::string name;
    std::string comment;
};

class MemoStore {
public:
    // Creates the file and its tables when missing.
    explicit MemoStore(const std::string& path);
    MemoStore(const MemoStore&) = delete;
    MemoStore& operator=(const MemoStore&) = delete;

    void PutUser(std::string_view id, std::string_view password);
    bool UserExists(std::string_view id);
    bool CheckPassword(std::string_view id, std::string_view password);

    // A new session for the user, or empty when there is no such user.
    std::string NewSession(std::string_view id);
    std::optional<std::string> SessionUser(std::string_view sid);
    void DropSessions(std::string_view id);

    std::optional<MemoGroup> Group(std::string_view user, std::string_view mgrp);
    // false when the group already existed (it is left as it was).
    bool CreateGroup(std::string_view user, std::string_view mgrp, const MemoGroup& group);

    std::optional<UserDefaults> Defaults(std::string_view user);
    void PutDefaults(std::string_view user, const UserDefaults& d);

    // Deleted memos too; callers decide what a deletion hides.
    std::optional<MemoRecord> Memo(std::string_view user, std::string_view mgrp, std::string_view muid);
    // In the order the memos were first stored.
    std::vector<MemoRecord> Memos(std::string_view user, std::string_view mgrp);
    // Text and properties together; brings back a deleted memo.
    void PutMemo(std::string_view user, std::string_view mgrp, const MemoRecord& m);
    // Properties only. The stamp belongs to the text, so an existing memo
    // keeps its "ver"; a memo not seen before is created with an empty text.
    void PutMemoProperties(std::string_view user, std::string_view mgrp, const MemoRecord& m);
    // false when there was no live memo to delete.
    bool DeleteMemo(std::string_view user, std::string_view mgrp, std::string_view muid);
    // What the web memo service does: new text and a new stamp.
    void EditMemoText(std::string_view user, std::string_view mgrp, std::string_view muid, std::string_view text,
                      std::string_view ver);

private:
    struct DbCloser {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    class Statement;

    void Exec(const char* sql);

    std::mutex mutex_;
    std::unique_ptr<sqlite3, DbCloser> db_;
};

}  // namespace tesra::tools
