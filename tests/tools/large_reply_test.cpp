// Replies far beyond one read buffer, from the stand-in memo server: a
// start-up's index fetch over thousands of memos, the restore of a memo of a
// megabyte, and a reply past the client's bound, which replaces nothing.
#include <gtest/gtest.h>

#include <string>

#include "base/fs.h"
#include "net/http_client.h"
#include "stand_in.h"
#include "support/fake_sync_context.h"
#include "support/temp_dir.h"
#include "sync/download.h"
#include "sync/login.h"
#include "tools/common/memo_store.h"

namespace tesra::test {
namespace {

using std::string;

// CR LF lines of every non-NUL byte value: what the restore must write back
// as it came.
string BigText(std::size_t size) {
    string s;
    s.reserve(size);
    for (std::size_t i = 0; s.size() < size; ++i) {
        if (i % 64 == 63) {
            s += "\r\n";
            continue;
        }
        const char c = static_cast<char>(1 + i % 255);
        if (c != '\r' && c != '\n') s.push_back(c);
    }
    s.resize(size);
    if (s.back() == '\r') s.back() = 'x';
    return s;
}

TEST(LargeReplies, ThousandsOfMemosAMegabyteTextAndOnePastTheBound) {
    TempDir dir;
    const string db = dir.File("memo.db");
    StandIn server(TESRA_MEMO_SERVER_BIN, {"--db", db, "--user", "kim:pw:group"});
    ASSERT_GT(server.port(), 0) << server.firstLine();
    const string big = BigText(1 << 20);
    const string tooBig(CHttpClient::kBodyLimit + 1, 'z');
    {
        // Straight into the stand-in's file: the same store it serves from.
        tools::MemoStore store(db);
        for (int i = 0; i < 2000; ++i) {
            tools::MemoRecord m;
            m.muid = std::to_string(100000 + i);
            m.ver = "1:" + std::to_string(1700000000 + i);
            m.title = "memo " + m.muid;
            m.text = "t";
            store.PutMemo("kim", "2", m);
        }
        for (const string* text : {&big, &tooBig}) {
            tools::MemoRecord m;
            m.muid = text == &big ? "7" : "8";
            m.ver = std::to_string(text->size()) + ":1";
            m.text = *text;
            store.PutMemo("kim", "2", m);
        }
    }
    const string folder = dir.File("kim");
    ASSERT_TRUE(fs::MakeDirectory(folder));
    FakeSyncContext ctx(folder);
    ctx.memoHost = ctx.loginHost = "127.0.0.1:" + std::to_string(server.port());
    LoginByScript(ctx, "kim", "pw");
    UploadUserDefaults(ctx);

    string index;
    ASSERT_EQ(FetchIndexText(ctx, index), 1);
    EXPECT_GT(index.size(), static_cast<std::size_t>(CHttpBlockingSocket::kReadBufSize));
    for (const char* section : {"[memo100000]", "[memo101999]", "[memo7]", "[memo8]"})
        EXPECT_NE(index.find(section), string::npos) << section;

    ctx.index.LoadFromText(index);
    const string restored = dir.File("kim/memo7.dat");
    ASSERT_EQ(DownloadMemoText(ctx, "memo7", restored), 1);
    EXPECT_TRUE(ReadBytes(restored) == big);

    // Past the bound: a failed exchange; the local text stays, and the
    // stamp is cleared so the next start-up asks again.
    const string kept = dir.File("kim/memo8.dat");
    ASSERT_TRUE(WriteBytes(kept, "local"));
    EXPECT_EQ(DownloadMemoText(ctx, "memo8", kept), 0);
    EXPECT_EQ(ReadBytes(kept), "local");
    string ver = "unset";
    ctx.index.GetString("memo8", "ver", ver);
    EXPECT_EQ(ver, "");
}

}  // namespace
}  // namespace tesra::test
