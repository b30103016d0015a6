// The memo manager in a container against the stand-in memo server, agent
// and FTP server.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "base/window_messages.h"
#include "control/app.h"
#include "control/guids.h"
#include "control/tesra_ctrl.h"
#include "memo/memo_dlg.h"
#include "net/http_client.h"
#include "storage/memo_format.h"
#include "storage/storage_util.h"
#include "support/cp949_corpus.h"
#include "support/temp_dir.h"
#include "sync/pending.h"
#include "sync/protocol.h"
#include "sync/startup.h"
#include "tools/host/container.h"
#include "box_answerer.h"
#include "module_util.h"
#include "unix_stand_in.h"
#include "win/class_factory.h"
#include "win/registry.h"
#include "win/unique_handle.h"

namespace tesra::test {
namespace {

using std::string;
using Kinds = std::vector<string>;

const string kTools = TESRA_NATIVE_TOOLS;
constexpr std::int64_t kT0 = 1800000000;

// Pumps this thread's messages until done() holds, at most rounds times.
bool PumpUntil(const std::function<bool()>& done, int rounds = 300) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done()) return true;
        ::Sleep(20);
    }
    return done();
}

// Types text into a memo (as the user would leave it: modified).
void Type(CMemoDlg& memo, const string& text) {
    HWND edit = ::GetDlgItem(memo.hwnd(), 304);
    ASSERT_TRUE(edit);
    ::SetWindowTextA(edit, text.c_str());
    ::SendMessageA(edit, EM_SETMODIFY, TRUE, 0);
}

class Manager : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::Stat(WindowsTool("tesra-memo-server"))) GTEST_SKIP() << "build the native preset's stand-ins first";
        server_ = std::make_unique<MemoServerStandIn>(kTools);
        ASSERT_GT(server_->port(), 0);
        user_ = server_->user();
        messages_.clear();

        NewControl();
    }

    void TearDown() override {
        CloseControl();
        server_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(TheApp().dataRoot() + "\\" + user_, ignored);
    }

    // The control as the host makes it: in place in the host's window.
    void NewControl() {
        site_ = new host::ContainerSite(window_.get(), RECT{0, 0, 1, 1});
        win::CClassFactory<CTesraCtrl> factory;
        ASSERT_EQ(factory.CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(ole_.Out())), S_OK);
        ctrl_ = static_cast<CTesraCtrl*>(static_cast<win::COleControl*>(static_cast<IOleObject*>(ole_.get())));
        ctrl_->Manager().SetClock([this] { return now_; });
        ctrl_->Services().SetMessageBoxHook([this](const string& text, UINT) {
            messages_.push_back(text);
            return answer_;
        });
        RECT pos{0, 0, 1, 1};
        ole_->SetClientSite(site_);
        ASSERT_EQ(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_.get(), &pos), S_OK);
    }
    void CloseControl() { host::CloseInPlace(ole_, site_); }

    static string WindowsTool(const string& name) { return "Z:" + ReplaceAll(kTools + "/" + name, "/", "\\"); }

    string Admin(const string& path, const string& body = {}, const string& cookie = {}) {
        return server_->Admin(path, body, cookie);
    }
    Kinds Requests() {
        Kinds kinds;
        const string text = Admin("/admin/requests/order");
        for (int i = 0; i + 1 < CountPieces(text, "\n"); ++i) kinds.push_back(GetPiece(text, "\n", i));
        return kinds;
    }
    void ClearRequests() { Admin("/admin/requests/clear", "x=1"); }
    string ServerText(const string& muid) {
        const string field = GetPiece(GetPiece(Admin("/admin/memo?user=" + user_ + "@x&muid=" + muid), "text=", 1), "&", 0);
        string text;  // every byte comes as %xx
        for (std::size_t i = 0; i + 2 < field.size(); i += 3)
            text.push_back(static_cast<char>(std::strtol(field.substr(i + 1, 2).c_str(), nullptr, 16)));
        return text;
    }
    void Connect(const string& password = "pw", long port = 21) {
        ctrl_->FtpConnection("127.0.0.1", port, user_ + "@x", password);
    }
    // The start-up as the host triggers it: a show more than 10 s after the last.
    void Show() {
        now_ += 11;
        ctrl_->SetShowMemoDlg(true);
    }
    CMemoDlg* Memo(const string& key) {
        for (const auto& m : ctrl_->Manager().memos())
            if (m->key() == key) return m.get();
        return nullptr;
    }
    void SeedTwo() {
        ASSERT_EQ(server_->Seed({{"101", {.ver = "12:1700000000", .title = cp949::kMemo, .font = "",
                                          .pos = "10.00 10.00 30.00 40.00", .bg = 3},
                                  string(cp949::kHangul) + "\r\nfirst"},
                                 {"102", {.ver = "6:1700000001", .title = "", .font = "", .pos = "50.00 10.00 70.00 40.00",
                                          .alarm = static_cast<int>(kT0 + 30), .bg = 5, .min = 1},
                                  "second"}}),
                  "[OK]\n[OK]\n[OK]\n[OK]\n");
    }

    host::HostWindow window_;
    host::ContainerSite* site_ = nullptr;
    win::ComPtr<IOleObject> ole_;
    CTesraCtrl* ctrl_ = nullptr;
    std::unique_ptr<MemoServerStandIn> server_;
    string user_;
    std::int64_t now_ = kT0;
    std::vector<string> messages_;
    int answer_ = IDYES;  // to every question the control asks
};

