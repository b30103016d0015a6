// The server's index text as the start-up takes memos from it: the pieces
// the bracket rule read one at a time always gave, in order, only memo
// names, each once, up to the cap; each a path inside the user folder and
// an id of digits.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "storage/memo_format.h"
#include "storage/memo_index.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size), folder = "/users/kim";
    const tesra::IndexTextMemos memos = tesra::MemoSectionsInIndexText(text);
    // Every id the capped list opens is among the ids kept as taken.
    const std::vector<std::int32_t> ids = tesra::MemoIdsInIndexText(text);
    Check(std::is_sorted(ids.begin(), ids.end()) && std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    Check(memos.sections.size() <= tesra::kMaxMemosPerIndex && (!memos.capped || memos.sections.size() == tesra::kMaxMemosPerIndex));
    for (const std::string& section : memos.sections) {
        Check(section.compare(0, 4, "memo") == 0 && tesra::IsMemoSectionName(section));
        Check(tesra::fs::FolderOf(tesra::SectionDataPath(folder, section)) == folder);
        const std::string muid = tesra::MuidOf(section);
        const std::string digits = muid.compare(0, 5, "tesra") == 0 ? muid.substr(5) : muid;
        Check(!digits.empty() && digits.find_first_not_of("-0123456789") == std::string::npos);
        Check(digits.size() != muid.size() ||
              std::binary_search(ids.begin(), ids.end(), static_cast<std::int32_t>(tesra::ParseLong(muid))));
    }
    std::vector<std::string> sorted = memos.sections;
    std::sort(sorted.begin(), sorted.end());
    Check(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    // The one pass against the rule it replaces, where that is cheap.
    if (size > 128) return 0;
    std::vector<std::string> slow;
    for (int n = 0; slow.size() < tesra::kMaxMemosPerIndex; ++n) {
        const std::string piece = tesra::GetBetween(text, "[", "]", n);
        if (piece.empty()) break;
        if (piece.compare(0, 4, "memo") == 0 && tesra::IsMemoSectionName(piece) &&
            std::find(slow.begin(), slow.end(), piece) == slow.end())
            slow.push_back(piece);
    }
    Check(slow == memos.sections);
    return 0;
}
