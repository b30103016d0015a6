#include "tools/common/memo_store.h"

#include <random>
#include <stdexcept>

namespace tesra::tools {

class MemoStore::Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
        stmt_.reset(raw);
    }

    Statement& Bind(std::string_view value) {
        // A non-null pointer even for no bytes, so the column holds an empty
        // BLOB rather than NULL.
        static const char kNothing = 0;
        const char* data = value.empty() ? &kNothing : value.data();
        Check(sqlite3_bind_blob(stmt_.get(), ++bound_, data, static_cast<int>(value.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& BindInt(long long value) {
        Check(sqlite3_bind_int64(stmt_.get(), ++bound_, value));
        return *this;
    }

    // true while rows come.
    bool Step() {
        const int rc = sqlite3_step(stmt_.get());
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw std::runtime_error(std::string("sqlite step: ") + sqlite3_errmsg(db_));
    }
    void Run() {
        while (Step()) {
        }
    }

    std::string Text(int column) const {
        const void* data = sqlite3_column_blob(stmt_.get(), column);
        const int size = sqlite3_column_bytes(stmt_.get(), column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size)) : std::string();
    }
    long long Int(int column) const { return sqlite3_column_int64(stmt_.get(), column); }

    int Changes() const { return sqlite3_changes(db_); }

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
    };
    void Check(int rc) const {
        if (rc != SQLITE_OK) throw std::runtime_error(std::string("sqlite bind: ") + sqlite3_errmsg(db_));
    }

    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
    int bound_ = 0;
};

namespace {

constexpr char kSchema[] = R"(
CREATE TABLE IF NOT EXISTS users(id BLOB PRIMARY KEY, password BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS sessions(sid BLOB PRIMARY KEY, user BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS memo_groups(user BLOB NOT NULL, mgrp BLOB NOT NULL, name BLOB, comment BLOB,
                                  PRIMARY KEY(user, mgrp));
CREATE TABLE IF NOT EXISTS defaults(user BLOB PRIMARY KEY, showdlg BLOB, bg BLOB, defcx BLOB, defcy BLOB, font BLOB);
CREATE TABLE IF NOT EXISTS memos(user BLOB NOT NULL, mgrp BLOB NOT NULL, muid BLOB NOT NULL,
                                 ver BLOB, title BLOB, font BLOB, pos BLOB, alarm BLOB, bg BLOB, min BLOB,
                                 text BLOB, deleted INTEGER NOT NULL DEFAULT 0,
                                 PRIMARY KEY(user, mgrp, muid));
)";

constexpr char kMemoColumns[] = "muid, ver, title, font, pos, alarm, bg, min, text, deleted";

MemoRecord ReadMemo(const auto& s) {
    MemoRecord m;
    m.muid = s.Text(0);
    m.ver = s.Text(1);
    m.title = s.Text(2);
    m.font = s.Text(3);
    m.pos = s.Text(4);
    m.alarm = s.Text(5);
    m.bg = s.Text(6);
    m.min = s.Text(7);
    m.text = s.Text(8);
    m.deleted = s.Int(9) != 0;
    return m;
}

std::string RandomSessionId() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device device;
    std::string sid;
    for (int i = 0; i < 8; ++i) {
        std::uint32_t word = device();
        for (int k = 0; k < 4; ++k, word >>= 4) sid.push_back(kHex[word & 0xF]);
    }
    return sid;
}

}  // namespace

MemoStore::MemoStore(const std::string& path) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory"));
    // The agent and the server share the file: wait for each other's writes.
    sqlite3_busy_timeout(raw, 5000);
    Exec("PRAGMA journal_mode=WAL");
    Exec(kSchema);
}

void MemoStore::Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("sqlite: " + text);
    }
}

void MemoStore::PutUser(std::string_view id, std::string_view password) {
    std::lock_guard lock(mutex_);
    Statement(db_.get(), "INSERT INTO users(id, password) VALUES(?, ?) ON CONFLICT(id) DO UPDATE SET password=excluded.password")
        .Bind(id).Bind(password).Run();
}

bool MemoStore::UserExists(std::string_view id) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "SELECT 1 FROM users WHERE id=?");
    s.Bind(id);
    return s.Step();
}

bool MemoStore::CheckPassword(std::string_view id, std::string_view password) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "SELECT password FROM users WHERE id=?");
    s.Bind(id);
    return s.Step() && s.Text(0) == password;
}

std::string MemoStore::NewSession(std::string_view id) {
    std::lock_guard lock(mutex_);
    Statement user(db_.get(), "SELECT 1 FROM users WHERE id=?");
    user.Bind(id);
    if (!user.Step()) return {};
    const std::string sid = RandomSessionId();
    Statement(db_.get(), "INSERT INTO sessions(sid, user) VALUES(?, ?)").Bind(sid).Bind(id).Run();
    return sid;
}

std::optional<std::string> MemoStore::SessionUser(std::string_view sid) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "SELECT user FROM sessions WHERE sid=?");
    s.Bind(sid);
    if (!s.Step()) return std::nullopt;
    return s.Text(0);
}

void MemoStore::DropSessions(std::string_view id) {
    std::lock_guard lock(mutex_);
    Statement(db_.get(), "DELETE FROM sessions WHERE user=?").Bind(id).Run();
}