TEST_F(Manager, StartUpPaths) {
    struct Case {
        const char *name;
        bool group, expire, agent;
        const char *password, *fault;
        Kinds requests;
        const char* message;
    };
    const Kinds fetch = {"getmemouser", "listini", "getdata", "getdata"};
    auto with = [&](Kinds head) {
        head.insert(head.end(), fetch.begin(), fetch.end());
        return head;
    };
    const Case cases[] = {
        {"valid session", true, false, false, "pw", nullptr, with({"getmemogrp"}), nullptr},
        {"expired, agent", true, true, true, "pw", nullptr, with({"getmemogrp", "getmemogrp"}), nullptr},
        {"expired, no agent", true, true, false, "pw", nullptr, with({"getmemogrp", "login", "getmemogrp"}), nullptr},
        {"new user", false, false, false, "pw", nullptr,
         {"getmemogrp", "setmemouser", "setmemogrp", "getmemouser", "listini", "getmemouser", "listini"}, nullptr},
        {"no session to be had", true, true, false, "wrong", nullptr, {"getmemogrp", "login", "getmemogrp"},
         kStartUpFailed100},
        {"index lost", true, false, false, "pw", "kind=getmemouser&mode=drop", {"getmemogrp", "getmemouser"},
         kStartUpFailed200},
        {"index lost, new user", false, false, false, "pw", "kind=getmemouser&mode=reset&times=0",
         {"getmemogrp", "setmemouser", "setmemogrp", "getmemouser", "getmemouser"}, kStartUpFailed300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.group) SeedTwo();
        std::unique_ptr<UnixStandIn> agent;
        if (c.agent) {
            agent = std::make_unique<UnixStandIn>(
                std::vector<string>{kTools + "/tesra-agent", "--db", "/tmp/" + user_ + ".db", "--port", "0"});
            _putenv_s("TESRA_AGENT_PORT", std::to_string(agent->port()).c_str());
        }
        Connect();
        if (c.expire) Admin("/admin/expire", "id=" + user_ + "@x");
        if (string(c.password) != "pw") ctrl_->ChageFtpConnection("127.0.0.1", 21, user_ + "@x", c.password);
        if (c.fault) Admin("/admin/fault", c.fault);
        ClearRequests();
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kPreferenceKey, "HncNoteFlag");
        Show();
        EXPECT_EQ(Requests(), c.requests);
        EXPECT_EQ(messages_, c.message ? std::vector<string>{c.message} : std::vector<string>{});
        EXPECT_EQ(ctrl_->Manager().loaded(), c.message == nullptr);
        // Failed: nothing loaded, no window. A new user gets one empty memo.
        EXPECT_EQ(ctrl_->Manager().memos().size(), c.message ? 0u : c.group ? 2u : 1u);
        // Only a loaded first run without memos makes the Hancom Note offer
        // (here silently: there is no Hancom data), and only once.
        EXPECT_EQ(ctrl_->Manager().TakeHncNoteFlag(), c.message || c.group ? 1 : 0);
    }
}

