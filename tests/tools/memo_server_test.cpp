// The stand-in memo server against the bytes the control sends and the
// rules by which the control reads the replies.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/text.h"
#include "stand_in.h"
#include "support/cp949_corpus.h"
#include "support/temp_dir.h"
#include "sync/protocol.h"
#include "tools/common/form.h"

namespace tesra::test {
namespace {

using std::string;
using namespace std::string_literals;

constexpr char kHost[] = "127.0.0.1";

string AllBytes() {
    string s;
    for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s + "\r\n" + cp949::kHangul;
}

class MemoServer : public ::testing::Test {
protected:
    void SetUp() override {
        Start();
        ASSERT_TRUE(server_->port() > 0) << "first line: " << server_->firstLine();
    }

    void Start(std::vector<string> extra = {}) {
        std::vector<string> args = {"--db", dir_.File("memo.db")};
        args.insert(args.end(), extra.begin(), extra.end());
        server_ = std::make_unique<StandIn>(TESRA_MEMO_SERVER_BIN, args);
    }

    std::uint16_t port() const { return server_->port(); }

    RawReply AdminPost(const string& path, const string& form) { return Exchange(port(), ControlPost(path, form, "")); }
    string AdminGet(const string& path, const string& query) {
        return Exchange(port(), ControlGet(path + "?" + query, "")).body;
    }
    // An admin record: one form-encoded line.
    tools::Form AdminRecord(const string& path, const string& query) {
        string line = AdminGet(path, query);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        return tools::DecodeForm(line);
    }

    void AddUser(const string& id, const string& pw, bool group = true) {
        ASSERT_EQ(AdminPost("/admin/user", "id=" + EncodeFormValue(id) + "&pw=" + EncodeFormValue(pw) +
                                               (group ? "&group=1" : "")).body,
                  "[OK]\n");
    }

    // Logs in as the control does and returns the cookie it then sends.
    string Login(const string& id, const string& pw) {
        const RawReply r = Exchange(port(), ControlGet(LoginUrl(kLoginPath, id, pw), ""));
        const string sid = SessionFromCookieJar(CollectCookies(r.head));
        return sid.empty() ? string() : SessionCookie(sid);
    }

    string Post(const char* path, const string& body, const string& cookie) {
        return Exchange(port(), ControlPost(path, body, cookie)).body;
    }

    tools::Form StoredMemo(const string& user, const string& muid) {
        return AdminRecord("/admin/memo", "user=" + EncodeFormValue(user) + "&muid=" + muid);
    }

    MemoFields Fields(const string& ver) {
        MemoFields f;
        f.ver = ver;
        f.title = "t";
        f.font = "0 -12 0 0 0 400 0 0 129 3 2 1 49 "s + cp949::kGulimChe;
        f.pos = "1.00 2.00 20.00 20.00";
        f.alarm = 0;
        f.bg = 4;
        f.min = 0;
        return f;
    }

