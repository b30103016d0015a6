#include "storage/ini_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cp949_corpus.h"
#include "support/hancom_note_writer.h"
#include "support/temp_dir.h"

namespace tesra {
namespace {

using namespace test::cp949;
using Lines = std::vector<std::string>;
using std::string;

CIniFile FromText(std::string_view text) {
    CIniFile ini;
    ini.LoadFromText(text);
    return ini;
}

TEST(IniFile, LoadNormalisesLinesAndKeepsEveryByteOfText) {
    test::TempDir dir;
    const string path = dir.File("tesra.ini");
    const string longLine = "title=" + string(5000, 'x');
    ASSERT_TRUE(test::WriteBytes(path, "  [main]\r\n\r\nbg=3\n \t\v\f\r\nkey=a\rb  \r\r\n" + longLine +
                                           "\nnul=" + string("a\0b", 3) + "\n\tlast"));
    CIniFile ini;
    EXPECT_EQ(ini.Load(path), 1);
    EXPECT_EQ(ini.Lines(), (Lines{"[main]", "bg=3", "key=a\rb  \r", longLine, "nul=" + string("a\0b", 3), "last"}));
    EXPECT_EQ(ini.IsModified(), 1);
    EXPECT_EQ(ini.Path(), path);
    int bg = 0;
    EXPECT_EQ(ini.GetInt("main", "bg", bg), 1);
    EXPECT_EQ(bg, 3);

    // A missing file is an empty store, still due to be written.
    ini.SetModified(0);
    EXPECT_EQ(ini.Load(dir.File("none.ini")), 1);
    EXPECT_TRUE(ini.Lines().empty());
    EXPECT_EQ(ini.IsModified(), 1);
}

TEST(IniFile, SaveWritesCrLfLinesAndReadsBackTheSame) {
    test::TempDir dir;
    const string path = dir.File("tesra.ini");
    CIniFile ini;
    ini.SetString(kMemo, string("title") + kTrailA, string(kLeadBackslash) + kLeadBar + " ");
    EXPECT_EQ(ini.Save(path), 1);
    EXPECT_EQ(ini.IsModified(), 0);
    EXPECT_EQ(test::ReadBytes(path), string("[") + kMemo + "]\r\ntitle" + kTrailA + "=" + kLeadBackslash + kLeadBar +
                                         " \r\n");
    CIniFile back;
    back.Load(path);
    EXPECT_EQ(back.ToText(), test::ReadBytes(path));

    // A save that cannot be written stays due, so the changes are not dropped.
    ini.SetString("memo1", "note", "changed");
    EXPECT_EQ(ini.Save(dir.File("gone") + "/x/tesra.ini"), 1);
    EXPECT_EQ(ini.IsModified(), 1);
}

TEST(IniFile, LookupsMatchWholeHeadersAndKeyPrefixesOnly) {
    const CIniFile ini = FromText(
        "[main] \nbg=1\n[main]\nbg =2\nbgx=3\nbg=4\nbg=5\nempty=\nnum=12ab\nword=ab\n[]\n=v\n[" +
        string(kTrailA) + "]\nA=" + kHangul + "\n");
    // "[main] " is neither found nor a header, so the key search runs on.
    EXPECT_EQ(ini.FindSection("main"), 2);
    EXPECT_EQ(ini.IsSectionLine(0), 0);
    string value;
    EXPECT_EQ(ini.FindKey(0, "bg", value), 1);
    int n = -7;
    EXPECT_EQ(ini.GetInt("main", "bg", n), 1);  // not "bg =2", not "bgx=3", the first of two
    EXPECT_EQ(n, 4);
    EXPECT_EQ(ini.GetString("main", "empty", value), 1);
    EXPECT_EQ(value, "");
    std::int32_t l = -7;
    EXPECT_EQ(ini.GetLong("main", "num", l), 1);
    EXPECT_EQ(l, 12);
    EXPECT_EQ(ini.GetLong("main", "word", l), 1);
    EXPECT_EQ(l, 0);
    l = -7;
    EXPECT_EQ(ini.GetLong("main", "missing", l), 0);
    EXPECT_EQ(l, -7);
    value = "stale";
    EXPECT_EQ(ini.GetString("nosuch", "bg", value), 0);
    EXPECT_EQ(value, "");
    // "[]" is what an empty name looks for, though it is no header.
    EXPECT_EQ(ini.FindSection(""), 10);
    EXPECT_EQ(ini.IsSectionLine(10), 0);
    EXPECT_EQ(ini.GetString("", "", value), 1);
    EXPECT_EQ(value, "v");
    EXPECT_EQ(ini.CountSectionLines("main"), 7);
    // A Hangul name whose trail byte is "A" is not the key "A".
    EXPECT_EQ(ini.GetString(kTrailA, "A", value), 1);
    EXPECT_EQ(ini.FindSection("A"), -1);
}

TEST(IniFile, SetsInsertAtTheSectionEndAndTrackModified) {
    CIniFile ini = FromText("[a]\nx=1\nx=1\n[b]\ny=2\n");
    ini.SetModified(0);
    EXPECT_EQ(ini.SetInt("a", "x", 1), 1);
    EXPECT_EQ(ini.AddSection("b"), 3);
    EXPECT_EQ(ini.IsModified(), 0);
    ini.SetLong("a", "x", -5);
    ini.SetString("a", "z", "new");
    ini.SetString("c", "k", "v");
    EXPECT_EQ(ini.Lines(), (Lines{"[a]", "x=-5", "x=1", "z=new", "[b]", "y=2", "[c]", "k=v"}));
    EXPECT_EQ(ini.IsModified(), 1);
    ini.SetModified(0);
    ini.Clear();
    EXPECT_EQ(ini.IsModified(), 0);

    // A line starting with "[" ends the section for inserts, not for reads.
    ini = FromText("[a]\nk=1\n[x\nj=2\n");
    ini.SetString("a", "n", "3");
    string value;
    EXPECT_EQ(ini.GetString("a", "j", value), 1);
    EXPECT_EQ(ini.Lines(), (Lines{"[a]", "k=1", "n=3", "[x", "j=2"}));
}

TEST(IniFile, DeleteSectionRemovesToTheNextHeader) {
    CIniFile ini = FromText("[a]\n1=1\n[b]\n2=2\n[]\n[a]\n3=3\n[c]\n4=4\n");
    ini.SetModified(0);
    EXPECT_EQ(ini.DeleteSection("x"), 0);
    EXPECT_EQ(ini.IsModified(), 0);
    EXPECT_EQ(ini.DeleteSection("a"), 1);
    EXPECT_EQ(ini.IsModified(), 1);
    // The second "[a]" is now the one found; "[]" does not stop a removal.
    EXPECT_EQ(ini.FindSection("a"), 3);
    EXPECT_EQ(ini.DeleteSection("b"), 1);
    EXPECT_EQ(ini.Lines(), (Lines{"[a]", "3=3", "[c]", "4=4"}));
    EXPECT_EQ(ini.DeleteSection("c"), 1);
    EXPECT_EQ(ini.Lines(), (Lines{"[a]", "3=3"}));
}

// A Hancom face name and a title cut from a memo's first line come from
// outside: stored, neither may start a line, a key or a section.
TEST(IniFile, StoredValuesNeverHoldALineBreak) {
    HancomNote note = test::SampleHancomNote(0, 0, "x");
    std::strcpy(note.font.lfFaceName, "A\r\nver=0:0\n[memo9]");
    CIniFile ini;
    ini.SetString("memo1", "font", FormatFontString({0, ReadHancomNotes(test::WriteHancomNotes({note})).notes.at(0).font}));
    ini.SetString("memo1", "title", "first\ralarm=1");
    const CIniFile back = FromText(ini.ToText());
    EXPECT_EQ(back.Lines(), (Lines{"[memo1]", "font=0 -12 0 0 0 700 1 0 129 0 0 0 0 A  ver=0:0 [memo9]", "title=first alarm=1"}));
}

}  // namespace
}  // namespace tesra
