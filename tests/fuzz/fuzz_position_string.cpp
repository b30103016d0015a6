// Position strings come from the index: any bytes. Reading must agree with
// the C runtime's strtod wherever the number is decimal, and a rectangle
// written and read back may move by no more than the rounding to hundredths
// of a percent allows, or stay at the bound the reading holds it to.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "storage/memo_format.h"
#include "fuzz/check.h"

namespace {

using tesra::fuzz::Check;
using tesra::DesktopSize;
using tesra::PixelRect;

// What the first word gives on a desktop of 100 pixels, per strtod.
int ExpectedLeft(std::string word) {
    std::string_view rest = tesra::TrimLeft(word);
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) rest.remove_prefix(1);
    const auto starts = [&](const char* p) { return rest.size() >= 2 && (rest[0] | 0x20) == p[0] && (rest[1] | 0x20) == p[1]; };
    if (starts("0x") || starts("in") || starts("na")) return 0;  // never numbers in position strings
    errno = 0;
    const double value = std::strtod(word.c_str(), nullptr);
    if (errno == ERANGE) return 0;
    return tesra::PercentToPixels(std::clamp(value, -tesra::kMaxPositionPercent, tesra::kMaxPositionPercent), 100);
}

// b as read back: within the rounding of a, or held at the bound.
bool Near(int a, int b, int extent) {
    if (std::abs(tesra::PixelsToPercent(b, extent)) >= tesra::kMaxPositionPercent - 0.01)
        return std::abs(static_cast<double>(a)) <= tesra::kMaxPositionPercent / 100 * std::abs(static_cast<double>(extent)) + 1;
    const double slack = 1.0 + std::abs(static_cast<double>(extent)) * 0.00005 + 1e-6 * std::abs(static_cast<double>(a));
    return std::abs(static_cast<double>(a) - b) <= slack;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string_view c = std::string_view(text).substr(0, text.find('\0'));
    Check(tesra::ParsePositionString(text, {100, 100}).left == ExpectedLeft(tesra::GetPiece(c, " ", 0)));

    PixelRect legacy;
    const int fields = tesra::ParseLegacyPosition(text, legacy);
    const int values[] = {legacy.left, legacy.top, legacy.right, legacy.bottom};
    for (int i = 0; i < 4; ++i) Check(i < fields ? values[i] >= -999 && values[i] <= 9999 : values[i] == 0);

    FuzzedDataProvider in(data, size);
    const DesktopSize desk{in.ConsumeIntegralInRange(-20000, 20000), in.ConsumeIntegralInRange(-20000, 20000)};
    const PixelRect rect{in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(),
                         in.ConsumeIntegral<int>()};
    const std::string written = tesra::FormatPositionString(rect, desk);
    Check(tesra::CountPieces(written, " ") == 4);
    for (int i = 0; i < 4; ++i) {
        const std::string word = tesra::GetPiece(written, " ", i);
        const std::size_t dot = word.find('.');
        Check(dot != std::string::npos && dot + 3 == word.size());
        Check(word.find_first_not_of("-0123456789.") == std::string::npos);
    }
    const PixelRect back = tesra::ParsePositionString(written, desk);
    if (desk.width == 0 || desk.height == 0) return 0;
    Check(Near(back.left, rect.left, desk.width) && Near(back.right, rect.right, desk.width));
    Check(Near(back.top, rect.top, desk.height) && Near(back.bottom, rect.bottom, desk.height));
    return 0;
}
