#include "base/text.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tesra {

int FindFrom(std::string_view text, std::string_view needle, int start) {
    if (start < 0) start = 0;
    auto i = static_cast<std::size_t>(start);
    if (i > text.size()) return -1;
    if (needle.empty()) return start;
    // memchr to each candidate, then whether it starts a character. A byte
    // that cannot lead always ends a character, so the lead bytes between the
    // last such byte (or i, a known start) and the candidate pair up: an odd
    // run means the candidate is a trail byte. i only moves forward, so the
    // walks back add up to one pass.
    const char* const data = text.data();
    while (i + needle.size() <= text.size()) {
        const void* hit = std::memchr(data + i, needle[0], text.size() - needle.size() + 1 - i);
        if (hit == nullptr) return -1;
        const auto p = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        std::size_t q = p;
        while (q > i && IsLeadByte(static_cast<unsigned char>(data[q - 1]))) --q;
        if ((p - q) % 2 == 1) {
            i = p + 1;
            continue;
        }
        if (std::memcmp(data + p, needle.data(), needle.size()) == 0) return static_cast<int>(p);
        i = p + CharLength(text, p);
    }
    return -1;
}

std::string GetPiece(std::string_view text, std::string_view separator, int n) {
    if (n < 0) return {};
    if (separator.empty()) return n == 0 ? std::string(text) : std::string();
    int pos = 0;
    for (int k = 0;; ++k) {
        const int hit = FindFrom(text, separator, pos);
        if (k == n) {
            const auto end = hit < 0 ? text.size() : static_cast<std::size_t>(hit);
            return std::string(text.substr(pos, end - pos));
        }
        if (hit < 0) return {};
        pos = hit + static_cast<int>(separator.size());
    }
}

std::string GetBetween(std::string_view text, std::string_view open, std::string_view close, int n) {
    if (n < 0) return {};
    int pos = 0;
    for (int k = 0;; ++k) {
        const int o = FindFrom(text, open, pos);
        if (o < 0) return {};
        const int body = o + static_cast<int>(open.size());
        const int c = FindFrom(text, close, body);
        if (c < 0) return {};
        if (k == n) return std::string(text.substr(body, c - body));
        pos = o + static_cast<int>(close.size());
    }
}

int CountPieces(std::string_view text, std::string_view separator) {
    if (separator.empty()) return 1;
    int count = 1;
    for (int pos = FindFrom(text, separator, 0); pos >= 0;
         pos = FindFrom(text, separator, pos + static_cast<int>(separator.size())))
        ++count;
    return count;
}

std::string CopyTextBounded(std::string_view src, int limit) {
    std::string out;
    if (limit <= 0) return out;
    const auto cap = static_cast<std::size_t>(limit);
    std::size_t i = 0;
    while (i < src.size() && src[i] != '\0') {
        const bool pair = IsLeadByte(static_cast<unsigned char>(src[i])) && i + 1 < src.size() && src[i + 1] != '\0';
        if (pair) {
            if (out.size() + 2 > cap) break;
            out.append(src.substr(i, 2));
            i += 2;
            if (out.size() + 1 >= cap) break;
        } else {
            out.push_back(src[i++]);
            if (out.size() >= cap) break;
        }
    }
    return out;
}

std::string FormatV(const char* fmt, std::va_list args) {
    char small[256];
    std::va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Format(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

std::string_view TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsSpace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
    std::size_t n = s.size();
    // A trail byte is never white space in CP949, so a backward scan is safe.
    while (n > 0 && IsSpace(static_cast<unsigned char>(s[n - 1]))) --n;
    return s.substr(0, n);
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    int pos = 0;
    for (int hit = FindFrom(text, from, 0); hit >= 0; hit = FindFrom(text, from, pos)) {
        out.append(text.substr(pos, hit - pos)).append(to);
        pos = hit + static_cast<int>(from.size());
    }
    out.append(text.substr(pos));
    return out;
}

std::int32_t ParseLong(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsSpace(static_cast<unsigned char>(s[i]))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<long long>(INT32_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

std::string CrLfOnly(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

std::string LinkToOpen(std::string_view link) {
    const auto lower = [](std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    };
    // One word: no blank, control byte or quote that could end it where the
    // shell splits a command line.
    for (const char c : link)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '"') return {};
    const std::string low = lower(link.substr(0, 8));
    // What the rich edit detects without a scheme is a web address.
    if (low.rfind("www.", 0) == 0 && link.size() > 4) return "http://" + std::string(link);
    for (const std::string_view scheme : {"http://", "https://", "ftp://", "mailto:"})
        if (low.rfind(scheme, 0) == 0 && link.size() > scheme.size()) return std::string(link);
    return {};
}

}  // namespace tesra
