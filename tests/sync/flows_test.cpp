// The flows against scripted loopback servers: the bytes on the wire, each
// kind of reply and failure, and what stays on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "net/worker.h"
#include "support/cp949_corpus.h"
#include "support/fake_server.h"
#include "support/fake_sync_context.h"
#include "support/temp_dir.h"
#include "storage/memo_index.h"
#include "sync/download.h"
#include "sync/login.h"
#include "sync/pending.h"
#include "sync/protocol.h"
#include "sync/startup.h"
#include "sync/upload.h"

namespace tesra {
namespace {

using namespace test;
using std::string;
using namespace std::string_literals;
using namespace std::chrono_literals;

const string kHead = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

Script Answer(const string& body) { return {step::ReadUntil("\n\n"), step::Send(kHead + body), step::Close()}; }
Script ResetAfterRequest() { return {step::ReadUntil("\n\n"), step::Reset()}; }

std::vector<string> FilesIn(const string& folder) {
    std::vector<string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

class Flow : public ::testing::Test {
protected:
    void Serve(std::vector<Script> scripts) {
        server_ = std::make_unique<FakeServer>(std::move(scripts));
        ctx_.memoHost = server_->address();
    }
    // The form body of the i-th request.
    string Body(std::size_t i) const {
        const string r = server_->Received(i);
        const std::size_t at = r.find("\n\n");
        return at == string::npos ? "<none>" : r.substr(at + 2);
    }
    string RequestLine(std::size_t i) const {
        const string r = server_->Received(i);
        return r.substr(0, r.find('\n'));
    }
    // A memo with every property set, as Fields(ver) sends them.
    void AddMemo(const string& section, const string& text, const string& ver, const string& oldver) {
        ASSERT_TRUE(WriteBytes(dir_.File(section + ".dat"), text));
        const MemoFields f = Fields(ver);
        for (const auto& [key, value] : {std::pair{"ver", f.ver}, {"title", f.title}, {"font", f.font}, {"%pos", f.pos},
                                         {"alarm", "5"}, {"bg", "3"}, {"min", "1"}, {"oldver", oldver}})
            if (!value.empty()) ctx_.index.SetString(section, key, value);
    }
    static MemoFields Fields(const string& ver) { return {ver, "t1", "0 -12 0 0 0 400 0 0 129 0 0 0 0 x", "1.00 2.00 3.00 4.00", 5, 3, 1}; }
    std::optional<PendingUpload> Pending(const string& section) const { return CPendingUploads(dir_.path()).Find(section); }

    TempDir dir_;
    FakeSyncContext ctx_{dir_.path()};
    std::unique_ptr<FakeServer> server_;
};

TEST(DeriveTitle, FirstLineCutToWholeCharacters) {
    EXPECT_EQ(WholeCharLength(""), 0);
    EXPECT_EQ(WholeCharLength("ab"s + cp949::kGa), 4);
    EXPECT_EQ(WholeCharLength("ab\xB0"), 2);
    EXPECT_EQ(WholeCharLength("\x80"), 1);  // 0x80 and 0xFF stand alone
    EXPECT_EQ(WholeCharLength("\xFF"), 1);
    EXPECT_EQ(WholeCharLength("\xFE"), 0);

    EXPECT_EQ(DeriveTitle("first\r\nsecond"), "first");
    EXPECT_EQ(DeriveTitle("ab\xB0"), "ab\xB0");  // short first lines are taken whole
    // 69 one-byte characters and one two-byte character: the pair is cut.
    EXPECT_EQ(DeriveTitle(string(69, 'a') + cp949::kGa + "\r\nx"), string(69, 'a'));
    // An empty first line: the first 70 bytes of the text, CR LF as blanks.
    const string text = "\r\n"s + string(66, 'b') + "\r\n" + string(30, 'c');
    EXPECT_EQ(DeriveTitle(text), " " + string(66, 'b') + " ");
    EXPECT_EQ(DeriveTitle("\r\n" + string(67, 'b') + cp949::kGa), " " + string(67, 'b'));
}

TEST_F(Flow, ReceiveRefusesEveryNameThatIsNotOnePlainFileName) {
    FakeServer ftp({}), http({});
    ctx_.ftp = {"127.0.0.1", ftp.port(), "u", "p"};
    ctx_.memoHost = http.address();
    // Which names are plain is the file-name check's own test; here: none of
    // the others reaches a server or the folder.
    const string names[] = {"", "..\\..\\x.dat", "a/b.dat", "x.dat:s", "a\0b"s, string(cp949::kLeadBackslash) + ".dat"};
    for (const string& name : names) EXPECT_EQ(ReceiveMemo(ctx_, name + "|1700000000"), 0) << name;
    EXPECT_EQ(ftp.accepted(), 0);
    EXPECT_EQ(http.accepted(), 0);
    EXPECT_TRUE(FilesIn(dir_.path()).empty());
    EXPECT_EQ(ParseReceiveCommand("a.dat|12|x").tval, "12");
    EXPECT_EQ(ParseReceiveCommand(string(cp949::kLeadBar) + "|7").name, cp949::kLeadBar);
}

// An FTP file that runs past what one upload carries, or trickles past the
// deadline: 302 answers 0, nothing reaches the memo server or the folder.
TEST_F(Flow, ReceiveGivesUpOnAFileWithoutBounds) {
    const auto sending = [](std::vector<Step> data) {
        return Steps({{step::Send("220 ready\r\n")}, step::Answer("230 in\r\n"), step::Answer("200 I\r\n"),
                      {step::ListenData(), step::ReadUntil("\r\n"), step::Send("227 ({PASV})\r\n")},
                      step::Answer("150 go\r\n"), {step::AcceptData()}, data,
                      {step::DataClose(), step::Send("226 done\r\n"), step::ReadToClose()}});
    };
    std::vector<Step> trickle;
    for (int i = 0; i < 8; ++i) trickle.insert(trickle.end(), {step::DataSend("x"), step::Delay(250)});
    FakeServer ftp({sending({step::DataSend(string(kMaxReceivedMemoBytes + 1, 'x'))}), sending(trickle)});
    FakeServer http({Answer("[OK]\n"), Answer("[OK]\n")});
    ctx_.ftp = {"127.0.0.1", ftp.port(), "u", "p"};
    ctx_.memoHost = http.address();
    ctx_.limits.ftpDeadlineMs = 1000;
    EXPECT_EQ(ReceiveMemo(ctx_, "big.txt|1"), 0);
    EXPECT_EQ(ReceiveMemo(ctx_, "slow.txt|1"), 0);
    EXPECT_EQ(http.accepted(), 0);
    EXPECT_TRUE(FilesIn(dir_.path()).empty());
}

// A received memo's id never names a memo of the server's last index, however
// many that index lists beyond the ones a start-up opens.
TEST_F(Flow, EveryIdOfTheServersIndexStaysTaken) {
    string index;
    for (int i = 1; i <= static_cast<int>(kMaxMemosPerIndex) + 5; ++i) index += Format("[memo%d]\nver=1:1\n", i);
    ctx_.NoteServerIndex(index);
    EXPECT_TRUE(ctx_.IsMemoIdInUse(1));
    EXPECT_TRUE(ctx_.IsMemoIdInUse(static_cast<int>(kMaxMemosPerIndex) + 5));
    EXPECT_FALSE(ctx_.IsMemoIdInUse(static_cast<int>(kMaxMemosPerIndex) + 6));
}

// Whoever listens on the agent's port: an id that would add a request, a
// reply without end and a session line with a line feed give no session.
TEST_F(Flow, AgentInputNeverBecomesARequestOrASession) {
    const auto replying = [](const string& auth, const string& session) {
        return Script{step::ReadUntil("\r\n\r\n"), step::Send(auth), step::ReadUntil("\r\n\r\n"),
                      step::Send(session)};
    };
    FakeServer agent({replying("OK\r\n" + string(100000, 'x') + "\r\n\r\n", "OK\r\ns1\r\n\r\n"),
                      replying("OK\r\n\r\n", "OK\r\ns1\nX-Injected: 1\r\n\r\n"), {step::ReadToClose()},
                      {step::ReadToClose()}, {step::ReadToClose()}});
    SetVariable("TESRA_AGENT_PORT", std::to_string(agent.port()));
    EXPECT_EQ(LoginByAgent(ctx_, "kim", "pw"), "");
    EXPECT_EQ(LoginByAgent(ctx_, "kim", "pw"), "");
    for (const string& id : {"kim\r\n\r\ncreatesession"s, "kim\nx"s, "kim\0"s})
        EXPECT_EQ(LoginByAgent(ctx_, id, "pw"), "");
    SetVariable("TESRA_AGENT_PORT", "");
    agent.Finish();
    for (std::size_t i = 2; i < 5; ++i) EXPECT_EQ(agent.Received(i), "") << i;
}

TEST_F(Flow, UploadSendsTheCheckThenTheMemoByteExact) {
    const string text = "hi\r\n"s + cp949::kHangul + "\r\n[ERROR] mine";
    AddMemo("memo5", text, "9:1700000100", "7:1700000000");
    Serve({Answer("[memo5]\nver=7:1700000000\ntitle=t1\n"), Answer("[OK]\n")});
    EXPECT_EQ(UploadMemo(ctx_, "memo5"), 1);
    EXPECT_EQ(RequestLine(0), "POST /AUTH/getmemo.cgi HTTP/1.0");
    EXPECT_EQ(Body(0), GetIniBody("5"));
    EXPECT_EQ(RequestLine(1), "POST /AUTH/setmemo.cgi HTTP/1.0");
    EXPECT_EQ(Body(1), SetMemoBody("5", Fields("9:1700000100"), text));
    EXPECT_TRUE(ctx_.questions.empty());
    EXPECT_TRUE(ctx_.messages.empty());
    EXPECT_FALSE(Pending("memo5"));

    // Without a title one is made from the text and kept in the index.
    ctx_.index.SetString("memo5", "title", "");
    Serve({Answer("[ERROR:404]\n"), Answer("[OK]\n")});
    EXPECT_EQ(UploadMemo(ctx_, "memo5"), 1);
    string title;
    ctx_.index.GetString("memo5", "title", title);
    EXPECT_EQ(title, "hi");

    // No stamp, or no text: nothing is sent.
    Serve({});
    AddMemo("memo6", "", "0:1", "");
    EXPECT_EQ(UploadMemo(ctx_, "memo6"), 0);
    ASSERT_TRUE(WriteBytes(dir_.File("memo7.dat"), "x"));
    EXPECT_EQ(UploadMemo(ctx_, "memo7"), 0);
    EXPECT_EQ(UploadMemoProperties(ctx_, "memo7"), 0);
    EXPECT_EQ(server_->accepted(), 0);
}

// Either answer's outcome is the end-to-end conflict test's; here the
// question's text, and no question without a local "oldver".
TEST_F(Flow, ConflictAsksWithTheTitleOnlyWhenThereIsABaseToCompare) {
    AddMemo("memo5", "mine", "4:1700000100", "7:1700000000");
    const string web = "[memo5]\nver=3:1700000050\n";
    Serve({Answer(web), Answer("[OK]\n")});
    EXPECT_EQ(UploadMemo(ctx_, "memo5"), 1);
    ASSERT_EQ(ctx_.questions.size(), 1u);
    EXPECT_EQ(ctx_.questions[0].substr(ctx_.questions[0].size() - 12), "\xB8\xDE\xB8\xF0\xB3\xBB\xBF\xEB: t1");
    ctx_.index.SetString("memo5", "oldver", "");
    Serve({Answer(web), Answer("[OK]\n")});
    EXPECT_EQ(UploadMemo(ctx_, "memo5"), 1);
    EXPECT_EQ(ctx_.questions.size(), 1u);
}

// A pending upload goes again through the same check. (Which failures leave
// a memo pending, with which message: the end-to-end fault matrix.)
TEST_F(Flow, PendingUploadGoesAgainThroughTheCheck) {
    // The memo was saved again meanwhile: "oldver" moved on to the stamp that
    // never reached the server, which still holds the base.
    const string check = "[memo5]\nver=7:1700000000\n";
    AddMemo("memo5", "text two", "1:1", "9:1700000100");  // "ver" as a restart leaves it
    fs::FileStatus st;
    ASSERT_TRUE(fs::Stat(dir_.File("memo5.dat"), &st));
    CPendingUploads(dir_.path()).Put("memo5", {true, false, "7:1700000000", "9:1700000100"});
    ASSERT_TRUE(IsUploadPending(dir_.path(), "memo5"));
    Serve({Answer(check), Answer("[OK]\n")});
    EXPECT_EQ(UploadPendingMemos(ctx_), 0);
    EXPECT_TRUE(ctx_.questions.empty());
    EXPECT_EQ(Body(1), SetMemoBody("5", Fields(FormatVersionStamp(st)), "text two"));
    EXPECT_FALSE(Pending("memo5"));
    string ver;
    ctx_.index.GetString("memo5", "ver", ver);
    EXPECT_EQ(ver, FormatVersionStamp(st));

    // An attempt whose reply was lost but which the server stored: the
    // server's stamp is the one we sent, which is no conflict either.
    CPendingUploads(dir_.path()).Put("memo5", {true, false, "7:1700000000", "9:1700000100"});
    Serve({Answer("[memo5]\nver=9:1700000100\n"), Answer("[OK]\n")});
    EXPECT_EQ(UploadPendingMemos(ctx_), 0);
    EXPECT_TRUE(ctx_.questions.empty());

    // A retry that meets the server still away stays pending, quietly.
    CPendingUploads(dir_.path()).Put("memo5", {true, false, "7:1700000000", ""});
    ctx_.memoHost = "127.0.0.1:" + std::to_string(ClosedPort());
    ctx_.messages.clear();
    EXPECT_EQ(UploadPendingMemos(ctx_), 1);
    EXPECT_TRUE(ctx_.messages.empty());

    // A text is pending from its save on, with the index that names it on
    // disk: a host killed before the upload leaves both for the next run.
    // An emptied memo is never sent and holds back no other.
    CPendingUploads(dir_.path()).Remove("memo5");
    AddMemo("memo7", "", "0:1700000300", "");
    AddMemo("memo8", "typed", "5:1700000200", "");
    MarkTextSaved(ctx_, "memo7");
    MarkTextSaved(ctx_, "memo8");
    ASSERT_TRUE(Pending("memo8"));
    CIniFile onDisk;
    onDisk.Load(dir_.File(kIndexFileName));
    EXPECT_GE(onDisk.FindSection("memo8"), 0);
    Serve({Answer("[ERROR:404]\n"), Answer("[OK]\n")});
    EXPECT_EQ(UploadPendingMemos(ctx_), 0);
    EXPECT_TRUE(server_->Finish());
    EXPECT_EQ(Body(1).substr(0, 25), "cmd=setmemo&mgrp=2&muid=8");
}

TEST_F(Flow, PropertiesAndDeletion) {
    AddMemo("memo5", "x", "1:1700000000", "");
    Serve({ResetAfterRequest(), Answer("[OK]\n")});
    EXPECT_EQ(UploadMemoProperties(ctx_, "memo5"), 1);
    ASSERT_TRUE(Pending("memo5"));
    EXPECT_TRUE(Pending("memo5")->properties);
    EXPECT_FALSE(Pending("memo5")->text);
    EXPECT_EQ(UploadPendingMemos(ctx_), 0);
    EXPECT_EQ(Body(1), SetIniBody("5", Fields("1:1700000000")));

    // The section goes at once; the deletion stays pending, as no text
    // upload, while the server cannot be reached, and goes with the next
    // pass. A memo the server no longer has counts as deleted.
    CPendingUploads(dir_.path()).Put("memo5", {true, false, "", ""});
    ctx_.memoHost = "127.0.0.1:" + std::to_string(ClosedPort());
    RecordDeletion(ctx_, "memo5");
    EXPECT_LT(ctx_.index.FindSection("memo5"), 0);
    EXPECT_EQ(UploadPendingMemos(ctx_), 1);
    ASSERT_TRUE(Pending("memo5"));
    EXPECT_TRUE(Pending("memo5")->deletion);
    EXPECT_FALSE(Pending("memo5")->text);
    Serve({Answer("[ERROR:404]\n")});
    EXPECT_EQ(UploadPendingMemos(ctx_), 0);
    EXPECT_TRUE(server_->Finish());
    EXPECT_EQ(Body(0), DelMemoBody("5"));
}

// The replies only a scripted server gives; dropped, reset and refused
// requests of every kind are the end-to-end fault matrix's.
TEST_F(Flow, IndexNeedsTheDefaultsAndACompletedExchangeAndOnlyARealOneReplacesTheFile) {
    const string defaults = "[main]\nbg=2\n", memos = "[memo1]\nver=1:2\n", old = "[memo9]\r\nver=1:1\r\n";
    struct Case {
        const char* what;
        std::vector<Script> scripts;
        int result;  // -1: command 303, and text is the file after it
        string text;
    };
    std::vector<Case> cases;
    cases.push_back({"no defaults stored", {Answer("[ERROR:500]\n")}, 1, "pre"});
    cases.push_back({"defaults refused", {Answer("[ERROR:503]\n")}, 0, "pre"});
    cases.push_back({"no main", {Answer("hello\n")}, 0, "pre"});
    cases.push_back({"index refused", {Answer(defaults), Answer("[ERROR:503]\n")}, 1, "pre" + defaults});
    cases.push_back({"both", {Answer(defaults), Answer(memos)}, 1, "pre" + defaults + memos});
    cases.push_back({"file: nothing at all", {Answer("[ERROR:500]\n"), Answer("")}, -1, old});
    cases.push_back({"file: no defaults", {Answer("[ERROR:500]\n"), Answer(memos)}, -1, "[memo1]\r\nver=1:2\r\n"});
    cases.push_back({"file: both", {Answer(defaults), Answer("[memo1]\r\nver=1:2\n")}, -1,
                     "[main]\r\nbg=2\r\n[memo1]\r\nver=1:2\r\n"});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteBytes(dir_.File("tesra.ini"), old));
        Serve(std::move(c.scripts));
        string text = "pre";
        if (c.result < 0) {
            FetchIndexToFile(ctx_);
            text = ReadBytes(dir_.File("tesra.ini"));
        } else {
            EXPECT_EQ(FetchIndexText(ctx_, text), c.result);
        }
        EXPECT_EQ(text, c.text);
    }
    EXPECT_EQ(Body(0), "");
    EXPECT_EQ(RequestLine(0), "POST /AUTH/getmemouser.cgi HTTP/1.0");
    EXPECT_EQ(Body(1), ListIniBody());
}

TEST_F(Flow, DownloadWritesCrLfTextOrLeavesTheFileAlone) {
    const string path = dir_.File("memo5.dat");
    const string old = "old text";
    struct Case {
        const char* what;
        string ver;
        Script script;
        int result;
        string after;
    };
    const Case cases[] = {
        {"LF", "9:1", Answer("a\nb\n" + string(cp949::kHangul)), 1, "a\r\nb\r\n"s + cp949::kHangul},
        {"CR LF and lone CR", "9:1", Answer("a\r\nb\rc\r\n"), 1, "a\r\nbc\r\n"},
        {"empty memo", "0:1", Answer(""), 1, ""},
        {"empty reply for a memo with text", "9:1", Answer(""), 0, old},
        {"a proxy's error page", "9:1", Answer("Internal Server Error at proxy"), 1, "Internal Server Error at proxy"},
        {"announced length", "9:1",
         {step::ReadUntil("\n\n"), step::Send("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nnew text!"), step::Close()},
         1, "new text!"},
    };
    // Alone, and as a start-up downloads it: written ahead by the worker,
    // byte-exact and only what would be taken, beside the old file (renamed
    // once judged) or, for a memo new here, as its file.
    const string ahead = CTextDownloads::WrittenName(path);
    enum Mode { kAlone, kBesideOld, kNewMemo };
    for (const Mode mode : {kAlone, kBesideOld, kNewMemo}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(string(c.what) + (mode == kAlone ? "" : mode == kBesideOld ? ", beside" : ", new memo"));
            const string before = mode == kNewMemo ? "<missing>" : old;
            fs::RemoveFile(path);
            if (mode != kNewMemo) {
                ASSERT_TRUE(WriteBytes(path, old));
            }
            ctx_.index.SetString("memo5", "ver", c.ver);
            Serve({c.script});
            std::optional<CTextDownloads> downloads;
            if (mode != kAlone) {
                downloads.emplace(ctx_, std::vector{std::pair{"memo5"s, path}});
                ASSERT_TRUE(net::WaitForWorkers(5000));
                EXPECT_EQ(ReadBytes(mode == kNewMemo ? path : ahead), c.result ? c.after : "<missing>");
            }
            EXPECT_EQ(DownloadMemoText(ctx_, "memo5", path, downloads ? &*downloads : nullptr), c.result);
            downloads.reset();
            EXPECT_EQ(ReadBytes(path), c.result ? c.after : before);
            EXPECT_FALSE(fs::Stat(ahead));
            string ver;
            ctx_.index.GetString("memo5", "ver", ver);
            EXPECT_EQ(ver, c.result ? c.ver : "");
        }
        EXPECT_EQ(Body(0), GetDataBody("5"));
    }