TEST_F(Manager, OneWindowPerMemoWithItsLooksAndTheAlarmOnTime) {
    SeedTwo();
    Connect();
    Show();
    ASSERT_EQ(ctrl_->Manager().memos().size(), 2u);
    CMemoDlg* a = Memo("memo101");
    CMemoDlg* b = Memo("memo102");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->m_title, cp949::kMemo);
    EXPECT_EQ(a->ColourIndex(), 3);
    EXPECT_EQ(b->ColourIndex(), 5);
    EXPECT_TRUE(b->IsMinimized());
    EXPECT_EQ(a->Text(), string(cp949::kHangul) + "\r\nfirst");
    EXPECT_TRUE(::IsWindowVisible(a->hwnd()));
    RECT r{};
    ::GetWindowRect(a->hwnd(), &r);
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(r.left, cx / 10, 8);
    EXPECT_NEAR(r.top, cy / 10, 8);
    EXPECT_NEAR(r.right, cx * 3 / 10, 8);
    EXPECT_NEAR(r.bottom, cy * 4 / 10, 8);

    // The container deactivating and reactivating the control leaves the
    // memos, their window and its timers alone.
    auto inPlace = ole_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    RECT pos{0, 0, 1, 1};
    ASSERT_EQ(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_.get(), &pos), S_OK);
    EXPECT_TRUE(::IsWindow(a->hwnd()) && ::IsWindow(b->hwnd()));
    EXPECT_EQ(ctrl_->minuteTimer(), kMinuteTimer);

    // A second show within 10 s only shows.
    ClearRequests();
    now_ += 9;
    ctrl_->SetShowMemoDlg(true);
    EXPECT_EQ(Requests(), Kinds{});
    EXPECT_EQ(ctrl_->Manager().memos().size(), 2u);

    // The minute tick with the clock before the alarm.
    now_ = kT0 + 29;
    ::SendMessageA(ctrl_->hwnd(), WM_TIMER, kMinuteTimer, 0);
    EXPECT_TRUE(b->m_alarmTime > 0);
    EXPECT_FALSE(b->IsBlinking());

    // The new-memo button gives a memo to type in: active, its edit focused.
    ::SendMessageA(a->hwnd(), WM_COMMAND, MAKEWPARAM(306, BN_CLICKED), 0);
    ASSERT_EQ(ctrl_->Manager().memos().size(), 3u);
    HWND fresh = ctrl_->Manager().memos().back()->hwnd();
    EXPECT_EQ(::GetActiveWindow(), fresh);
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(fresh, 304));

    // Text from the host opens a blinking window of its own.
    BSTR text = ::SysAllocStringByteLen(cp949::kHangul, 4);
    EXPECT_TRUE(ctrl_->ReceiveMemoData(&text));
    ::SysFreeString(text);
    ASSERT_EQ(ctrl_->Manager().memos().size(), 4u);
    EXPECT_TRUE(ctrl_->Manager().memos().back()->IsBlinking());
    EXPECT_EQ(ctrl_->Manager().memos().back()->Text(), cp949::kHangul);
}

