// The flows end to end against the stand-ins and a real FTP server, with each
// request failed in every way the stand-in knows. The stand-ins are tested
// through these runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "base/fs.h"
#include "base/text.h"
#include "net/ftp_client.h"
#include "net/http_client.h"
#include "storage/memo_index.h"
#include "support/cp949_corpus.h"
#include "support/fake_sync_context.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"
#include "sync/download.h"
#include "sync/login.h"
#include "sync/pending.h"
#include "sync/protocol.h"
#include "sync/startup.h"
#include "sync/upload.h"
#include "tools/common/form.h"
#include "tools/common/memo_store.h"

namespace tesra::test {
namespace {

using std::string;
using namespace std::string_literals;

const string kPassword = "pw&"s + cp949::kHangul;
const char* const kModes[] = {"drop", "reset", "empty", "midbody", "error", "ise", "delay", "endless", "binary", "oversize", "page"};

// Text with every byte value, CP949 and CR LF lines: what a memo may hold.
string AllBytes(const string& tag) {
    string s = tag + "\r\n";
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') s.push_back(static_cast<char>(b));
    return s + "\r\n" + cp949::kHangul + cp949::kTrailM + "\r\n";
}

class SyncEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<StandIn>(TESRA_MEMO_SERVER_BIN,
                                            std::vector<string>{"--db", dir_.File("memo.db"), "--user", "kim:" + kPassword + ":group"});
        ASSERT_GT(server_->port(), 0) << server_->firstLine();
        ASSERT_TRUE(fs::MakeDirectory(folder_));
        ctx_ = NewContext();
        // A start-up needs the user's defaults on the server.
        UploadUserDefaults(*ctx_);
    }
    void TearDown() override { EXPECT_EQ(server_->Stop(), 0); }

    std::unique_ptr<FakeSyncContext> NewContext() {
        auto c = std::make_unique<FakeSyncContext>(folder_);
        c->memoHost = c->loginHost = "127.0.0.1:" + std::to_string(server_->port());
        LoginByScript(*c, "kim", kPassword);
        return c;
    }

    string Url(const string& path) const { return "http://127.0.0.1:" + std::to_string(server_->port()) + path; }
    string Admin(const string& path, const string& form) {
        CHttpClient admin;
        admin.Post(Url(path), form);
        return admin.m_strBody;
    }
    tools::Form AdminRecord(const string& path, const string& query) {
        CHttpClient admin;
        admin.Get(Url(path + "?" + query));
        string line = admin.m_strBody;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        return tools::DecodeForm(line);
    }
    void AddUser(const string& id, const string& pw, bool group) {
        ASSERT_EQ(Admin("/admin/user", "id=" + id + "&pw=" + EncodeFormValue(pw) + (group ? "&group=1" : "")),
                  "[OK]\n");
    }
    tools::Form Stored(const string& muid) { return AdminRecord("/admin/memo", "user=kim&muid=" + muid); }
    void Fault(const string& rule) { ASSERT_EQ(Admin("/admin/fault", rule), "[OK]\n"); }
    void ClearFaults() { ASSERT_EQ(Admin("/admin/fault/clear", ""), "[OK]\n"); }

    string DataPath(const string& section) const { return fs::JoinPath(folder_, section + ".dat"); }
    string IndexPath() const { return fs::JoinPath(folder_, "tesra.ini"); }

    // Saves text as the memo window does: the file, then "oldver" takes the
    // old "ver" and "ver" the file's stamp.
    void SaveLocally(FakeSyncContext& c, const string& section, const string& text) {
        ASSERT_TRUE(WriteBytes(DataPath(section), text));
        // Stamps hold seconds: two saves within one second must still differ.
        fs::FileStatus st;
        ASSERT_TRUE(fs::Stat(DataPath(section), &st));
        string ver;
        c.index.GetString(section, "ver", ver);
        st.lastWrite += ++saves_;
        c.index.SetString(section, "oldver", ver);
        c.index.SetString(section, "ver", FormatVersionStamp(st));
        c.index.SetString(section, "bg", "1");
    }

    // The start-up, and the index saved as the next pass would.
    int StartUp(FakeSyncContext& c) {
        const int loaded = LoadMemosFromServer(c, c, "kim", kPassword);
        SaveIndexIfModified(c.index, folder_);
        return loaded;
    }