    TempDir dir_;
    std::unique_ptr<StandIn> server_;
};

TEST_F(MemoServer, StopsOnSigtermAndKeepsItsDataAcrossRestarts) {
    EXPECT_EQ(server_->firstLine(), "listening 127.0.0.1:" + std::to_string(port()));
    AddUser("kim", "pw");
    const std::uint16_t old = port();
    EXPECT_EQ(server_->Stop(std::chrono::seconds(5)), 0);
    EXPECT_FALSE(Exchange(old, "GET / HTTP/1.0\n\n").connected);

    Start();
    ASSERT_GT(port(), 0);
    EXPECT_FALSE(Login("kim", "pw").empty());
}

TEST_F(MemoServer, LoginScriptHandsOutOneSessionInBothCookies) {
    const string pw = "p&w=%+"s + cp949::kHangul;
    AddUser("kim@example.com", pw);
    const RawReply ok = Exchange(port(), ControlGet(LoginUrl(kLoginPath, "kim@example.com", pw), ""));
    EXPECT_EQ(ok.StatusLine(), "HTTP/1.0 200 OK");
    // Each value is followed by ";", which is where the control cuts it.
    const string jar = CollectCookies(ok.head);
    const string sid = GetBetween(jar, "QUILLMAR_SID=", ";", 0);
    ASSERT_EQ(sid.size(), 32u);
    EXPECT_EQ(jar, "QUILLMAR_SID=" + sid + "; QUILLMAR_EMAIL_SID=" + sid + "; ");

    // A GET that still carries an old cookie (with the blank the control
    // leaves behind it) logs in the same way.
    const RawReply again = Exchange(port(), ControlGet(LoginUrl(kLoginPath, "kim@example.com", pw), SessionCookie("old")));
    EXPECT_FALSE(SessionFromCookieJar(CollectCookies(again.head)).empty());

    for (const auto& [id, password] : {std::pair<string, string>{"kim@example.com", "pw"}, {"lee", pw}, {"", ""}}) {
        const RawReply bad = Exchange(port(), ControlGet(LoginUrl(kLoginPath, id, password), ""));
        EXPECT_EQ(bad.head.find("Set-Cookie"), string::npos) << id;
        EXPECT_NE(StatusToken(bad.body).find("ERROR"), string::npos);
    }
}

TEST_F(MemoServer, ScriptsWithoutAValidSessionSendTheClientToLogIn) {
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    ASSERT_FALSE(cookie.empty());
    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), cookie)), 1);
    // The cookie jar as it stands straight after a login works as well.
    const string sid = SessionFromCookieJar(cookie + ";");
    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), "QUILLMAR_SID=" + sid + "; ")), 1);

    for (const string& bad : {string(), SessionCookie("nonsense")}) {
        // No usable answer to the group query: the control then logs in.
        EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), bad)), -1);
        EXPECT_EQ(IsServerErrorReply(Post(kSetMemoPath, SetMemoBody("1", Fields("1:1"), "x"), bad), kHost), 1);
        EXPECT_EQ(ClassifyUserDefaultsReply(Post(kGetMemoUserPath, "", bad)), UserDefaultsReply::kFailed);
    }
    ASSERT_EQ(AdminPost("/admin/expire", "id=kim").body, "[OK]\n");
    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), cookie)), -1);
    EXPECT_EQ(StoredMemo("kim", "1").count("muid"), 0u);
}

TEST_F(MemoServer, NewUserStoresDefaultsAndCreatesTheGroupWithItsRawName) {
    AddUser("new", "pw", false);
    const string cookie = Login("new", "pw");
    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), cookie)), 0);
    EXPECT_EQ(ClassifyUserDefaultsReply(Post(kGetMemoUserPath, GetUserDefaultsBody(), cookie)), UserDefaultsReply::kNone);
    // Memo commands need the group first.
    EXPECT_EQ(IsServerErrorReply(Post(kSetMemoPath, SetMemoBody("5", Fields("1:1"), "x"), cookie), kHost), 1);
    EXPECT_FALSE(IsUsableListReply(Post(kGetMemoPath, ListIniBody(), cookie)));

    const string font = "0 -12 0 0 0 400 0 0 129 3 2 1 49 "s + cp949::kGulimChe;
    Post(kSetMemoUserPath, SetUserDefaultsBody(2, 200, 208, font), cookie);
    Post(kSetMemoGroupPath, SetMemoGroupBody(), cookie);

    const tools::Form user = AdminRecord("/admin/user", "id=new");
    EXPECT_EQ(tools::FormValue(user, "name"), "\xC7\xD2\xBA\xB8");
    EXPECT_EQ(tools::FormValue(user, "comment"), "\xC7\xD2\xBA\xB8");
    EXPECT_EQ(tools::FormValue(user, "font"), font);

    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), cookie)), 1);
    const string defaults = Post(kGetMemoUserPath, GetUserDefaultsBody(), cookie);
    EXPECT_EQ(ClassifyUserDefaultsReply(defaults), UserDefaultsReply::kDefaults);
    EXPECT_EQ(defaults, "[main]\nshowdlg=0\nbg=2\ndefcx=200\ndefcy=208\nfont=" + font + "\n");
    const string list = Post(kGetMemoPath, ListIniBody(), cookie);
    EXPECT_TRUE(IsUsableListReply(list));
    EXPECT_EQ(list, "");
}