    // A pending memo is shown from its own file, without asking the server.
    ASSERT_TRUE(WriteBytes(path, old));
    CPendingUploads(dir_.path()).Put("memo5", {true, false, "", ""});
    Serve({});
    EXPECT_EQ(DownloadMemoText(ctx_, "memo5", path), 1);
    EXPECT_EQ(server_->accepted(), 0);
    EXPECT_EQ(ReadBytes(path), old);
}

TEST_F(Flow, AStartUpThatGoesMidwayLeavesNoTextWrittenAhead) {
    // The second reply is on its way when the start-up goes; the third is
    // never asked for.
    Serve({Answer("one"), {step::ReadUntil("\n\n"), step::Delay(300), step::Send(kHead + "two"), step::Close()},
           Answer("three")});
    std::vector<std::pair<string, string>> memos;
    for (const char* section : {"memo1", "memo2", "memo3"}) {
        ctx_.index.SetString(section, "ver", "3:1");
        memos.emplace_back(section, dir_.File(string(section) + ".dat"));
    }
    {
        CTextDownloads downloads(ctx_, memos);
        EXPECT_EQ(DownloadMemoText(ctx_, "memo1", memos[0].second, &downloads), 1);
        for (int i = 0; i < 500 && server_->accepted() < 2; ++i) std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(net::WaitForWorkers(5000));
    EXPECT_EQ(FilesIn(dir_.path()), std::vector<string>{"memo1.dat"});
    EXPECT_EQ(ReadBytes(memos[0].second), "one");
    EXPECT_EQ(server_->accepted(), 2);
}

TEST_F(Flow, LoginByScriptKeepsOnlyTheSession) {
    FakeServer login({{step::ReadUntil("\n\n"),
                       step::Send("HTTP/1.0 200 OK\r\nSet-Cookie: QUILLMAR_SID=s1; path=/\r\n"
                                  "Set-Cookie: QUILLMAR_EMAIL_SID=s1; path=/\r\n\r\n[OK]\n"),
                       step::Close()},
                      Answer("[ERROR:401]\n")});
    ctx_.loginHost = login.address();
    ctx_.http.SetCookie("stale=1");
    LoginByScript(ctx_, "kim", "p&"s + cp949::kGa);
    EXPECT_EQ(ctx_.http.m_strCookie, "QUILLMAR_SID=s1; QUILLMAR_EMAIL_SID=s1");
    LoginByScript(ctx_, "kim", "bad");
    EXPECT_EQ(ctx_.http.m_strCookie, "");
    // The script out of reach: the session we had stays.
    ctx_.http.SetCookie("QUILLMAR_SID=s2");
    ctx_.loginHost = "127.0.0.1:" + std::to_string(ClosedPort());
    LoginByScript(ctx_, "kim", "pw");
    EXPECT_EQ(ctx_.http.m_strCookie, "QUILLMAR_SID=s2");
    EXPECT_TRUE(login.Finish());
    EXPECT_EQ(login.Received(0), "GET /BIN/login_halvo.cgi?id=%6b%69%6d&pw=%70%26%b0%a1 HTTP/1.0\n"
                                 "User-Agent: Halvo/5.0\nHost: 127.0.0.1\n\n");
}

// ---- Hostile index texts from the server ----

// Sections the system never makes: no path from them, no request naming
// them; the rest of the index loads. Windows resolves ".." in a path by its
// text, so a folder "memo" stands in for that natively.
TEST_F(Flow, IndexSectionsThatNoMemoCouldHaveTouchNothing) {
    const string user = dir_.File("kim");
    ASSERT_TRUE(fs::MakeDirectory(user) && fs::MakeDirectory(fs::JoinPath(user, "memo")));
    FakeSyncContext c(user);
    string index = "[main]\nbg=1\n";
    for (const char* bad : {"memo/../../evil", "memo\\..\\..\\evil", "memoC:\\evil", "memo7&cmd=delmemo", "memo007",
                            "memo 8", "memo9.", "memo99999999999"})
        index += "["s + bad + "]\nver=1:1\nbg=1\n";
    index += "[memo7]\nver=2:1\nbg=1\n";
    Serve({Answer("[group:2]\n"), Answer("[main]\nbg=1\n"), Answer(index), Answer("hi")});
    c.memoHost = ctx_.memoHost;
    ASSERT_EQ(LoadMemosFromServer(c, c, "kim", "pw"), 1);
    EXPECT_TRUE(server_->Finish());
    EXPECT_EQ(server_->accepted(), 4);
    EXPECT_EQ(Body(3), GetDataBody("7"));
    EXPECT_EQ(c.windows.size(), 1u);
    EXPECT_EQ(ReadBytes(fs::JoinPath(user, "memo7.dat")), "hi");
    EXPECT_EQ(FilesIn(dir_.path()), std::vector<string>{"kim"});
    EXPECT_TRUE(FilesIn(fs::JoinPath(user, "memo")).empty());
    EXPECT_EQ(SectionDataPath(user, "memo/../x"), "");  // the second wall
}

// More memos than a desktop can hold, behind a megabyte of brackets: the
// first ones open, the user is told, the server keeps the rest.
TEST_F(Flow, AHugeIndexOpensACappedNumberOfMemosInOnePass) {
    string index;
    for (std::size_t i = 0; i < kMaxMemosPerIndex + 5; ++i) index += "[memo" + std::to_string(1000 + i) + "]\nbg=1\n";
    index += string(1 << 20, '[') + "]\n";
    Serve({Answer("[group:2]\n"), Answer("[main]\nbg=1\n"), Answer(index)});
    ASSERT_EQ(LoadMemosFromServer(ctx_, ctx_, "kim", "pw"), 1);
    EXPECT_TRUE(server_->Finish());
    EXPECT_EQ(server_->accepted(), 3);
    EXPECT_EQ(ctx_.windows.size(), kMaxMemosPerIndex);
    EXPECT_EQ(ctx_.windows.count("memo" + std::to_string(1000 + kMaxMemosPerIndex)), 0u);
    EXPECT_EQ(ctx_.messages, std::vector<string>{Format(kTooManyMemosFormat, static_cast<int>(kMaxMemosPerIndex))});
}

// The record outlives its object; a pending memo's local section wins over
// the server's, keeping keys only the server has.
TEST(PendingUploads, KeepTheirLocalSectionAcrossARestart) {
    TempDir dir;
    EXPECT_TRUE(CPendingUploads(dir.path()).Put("memo1", {true, false, "1:1", "2:2"}));
    CIniFile live, previous;
    live.LoadFromText("[memo1]\nver=1:1\ntitle=server\nextra=1\n[memo3]\nver=5:5\n");
    previous.LoadFromText("[memo1]\nver=2:2\ntitle=local\n[memo3]\nver=4:4\n");
    CarryPendingSections(dir.path(), live, previous);
    EXPECT_EQ(live.ToText(), "[memo1]\r\nver=2:2\r\ntitle=local\r\nextra=1\r\n[memo3]\r\nver=5:5\r\n");
    EXPECT_TRUE(CPendingUploads(dir.path()).Remove("memo1"));
    EXPECT_FALSE(fs::Stat(dir.File(kPendingFileName)));
}

}  // namespace
}  // namespace tesra