    // A memo known to the server and this computer alike.
    void SharedMemo(const string& section, const string& text) {
        SaveLocally(*ctx_, section, text);
        ctx_->index.SetString(section, "oldver", "");
        ASSERT_EQ(UploadMemo(*ctx_, section), 1);
        ctx_->index.Save(IndexPath());
    }

    TempDir dir_;
    const string folder_ = dir_.File("kim");
    std::unique_ptr<StandIn> server_;
    std::unique_ptr<FakeSyncContext> ctx_;
    int saves_ = 0;
};

TEST_F(SyncEndToEnd, NewUserGetsDefaultsGroupAndIndex) {
    AddUser("new", "pw", false);
    ctx_->http.SetCookie("");
    EXPECT_EQ(QueryMemoGroup(*ctx_), -1);  // no session yet
    LoginByScript(*ctx_, "new", "pw");
    ASSERT_EQ(QueryMemoGroup(*ctx_), 0);

    ctx_->defaults.background = 2;
    ctx_->defaults.height = 208;
    std::snprintf(ctx_->defaults.font.font.lfFaceName, kFaceNameSize, "%s", cp949::kGulimChe);
    GroupWorkerParams params;
    params.event = std::make_shared<WaitEvent>();
    // Natively there is no window: each command runs where the worker sends
    // it, synchronously, as SendMessage does.
    std::vector<int> ran;
    std::thread worker([&] {
        GroupSetupWorker(params, [&](WindowHandle, int code) {
            ran.push_back(code);
            if (code == kCmdUploadDefaults) UploadUserDefaults(*ctx_);
            if (code == kCmdCreateGroup) CreateMemoGroup(*ctx_);
            if (code == kCmdFetchIndexToFile) FetchIndexToFile(*ctx_);
        });
    });
    PumpLimits limits;
    limits.rounds = 500;
    const bool signalled = WaitAndPump(*params.event, limits) == PumpResult::kSignalled;
    worker.join();
    ASSERT_TRUE(signalled);
    EXPECT_EQ(ran, (std::vector<int>{301, 304, 303}));

    const tools::Form user = AdminRecord("/admin/user", "id=new");
    EXPECT_EQ(tools::FormValue(user, "group"), "1");
    EXPECT_EQ(tools::FormValue(user, "name"), "\xC7\xD2\xBA\xB8");
    EXPECT_EQ(tools::FormValue(user, "bg"), "2");
    EXPECT_EQ(tools::FormValue(user, "defcy"), "208");
    EXPECT_EQ(tools::FormValue(user, "font"), FormatFontString(ctx_->defaults.font));
    EXPECT_EQ(ReadBytes(IndexPath()).substr(0, 8), "[main]\r\n");
    string text;
    EXPECT_EQ(FetchIndexText(*ctx_, text), 1);
    EXPECT_EQ(text.substr(0, 7), "[main]\n");
    EXPECT_EQ(QueryMemoGroup(*ctx_), 1);
}

TEST_F(SyncEndToEnd, ExistingUserThroughTheAgent) {
    StandIn agent(TESRA_AGENT_BIN, {"--db", dir_.File("memo.db"), "--port", "0"});
    ASSERT_GT(agent.port(), 0);
    setenv("TESRA_AGENT_PORT", std::to_string(agent.port()).c_str(), 1);
    const string cookie = LoginByAgent(*ctx_, "kim", kPassword);
    unsetenv("TESRA_AGENT_PORT");
    ASSERT_FALSE(cookie.empty());
    ctx_->http.SetCookie(cookie);
    ASSERT_EQ(QueryMemoGroup(*ctx_), 1);

    const string text = AllBytes("first line");
    SharedMemo("memo101", text);
    tools::Form stored = Stored("101");
    EXPECT_EQ(tools::FormValue(stored, "text"), text);
    EXPECT_EQ(tools::FormValue(stored, "title"), "first line");

    // Line ends and "ver=" in a title neither start keys of the index nor
    // shadow the stamp, and properties leave text and stamp alone.
    const string ver = tools::FormValue(stored, "ver");
    const string title = cp949::kMemo + "\r\nver=9:9\nb"s;
    ctx_->index.SetString("memo101", "title", title);
    ctx_->index.SetString("memo101", "%pos", "1.00 2.00 3.00 4.00");
    EXPECT_EQ(UploadMemoProperties(*ctx_, "memo101"), 1);
    stored = Stored("101");
    EXPECT_EQ(tools::FormValue(stored, "title"), cp949::kMemo + "  ver=9:9 b"s);
    EXPECT_EQ(tools::FormValue(stored, "pos"), "1.00 2.00 3.00 4.00");
    EXPECT_EQ(tools::FormValue(stored, "text"), text);
    EXPECT_EQ(tools::FormValue(stored, "ver"), ver);
    SaveLocally(*ctx_, "memo101", text);
    EXPECT_EQ(UploadMemo(*ctx_, "memo101"), 1);
    EXPECT_TRUE(ctx_->questions.empty());

    RecordDeletion(*ctx_, "memo101");
    SendPendingDeletions(*ctx_);
    EXPECT_EQ(tools::FormValue(Stored("101"), "deleted"), "1");
    string index;
    ASSERT_EQ(FetchIndexText(*ctx_, index), 1);
    EXPECT_EQ(index.find("[memo101]"), string::npos);
}