TEST_F(MemoServer, MemoTextAndPropertiesRoundTripAsBytes) {
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    MemoFields f = Fields("261:1700000000");
    // A title holding "ver=" must not shadow the stamp of the getini reply.
    f.title = "server=x "s + cp949::kTrailE + cp949::kMemo;
    const string text = AllBytes();
    EXPECT_EQ(IsServerErrorReply(Post(kSetMemoPath, SetMemoBody("123", f, text), cookie), kHost), 0);
    Post(kSetMemoPath, SetMemoBody("124", Fields("1:2"), "second"), cookie);

    const tools::Form stored = StoredMemo("kim", "123");
    EXPECT_EQ(tools::FormValue(stored, "text"), text);
    EXPECT_EQ(tools::FormValue(stored, "title"), f.title);
    EXPECT_EQ(tools::FormValue(stored, "font"), f.font);
    EXPECT_EQ(tools::FormValue(stored, "pos"), f.pos);
    EXPECT_EQ(tools::FormValue(stored, "bg"), "4");

    const string data = Post(kGetMemoPath, GetDataBody("123"), cookie);
    EXPECT_EQ(data, text);
    EXPECT_EQ(ServerStampFromReply(Post(kGetMemoPath, GetIniBody("123"), cookie)), "261:1700000000");

    const string list = Post(kGetMemoPath, ListIniBody(), cookie);
    EXPECT_EQ(list, "[memo123]\ntitle=" + f.title + "\nalarm=0\nver=261:1700000000\nmin=0\nbg=4\n%pos=" + f.pos +
                        "\nfont=" + f.font + "\n[memo124]\ntitle=t\nalarm=0\nver=1:2\nmin=0\nbg=4\n%pos=" + f.pos +
                        "\nfont=" + f.font + "\n");
}

TEST_F(MemoServer, LineEndsInsideIndexValuesCannotStartNewKeys) {
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    MemoFields f = Fields("1:1");
    f.title = "a\r\nver=9:9\nb";
    Post(kSetMemoPath, SetMemoBody("1", f, "x"), cookie);
    EXPECT_EQ(tools::FormValue(StoredMemo("kim", "1"), "title"), f.title);
    EXPECT_NE(Post(kGetMemoPath, ListIniBody(), cookie).find("title=a  ver=9:9 b\n"), string::npos);
    EXPECT_EQ(ServerStampFromReply(Post(kGetMemoPath, GetIniBody("1"), cookie)), "1:1");
}

TEST_F(MemoServer, PropertyUploadsLeaveTextAndStampAlone) {
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    Post(kSetMemoPath, SetMemoBody("7", Fields("5:100"), "hello"), cookie);
    MemoFields moved = Fields("9:200");
    moved.pos = "50.00 50.00 20.00 20.00";
    moved.min = 1;
    Post(kSetMemoPath, SetIniBody("7", moved), cookie);
    tools::Form stored = StoredMemo("kim", "7");
    EXPECT_EQ(tools::FormValue(stored, "pos"), moved.pos);
    EXPECT_EQ(tools::FormValue(stored, "min"), "1");
    EXPECT_EQ(tools::FormValue(stored, "text"), "hello");
    EXPECT_EQ(tools::FormValue(stored, "ver"), "5:100");

    // Properties of a memo the server has not seen make an empty memo.
    Post(kSetMemoPath, SetIniBody("8", moved), cookie);
    stored = StoredMemo("kim", "8");
    EXPECT_EQ(tools::FormValue(stored, "ver"), "9:200");
    EXPECT_EQ(tools::FormValue(stored, "text"), "");
}

TEST_F(MemoServer, DeletedMemosVanishUntilStoredAgain) {
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    Post(kSetMemoPath, SetMemoBody("7", Fields("5:100"), "hello"), cookie);
    Post(kSetMemoPath, DelMemoBody("7"), cookie);
    EXPECT_EQ(Post(kGetMemoPath, ListIniBody(), cookie), "");
    EXPECT_EQ(ServerStampFromReply(Post(kGetMemoPath, GetIniBody("7"), cookie)), "");
    EXPECT_EQ(IsServerErrorReply(Post(kGetMemoPath, GetDataBody("7"), cookie), kHost), 1);
    EXPECT_EQ(tools::FormValue(StoredMemo("kim", "7"), "deleted"), "1");

    Post(kSetMemoPath, SetMemoBody("7", Fields("6:101"), "again"), cookie);
    EXPECT_EQ(Post(kGetMemoPath, GetDataBody("7"), cookie), "again");
    EXPECT_EQ(tools::FormValue(StoredMemo("kim", "7"), "deleted"), "0");
}

