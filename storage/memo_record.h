// One memo's section of the memo index: the keys the memo window, the
// manager, the Hancom import and the upload read and write, here only.
//
//   [memo123]
//   bg=3               colour index 0..8
//   %pos=10.00 ...     place as desktop percentages
//   pos=10 20 200 210  the legacy place in pixels (read, never written)
//   min=1              folded
//   oldver=12:170...   the stamp the text was edited from
//   ver=15:170...      the stamp of the text in the data file
//   alarm=1700000000   0 when none
//   title=...
//   font=...           the font string (storage/memo_format.h)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "storage/ini_file.h"

namespace tesra {

// A field without a value is a key the section does not hold (on reading),
// or one to leave as it is (on writing).
struct MemoRecord {
    std::optional<int> colour;
    std::optional<std::string> place;
    std::optional<std::string> legacyPlace;
    std::optional<int> folded;
    std::optional<std::string> oldver;
    std::optional<std::string> ver;
    std::optional<std::int32_t> alarm;
    std::optional<std::string> title;
    std::optional<std::string> font;
};

MemoRecord ReadMemoRecord(const CIniFile& index, std::string_view section);
// Sets the fields that hold a value, in the order above; a key set to the
// value it holds leaves the index unmodified.
void WriteMemoRecord(CIniFile& index, std::string_view section, const MemoRecord& record);

}  // namespace tesra