// What makes the control fall back to the login script: no session from
// the agent, whichever way it fails.
TEST_F(SyncEndToEnd, AgentWithoutASessionGivesNoCookie) {
    const std::pair<const char*, string> cases[] = {
        {"normal", "wrong"}, {"single-line", kPassword}, {"refuse", kPassword}, {"close", kPassword}};
    for (const auto& [mode, password] : cases) {
        SCOPED_TRACE(mode);
        StandIn agent(TESRA_AGENT_BIN, {"--db", dir_.File("memo.db"), "--port", "0", "--mode", mode});
        ASSERT_GT(agent.port(), 0);
        setenv("TESRA_AGENT_PORT", std::to_string(agent.port()).c_str(), 1);
        EXPECT_EQ(LoginByAgent(*ctx_, "kim", password), "");
        unsetenv("TESRA_AGENT_PORT");
        EXPECT_EQ(agent.Stop(), 0);
    }
}

// Each fault reaches the HTTP client as the outcome the flows tell apart;
// "skip" and "times" pick the requests a rule fails.
TEST_F(SyncEndToEnd, EachFaultArrivesAsItsOwnTransportOutcome) {
    SharedMemo("memo1", string(1000, 'x'));
    using T = HttpTransport;
    struct Case {
        const char* rule;
        int rounds;
        std::vector<T> outcomes;
        std::size_t firstBody;  // kAny: what a trickle left
    };
    constexpr std::size_t kAny = ~std::size_t{0};
    const Case cases[] = {
        {"kind=getdata&mode=drop", 50, {T::kFailed, T::kCompleted}, 0},
        {"kind=getdata&mode=reset", 50, {T::kFailed}, 0},
        {"kind=getdata&mode=empty", 50, {T::kCompleted}, 0},
        {"kind=getdata&mode=midbody&apply=1", 50, {T::kFailed}, 500},
        {"kind=getdata&mode=error", 50, {T::kCompleted}, 12},
        {"kind=getdata&mode=delay&ms=200", 50, {T::kCompleted}, 1000},
        {"kind=getdata&mode=delay&ms=1500", 5, {T::kTimedOut}, 0},
        {"kind=getdata&mode=reset&skip=1&times=2", 50, {T::kCompleted, T::kFailed, T::kFailed, T::kCompleted}, 1000},
        {"kind=all&mode=drop&times=0", 50, {T::kFailed, T::kFailed, T::kFailed}, 0},
        // Hostile replies: a trickle without end fails when the exchange's
        // seconds are up, a body is cut at its first NUL, one past the bound
        // is no body at all.
        {"kind=getdata&mode=endless", 50, {T::kFailed}, kAny},
        {"kind=getdata&mode=binary", 50, {T::kCompleted}, 255},
        {"kind=getdata&mode=oversize&apply=1", 50, {T::kFailed}, 0},
    };
    ctx_->http.m_nIoSecs = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Fault(c.rule);
        ctx_->http.m_nPostRounds = c.rounds;
        for (std::size_t i = 0; i < c.outcomes.size(); ++i) {
            ctx_->http.Post(ServerUrl(ctx_->memoHost, kGetMemoPath), GetDataBody("1"));
            EXPECT_EQ(ctx_->http.m_transport, c.outcomes[i]) << i;
            if (i == 0 && c.firstBody != kAny) {
                EXPECT_EQ(ctx_->http.m_strBody.size(), c.firstBody);
            }
        }
        ClearFaults();
    }
    // The login script's GET holds its thread: a trickle must end it too.
    Fault("kind=login&mode=endless");
    ctx_->http.Get(Url("/BIN/login_halvo.cgi?id=kim&pw=x"));
    EXPECT_EQ(ctx_->http.m_transport, T::kFailed);
}