std::optional<MemoGroup> MemoStore::Group(std::string_view user, std::string_view mgrp) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "SELECT name, comment FROM memo_groups WHERE user=? AND mgrp=?");
    s.Bind(user).Bind(mgrp);
    if (!s.Step()) return std::nullopt;
    return MemoGroup{s.Text(0), s.Text(1)};
}

bool MemoStore::CreateGroup(std::string_view user, std::string_view mgrp, const MemoGroup& group) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "INSERT OR IGNORE INTO memo_groups(user, mgrp, name, comment) VALUES(?, ?, ?, ?)");
    s.Bind(user).Bind(mgrp).Bind(group.name).Bind(group.comment).Run();
    return s.Changes() > 0;
}

std::optional<UserDefaults> MemoStore::Defaults(std::string_view user) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "SELECT showdlg, bg, defcx, defcy, font FROM defaults WHERE user=?");
    s.Bind(user);
    if (!s.Step()) return std::nullopt;
    return UserDefaults{s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4)};
}

void MemoStore::PutDefaults(std::string_view user, const UserDefaults& d) {
    std::lock_guard lock(mutex_);
    Statement(db_.get(),
              "INSERT OR REPLACE INTO defaults(user, showdlg, bg, defcx, defcy, font) VALUES(?, ?, ?, ?, ?, ?)")
        .Bind(user).Bind(d.showdlg).Bind(d.bg).Bind(d.defcx).Bind(d.defcy).Bind(d.font).Run();
}

std::optional<MemoRecord> MemoStore::Memo(std::string_view user, std::string_view mgrp, std::string_view muid) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), (std::string("SELECT ") + kMemoColumns + " FROM memos WHERE user=? AND mgrp=? AND muid=?").c_str());
    s.Bind(user).Bind(mgrp).Bind(muid);
    if (!s.Step()) return std::nullopt;
    return ReadMemo(s);
}

std::vector<MemoRecord> MemoStore::Memos(std::string_view user, std::string_view mgrp) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(),
                (std::string("SELECT ") + kMemoColumns + " FROM memos WHERE user=? AND mgrp=? ORDER BY rowid").c_str());
    s.Bind(user).Bind(mgrp);
    std::vector<MemoRecord> out;
    while (s.Step()) out.push_back(ReadMemo(s));
    return out;
}

void MemoStore::PutMemo(std::string_view user, std::string_view mgrp, const MemoRecord& m) {
    std::lock_guard lock(mutex_);
    Statement(db_.get(),
              "INSERT INTO memos(user, mgrp, muid, ver, title, font, pos, alarm, bg, min, text, deleted)"
              " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"
              " ON CONFLICT(user, mgrp, muid) DO UPDATE SET ver=excluded.ver, title=excluded.title,"
              " font=excluded.font, pos=excluded.pos, alarm=excluded.alarm, bg=excluded.bg, min=excluded.min,"
              " text=excluded.text, deleted=0")
        .Bind(user).Bind(mgrp).Bind(m.muid).Bind(m.ver).Bind(m.title).Bind(m.font).Bind(m.pos)
        .Bind(m.alarm).Bind(m.bg).Bind(m.min).Bind(m.text).Run();
}

void MemoStore::PutMemoProperties(std::string_view user, std::string_view mgrp, const MemoRecord& m) {
    std::lock_guard lock(mutex_);
    Statement(db_.get(),
              "INSERT INTO memos(user, mgrp, muid, ver, title, font, pos, alarm, bg, min, text, deleted)"
              " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"
              " ON CONFLICT(user, mgrp, muid) DO UPDATE SET title=excluded.title, font=excluded.font,"
              " pos=excluded.pos, alarm=excluded.alarm, bg=excluded.bg, min=excluded.min, deleted=0")
        .Bind(user).Bind(mgrp).Bind(m.muid).Bind(m.ver).Bind(m.title).Bind(m.font).Bind(m.pos)
        .Bind(m.alarm).Bind(m.bg).Bind(m.min).Bind(std::string_view()).Run();
}

bool MemoStore::DeleteMemo(std::string_view user, std::string_view mgrp, std::string_view muid) {
    std::lock_guard lock(mutex_);
    Statement s(db_.get(), "UPDATE memos SET deleted=1 WHERE user=? AND mgrp=? AND muid=? AND deleted=0");
    s.Bind(user).Bind(mgrp).Bind(muid).Run();
    return s.Changes() > 0;
}

void MemoStore::EditMemoText(std::string_view user, std::string_view mgrp, std::string_view muid,
                             std::string_view text, std::string_view ver) {
    std::lock_guard lock(mutex_);
    const std::string_view none;
    Statement(db_.get(),
              "INSERT INTO memos(user, mgrp, muid, ver, title, font, pos, alarm, bg, min, text, deleted)"
              " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"
              " ON CONFLICT(user, mgrp, muid) DO UPDATE SET ver=excluded.ver, text=excluded.text, deleted=0")
        .Bind(user).Bind(mgrp).Bind(muid).Bind(ver).Bind(none).Bind(none).Bind(none)
        .Bind("0").Bind("0").Bind("0").Bind(text).Run();
}

}  // namespace tesra::tools
