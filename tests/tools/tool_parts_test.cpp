// The stand-ins' decoders: bytes in, bytes out, whatever the charset.
#include <gtest/gtest.h>

#include <string>

#include "tools/common/base64.h"
#include "tools/common/form.h"

namespace tesra::tools {
namespace {

using namespace std::string_literals;

TEST(StandInBase64, DecodesWithAndWithoutFill) {
    EXPECT_EQ(DecodeBase64("YWJj"), "abc");
    EXPECT_EQ(DecodeBase64("YWI"), "ab");
    EXPECT_EQ(DecodeBase64("YWI="), "ab");
    EXPECT_EQ(DecodeBase64("/w"), "\xFF");
    EXPECT_EQ(DecodeBase64("/w=="), "\xFF");
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_EQ(DecodeBase64("AA"), "\0"s);
    EXPECT_EQ(DecodeBase64("x8e x"), std::nullopt);
    EXPECT_EQ(DecodeBase64("YWJjZ"), std::nullopt);
    EXPECT_EQ(DecodeBase64("YW=I"), std::nullopt);
    EXPECT_EQ(DecodeBase64("YWI=="), std::nullopt);
}

TEST(StandInForm, ValuesDecodeToBytes) {
    EXPECT_EQ(PercentDecode("%b0%A1%00a+b"), "\xB0\xA1\0a b"s);
    // Raw CP949 passes untouched; stray "%" stays.
    EXPECT_EQ(PercentDecode("\xC7\xD2\xBA\xB8"), "\xC7\xD2\xBA\xB8");
    EXPECT_EQ(PercentDecode("100%"), "100%");
    EXPECT_EQ(PercentDecode("%4"), "%4");
    EXPECT_EQ(PercentDecode("%zz%4g"), "%zz%4g");

    const Form form = DecodeForm("cmd=set&name=\xC7\xD2\xBA\xB8&empty=&flag&cmd=other&&ver=1:2");
    EXPECT_EQ(FormValue(form, "cmd"), "set");
    EXPECT_EQ(FormValue(form, "name"), "\xC7\xD2\xBA\xB8");
    EXPECT_EQ(FormValue(form, "ver"), "1:2");
    EXPECT_EQ(form.count("empty"), 1u);
    EXPECT_EQ(form.count("flag"), 1u);
    EXPECT_EQ(FormValue(form, "missing"), "");
}

}  // namespace
}  // namespace tesra::tools
