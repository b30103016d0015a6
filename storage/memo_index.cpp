#include "storage/memo_index.h"

#include <algorithm>
#include <unordered_set>

#include "base/fs.h"
#include "base/text.h"
#include "storage/memo_format.h"

namespace tesra {

void LoadIndexFiles(const std::string& userFolder, CIniFile& live, CIniFile& previous) {
    const std::string work = fs::JoinPath(userFolder, kServerIndexFileName);
    const std::string main = fs::JoinPath(userFolder, kIndexFileName);
    previous.Load(main);
    fs::FileStatus st;
    if (fs::Stat(work, &st) && st.size >= 1)
        live.Load(work);
    else
        live.Load(main);
    live.SetModified(0);
    fs::RemoveFile(work);
}

void WriteServerIndexFile(const std::string& userFolder, std::string_view text) {
    fs::WriteFileAtomic(fs::JoinPath(userFolder, kServerIndexFileName), WithCrLf(text));
}

namespace {

// Each piece of the index text that is a memo's section name, in order, until
// visit answers false. The pieces as GetBetween takes them one by one (the
// next "[" is looked for one byte past the last), found in one pass: while the
// opens fall before the close found last, that close is still theirs.
template <class Visit>
void ForEachMemoPiece(std::string_view text, Visit visit) {
    int close = -1;
    for (int open = FindFrom(text, "[", 0); open >= 0; open = FindFrom(text, "[", open + 1)) {
        const int body = open + 1;
        if (close < body) close = FindFrom(text, "]", body);
        if (close < 0) break;
        const std::string_view piece = text.substr(static_cast<std::size_t>(body), static_cast<std::size_t>(close - body));
        if (piece.empty()) break;
        if (piece.size() > 24 || piece.substr(0, 4) != "memo" || !IsMemoSectionName(piece)) continue;
        if (!visit(piece)) break;
    }
}

}  // namespace

IndexTextMemos MemoSectionsInIndexText(std::string_view text) {
    IndexTextMemos out;
    std::unordered_set<std::string_view> seen;
    ForEachMemoPiece(text, [&](std::string_view piece) {
        if (!seen.insert(piece).second) return true;
        if (out.sections.size() == kMaxMemosPerIndex) {
            out.capped = true;
            return false;
        }
        out.sections.emplace_back(piece);
        return true;
    });
    return out;
}

std::vector<std::int32_t> MemoIdsInIndexText(std::string_view text) {
    std::vector<std::int32_t> ids;
    ForEachMemoPiece(text, [&](std::string_view piece) {
        // A Hancom note's muid ("tesra...") is no memo number.
        if (const std::string muid = MuidOf(piece); muid.rfind("tesra", 0) != 0)
            ids.push_back(static_cast<std::int32_t>(ParseLong(muid)));
        return true;
    });
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

void SaveIndexIfModified(CIniFile& index, const std::string& userFolder) {
    if (!index.IsModified() || index.Lines().empty()) return;
    index.Save(fs::JoinPath(userFolder, kIndexFileName));
}

}  // namespace tesra