TEST_F(Manager, TypedTextReachesItsFileAndTheServerOnDeactivationAndAtExit) {
    SeedTwo();
    win::RegKey::Create(HKEY_CURRENT_USER, kPreferenceKey).SetDword(kDiagnosticLogValue, 1);
    Connect();
    Show();
    CMemoDlg* a = Memo("memo101");
    CMemoDlg* b = Memo("memo102");
    ASSERT_TRUE(a && b);
    const string typed = string(cp949::kHangul) + "\r\ntyped";
    Type(*a, typed);
    ClearRequests();
    ::SendMessageA(a->hwnd(), WM_NCACTIVATE, FALSE, 0);
    // Before the change notice runs, what a killed host would leave: the
    // text, its pending mark and the index naming it.
    const string folder = fs::FolderOf(a->dataPath());
    EXPECT_TRUE(IsUploadPending(folder, "memo101"));
    EXPECT_NE(ReadBytes(folder + "\\tesra.ini").find("[memo101]"), string::npos);
    ASSERT_TRUE(PumpUntil([&] { return ServerText("101") == typed; }));
    EXPECT_FALSE(IsUploadPending(folder, "memo101"));
    EXPECT_EQ(ReadBytes(a->dataPath()), typed);
    EXPECT_EQ(Requests(), (Kinds{"getini", "setmemo"}));
    // The log the user can send tells the requests and the outcome, never
    // the text, the password or the session.
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kPreferenceKey, kDiagnosticLogValue);
    const string log = ReadBytes(folder + "\\" + kDiagnosticLogFile);
    EXPECT_NE(log.find(" POST getmemo.cgi cmd=listini: completed, status 200, 18 bytes sent"), string::npos) << log;
    EXPECT_NE(log.find(Format(" upload memo101: stored, %d bytes\r\n", static_cast<int>(typed.size()))), string::npos) << log;
    const string session = GetPiece(GetPiece(ctrl_->Services().Http().m_strCookie, "=", 1), ";", 0);
    ASSERT_FALSE(session.empty());
    for (const string& secret : {string("typed"), string(cp949::kHangul), session})
        EXPECT_EQ(log.find(secret), string::npos) << secret;

    // Typed and never deactivated: the control's close saves and uploads it.
    Type(*b, "at exit");
    const string path = b->dataPath();
    ClearRequests();
    ole_->Close(OLECLOSE_NOSAVE);
    EXPECT_EQ(ReadBytes(path), "at exit");
    EXPECT_EQ(ServerText("102"), "at exit");
    EXPECT_EQ(Requests(), (Kinds{"getini", "setmemo"}));
}

// Runs g_inWait once inside the next flow's wait of g_ctrl.
CTesraCtrl* g_ctrl = nullptr;
std::function<void()> g_inWait;
void CALLBACK RunInsideTheWait(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!g_ctrl || g_ctrl->Manager().busy() == 0) return;
    ::KillTimer(nullptr, timer);
    g_ctrl = nullptr;
    const std::function<void()> work = std::move(g_inWait);
    work();
}
void InsideTheNextWait(CTesraCtrl* ctrl, std::function<void()> work) {
    g_ctrl = ctrl;
    g_inWait = std::move(work);
    ::SetTimer(nullptr, 0, 20, &RunInsideTheWait);
}