TEST_F(SyncEndToEnd, ConflictWithTheWebMemoService) {
    SharedMemo("memo7", "local one");
    const auto webEdit = [&](const string& text) {
        ASSERT_EQ(Admin("/admin/memo", "user=kim&muid=7&text=" + EncodeFormValue(text)).substr(0, 5), "[OK]\n");
    };

    // Yes: the local text overwrites the web's.
    webEdit("web one");
    SaveLocally(*ctx_, "memo7", "local two");
    EXPECT_EQ(UploadMemo(*ctx_, "memo7"), 1);
    EXPECT_EQ(ctx_->questions.size(), 1u);
    EXPECT_EQ(tools::FormValue(Stored("7"), "text"), "local two");
    ctx_->index.Save(IndexPath());

    // No: the start-up fetches the web's text; the local one stays in the
    // memo's backup file.
    webEdit("web two");
    SaveLocally(*ctx_, "memo7", "local three");
    ctx_->index.Save(IndexPath());
    ctx_->answerYes = false;
    ctx_->onStartUp = [&] { return StartUp(*ctx_); };
    EXPECT_EQ(UploadMemo(*ctx_, "memo7"), 0);
    EXPECT_EQ(ctx_->questions.size(), 2u);
    EXPECT_EQ(ctx_->startUps, 1);
    EXPECT_EQ(ReadBytes(DataPath("memo7")), "web two");
    EXPECT_EQ(ReadBytes(dir_.File("kim/memo7.bak")), "local three");
    EXPECT_EQ(tools::FormValue(Stored("7"), "text"), "web two");
}

// The web memo page in headless Chromium: CP949 shown and typed back through
// the browser, a save there moves the stamp, and the desktop's next upload
// of that memo asks before it overwrites.
TEST_F(SyncEndToEnd, WebPageEditMakesTheDesktopAsk) {
    if (::access(TESRA_CHROMIUM, X_OK) != 0 || ::access(TESRA_CHROMEDRIVER, X_OK) != 0)
        GTEST_SKIP() << "no " TESRA_CHROMIUM " or " TESRA_CHROMEDRIVER " (tools/install-deps installs them)";
    const string local = cp949::kHangul + " <b>&amp;</b>\r\n"s + cp949::kTrailM;
    SharedMemo("memo7", local);
    SharedMemo("memo8", "to go");
    const string ver = tools::FormValue(Stored("7"), "ver");
    const string web = cp949::kMemo + "\r\n"s + cp949::kTrailA + " web";
    const string command = "timeout -k 10 120 " TESRA_PYTHON " " TESRA_WEB_DRIVER " " TESRA_CHROMEDRIVER " " TESRA_CHROMIUM
                           " " + Url("") + " kim " + EncodeFormValue(kPassword) + " expect:7:" +
                           EncodeFormValue(local) + " edit:7:" + EncodeFormValue(web) + " delete:8 signout";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(tools::FormValue(Stored("7"), "text"), web);
    EXPECT_NE(tools::FormValue(Stored("7"), "ver"), ver);
    EXPECT_EQ(tools::FormValue(Stored("8"), "deleted"), "1");

    SaveLocally(*ctx_, "memo7", "desktop");
    EXPECT_EQ(UploadMemo(*ctx_, "memo7"), 1);
    ASSERT_EQ(ctx_->questions.size(), 1u);
    EXPECT_NE(ctx_->questions[0].find(cp949::kHangul + " <b>&amp;</b>"s), string::npos);
    EXPECT_EQ(tools::FormValue(Stored("7"), "text"), "desktop");
}

