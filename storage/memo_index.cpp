#include "storage/memo_index.h"

#include "base/fs.h"
#include "base/text.h"

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
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) bytes.push_back('\r');
        bytes.push_back(text[i]);
    }
    fs::WriteFileAtomic(fs::JoinPath(userFolder, kServerIndexFileName), bytes);
}

std::vector<std::string> MemoSectionsInIndexText(std::string_view text) {
    std::vector<std::string> sections;
    for (int n = 0;; ++n) {
        std::string piece = GetBetween(text, "[", "]", n);
        if (piece.empty()) break;
        if (piece.compare(0, 4, "memo") == 0) sections.push_back(std::move(piece));
    }
    return sections;
}

void SaveIndexIfModified(CIniFile& index, const std::string& userFolder) {
    if (!index.IsModified() || index.Lines().empty()) return;
    index.Save(fs::JoinPath(userFolder, kIndexFileName));
}

}  // namespace tesra
