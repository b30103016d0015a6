// The memo index on disk: "tesra.ini" in the user folder, and the working
// copy "~tesra.ini" that holds the server's index between its download and
// its load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ini_file.h"

namespace tesra {

inline constexpr char kIndexFileName[] = "tesra.ini";
inline constexpr char kServerIndexFileName[] = "~tesra.ini";


// Loads previous from "tesra.ini" and live from a non-empty "~tesra.ini"
// (else from "tesra.ini" too), marks live unmodified and deletes the working
// copy.
void LoadIndexFiles(const std::string& userFolder, CIniFile& live, CIniFile& previous);

// Writes text (LF made CR LF) as the working copy; silent when it cannot.
void WriteServerIndexFile(const std::string& userFolder, std::string_view text);

// More memos than a desktop can show; from one index, the rest stay on the
// server (and in the index) unopened.
inline constexpr std::size_t kMaxMemosPerIndex = 3000;

struct IndexTextMemos {
    std::vector<std::string> sections;  // in text order, each once
    bool capped = false;                // the index named more than kMaxMemosPerIndex
};

// The memo sections an index text names: the pieces between "[" and the
// next "]", up to the first empty one, that start "memo" and are a memo's
// section name (IsMemoSectionName); any other piece is skipped. One pass.
IndexTextMemos MemoSectionsInIndexText(std::string_view text);

// The memo numbers of every memo section the index text names, however many
// (no cap: a new id must miss all of them), sorted, each once.
std::vector<std::int32_t> MemoIdsInIndexText(std::string_view text);

// Saves index to "tesra.ini" when it is marked modified. An index without a
// line is never written: it can only be one that a start-up cleared, and it
// would wipe the user's memos from the file.
void SaveIndexIfModified(CIniFile& index, const std::string& userFolder);

}  // namespace tesra
