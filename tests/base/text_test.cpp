#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/cp949_corpus.h"

namespace tesra {
namespace {

using namespace test::cp949;
using std::string;

TEST(FindFrom, AbsoluteOffsetsAndNeverOnATrailByte) {
    EXPECT_EQ(FindFrom("a=b;c=d", "=", 0), 1);
    EXPECT_EQ(FindFrom("a=b;c=d", "=", 2), 5);
    EXPECT_EQ(FindFrom("abc", "abcd", 0), -1);
    EXPECT_EQ(FindFrom("abc", "c", 99), -1);
    EXPECT_EQ(FindFrom("abc", "", 1), 1);
    // Never on a trail byte: "A" is the trail byte of 갂; only the standalone "A" counts.
    const string text = string(kTrailA) + "A";
    EXPECT_EQ(FindFrom(text, "A", 0), 2);
    EXPECT_EQ(FindFrom(kTrailA, "A", 0), -1);
    // Same for "\" and "|" behind a lead byte.
    EXPECT_EQ(FindFrom(string(kLeadBackslash) + "\\", "\\", 0), 2);
    EXPECT_EQ(FindFrom(string(kLeadBar) + kLeadBar + "|x", "|", 0), 4);
    // A needle that begins with a trail byte and runs into the next character.
    EXPECT_EQ(FindFrom(string(kTrailM) + "emo", "memo", 0), -1);
    EXPECT_EQ(FindFrom(string(kMemo) + "memo12", "memo", 0), 4);
    // Double-byte needles match whole characters.
    EXPECT_EQ(FindFrom(string("x") + kHangul + kGa, kGa, 0), 5);
    // Runs of lead-range bytes pair up from where the search begins.
    EXPECT_EQ(FindFrom("\xB0\xB0\xB0\xB0\xB0", "\xB0", 1), 1);
    EXPECT_EQ(FindFrom("x\xB0\xB0\xB0[\xB0[", "[", 0), -1);
    EXPECT_EQ(FindFrom("x\xB0\xB0\xB0[[", "[", 0), 5);
    EXPECT_EQ(FindFrom("x\xB0\xB0\xB0\xB0[", "[", 0), 5);
    // A lead byte at the end stands alone.
    EXPECT_EQ(FindFrom("ab\x81", "\x81", 0), 2);
    EXPECT_EQ(FindFrom("ab\x81", "b", 0), 1);
}

TEST(Pieces, SplitAtEverySeparatorOutsideCharacters) {
    EXPECT_EQ(GetPiece("OK|sid|x", "|", 2), "x");
    EXPECT_EQ(GetPiece("OK|sid|x", "|", 3), "");
    EXPECT_EQ(GetPiece("a||b", "|", 1), "");
    EXPECT_EQ(GetPiece("line1\r\nline2\r\n", "\r\n", 1), "line2");
    EXPECT_EQ(GetPiece("abc", "", 0), "abc");
    EXPECT_EQ(CountPieces("", "|"), 1);
    EXPECT_EQ(CountPieces("a\r\n\r\nb", "\r\n"), 3);
    EXPECT_EQ(CountPieces("abc", ""), 1);
    // A separator inside a double-byte character is none.
    const string text = string(kLeadBar) + "|" + kGa + "|" + kTrailA;
    EXPECT_EQ(CountPieces(text, "|"), 3);
    EXPECT_EQ(GetPiece(text, "|", 0), kLeadBar);
    EXPECT_EQ(GetPiece(text, "|", 1), kGa);
    EXPECT_EQ(GetPiece(text, "|", 2), kTrailA);
    EXPECT_EQ(CountPieces(string(kTrailA) + "A" + kTrailA, "A"), 2);
}

TEST(CopyTextBounded, CutsWithoutSplittingACharacter) {
    EXPECT_EQ(CopyTextBounded("abcdef", 4), "abcd");
    EXPECT_EQ(CopyTextBounded("abc", 0), "");
    // After a pair the copy stops once limit - 1 bytes are in.
    const string three = string(kGa) + kGa + kGa;
    EXPECT_EQ(CopyTextBounded(three, 3), string(kGa));
    EXPECT_EQ(CopyTextBounded(three, 4), string(kGa) + kGa);
    EXPECT_EQ(CopyTextBounded(string(kGa) + kGa + "a", 5), string(kGa) + kGa);
    EXPECT_EQ(CopyTextBounded(string(kGa) + "ab", 4), string(kGa) + "ab");
    // A pair that would pass the limit is left out.
    EXPECT_EQ(CopyTextBounded(string("a") + kGa, 2), "a");
    EXPECT_EQ(CopyTextBounded(string("ab") + kGa, 3), "ab");
    // 0x80 and 0xFF lead no pair in CP949: one byte each.
    EXPECT_EQ(CopyTextBounded("\x80x", 1), "\x80");
    EXPECT_EQ(CopyTextBounded("\xFFx", 1), "\xFF");
    // A lone high byte at the end, or before a NUL, is one byte.
    EXPECT_EQ(CopyTextBounded("a\x81", 5), "a\x81");
    EXPECT_EQ(CopyTextBounded(string("a\x81\0b", 4), 5), "a\x81");
    // Seventy bytes of Hangul stay whole.
    string title;
    for (int i = 0; i < 40; ++i) title += kHangul;  // 160 bytes
    const string cut = CopyTextBounded(title, 70);
    EXPECT_EQ(cut.size(), 70u);
    EXPECT_EQ(cut, title.substr(0, 70));
    const string odd = "x" + title;
    EXPECT_EQ(CopyTextBounded(odd, 70).size(), 69u);
}

TEST(TextUtilities, FormatTrimReplaceParse) {
    const string longText(1000, 'x');
    EXPECT_EQ(Format("[%s]", longText.c_str()), "[" + longText + "]");
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x \x0b"), "  x");
    EXPECT_EQ(ReplaceAll("memomemo7", "memo", ""), "7");
    EXPECT_EQ(ReplaceAll(string(kTrailM) + "emo1", "memo", ""), string(kTrailM) + "emo1");
    EXPECT_EQ(ReplaceAll("a\nb\n", "\n", "\r\n"), "a\r\nb\r\n");

    EXPECT_EQ(ParseLong("  -42abc"), -42);
    EXPECT_EQ(ParseLong("+7"), 7);
    EXPECT_EQ(ParseLong("- 5"), 0);
    EXPECT_EQ(ParseLong("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseLong("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(ParseLong("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt("1717000000:12"), 1717000000);
}

// A memo's text comes from the server, FTP or the host: a click on a
// detected link opens web and mail addresses only.
TEST(Links, OnlyWebAndMailLinksOpen) {
    for (const char* link : {"http://a.kr/x?y=1&z", "HTTPS://a.kr", "mailto:kim@a.kr", "ftp://f.a.kr/p", "Http://a"})
        EXPECT_EQ(LinkToOpen(link), link);
    EXPECT_EQ(LinkToOpen("www.a.kr/x"), "http://www.a.kr/x");
    for (const char* link : {"file:///C:/Windows/system32/calc.exe", "file://server/share/x.exe", "\\\\server\\share\\x.exe",
                             "C:\\x.bat", "javascript:alert(1)", "shell:startup", "ms-settings:", "news:x", "notepad", "",
                             "http:x", "http://a b", "http://a\"b", "http://a\r\nb", "mailto", "wwwa.kr"})
        EXPECT_EQ(LinkToOpen(link), "") << link;
}

}  // namespace
}  // namespace tesra
