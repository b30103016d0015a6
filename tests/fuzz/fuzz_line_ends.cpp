// The line ends given to downloads: a memo's text CR LF only (every CR
// dropped, every LF made CR LF), an index text CR LF for its lone LFs;
// neither loses or adds another byte.
#include <algorithm>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string memo = tesra::CrLfOnly(text), index = tesra::WithCrLf(text);
    const auto paired = [](const std::string& s, std::size_t i) { return i > 0 && s[i - 1] == '\r' && s[i] == '\n'; };
    for (std::size_t i = 0; i < memo.size(); ++i)
        Check(memo[i] == '\r' ? i + 1 < memo.size() && paired(memo, i + 1) : memo[i] != '\n' || paired(memo, i));
    for (std::size_t i = 0; i < index.size(); ++i) Check(index[i] != '\n' || paired(index, i));
    const auto without = [](std::string s, char c) {
        s.erase(std::remove(s.begin(), s.end(), c), s.end());
        return s;
    };
    Check(without(memo, '\r') == without(text, '\r'));
    // Only CRs before LFs were added.
    Check(without(index, '\r') == without(text, '\r') && index.size() - text.size() == static_cast<std::size_t>(
              std::count(index.begin(), index.end(), '\r') - std::count(text.begin(), text.end(), '\r')));
    return 0;
}