TEST_F(Manager, AFailedUploadStaysPendingAndGoesAfterARestart) {
    SeedTwo();
    Connect();
    Show();
    Admin("/admin/fault", "kind=setmemo&mode=reset&times=0");
    Type(*Memo("memo101"), "kept");
    ::SendMessageA(Memo("memo101")->hwnd(), WM_NCACTIVATE, FALSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !messages_.empty(); }));
    EXPECT_EQ(messages_, std::vector<string>{kUploadFailedMessage});
    // The host goes and comes back; by then the server answers again.
    CloseControl();
    Admin("/admin/fault/clear", "x=1");
    NewControl();
    Connect();
    Show();
    ASSERT_TRUE(Memo("memo101"));
    EXPECT_EQ(Memo("memo101")->Text(), "kept");
    EXPECT_EQ(ServerText("101"), "kept");
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(Manager, ReceivedMemoOpensNoWindowAndShowsAtTheNextFetch) {
    const string root = "/tmp/" + user_ + "-ftp";
    ::CreateDirectoryA(("Z:" + ReplaceAll(root, "/", "\\")).c_str(), nullptr);
    ::CreateDirectoryA(("Z:" + ReplaceAll(root + "/Tesra", "/", "\\")).c_str(), nullptr);
    ASSERT_TRUE(WriteBytes("Z:" + ReplaceAll(root + "/Tesra/note.txt", "/", "\\"), "from a friend"));
    UnixStandIn ftp({"/usr/bin/python3", TESRA_FTP_STAND_IN, root, user_ + "@x", "pw", "120"});
    ASSERT_GT(ftp.port(), 0);
    SeedTwo();
    Connect("pw", ftp.port());
    Show();
    const string index = ctrl_->Manager().LiveIndex().ToText();
    const string payload = "note.txt|1700000500";
    COPYDATASTRUCT cds{302, static_cast<DWORD>(payload.size()), const_cast<char*>(payload.data())};
    EXPECT_EQ(::SendMessageA(ctrl_->hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1);
    EXPECT_EQ(ctrl_->Manager().memos().size(), 2u);
    EXPECT_EQ(ctrl_->Manager().LiveIndex().ToText(), index);
    Show();
    ASSERT_EQ(ctrl_->Manager().memos().size(), 3u);
    bool found = false;
    for (const auto& m : ctrl_->Manager().memos()) found = found || m->Text() == "from a friend";
    EXPECT_TRUE(found);
    RunUnix("/bin/rm", "-rf " + root);
}

// A user's day: a conflict answered both ways, then through the menu's
// commands: send a memo on as a messenger note, change the defaults, delete
// a memo, sign out and in again.
TEST_F(Manager, AUsersDay) {
    SeedTwo();
    Connect();
    Show();
    // The memo changed in the web memo service meanwhile, then on the desktop:
    // the question; "no" brings the web's text here, "yes" sends ours.
    for (const int answer : {IDNO, IDYES}) {
        // Stamps are length and second: the two texts differ in length.
        ASSERT_EQ(Admin("/admin/memo", "user=" + user_ + "@x&muid=101&text=web+" + std::to_string(answer)).substr(0, 4), "[OK]");
        answer_ = answer;
        Type(*Memo("memo101"), "desk");
        ::SendMessageA(Memo("memo101")->hwnd(), WM_NCACTIVATE, FALSE, 0);
        const string want = answer == IDNO ? "web " + std::to_string(answer) : "desk";
        ASSERT_TRUE(PumpUntil([&] { return Memo("memo101") && Memo("memo101")->Text() == want && ServerText("101") == want; }))
            << answer;
        EXPECT_EQ(messages_.size(), 1u);
        messages_.clear();
    }
    CMemoDlg* a = Memo("memo101");
    CMemoDlg* b = Memo("memo102");
    ASSERT_TRUE(a && b);

    auto* sink = new host::EventSink(DIID__DTesraEvents);
    win::ComPtr<IConnectionPoint> point;
    ASSERT_EQ(ole_.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
                  ->FindConnectionPoint(DIID__DTesraEvents, point.Out()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
    a->RunMemoCommand(310);
    EXPECT_EQ(sink->received, std::vector<string>{a->Text()});
    point->Unadvise(cookie);
    sink->Release();

    ClearRequests();
    ctrl_->Manager().MemoDefaults().background = 4;
    ::PostMessageA(ctrl_->hwnd(), kSettingsChangedMessage, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return Requests() == Kinds{"setmemouser"}; }));

    ClearRequests();
    const string data = b->dataPath();
    {
        BoxAnswerer yes;  // to the delete confirmation
        b->DeleteMemo();
    }
    ASSERT_TRUE(PumpUntil([&] { return ctrl_->Manager().memos().size() == 1u; }));
    EXPECT_EQ(Requests(), Kinds{"delmemo"});
    EXPECT_FALSE(fs::Stat(data));
    EXPECT_EQ(ReadBytes(MakeBackupName(data)), "second");

    // Signed out and in again: what is left is back, as it was.
    const string text = a->Text();
    CloseControl();
    NewControl();
    Connect();
    Show();
    ASSERT_EQ(ctrl_->Manager().memos().size(), 1u);
    EXPECT_EQ(ctrl_->Manager().memos()[0]->key(), "memo101");
    EXPECT_EQ(ctrl_->Manager().memos()[0]->Text(), text);
    EXPECT_EQ(ctrl_->Manager().MemoDefaults().background, 4);
    EXPECT_TRUE(messages_.empty()) << ::testing::PrintToString(messages_);
}

// The alarm needs no server: it rings on time while a conflict question
// holds the upload's flow.
TEST_F(Manager, AnAlarmRingsOnTimeWhileAQuestionWaits) {
    SeedTwo();
    Connect();
    Show();
    ASSERT_EQ(Admin("/admin/memo", "user=" + user_ + "@x&muid=101&text=web+edit").substr(0, 4), "[OK]");
    bool rang = false;
    ctrl_->Services().SetMessageBoxHook([&](const string&, UINT) {
        now_ = kT0 + 31;
        ::SendMessageA(ctrl_->hwnd(), WM_TIMER, kMinuteTimer, 0);
        rang = Memo("memo102")->IsBlinking() && Memo("memo102")->m_alarmTime == 0;
        return IDYES;
    });
    Type(*Memo("memo101"), "desk");
    ::SendMessageA(Memo("memo101")->hwnd(), WM_NCACTIVATE, FALSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ServerText("101") == "desk"; }));
    EXPECT_TRUE(rang);
    EXPECT_FALSE(Memo("memo101")->IsBlinking());
}

