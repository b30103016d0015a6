#include "storage/memo_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "storage/storage_util.h"
#include "support/cp949_corpus.h"
#include "support/hancom_note_writer.h"
#include "support/temp_dir.h"

namespace tesra {
namespace {

using namespace test::cp949;
using std::string;

MemoFont Gulim() {
    MemoFont f;
    f.textColor = 0x00FF8000;
    f.font.lfHeight = -12;
    f.font.lfWeight = 700;
    f.font.lfUnderline = 1;
    f.font.lfCharSet = 129;
    f.font.lfOutPrecision = 3;
    f.font.lfClipPrecision = 2;
    f.font.lfQuality = 1;
    f.font.lfPitchAndFamily = 49;
    std::strcpy(f.font.lfFaceName, kGulimChe);
    return f;
}

TEST(FontString, WritesTheFieldsAndReadsThemBackWithoutUnderline) {
    const string text = FormatFontString(Gulim());
    EXPECT_EQ(text, string("16744448 -12 0 0 0 700 0 0 129 3 2 1 49 ") + kGulimChe);
    MemoFont back;
    ASSERT_EQ(ParseFontString(text, back), kFontStringFields);
    MemoFont want = Gulim();
    want.font.lfUnderline = 0;
    EXPECT_EQ(std::memcmp(&back, &want, sizeof want), 0);

    // An invalid colour survives as the signed number it prints as.
    want.textColor = 0xFFFFFFFF;
    EXPECT_EQ(FormatFontString(want).substr(0, 3), "-1 ");
    ASSERT_EQ(ParseFontString(FormatFontString(want), back), kFontStringFields);
    EXPECT_EQ(back.textColor, 0xFFFFFFFFu);
}

TEST(FontString, ReadsForgivingly) {
    MemoFont f = Gulim();
    EXPECT_EQ(ParseFontString(string("0 -12 0 0 0 400 256 -1 129 3 2 1 49  ") + kGulim + " " + kHangul, f), 14);
    EXPECT_EQ(f.font.lfItalic, 0);
    EXPECT_EQ(f.font.lfStrikeOut, 255);
    EXPECT_STREQ(f.font.lfFaceName, kGulim);

    // What was read is kept; the rest is cleared.
    f = Gulim();
    EXPECT_EQ(ParseFontString("255 -12 7x 9", f), 3);
    EXPECT_EQ(f.textColor, 255u);
    EXPECT_EQ(f.font.lfHeight, -12);
    EXPECT_EQ(f.font.lfWidth, 7);
    EXPECT_EQ(f.font.lfCharSet, 0);
    EXPECT_STREQ(f.font.lfFaceName, "");
    EXPECT_EQ(ParseFontString("1 2 3 4 5 6 7 8 9 10 11 12 13 ", f), 13);
    EXPECT_EQ(ParseFontString(string("1 2 3 4 5 6 7 8 9 10 11 12 13 ab") + '\0' + "cd", f), 14);
    EXPECT_STREQ(f.font.lfFaceName, "ab");

    // A face too long for the record is cut at a whole character.
    string face;
    for (int i = 0; i < 20; ++i) face += kTrailA;
    ASSERT_EQ(ParseFontString("0 0 0 0 0 0 0 0 0 0 0 0 0 " + face, f), 14);
    EXPECT_EQ(string(f.font.lfFaceName), face.substr(0, 30));
    ASSERT_EQ(ParseFontString("0 0 0 0 0 0 0 0 0 0 0 0 0 " + string(40, 'x'), f), 14);
    EXPECT_EQ(string(f.font.lfFaceName), string(31, 'x'));
}

TEST(MemoNames, KeysMuidsStampsAndIds) {
    EXPECT_EQ(MemoDataPath("u", 12), string("u") + fs::kPathSeparator + "memo12.dat");
    EXPECT_EQ(MuidOf("memomemo123"), "123");
    EXPECT_EQ(MuidOf("tesra5"), "tesra5");
    EXPECT_EQ(MuidOf("memotesra-5"), "tesra-5");  // a Hancom note as the server lists it
    // "m" as a trail byte does not start a "memo"; what is left is no id.
    EXPECT_EQ(MuidOf(string(kTrailM) + "emo1"), "");
    EXPECT_EQ(FormatVersionStamp({0x100000005, -2, false}), "5:-2");  // 32-bit, as always printed

    const std::int64_t midnight = 1699974000;  // 15:00 UTC
    CMemoIdMaker ids([&] { return midnight - 1; });
    EXPECT_EQ(ids.Next(), midnight - 1);
    EXPECT_EQ(ids.Next(), midnight + 1);
}

TEST(PositionString, WritesPercentagesAndReadsThemBackToPixels) {
    const DesktopSize desk{1024, 768};
    EXPECT_EQ(FormatPositionString({0, 0, 200, 210}, desk), "0.00 0.00 19.53 27.34");
    EXPECT_EQ(ParsePositionString("0.00 0.00 19.53 27.34", desk), (PixelRect{0, 0, 199, 209}));
    EXPECT_EQ(ParsePositionString(kDefaultPositionString, desk), (PixelRect{0, 0, 204, 153}));
    const DesktopSize thousand{1000, 1000};
    EXPECT_EQ(ParsePositionString("90.00 10.00 99.00 30.00", thousand), (PixelRect{900, 100, 990, 300}));
    // Truncation toward zero; not-a-number, empty and missing words are 0.
    EXPECT_EQ(ParsePositionString("-1.05 x  7", thousand), (PixelRect{-10, 0, 0, 70}));
    EXPECT_EQ(ParsePositionString("+5 .5 5. 1e1", thousand), (PixelRect{50, 5, 50, 100}));
    EXPECT_EQ(ParsePositionString("inf nan 0x10 1e999", thousand), (PixelRect{0, 0, 0, 0}));
    EXPECT_EQ(ParsePositionString("\t12.5abc 50", thousand), (PixelRect{125, 500, 0, 0}));

    // A decimal comma in the C locale changes neither direction.
    for (const char* name : {"de_DE.UTF-8", "de_DE", "German_Germany.1252", "German"}) {
        if (!std::setlocale(LC_ALL, name)) continue;
        const string written = FormatPositionString({0, 0, 200, 210}, desk);
        const PixelRect read = ParsePositionString("12.50 0 0 0", thousand);
        std::setlocale(LC_ALL, "C");
        EXPECT_EQ(written, "0.00 0.00 19.53 27.34") << name;
        EXPECT_EQ(read.left, 125) << name;
        break;
    }
}

TEST(PositionString, LegacyPixelsReadAtMostFourCharactersEach) {
    PixelRect r{9, 9, 9, 9};
    EXPECT_EQ(ParseLegacyPosition("0100 0200 0300 0400", r), 4);
    EXPECT_EQ(r, (PixelRect{100, 200, 300, 400}));
    EXPECT_EQ(ParseLegacyPosition("12345678", r), 2);
    EXPECT_EQ(r, (PixelRect{1234, 5678, 0, 0}));
    EXPECT_EQ(ParseLegacyPosition(" -12 +7\t9 x", r), 3);
    EXPECT_EQ(r, (PixelRect{-12, 7, 9, 0}));
    EXPECT_EQ(ParseLegacyPosition("-", r), 0);
}

// Numbers from the server's index and from Hancom's file, as far out as
// they go: what the parsers hand on leaves the windows' arithmetic in range
// (a rich edit size is -15 times the height; a placement adds margins).
TEST(HostileNumbers, AreClampedWhereTheyAreRead) {
    MemoFont f;
    ASSERT_EQ(ParseFontString("0 -2147483648 2147483647 -2147483648 2147483647 -2147483648 0 0 0 0 0 0 0 x", f), 14);
    HancomNote n = test::SampleHancomNote(0, 0, "x");
    n.font.lfHeight = INT32_MIN;
    n.font.lfWidth = n.font.lfWeight = INT32_MAX;
    const HancomNoteList notes = ReadHancomNotes(test::WriteHancomNotes({n}));
    ASSERT_EQ(notes.notes.size(), 1u);
    for (const LogFont& font : {f.font, notes.notes[0].font})
        for (const std::int32_t v : {font.lfHeight, font.lfWidth, font.lfEscapement, font.lfOrientation, font.lfWeight})
            EXPECT_LE(std::abs(static_cast<std::int64_t>(v)) * 15, INT32_MAX / 1000) << v;
    const PixelRect r = ParsePositionString("1e300 -1e300 1e300 -1.7e308", {3840, 2160});
    for (const int v : {r.left, r.top, r.right, r.bottom}) EXPECT_LE(std::abs(static_cast<std::int64_t>(v)), INT32_MAX / 1000) << v;
}

TEST(StorageUtil, NamesAndPercentages) {
    EXPECT_EQ(MakeBackupName("C:\\v1.2\\memo12"), "C:\\v1.bak");
    EXPECT_EQ(MakeBackupName("memo"), "memo.bak");
    EXPECT_EQ(StripExtension(string(kHangul) + ".a.txt"), string(kHangul) + ".a");
    EXPECT_EQ(StripExtension("x\x81.txt"), "x\x81.txt");  // the lead byte claims the "."

    EXPECT_EQ(PixelsToPercent(5, 0), 0.0);
    EXPECT_EQ(PercentToPixelsY(-1.05, {0, 1000}), -10);
    EXPECT_EQ(PercentToPixels(std::nan(""), 1000), 0);
    EXPECT_EQ(PercentToPixels(1e300, 1000), INT_MAX);
    EXPECT_EQ(PercentToPixels(-1e300, 1000), INT_MIN);

    test::TempDir dir;
    EXPECT_TRUE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.File("tesra.ini")));
}

}  // namespace
}  // namespace tesra
