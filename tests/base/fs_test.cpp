#include "base/fs.h"

#include <gtest/gtest.h>

#include <string>

#include "base/diag_log.h"
#include "support/cp949_corpus.h"
#include "support/temp_dir.h"

namespace tesra {
namespace {

TEST(FsPaths, JoinAndFolderOf) {
    EXPECT_EQ(fs::JoinPath("a", "b.dat"), std::string("a") + fs::kPathSeparator + "b.dat");
    EXPECT_EQ(fs::JoinPath("a\\", "b"), "a\\b");
    EXPECT_EQ(fs::FolderOf("C:\\x\\tesra\\memo1.dat"), "C:\\x\\tesra");
    EXPECT_EQ(fs::FolderOf("/tmp/a/b"), "/tmp/a");
    EXPECT_EQ(fs::FolderOf("name"), "");
    // The "\" behind a lead byte belongs to the character, not a separator.
    EXPECT_EQ(fs::FolderOf(std::string("C:\\d\\") + test::cp949::kLeadBackslash + "x"), "C:\\d");
}

TEST(FsPaths, SafeFileNamesAreOnePlainName) {
    for (const char* good : {"memo1.dat", "kim", "a.b", "CONSOLE", "COM10", "LPT0", "nul_", "\xB8\xDE\xB8\xF0.txt"})
        EXPECT_TRUE(fs::IsSafeFileName(good)) << good;
    const std::string tooLong(201, 'a');
    for (const std::string& bad :
         {std::string(), std::string("."), std::string(".."), std::string("a..b"), std::string("a\\b"),
          std::string("a/b"), std::string("C:"), std::string("x:stream"), std::string("a\r\nb"),
          std::string("a\0b", 3), std::string("tab\t"), std::string("del\x7F"), tooLong, std::string("CON"),
          std::string("con.txt"), std::string("Nul"), std::string("com1"), std::string("LPT9.dat"),
          std::string("AUX .x"), std::string("conin$"),
          // What Windows would alias to another name or refuse: "kim." and
          // "kim " are "kim".
          std::string("kim."), std::string("kim "), std::string("a*"), std::string("a?b"), std::string("a<b"),
          std::string("a>b"), std::string("a\"b"), std::string("a|b"), std::string("memo1.dat. ."),
          // Every byte counts, a trail byte too: no code page may turn it into a separator.
          std::string(test::cp949::kLeadBackslash), std::string("\x81/")})
        EXPECT_FALSE(fs::IsSafeFileName(bad)) << bad;
}

TEST(FsFiles, AtomicWriteReplacesAndLeavesNoTemporaries) {
    test::TempDir dir;
    const std::string path = dir.File("tesra.ini");
    EXPECT_FALSE(fs::Stat(path));
    ASSERT_TRUE(fs::WriteFileAtomic(path, std::string("old\r\n\0x", 7)));
    fs::FileStatus st;
    ASSERT_TRUE(fs::Stat(path, &st));
    EXPECT_EQ(st.size, 7);
    EXPECT_FALSE(st.isDirectory);
    ASSERT_TRUE(fs::WriteFileAtomic(path, "new"));
    EXPECT_EQ(test::ReadBytes(path), "new");
    ASSERT_TRUE(fs::WriteFileAtomic(path, ""));
    EXPECT_EQ(test::ReadBytes(path), "");
    // What a crash left half-written beside it does not stand in the way.
    ASSERT_TRUE(test::WriteBytes(path + ".new", "torn"));
    ASSERT_TRUE(fs::WriteFileAtomic(path, "after"));
    EXPECT_EQ(test::ReadBytes(path), "after");

    ASSERT_TRUE(fs::RemoveFile(path));
    EXPECT_TRUE(fs::MakeDirectory(dir.File("sub")));
    EXPECT_TRUE(fs::MakeDirectory(dir.File("sub")));
    ASSERT_TRUE(fs::Stat(dir.File("sub"), &st));
    EXPECT_TRUE(st.isDirectory);
    // A write that fails leaves nothing.
    EXPECT_FALSE(fs::WriteFileAtomic(dir.File("missing-folder") + fs::kPathSeparator + "x.ini", "data"));
    EXPECT_FALSE(fs::Stat(dir.File("missing-folder")));
}

TEST(FsFiles, SetTimesAndTheLocalCalendar) {
    test::TempDir dir;
    const std::string path = dir.File("memo1.dat");
    ASSERT_TRUE(test::WriteBytes(path, "x"));
    const fs::FileTime written = fs::FileTimeFromUnix(1700000000);
    ASSERT_TRUE(fs::SetTimes(path, nullptr, nullptr, &written));
    fs::FileStatus st;
    ASSERT_TRUE(fs::Stat(path, &st));
    EXPECT_EQ(st.lastWrite, 1700000000);
    EXPECT_FALSE(fs::SetTimes(dir.File("missing.dat"), nullptr, nullptr, &written));
    EXPECT_EQ(fs::FileTimeFromUnix(0).ticks, 116444736000000000ull);

    // Whatever the zone: whole quarter hours, less than a day away.
    std::int64_t local = 0;
    ASSERT_TRUE(fs::LocalCalendarAsUtc(1700000000, &local));
    EXPECT_LT(std::abs(local - 1700000000), 86400);
    EXPECT_EQ((local - 1700000000) % 900, 0);
}

TEST(FsFiles, MoveAndCopy) {
    test::TempDir dir;
    const std::string a = dir.File("a"), b = dir.File("b"), c = dir.File("c");
    ASSERT_TRUE(test::WriteBytes(a, "first"));
    ASSERT_TRUE(test::WriteBytes(b, "second"));
    ASSERT_TRUE(fs::MoveReplace(a, b));
    EXPECT_FALSE(fs::Stat(a));
    EXPECT_EQ(test::ReadBytes(b), "first");
    ASSERT_TRUE(fs::CopyOver(b, c));
    EXPECT_EQ(test::ReadBytes(c), "first");
    EXPECT_FALSE(fs::CopyOver(a, c));
    std::string out;
    EXPECT_FALSE(fs::ReadFile(a, &out));
}

TEST(FsFiles, AnyFileMatchingLooksAtTheNamesInTheFolder) {
    test::TempDir dir;
    // Brackets are plain characters in a folder's name.
    const std::string folder = dir.File("k[1]");
    ASSERT_TRUE(fs::MakeDirectory(folder));
    EXPECT_EQ(fs::AnyFileMatching(folder, "*.dat"), false);
    ASSERT_TRUE(test::WriteBytes(fs::JoinPath(folder, "a.dat"), "x"));
    EXPECT_EQ(fs::AnyFileMatching(folder, "*.dat"), true);
    EXPECT_EQ(fs::AnyFileMatching(folder, "*.unsaved"), false);
    EXPECT_EQ(fs::AnyFileMatching(dir.File("none"), "*.dat"), std::nullopt);
}

TEST(DiagLog, OneStampedLinePerEntryAndTheFileStaysWithinTwiceItsCap) {
    EXPECT_EQ(FormatUtc(0), "1970-01-01 00:00:00");
    EXPECT_EQ(FormatUtc(1796565601), "2026-12-06 14:00:01");
    EXPECT_EQ(FormatUtc(951782400), "2000-02-29 00:00:00");
    test::TempDir dir;
    const std::string path = dir.File("tesra-log.txt");
    CDiagLog log;
    log.SetFile(path, 200);
    log.Write("upload memo5: sent\r\nInjected: line", 0);
    std::string text;
    ASSERT_TRUE(fs::ReadFile(path, &text));
    EXPECT_EQ(text, "1970-01-01 00:00:00 upload memo5: sent  Injected: line\r\n");
    for (int i = 0; i < 50; ++i) log.Write("listini: completed, 1234 bytes", i);
    fs::FileStatus now, old;
    ASSERT_TRUE(fs::Stat(path, &now));
    ASSERT_TRUE(fs::Stat(path + ".1", &old));
    EXPECT_LE(now.size, 200);
    EXPECT_LE(old.size, 200);
    ASSERT_TRUE(fs::ReadFile(path, &text));
    EXPECT_NE(text.find(":49 listini"), std::string::npos);
}

}  // namespace
}  // namespace tesra