// A delete waits for the flow that runs, hides its memo at once and keeps
// it hidden; a deletion the server has not taken stays pending across a
// restart, and the memo never comes back.
TEST_F(Manager, ADeletionGoesThroughTheGateAndStaysUntilTheServerHasIt) {
    SeedTwo();
    Connect();
    Show();
    BoxAnswerer yes;  // to the delete confirmations
    const string folder = fs::FolderOf(Memo("memo101")->dataPath());
    Admin("/admin/fault", "kind=getini&mode=delay&ms=1500&times=1");
    ClearRequests();
    bool hidden = false;
    InsideTheNextWait(ctrl_, [&] {
        HWND b = Memo("memo102")->hwnd();
        Memo("memo102")->DeleteMemo();
        ctrl_->Manager().ShowAllMemos(true);
        hidden = !::IsWindowVisible(b);
    });
    Type(*Memo("memo101"), "first edit");
    ::SendMessageA(Memo("memo101")->hwnd(), WM_NCACTIVATE, FALSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ctrl_->Manager().memos().size() == 1u && Requests().size() == 3u; }));
    EXPECT_TRUE(hidden);
    EXPECT_EQ(Requests(), (Kinds{"getini", "setmemo", "delmemo"}));

    // The host lets go of the control while the server holds back an answer
    // it will never give.
    Admin("/admin/fault", "kind=delmemo&mode=drop&ms=500&times=1");
    InsideTheNextWait(ctrl_, [&] { CloseControl(); });
    Memo("memo101")->DeleteMemo();
    EXPECT_FALSE(ole_);
    EXPECT_TRUE(IsUploadPending(folder, "memo101"));
    NewControl();
    Connect();
    ClearRequests();
    Show();
    EXPECT_FALSE(Memo("memo101") || Memo("memo102"));
    EXPECT_EQ(Requests().back(), "delmemo");
    EXPECT_FALSE(IsUploadPending(folder, "memo101"));
}

