// Hancom Note's desktop notes ("hncnote.dsk"), read from the file's bytes.
// The file belongs to another program and is taken as untrusted input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/memo_format.h"

namespace tesra {

inline constexpr char kHancomNoteFile[] = "hncnote.dsk";

struct HancomNote {
    PixelRect rect;               // screen pixels
    std::uint32_t textColor = 0;  // 0x00BBGGRR
    std::uint16_t minimised = 0;
    LogFont font{};
    std::string text;  // CP949 bytes as stored, not terminated
};

struct HancomNoteList {
    std::vector<HancomNote> notes;  // in file order, up to the first damaged note
    bool damaged = false;           // the user is told; the notes before stay
};

// Fixed part of a note before its text, and the header before the notes.
inline constexpr std::size_t kHancomHeaderSize = 6;
inline constexpr std::size_t kHancomNoteFixedSize = 16 + 4 + 2 + 4 + 2 + 4 + 2 + 60 + 2;

// A note is damaged when its check word differs from its width plus its
// height, counted exactly (a sum that does not fit 16 bits never matches).
bool HancomCheckWordMatches(const PixelRect& rect, std::uint16_t check);

// Reads the header's count of notes and as many notes as follow, stopping
// at the first damaged one.
HancomNoteList ReadHancomNotes(std::string_view bytes);

}  // namespace tesra
