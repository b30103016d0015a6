// Hancom Note's file is another program's: any bytes. Reading stays inside
// them, stops at a damaged note, never yields more notes than the count or
// text than the file holds, and each note's font and position format.
#include <cstdint>
#include <string_view>

#include "storage/hancom_note.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tesra::HancomNoteList list = tesra::ReadHancomNotes(bytes);
    const std::size_t count = size >= tesra::kHancomHeaderSize ? (data[4] | (data[5] << 8)) : 0;
    Check(list.notes.size() <= count);
    std::size_t used = tesra::kHancomHeaderSize;
    for (const tesra::HancomNote& note : list.notes) {
        Check(note.font.lfFaceName[tesra::kFaceNameSize - 1] == '\0');
        used += tesra::kHancomNoteFixedSize + note.text.size();
        tesra::FormatFontString({note.textColor, note.font});
        tesra::FormatPositionString(note.rect, {1024, 768});
    }
    Check(list.notes.empty() || used <= size);
    // Not damaged: every counted note was read whole.
    Check(list.damaged || list.notes.size() == count);
    return 0;
}