TEST_F(SyncEndToEnd, ReceivedMemoComesOverFtpAndIsFiled) {
    const string root = dir_.File("ftp");
    ASSERT_TRUE(fs::MakeDirectory(root) && fs::MakeDirectory(fs::JoinPath(root, "Tesra")));
    const string text = AllBytes("received");
    ASSERT_TRUE(WriteBytes(fs::JoinPath(root, "Tesra/note.txt"), text));
    StandIn ftp(TESRA_PYTHON, {TESRA_FTP_STAND_IN, root, "ftpuser", "ftppw", "60"});
    ASSERT_GT(ftp.port(), 0) << ftp.firstLine();
    ctx_->ftp = {"127.0.0.1", ftp.port(), "ftpuser", "ftppw"};
    ctx_->limits.ftpTimeoutMs = 5000;
    // A memo of the web memo service that only the index of command 303
    // names: no received memo may take its id, or its upload would
    // overwrite it.
    ASSERT_EQ(Admin("/admin/memo", "user=kim&muid=1700000000&text=web").substr(0, 5), "[OK]\n");
    FetchIndexToFile(*ctx_);

    // A time zone away from UTC, so the conversion of the file time shows.
    const char* oldTz = std::getenv("TZ");
    const string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "KST-9", 1);
    tzset();
    const int first = ReceiveMemo(*ctx_, "note.txt|12345");
    const int second = ReceiveMemo(*ctx_, "note.txt|12345");
    const int missing = ReceiveMemo(*ctx_, "gone.txt|1");
    if (oldTz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(missing, 0);

    // No stamp for "note": the ids come from the clock and the counter.
    EXPECT_EQ(tools::FormValue(Stored("1700000000"), "text"), "web");
    for (const std::int32_t id : {1700000001, 1700000002}) {
        const string path = MemoDataPath(folder_, id);
        EXPECT_EQ(ReadBytes(path), text);
        fs::FileStatus st;
        ASSERT_TRUE(fs::Stat(path, &st));
        EXPECT_EQ(st.lastWrite, id + 9 * 3600);
        const tools::Form stored = Stored(std::to_string(id));
        EXPECT_EQ(tools::FormValue(stored, "text"), text);
        EXPECT_EQ(tools::FormValue(stored, "ver"), std::to_string(text.size()) + ":" + std::to_string(id));
        EXPECT_EQ(tools::FormValue(stored, "title"), "received");
        EXPECT_EQ(tools::FormValue(stored, "pos"), kDefaultPositionString);
    }
    std::vector<string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<string>{"memo1700000001.dat", "memo1700000002.dat", "tesra.ini"}));

    // The client with the same server in what the flow does not use: active
    // mode, an upload, a refused password.
    CFtpClient wrong, c;
    wrong.m_nTimeoutMs = c.m_nTimeoutMs = 10000;
    EXPECT_EQ(wrong.LogOn("127.0.0.1", ftp.port(), "ftpuser", "bad", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(wrong.m_strLastReply.substr(0, 4), "530 ");
    ASSERT_EQ(c.LogOn("127.0.0.1", ftp.port(), "ftpuser", "ftppw", "", "", "", "", 21, 0), 1);
    EXPECT_EQ(c.TransferFile("/Tesra/note.txt", dir_.File("active.dat"), 0, 1), 1) << c.m_strLastReply;
    EXPECT_EQ(ReadBytes(dir_.File("active.dat")), text);
    EXPECT_EQ(c.TransferFile("/up.dat", dir_.File("active.dat"), 1, 0), 1) << c.m_strLastReply;
    EXPECT_EQ(ReadBytes(fs::JoinPath(root, "up.dat")), text);
    c.LogOff();
    EXPECT_EQ(ftp.Stop(), 0);
}

// Each request of an upload fails in each way; the text must be on this
// computer unchanged and, once the server answers again, on the server.
TEST_F(SyncEndToEnd, UploadFaultsLoseNoText) {
    int n = 0;
    for (const char* kind : {"getini", "setmemo"}) {
        for (const string mode : kModes) {
            for (const char* apply : {"0", "1"}) {
                if (string(apply) == "1" && (string(kind) == "getini" || mode == "error" || mode == "ise")) continue;
                SCOPED_TRACE(string(kind) + " " + mode + " apply=" + apply);
                const string section = "memo" + std::to_string(500 + n++);
                SharedMemo(section, AllBytes("before"));
                const string text = AllBytes(section);
                SaveLocally(*ctx_, section, text);
                ctx_->index.Save(IndexPath());
                Fault("kind="s + kind + "&mode=" + mode + "&apply=" + apply + "&ms=" + (mode == "delay" ? "600" : "0"));
                ctx_->http.m_nPostRounds = 3;
                const int uploaded = UploadMemo(*ctx_, section);
                ctx_->http.m_nPostRounds = 50;
                ClearFaults();
                EXPECT_EQ(ReadBytes(DataPath(section)), text);
                EXPECT_EQ(uploaded == 0, IsUploadPending(folder_, section));
                EXPECT_EQ(ctx_->messages, uploaded ? std::vector<string>{} : std::vector<string>{kUploadFailedMessage});
                if (uploaded) {
                    EXPECT_EQ(tools::FormValue(Stored(section.substr(4)), "text"), text);
                }

                // The host restarts: a fresh index from the server.
                auto again = NewContext();
                ASSERT_EQ(StartUp(*again), 1);
                EXPECT_EQ(ReadBytes(DataPath(section)), text);
                EXPECT_EQ(UploadPendingMemos(*again), 0);
                EXPECT_TRUE(again->questions.empty());
                EXPECT_EQ(tools::FormValue(Stored(section.substr(4)), "text"), text);
                ASSERT_EQ(StartUp(*again), 1);
                EXPECT_EQ(ReadBytes(DataPath(section)), text);
                ctx_ = std::move(again);
            }
        }
    }
}

// The index fetch of a start-up and command 303: a failure changes no file.
TEST_F(SyncEndToEnd, IndexFaultsChangeNothing) {
    const string text = AllBytes("kept");
    SharedMemo("memo9", text);
    UploadUserDefaults(*ctx_);
    FetchIndexToFile(*ctx_);
    const string index = ReadBytes(IndexPath());
    ASSERT_NE(index.find("[memo9]\r\n"), string::npos);
    for (const char* kind : {"getmemouser", "listini"}) {
        for (const string mode : kModes) {
            SCOPED_TRACE(string(kind) + " " + mode);
            for (int command303 : {0, 1}) {
                ASSERT_TRUE(WriteBytes(IndexPath(), index));
                // Reads change nothing, so the server always answers in full
                // before the fault cuts it (a mid-body reset then has a body).
                Fault("kind="s + kind + "&mode=" + mode + "&apply=1&ms=" + (mode == "delay" ? "600" : "0"));
                auto c = NewContext();
                c->http.m_nPostRounds = 3;
                if (command303)
                    FetchIndexToFile(*c);
                else
                    StartUp(*c);
                ClearFaults();
                // An empty index is a fine answer for a user without memos;
                // command 303 then writes the defaults alone.
                const bool genuine = command303 && string(kind) == "listini" && mode == "empty";
                EXPECT_EQ(ReadBytes(IndexPath()), genuine ? index.substr(0, index.find("[memo9]")) : index);
                EXPECT_EQ(ReadBytes(DataPath("memo9")), text);
            }
        }
    }
}

// Restoring a memo whose text changed on the server: a failed download
// leaves the local text, and the next start-up fetches it.
TEST_F(SyncEndToEnd, RestoreFaultsKeepTheFileUntilTheTextArrives) {
    int n = 0;
    for (const string mode : kModes) {
        // A getdata reply is the text itself: a page is a text like any.
        if (mode == "page") continue;
        SCOPED_TRACE(mode);
        const string section = "memo" + std::to_string(700 + n++);
        const string local = AllBytes("local");
        SharedMemo(section, local);
        const string web = AllBytes("web " + mode);
        ASSERT_EQ(Admin("/admin/memo", "user=kim&muid=" + section.substr(4) + "&text=" + EncodeFormValue(web))
                      .substr(0, 5),
                  "[OK]\n");
        Fault("kind=getdata&mode=" + mode + "&apply=1&ms=" + (mode == "delay" ? "600" : "0"));
        auto c = NewContext();
        c->http.m_nPostRounds = 3;
        ASSERT_EQ(StartUp(*c), 1);
        ClearFaults();
        EXPECT_EQ(ReadBytes(DataPath(section)), local);
        c->http.m_nPostRounds = 50;
        ASSERT_EQ(StartUp(*c), 1);
        EXPECT_EQ(ReadBytes(DataPath(section)), web);
        ctx_ = std::move(c);
    }
}

// A reply far beyond one read buffer: the restore of a megabyte memo. (A
// long index: the flows' capped one. One past the bound: the restore
// faults' "oversize".)
TEST_F(SyncEndToEnd, AMegabyteText) {
    string big;
    for (int line = 0; big.size() < (1u << 20); ++line) big += AllBytes("line " + std::to_string(line));
    {
        // Straight into the stand-in's file: the store it serves from.
        tools::MemoStore store(dir_.File("memo.db"));
        tools::MemoRecord m;
        m.muid = "7";
        m.ver = std::to_string(big.size()) + ":1";
        m.text = big;
        store.PutMemo("kim", "2", m);
    }
    ctx_->index.SetString("memo7", "ver", std::to_string(big.size()) + ":1");
    ASSERT_EQ(DownloadMemoText(*ctx_, "memo7", DataPath("memo7")), 1);
    EXPECT_TRUE(ReadBytes(DataPath("memo7")) == big);
}

}  // namespace
}  // namespace tesra::test
