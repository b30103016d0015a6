#include "tools/common/base64.h"

#include <cstdint>

namespace tesra::tools {

namespace {

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    // Up to two fill characters, and only where a padded encoder puts them.
    std::size_t fill = 0;
    while (fill < 2 && fill < text.size() && text[text.size() - 1 - fill] == '=') ++fill;
    if (fill > 0 && text.size() % 4 != 0) return std::nullopt;
    text.remove_suffix(fill);
    if (text.size() % 4 == 1) return std::nullopt;

    std::string out;
    out.reserve(text.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const int v = Sextet(c);
        if (v < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

}  // namespace tesra::tools
