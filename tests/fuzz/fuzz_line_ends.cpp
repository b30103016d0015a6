// The line ends of what is downloaded: a memo's text gets CR LF only (every
// CR dropped, every LF made CR LF), an index text CR LF for its lone LFs;
// neither loses or adds any other byte.
#include <algorithm>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

namespace {

std::string Without(std::string s, char c) {
    s.erase(std::remove(s.begin(), s.end(), c), s.end());
    return s;
}

// Drops the one CR, if any, before each LF.
std::string UnCrLf(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out.push_back(s[i]);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string memo = tesra::CrLfOnly(text);
    for (std::size_t i = 0; i < memo.size(); ++i) {
        if (memo[i] == '\r') Check(i + 1 < memo.size() && memo[i + 1] == '\n');
        if (memo[i] == '\n') Check(i > 0 && memo[i - 1] == '\r');
    }
    Check(Without(memo, '\r') == Without(text, '\r'));

    const std::string index = tesra::WithCrLf(text);
    for (std::size_t i = 0; i < index.size(); ++i)
        if (index[i] == '\n') Check(i > 0 && index[i - 1] == '\r');
    Check(UnCrLf(index) == UnCrLf(text));
    return 0;
}
