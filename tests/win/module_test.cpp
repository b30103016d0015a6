// The module carries its Korean strings byte-exact in CP949 (which needs the
// Korean code page), and the prefix draws Hangul in the faces memos ask for.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "module_util.h"
#include "support/cp949_corpus.h"

namespace tesra {
namespace {

using test::BesideThisProgram;
using test::Module;

TEST(Module, TheKoreanFacesHaveHangulGlyphs) {
    // The memo windows ask for "굴림" and "굴림체"; the prefix maps them to fonts
    // that can draw Hangul.
    HDC dc = ::CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    for (const char* face : {test::cp949::kGulim, test::cp949::kGulimChe}) {
        LOGFONTA lf{};
        lf.lfHeight = -12;
        lf.lfCharSet = HANGEUL_CHARSET;
        std::strcpy(lf.lfFaceName, face);
        HFONT font = ::CreateFontIndirectA(&lf);
        ASSERT_NE(font, nullptr);
        HGDIOBJ old = ::SelectObject(dc, font);
        WORD glyph = 0;
        EXPECT_EQ(::GetGlyphIndicesW(dc, L"\xAC00", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS), 1u);
        EXPECT_NE(glyph, 0xFFFF) << "no glyph for U+AC00 in the font chosen for " << face;
        ::SelectObject(dc, old);
        ::DeleteObject(font);
    }
    ::DeleteDC(dc);
}

TEST(Module, CarriesItsStringsInKorean) {
    Module ocx(BesideThisProgram("TESRA.OCX"));
    ASSERT_NE(ocx.get(), nullptr) << "LoadLibrary failed: " << ::GetLastError();
    char text[512] = {};
    const int n = ::LoadStringA(ocx.get(), 201, text, sizeof text);
    EXPECT_EQ(std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0), test::cp949::kSocketInitFailed);

    // The string table is Korean (language 1042).
    HRSRC block = ::FindResourceExA(ocx.get(), MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(201 / 16 + 1),
                                    MAKELANGID(LANG_KOREAN, SUBLANG_DEFAULT));
    EXPECT_NE(block, nullptr);
}

}  // namespace
}  // namespace tesra
