// Random, seeded fault schedules over edits, syncs and restarts of the
// memo manager's flows, against the stand-in memo server run as its own
// program. After the run every memo's last typed text is on the server, or
// pending here with its file holding it. TESRA_CHAOS_SEED and
// TESRA_CHAOS_STEPS pick the run; the seed is printed to replay one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "base/fs.h"
#include "base/text.h"
#include "net/http_client.h"
#include "storage/memo_files.h"
#include "storage/memo_index.h"
#include "storage/storage_util.h"
#include "support/fake_sync_context.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"
#include "sync/download.h"
#include "sync/pending.h"
#include "sync/protocol.h"
#include "sync/startup.h"
#include "sync/upload.h"
#include "tools/common/form.h"

namespace tesra::test {
namespace {

using std::string;

long EnvNumber(const char* name, long fallback) { return std::getenv(name) ? std::atol(std::getenv(name)) : fallback; }

class Chaos : public ::testing::Test {
protected:
    void StartServer() {
        server_ = std::make_unique<StandIn>(TESRA_MEMO_SERVER_BIN,
                                            std::vector<string>{"--db", dir_.File("memo.db"), "--port", std::to_string(port_),
                                                                "--user", "kim:pw:group"});
        port_ = server_->port();
    }
    string Admin(const string& path, const string& form = {}) {
        CHttpClient admin;
        const string url = "http://127.0.0.1:" + std::to_string(port_) + path;
        form.empty() ? admin.Get(url) : admin.Post(url, form);
        return admin.m_strBody;
    }
    string ServerText(const string& section) {
        const tools::Form f = tools::DecodeForm(Trim(Admin("/admin/memo?user=kim&muid=" + section.substr(4))));
        return tools::FormValue(f, "deleted") == "0" ? tools::FormValue(f, "text") : "(none)";
    }

    // The control's start-up in a new process; the session outlives it.
    void StartUp() {
        client_ = std::make_unique<FakeSyncContext>(folder_);
        FakeSyncContext& c = *client_;
        c.memoHost = c.loginHost = "127.0.0.1:" + std::to_string(port_);
        c.http.m_nPostRounds = rounds_;
        c.http.m_nIoSecs = 2;
        c.http.SetCookie(cookie_);
        LoadMemosFromServer(c, c, "kim", "pw");
        cookie_ = c.http.m_strCookie;
    }

    // The memo window losing activation after the user typed: its text to
    // the file (the old one to the backup), stamps and properties to the
    // live index. The clock moves on a few seconds per step.
    void Type(const string& section, const string& text) {
        const string path = SectionDataPath(folder_, section);
        fs::CopyOver(path, MakeBackupName(path));
        ASSERT_TRUE(fs::WriteFileAtomic(path, text));
        const fs::FileTime when = fs::FileTimeFromUnix(1800000000 + 3 * step_);
        SetFileTimes(path, nullptr, nullptr, &when);
        fs::FileStatus st;
        ASSERT_TRUE(fs::Stat(path, &st));
        CIniFile& index = client_->index;
        string old;
        index.GetString(section, "ver", old);
        index.SetString(section, "oldver", old);
        index.SetString(section, "ver", FormatVersionStamp(st));
        index.SetString(section, "title", client_->windows[section]);
        for (const char* kv : {"alarm=0", "bg=1", "min=0", "%pos=0.00 0.00 20.00 20.00", "font=0 -12 0 0 0 400 0 0 129 3 2 1 1 x"})
            index.SetString(section, GetPiece(kv, "=", 0), GetPiece(kv, "=", 1));
        MarkTextSaved(*client_, section);
        // An emptied memo is never sent: the server's text comes back.
        if (text.empty())
            typed_.erase(section);
        else
            typed_[section] = text;
        ++texts_;
    }
    // The change notice's pass for that window, and the index saved.
    void Sync(const string& section) {
        if (UploadMemo(*client_, section) == 1) client_->index.GetString(section, "title", client_->windows[section]);
        SaveIndexIfModified(client_->index, folder_);
    }

    string Pick(const std::map<string, string>& m) { return std::next(m.begin(), static_cast<long>(rng_() % m.size()))->first; }
    string RandomText() {
        if (rng_() % 30 == 0) return {};
        string t = "step " + std::to_string(step_) + "\r\n";
        const int n = std::uniform_int_distribution<int>(0, rng_() % 8 ? 60 : 70000)(rng_);
        for (int i = 0; i < n; ++i) {
            switch (rng_() % 4) {
            case 0: t += "\xB0\xA1\xC7\xD1"; break;                      // two Hangul syllables
            case 1: t += "\x81\x41\xC8\x5C"; break;                      // trail bytes in the ASCII range
            case 2: t += "\r\n"; break;
            default: t.push_back(static_cast<char>(' ' + rng_() % 95));
            }
        }
        return t;
    }
    void Fault() {
        static const char* const kinds[] = {"setmemo", "setini", "getini", "getdata", "listini", "getmemouser", "getmemogrp", "login", "all"};
        static const char* const modes[] = {"drop", "reset", "empty", "midbody", "error", "ise",
                                            "delay", "endless", "binary", "oversize", "page"};
        const string mode = modes[rng_() % 11];
        const string rule = "kind=" + string(kinds[rng_() % 9]) + "&mode=" + mode + "&skip=" + std::to_string(rng_() % 3) +
                            "&times=" + std::to_string(1 + rng_() % 3) + "&apply=" + std::to_string(rng_() % 2) +
                            "&ms=" + (mode == "delay" ? (rng_() % 2 ? "100" : "500") : "0");
        if (Admin("/admin/fault", rule) == "[OK]\n") ++faults_[mode];
    }