// A start-up asked for inside another flow's wait runs after it, with its
// first show: a user without memos gets the empty one.
TEST_F(Manager, ADeferredStartUpShowsItsMemos) {
    Connect();
    Show();  // a new user: the group is made, one empty memo
    ASSERT_EQ(ctrl_->Manager().memos().size(), 1u);
    Admin("/admin/fault", "kind=setmemouser&mode=delay&ms=500&times=1");
    InsideTheNextWait(ctrl_, [&] { Show(); });
    ::SendMessageA(ctrl_->hwnd(), kSettingsChangedMessage, 0, 0);
    ASSERT_EQ(ctrl_->Manager().memos().size(), 1u);
    EXPECT_TRUE(::IsWindowVisible(ctrl_->Manager().memos()[0]->hwnd()));
}

// A new user's group set-up that outlasts its wait: the start-up goes on
// with its own index, and nothing of the set-up's comes after it (a late
// 303 would rewrite the index in the middle of the session).
TEST_F(Manager, AGroupSetUpThatOutlastsItsWaitEndsWithIt) {
    Connect();
    ctrl_->Manager().SetGroupRounds(2);
    Admin("/admin/fault", "kind=setmemouser&mode=delay&ms=800&times=1");
    ClearRequests();
    Show();
    const Kinds seen = Requests();
    // The set-up's next command may or may not get in as the wait gives up.
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(Kinds(seen.begin(), seen.begin() + 2), (Kinds{"getmemogrp", "setmemouser"}));
    EXPECT_EQ(Kinds(seen.end() - 2, seen.end()), (Kinds{"getmemouser", "listini"}));
    EXPECT_TRUE(ctrl_->Manager().loaded());
    ASSERT_EQ(ctrl_->Manager().memos().size(), 1u);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Requests(), seen);
}

// A folder standing at a memo's data file: the typed text reaches the
// server from its emergency copy, the user is told once, and the text stays
// modified for the next save.
TEST_F(Manager, TypedTextItsFileCannotTakeStillReachesTheServer) {
    SeedTwo();
    Connect();
    Show();
    CMemoDlg* a = Memo("memo101");
    const string path = a->dataPath();
    ASSERT_TRUE(::DeleteFileA(path.c_str()) && ::CreateDirectoryA(path.c_str(), nullptr));
    Type(*a, "typed");
    ::SendMessageA(a->hwnd(), WM_NCACTIVATE, FALSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ServerText("101") == "typed"; }));
    EXPECT_EQ(ReadBytes(EmergencyCopyName(path)), "typed");
    EXPECT_TRUE(a->IsTextModified());
    EXPECT_EQ(messages_.size(), 1u);
}

// Text an earlier session could not save is what the start-up shows, to be
// saved again.
TEST_F(Manager, AStartUpShowsTheTextAnEarlierSessionCouldNotSave) {
    SeedTwo();
    Connect();
    ASSERT_TRUE(WriteBytes(ctrl_->Manager().UserFolder() + "\\memo102.unsaved", "kept"));
    Show();
    ASSERT_NE(Memo("memo102"), nullptr);
    EXPECT_EQ(Memo("memo102")->Text(), "kept");
    EXPECT_TRUE(Memo("memo102")->IsTextModified());
    EXPECT_EQ(Memo("memo101")->Text(), string(cp949::kHangul) + "\r\nfirst");
}