TEST_F(MemoServer, WebEditGivesTheMemoANewStamp) {
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    Post(kSetMemoPath, SetMemoBody("7", Fields("5:100"), "mine"), cookie);

    const RawReply edit = AdminPost("/admin/memo", "user=kim&muid=7&text=" + EncodeFormValue("from the web\r\n"));
    const string newVer = ServerStampFromReply(edit.body);
    ASSERT_FALSE(newVer.empty());
    EXPECT_EQ(newVer.substr(0, newVer.find(':')), "14");
    EXPECT_EQ(ServerStampFromReply(Post(kGetMemoPath, GetIniBody("7"), cookie)), newVer);
    EXPECT_EQ(Post(kGetMemoPath, GetDataBody("7"), cookie), "from the web\r\n");
    // Two edits of the same length never share a stamp.
    const string second = ServerStampFromReply(AdminPost("/admin/memo", "user=kim&muid=7&text=from%20the%20WEB%0d%0a").body);
    EXPECT_NE(second, newVer);

    AdminPost("/admin/memo", "user=kim&muid=7&text=x&ver=1:42");
    EXPECT_EQ(ServerStampFromReply(Post(kGetMemoPath, GetIniBody("7"), cookie)), "1:42");
    EXPECT_EQ(tools::FormValue(StoredMemo("kim", "7"), "title"), "t");
}

TEST_F(MemoServer, MalformedRequestsGetABadRequest) {
    EXPECT_EQ(Exchange(port(), "NONSENSE\n\n").StatusLine(), "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(Exchange(port(), "POST /AUTH/setmemo.cgi HTTP/1.0\nContent-Length: 12x\n\n").StatusLine(),
              "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(Exchange(port(), "GET /nothing HTTP/1.0\n\n").StatusLine(), "HTTP/1.0 404 Not Found");
    // A body shorter than announced is never taken for a request.
    AddUser("kim", "pw");
    const string cookie = Login("kim", "pw");
    string cut = ControlPost(kSetMemoPath, SetMemoBody("3", Fields("1:1"), "x"), cookie);
    cut.resize(cut.size() - 5);
    EXPECT_EQ(Exchange(port(), cut, 0, std::chrono::seconds(5), true).StatusLine(), "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(StoredMemo("kim", "3").count("muid"), 0u);
}

// ---- fault injection

class MemoServerFaults : public MemoServer {
protected:
    void SetUp() override {
        MemoServer::SetUp();
        AddUser("kim", "pw");
        cookie_ = Login("kim", "pw");
        ASSERT_FALSE(cookie_.empty());
    }

    void Fault(const string& rule) { ASSERT_EQ(AdminPost("/admin/fault", rule).body, "[OK]\n") << rule; }

    RawReply Upload(const string& muid, const string& text) {
        return Exchange(port(), ControlPost(kSetMemoPath, SetMemoBody(muid, Fields("1:1"), text), cookie_));
    }
    bool Stored(const string& muid) { return StoredMemo("kim", muid).count("muid") == 1; }

    string cookie_;
};

TEST_F(MemoServerFaults, NoReplyAtAllLeavesTheServerUnchanged) {
    Fault("kind=setmemo&mode=drop");
    RawReply r = Upload("1", "text");
    EXPECT_TRUE(r.connected);
    EXPECT_EQ(r.bytes, "");
    EXPECT_FALSE(r.reset);
    EXPECT_FALSE(Stored("1"));

    Fault("kind=setmemo&mode=reset");
    r = Upload("1", "text");
    EXPECT_EQ(r.bytes, "");
    EXPECT_TRUE(r.reset);
    EXPECT_FALSE(Stored("1"));

    // The rules were used up: the next upload goes through.
    EXPECT_EQ(Upload("1", "text").body, "[OK]\n");
    EXPECT_TRUE(Stored("1"));
}

TEST_F(MemoServerFaults, EmptyRepliesAndApplyDecideWhetherTheWorkWasDone) {
    Fault("kind=setmemo&mode=empty");
    RawReply r = Upload("1", "text");
    EXPECT_EQ(r.StatusLine(), "HTTP/1.0 200 OK");
    EXPECT_NE(r.head.find("Content-Length: 0\r\n"), string::npos);
    EXPECT_EQ(r.body, "");
    EXPECT_FALSE(Stored("1"));

    // The server stores the memo and only the reply is lost.
    Fault("kind=setmemo&mode=empty&apply=1");
    EXPECT_EQ(Upload("1", "text").body, "");
    EXPECT_TRUE(Stored("1"));
}

TEST_F(MemoServerFaults, ErrorTokensAndErrorPages) {
    Fault("kind=setmemo&mode=error");
    EXPECT_EQ(Upload("1", "x").body, "[ERROR:503]\n");
    EXPECT_FALSE(Stored("1"));

    // Code 500 is what the defaults query says for a user without defaults.
    Post(kSetMemoUserPath, SetUserDefaultsBody(0, 200, 210, "f"), cookie_);
    Fault("kind=getmemouser&mode=error&code=500");
    EXPECT_EQ(ClassifyUserDefaultsReply(Post(kGetMemoUserPath, "", cookie_)), UserDefaultsReply::kNone);
    EXPECT_EQ(ClassifyUserDefaultsReply(Post(kGetMemoUserPath, "", cookie_)), UserDefaultsReply::kDefaults);

    Fault("kind=getmemogrp&mode=error");
    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), cookie_)), 0);

    Fault("kind=setmemo&mode=ise&times=2");
    const RawReply page = Upload("1", "x");
    EXPECT_EQ(page.StatusLine(), "HTTP/1.0 500 Internal Server Error");
    EXPECT_EQ(IsServerErrorReply(page.body, kHost), 1);
    const string other = Exchange(port(), ControlPost(kSetMemoPath, SetMemoBody("1", Fields("1:1"), "x"), cookie_,
                                                      "memo.example")).body;
    EXPECT_EQ(IsServerErrorReply(other, kHost), 0);
    EXPECT_EQ(IsServerErrorReply(other, "memo.example"), 1);
}

