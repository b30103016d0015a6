// The memo index: the empty one a start-up leaves never reaches the disk;
// one memo's record of it.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "storage/memo_index.h"
#include "storage/memo_record.h"
#include "support/temp_dir.h"

namespace tesra::test {
namespace {

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

// A key the section lacks reads as no value; a write sets only the fields
// it holds, so a placement save leaves the stamps and the title alone.
TEST(MemoRecord, ReadsWhatTheSectionHoldsAndWritesOnlyWhatItIsGiven) {
    CIniFile index;
    index.LoadFromText("[memo1]\r\npos=1 2 3 4\r\nver=5:6\r\ntitle=t\r\n");
    MemoRecord r = ReadMemoRecord(index, "memo1");
    EXPECT_EQ(r.legacyPlace, "1 2 3 4");
    EXPECT_EQ(r.ver, "5:6");
    EXPECT_FALSE(r.colour || r.place || r.alarm || r.font);
    MemoRecord placed;
    placed.colour = 3;
    placed.folded = 1;
    WriteMemoRecord(index, "memo1", placed);
    r = ReadMemoRecord(index, "memo1");
    EXPECT_EQ(r.colour, 3);
    EXPECT_EQ(r.title, "t");
    EXPECT_EQ(r.ver, "5:6");
}

}  // namespace
}  // namespace tesra::test