// The file names under a folder, its subfolders' included.
std::vector<string> Tree(const string& folder) {
    std::vector<string> names;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec); !ec && it != decltype(it){}; it.increment(ec))
        names.push_back(it->path().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Commands from another program on the desktop, hostile in every way the
// sender knows (copydata_sender.cpp): each is answered, the refused ones
// with 0; no file lands outside the user folder or takes a name of the
// sender's choosing; no memo text changes; the control goes on answering.
TEST_F(Manager, HostileCommandsFromAnotherProcessChangeNothing) {
    SeedTwo();
    Connect();  // the FTP server is gone: nobody on port 21
    Show();
    ASSERT_EQ(ctrl_->Manager().memos().size(), 2u);
    const string root = TheApp().dataRoot();
    const string folder = root + "\\" + user_;
    const string module = root.substr(0, root.find_last_of('\\'));
    const auto roots = [&] {
        std::vector<string> both;
        for (const string& f : {module, root})
            for (const auto& e : std::filesystem::directory_iterator(f)) both.push_back(e.path().string());
        std::sort(both.begin(), both.end());
        return both;
    };
    const std::vector<string> outside = roots(), inside = Tree(folder);
    const string text101 = ReadBytes(folder + "\\memo101.dat"), server101 = ServerText("101");

    const string results = folder + "-results.txt";
    string command = "copydata_sender.exe " + std::to_string(reinterpret_cast<INT_PTR>(ctrl_->hwnd())) + " " + results;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessA(BesideThisProgram("copydata_sender.exe").c_str(), command.data(), nullptr, nullptr,
                                 FALSE, 0, nullptr, nullptr, &si, &pi));
    win::UniqueHandle<HANDLE, &::CloseHandle> process(pi.hProcess), thread(pi.hThread);
    ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 6000));
    const string answers = ReadBytes(results);
    ::DeleteFileA(results.c_str());
    ASSERT_EQ(CountPieces(answers, "\n"), 61) << answers;
    for (int i = 0; i < 60; ++i) {
        const string line = GetPiece(answers, "\n", i);
        EXPECT_EQ(GetPiece(line, " ", 2), GetPiece(line, " ", 0) == "302" ? "0" : "1") << line;
    }

    EXPECT_EQ(roots(), outside);
    // Command 303 writes the index and 300 drops its working copy: names the
    // folder had before, and no other.
    std::vector<string> allowed = inside;
    allowed.push_back(folder + "\\tesra.ini");
    std::sort(allowed.begin(), allowed.end());
    for (const string& name : Tree(folder))
        EXPECT_TRUE(std::binary_search(allowed.begin(), allowed.end(), name)) << name;
    EXPECT_EQ(ReadBytes(folder + "\\memo101.dat"), text101);
    EXPECT_EQ(ServerText("101"), server101);
    COPYDATASTRUCT cds{99999, 0, const_cast<char*>("")};
    EXPECT_EQ(::SendMessageA(ctrl_->hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1);
    ASSERT_EQ(ctrl_->Manager().memos().size(), 2u);
    EXPECT_EQ(Memo("memo101")->Text(), text101);

    // Inside a flow's wait the commands wait for it: what the receipt would
    // refuse is refused at once, and one wait queues a bounded number.
    Admin("/admin/fault", "kind=getini&mode=delay&ms=1500");
    std::vector<LRESULT> flood;
    InsideTheNextWait(ctrl_, [&] {
        for (int i = 0; i < 100; ++i) {
            string payload = i == 0 ? "..\\evil.txt|1" : "note.txt|1";
            COPYDATASTRUCT sent{302, static_cast<DWORD>(payload.size()), payload.data()};
            flood.push_back(::SendMessageA(ctrl_->hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&sent)));
        }
    });
    Type(*Memo("memo102"), "typed");
    ::SendMessageA(Memo("memo102")->hwnd(), WM_NCACTIVATE, FALSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ServerText("102") == "typed"; }));
    ASSERT_EQ(flood.size(), 100u);
    EXPECT_EQ(flood[0], 0);
    EXPECT_EQ(std::count(flood.begin(), flood.end(), 1), 64);
    EXPECT_EQ(roots(), outside);
}

}  // namespace
}  // namespace tesra::test