TEST_F(MemoServerFaults, SkipTimesAndKindsSelectTheRequests) {
    Fault("kind=getini&mode=drop&skip=1&times=2");
    const string getini = ControlPost(kGetMemoPath, GetIniBody("1"), cookie_);
    const string listini = ControlPost(kGetMemoPath, ListIniBody(), cookie_);
    EXPECT_EQ(Exchange(port(), getini).StatusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(Exchange(port(), listini).StatusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(Exchange(port(), getini).bytes, "");
    EXPECT_EQ(Exchange(port(), getini).bytes, "");
    EXPECT_EQ(Exchange(port(), getini).StatusLine(), "HTTP/1.0 200 OK");

    Fault("kind=all&mode=drop&times=0");
    EXPECT_EQ(Exchange(port(), listini).bytes, "");
    EXPECT_EQ(Login("kim", "pw"), "");
    // Admin requests are never failed.
    ASSERT_EQ(AdminPost("/admin/fault/clear", "").body, "[OK]\n");
    EXPECT_EQ(Exchange(port(), listini).StatusLine(), "HTTP/1.0 200 OK");

    const string counts = AdminGet("/admin/requests", "");
    EXPECT_NE(counts.find("getini=4\n"), string::npos) << counts;
    EXPECT_NE(counts.find("listini=3\n"), string::npos) << counts;
    EXPECT_NE(counts.find("login=2\n"), string::npos) << counts;

    EXPECT_NE(AdminPost("/admin/fault", "kind=bogus&mode=drop").body.find("ERROR"), string::npos);
    EXPECT_NE(AdminPost("/admin/fault", "kind=login&mode=explode").body.find("ERROR"), string::npos);
    EXPECT_NE(AdminPost("/admin/fault", "kind=login&mode=drop&times=x").body.find("ERROR"), string::npos);
}

TEST_F(MemoServerFaults, DelayedRepliesComeLateAndHoldUpNoOne) {
    Fault("kind=getmemogrp&mode=delay&ms=1500");
    RawReply slow;
    std::thread t([&] { slow = Exchange(port(), ControlPost(kGetMemoGroupPath, GetMemoGroupBody(), cookie_)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const RawReply fast = Exchange(port(), ControlPost(kGetMemoPath, ListIniBody(), cookie_));
    t.join();
    EXPECT_LT(fast.seconds, 1.0);
    EXPECT_GE(slow.seconds, 1.4);
    EXPECT_EQ(ClassifyMemoGroupReply(slow.body), 1);
}

TEST_F(MemoServerFaults, SigtermCutsAPendingDelayShort) {
    Fault("kind=getini&mode=delay&ms=60000");
    RawReply pending;
    std::thread t([&] { pending = Exchange(port(), ControlPost(kGetMemoPath, GetIniBody("1"), cookie_)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server_->Stop(std::chrono::seconds(5)), 0);
    t.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(pending.bytes, "");
}

TEST_F(MemoServerFaults, RulesCanBeGivenOnTheCommandLine) {
    server_->Stop();
    Start({"--fault", "kind=login&mode=error", "--user", "lee:pw2:group"});
    ASSERT_GT(port(), 0);
    EXPECT_EQ(Login("lee", "pw2"), "");
    const string cookie = Login("lee", "pw2");
    EXPECT_EQ(ClassifyMemoGroupReply(Post(kGetMemoGroupPath, GetMemoGroupBody(), cookie)), 1);
}

}  // namespace
}  // namespace tesra::test