    TempDir dir_;
    const string folder_ = dir_.File("kim");
    std::unique_ptr<StandIn> server_;
    std::unique_ptr<FakeSyncContext> client_;  // one run of the control
    int port_ = 0;
    int rounds_ = 3;  // 300 ms: a "delay" of 500 ms is a time-out
    string cookie_;
    std::mt19937 rng_;
    long step_ = 0;
    int texts_ = 0;
    std::map<string, string> typed_;
    std::map<string, int> faults_;
};

TEST_F(Chaos, EveryTypedTextIsOnTheServerOrPendingHere) {
    const long seed = EnvNumber("TESRA_CHAOS_SEED", std::chrono::system_clock::now().time_since_epoch().count() % 1000000);
    const long steps = EnvNumber("TESRA_CHAOS_STEPS", 1000);
    rng_.seed(static_cast<unsigned>(seed));
    ASSERT_TRUE(fs::MakeDirectory(folder_));
    StartServer();
    ASSERT_GT(port_, 0) << server_->firstLine();
    // Nobody answers as the agent: every lost session goes through the
    // login script.
    setenv("TESRA_AGENT_PORT", "1", 1);
    StartUp();  // logs in; a start-up needs the user's defaults on the server
    UploadUserDefaults(*client_);
    StartUp();
    ASSERT_TRUE(client_->loaded);
    int next = 100, downFor = 0;
    for (step_ = 1; step_ <= steps; ++step_) {
        if (downFor > 0 && --downFor == 0) StartServer();
        const int roll = static_cast<int>(rng_() % 100);
        if (downFor == 0 && roll < 30) Fault();
        if (downFor == 0 && roll >= 95) Admin("/admin/fault/clear", "x=1");
        if (downFor == 0 && rng_() % 40 == 0) {
            server_->Stop();
            downFor = 1 + static_cast<int>(rng_() % 4);
            ++faults_["server gone"];
        }
        if (downFor == 0 && rng_() % 20 == 0 && Admin("/admin/expire", "id=kim") == "[OK]\n") ++faults_["session gone, agent absent"];
        const int what = static_cast<int>(rng_() % 100);
        if (!client_->loaded || what < 8) {
            SaveIndexIfModified(client_->index, folder_);  // the at-exit pass: every window already synced
            StartUp();
        } else if (what < 70 || what >= 92) {
            string section = "memo" + std::to_string(next);
            if (client_->windows.empty() || rng_() % 5 == 0) {
                if (next >= 112) continue;
                ++next;
            } else {
                section = Pick(client_->windows);
            }
            Type(section, RandomText());
            if (what >= 92) {
                // The host killed between the save and the upload: no pass,
                // no index saved, a new process from what is on disk.
                ++faults_["host killed"];
                StartUp();
            } else {
                Sync(section);
            }
        } else if (what < 80) {
            if (client_->windows.empty()) continue;
            const string section = Pick(client_->windows);
            client_->index.SetInt(section, "bg", static_cast<int>(rng_() % 9));
            UploadMemoProperties(*client_, section);
            SaveIndexIfModified(client_->index, folder_);
        } else if (what < 88) {
            UploadPendingMemos(*client_);  // the minute tick
            SaveIndexIfModified(client_->index, folder_);
        } else if (what < 90 && downFor == 0 && !typed_.empty()) {
            // An edit in the web memo service. The user always lets the local
            // text win a conflict, so the web's text is the one to keep only
            // when no local text is waiting.
            const string section = Pick(typed_);
            const string web = "web " + std::to_string(step_);
            if (ServerText(section) == "(none)" ||
                Admin("/admin/memo", "user=kim&muid=" + section.substr(4) + "&text=" + EncodeFormValue(web)).rfind("[OK]", 0))
                continue;
            if (!IsUploadPending(folder_, section)) typed_[section] = web;
            ++faults_["web edit"];
        } else {
            // Command 302 with the FTP server gone: nothing arrives, nothing
            // is filed, and the sender hears of it.
            client_->ftp = {"127.0.0.1", 1, "kim", "pw"};
            EXPECT_EQ(ReceiveMemo(*client_, "note.txt|1"), 0);
            ++faults_["ftp gone"];
        }
    }

    // The servers are back and well: one more start-up sends what waited.
    if (downFor > 0) StartServer();
    Admin("/admin/fault/clear", "x=1");
    rounds_ = 50;
    StartUp();
    ASSERT_TRUE(client_->loaded);
    int lost = 0, pending = 0, faults = 0;
    for (const auto& [section, text] : typed_) {
        const bool waiting = IsUploadPending(folder_, section) && ReadBytes(SectionDataPath(folder_, section)) == text;
        pending += waiting;
        if (ServerText(section) == text || waiting) continue;
        ++lost;
        ADD_FAILURE() << section << ": typed " << text.size() << " bytes, server has " << ServerText(section).size()
                      << ", file " << ReadBytes(SectionDataPath(folder_, section)).size() << " (pending "
                      << IsUploadPending(folder_, section) << ")";
    }
    string kinds;
    for (const auto& [kind, n] : faults_) {
        kinds += (kinds.empty() ? "" : ", ") + kind + " " + std::to_string(n);
        faults += n;
    }
    std::printf("chaos: seed %ld, steps %ld, texts typed %d, texts lost %d, faults %d (%s), still pending %d\n", seed,
                steps, texts_, lost, faults, kinds.c_str(), pending);
    EXPECT_EQ(lost, 0) << "replay with TESRA_CHAOS_SEED=" << seed;
    EXPECT_EQ(pending, 0) << "a healthy start-up sends everything; seed " << seed;
    server_->Stop();
}

}  // namespace
}  // namespace tesra::test
