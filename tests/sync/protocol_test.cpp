#include "sync/protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "support/cp949_corpus.h"

namespace tesra {
namespace {

using namespace test::cp949;
using std::string;
using namespace std::string_literals;

TEST(EncodeFormValue, EveryByteBecomesThreeLowerCaseHexCharacters) {
    EXPECT_EQ(EncodeFormValue("abc"), "%61%62%63");
    // High bytes must not come out sign-extended ("%ffffffb0").
    EXPECT_EQ(EncodeFormValue("\xB0"), "%b0");
    EXPECT_EQ(EncodeFormValue(kHangul), "%c7%d1%b1%db");
    // Separators of the form body itself, and bytes a C string would stop at.
    EXPECT_EQ(EncodeFormValue("&=%+ \r\n"), "%26%3d%25%2b%20%0d%0a");
    EXPECT_EQ(EncodeFormValue("a\0b"s), "%61%00%62");
}

TEST(RequestBodies, ByteExact) {
    const MemoFields f{"123:1700000000", "a b", "0 -12", "1.5", -1, 3, 1};
    const string fields = "&ver=123:1700000000&title=%61%20%62&font=%30%20%2d%31%32&pos=%31%2e%35&alarm=-1&bg=3&min=1";
    EXPECT_EQ(SetMemoBody("123", f, "hi\r\n"s + kGa), "cmd=setmemo&mgrp=2&muid=123" + fields + "&gm_data=%68%69%0d%0a%b0%a1");
    EXPECT_EQ(SetReceivedMemoBody(1700000001, f, "x"), "cmd=setmemo&mgrp=2&muid=1700000001" + fields + "&gm_data=%78");
    EXPECT_EQ(SetIniBody("123", f), "cmd=setini&mgrp=2&muid=123" + fields);
    // Empty fields stay in place; a text holding a NUL byte is sent whole.
    MemoFields empty;
    empty.ver = "0:0";
    EXPECT_EQ(SetMemoBody("7", empty, "a\0b"s),
              "cmd=setmemo&mgrp=2&muid=7&ver=0:0&title=&font=&pos=&alarm=0&bg=0&min=0&gm_data=%61%00%62");
    // A stamp from the server's index is the server's word: one that is no
    // stamp of ours goes encoded, never as fields of its own.
    empty.ver = "1:1&cmd=delmemo";
    EXPECT_EQ(SetIniBody("7", empty), "cmd=setini&mgrp=2&muid=7&ver=%31%3a%31%26%63%6d%64%3d%64%65%6c%6d%65%6d%6f"
                                      "&title=&font=&pos=&alarm=0&bg=0&min=0");
    EXPECT_EQ(DelMemoBody("123"), "cmd=delmemo&mgrp=2&muid=123");
    EXPECT_EQ(GetIniBody("123"), "cmd=getini&mgrp=2&muid=123");
    EXPECT_EQ(GetDataBody("123"), "cmd=getdata&mgrp=2&muid=123");
    EXPECT_EQ(ListIniBody(), "cmd=listini&mgrp=2");
    EXPECT_EQ(GetUserDefaultsBody(), "");
    EXPECT_EQ(GetMemoGroupBody(), "cmd=get&mgrp=2");
    EXPECT_EQ(SetUserDefaultsBody(2, 200, 208, "0 -12 "s + kGulimChe),
              "cmd=set&showdlg=0&defbg=2&defcx=200&defcy=208&deffont=%30%20%2d%31%32%20%b1%bc%b8%b2%c3%bc");
    // The group's name goes as raw CP949.
    EXPECT_EQ(SetMemoGroupBody(), "cmd=set&mgrp=2&name=\xC7\xD2\xBA\xB8&comment=\xC7\xD2\xBA\xB8");
}

TEST(Session, FromTheLoginCookieJarAndTheAgentReply) {
    EXPECT_EQ(SessionFromCookieJar("QUILLMAR_SID=a; QUILLMAR_EMAIL_SID=b; "), "b");
    EXPECT_EQ(SessionFromCookieJar("X=1; QUILLMAR_EMAIL_SID=b;QUILLMAR_EMAIL_SID=c;"), "b");
    EXPECT_EQ(SessionFromCookieJar("QUILLMAR_SID=a; QUILLMAR_EMAIL_SID=b"), "");
    // The agent's is its reply's second line.
    EXPECT_EQ(SessionFromAgentReply("OK\r\nsid42\r\n\r\n"), "sid42");
    EXPECT_EQ(SessionFromAgentReply("OK\r\n\r\n"), "");
    EXPECT_EQ(SessionFromAgentReply("OK sid42\n\n"), "");
}

TEST(StatusToken, FirstOpenThenFirstCloseAfterIt) {
    EXPECT_EQ(StatusToken("x[OK]y[ERROR]"), "OK");
    EXPECT_EQ(StatusToken("] [ERROR:1] ]"), "ERROR:1");
    EXPECT_EQ(StatusToken("[a[b]"), "a[b");
    EXPECT_EQ(StatusToken("[unclosed"), "");
}

TEST(ReplyRules, ErrorTokensAndOurOwnServerErrorAndLists) {
    const char* host = "memo.example";
    EXPECT_EQ(IsServerErrorReply("[OK] stored [ERROR]", host), 0);
    EXPECT_EQ(IsServerErrorReply("[xERRORx]", host), 1);
    EXPECT_EQ(IsServerErrorReply("[error]", host), 0);
    // No reply at all counts as accepted.
    EXPECT_EQ(IsServerErrorReply("", host), 0);
    // An error page counts only when it is our server's.
    EXPECT_EQ(IsServerErrorReply("<h1>Internal Server Error</h1> at memo.example", host), 1);
    EXPECT_EQ(IsServerErrorReply("<h1>Internal Server Error</h1> at proxy.example", host), 0);
    EXPECT_EQ(IsServerErrorReply("memo.example: fine", host), 0);
    // A memo text that itself opens with an error token fails its download.
    EXPECT_EQ(IsServerErrorReply("[ERROR] is what I wrote\r\n", host), 1);
    // "E" as the trail byte of a Hangul character starts no "ERROR".
    EXPECT_EQ(IsServerErrorReply("[\x81" "ERROR]", host), 0);
    EXPECT_EQ(IsServerErrorReply("[" + string(kGa) + "ERROR]", host), 1);
    // Index lists are dropped on the error token only.
    EXPECT_FALSE(IsUsableListReply("[ERROR:1]"));
    EXPECT_TRUE(IsUsableListReply("[memo1]\ntitle=ERROR\n"));
    EXPECT_TRUE(IsUsableListReply(""));
    // A user without memos: a blank reply is an empty index.
    EXPECT_TRUE(IsUsableListReply("\n"));
    EXPECT_TRUE(IsUsableListReply("\r\n \r\n"));
    EXPECT_FALSE(IsUsableListReply("<html><body>Service Unavailable</body></html>\n"));
}

TEST(ReplyRules, UserDefaultsAndMemoGroupAtStartUp) {
    using R = UserDefaultsReply;
    EXPECT_EQ(ClassifyUserDefaultsReply("[ERROR:500:no defaults]\n"), R::kNone);
    EXPECT_EQ(ClassifyUserDefaultsReply("[ERROR:5000]"), R::kFailed);
    EXPECT_EQ(ClassifyUserDefaultsReply("[ERROR: 500]"), R::kFailed);
    // "main" anywhere will do, but a missing one fails, as does no reply.
    EXPECT_EQ(ClassifyUserDefaultsReply("domain"), R::kDefaults);
    EXPECT_EQ(ClassifyUserDefaultsReply("[OK]"), R::kFailed);
    EXPECT_EQ(ClassifyUserDefaultsReply(""), R::kFailed);
    // The token decides before "main" is looked for.
    EXPECT_EQ(ClassifyUserDefaultsReply("[ERROR:403]\n[main]\n"), R::kFailed);
    EXPECT_EQ(ClassifyMemoGroupReply("[group:2]"), 1);
    EXPECT_EQ(ClassifyMemoGroupReply("[ERROR:404]"), 0);
    EXPECT_EQ(ClassifyMemoGroupReply("[ERROR group]"), 1);
    EXPECT_EQ(ClassifyMemoGroupReply("<html>please log in</html>"), -1);
    // Outside the token "group" and "ERROR" mean nothing.
    EXPECT_EQ(ClassifyMemoGroupReply("[OK] group ERROR"), -1);
}

TEST(ReplyRules, ServerStampRunsToTheNextLineFeed) {
    EXPECT_EQ(ServerStampFromReply("[memo1]\nver=12:34\ntitle=x\n"), "12:34");
    EXPECT_EQ(ServerStampFromReply("ver=12:34"), "");
    // Only LF ends the stamp: a CR stays in it and the stamps then differ.
    EXPECT_EQ(ServerStampFromReply("ver=1:2\r\n"), "1:2\r");
    // The first "ver=" wins, even inside another key.
    EXPECT_EQ(ServerStampFromReply("oldver=1:1\nver=2:2\n"), "1:1");
    // "v" as a trail byte starts no "ver=".
    EXPECT_EQ(ServerStampFromReply("\x81" "ver=9:9\nver=1:1\n"), "1:1");
}

}  // namespace
}  // namespace tesra
