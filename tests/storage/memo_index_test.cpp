// The index files of a user folder: the server's text on its way in, and
// the empty index that must never reach the disk.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "storage/memo_index.h"
#include "support/temp_dir.h"

namespace tesra::test {
namespace {

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
