// The empty index that a start-up leaves must never reach the disk.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "storage/memo_index.h"
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

}  // namespace
}  // namespace tesra::test
