// The index files of a user folder: which file each index comes from, the
// working copy's end, and the empty index that must never reach the disk.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "storage/memo_index.h"
#include "support/temp_dir.h"

namespace tesra::test {
namespace {

TEST(MemoIndexFiles, LiveFromANonEmptyWorkingCopyPreviousFromTheIndex) {
    struct Case {
        const char* work;  // nullptr: no working copy
        const char* liveTitle;
    };
    for (const Case& c : {Case{"[memo1]\r\ntitle=server\r\n", "server"}, Case{"", "local"}, Case{nullptr, "local"}}) {
        TempDir dir;
        WriteBytes(dir.File("tesra.ini"), "[memo1]\r\ntitle=local\r\n");
        if (c.work) WriteBytes(dir.File("~tesra.ini"), c.work);
        CIniFile live, previous;
        LoadIndexFiles(dir.path(), live, previous);
        std::string title;
        live.GetString("memo1", "title", title);
        EXPECT_EQ(title, c.liveTitle);
        previous.GetString("memo1", "title", title);
        EXPECT_EQ(title, "local");
        EXPECT_FALSE(live.IsModified());
        EXPECT_FALSE(fs::Stat(dir.File("~tesra.ini")));
    }
}

TEST(MemoIndexFiles, ServerTextGoesThroughTheWorkingCopyWithCrLf) {
    TempDir dir;
    WriteServerIndexFile(dir.path(), "[main]\nbg=2\n[memo7]\nver=1:2\n");
    EXPECT_EQ(ReadBytes(dir.File("~tesra.ini")), "[main]\r\nbg=2\r\n[memo7]\r\nver=1:2\r\n");
    EXPECT_EQ(MemoSectionsInIndexText("[main]\nx=[y]\n[memo7]\n[tesra3]\n[memo9]\n[]\n[memo10]"),
              (std::vector<std::string>{"memo7", "memo9"}));
}

TEST(MemoIndexFiles, AnEmptyIndexIsNeverSaved) {
    TempDir dir;
    WriteBytes(dir.File("tesra.ini"), "[memo1]\r\n");
    CIniFile index;
    index.SetModified(1);
    SaveIndexIfModified(index, dir.path());
    EXPECT_EQ(ReadBytes(dir.File("tesra.ini")), "[memo1]\r\n");
    index.SetString("memo2", "bg", "1");
    SaveIndexIfModified(index, dir.path());
    EXPECT_EQ(ReadBytes(dir.File("tesra.ini")), "[memo2]\r\nbg=1\r\n");
}

}  // namespace
}  // namespace tesra::test
