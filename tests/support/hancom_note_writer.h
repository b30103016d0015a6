// Writes "hncnote.dsk" files for tests and fuzz seeds.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "storage/hancom_note.h"

namespace tesra::test {

struct HancomNoteRecord {
    HancomNoteRecord(HancomNote n) : note(std::move(n)) {}  // NOLINT: a plain note converts
    HancomNote note;
    std::optional<std::uint16_t> check, length;  // the right ones when unset
};

inline std::string WriteHancomNotes(const std::vector<HancomNoteRecord>& notes, std::optional<std::uint16_t> count = {}) {
    static_assert(sizeof(LogFont) == 60);  // the platform's record, little-endian like the file
    std::string out;
    const auto put = [&out](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(0x00011234, 4);
    put(count.value_or(static_cast<std::uint16_t>(notes.size())), 2);
    for (const HancomNoteRecord& s : notes) {
        const PixelRect& r = s.note.rect;
        for (int v : {r.left, r.top, r.right, r.bottom, 0}) put(static_cast<std::uint32_t>(v), 4);
        put(s.check.value_or(static_cast<std::uint16_t>(r.right - r.left + r.bottom - r.top)), 2);
        for (std::uint32_t v : {s.note.textColor, 0u, 0u}) put(v, 4);  // colour, then six bytes skipped
        out.resize(out.size() - 2);
        put(s.note.minimised, 2);
        out.append(reinterpret_cast<const char*>(&s.note.font), sizeof(LogFont));
        put(s.length.value_or(static_cast<std::uint16_t>(s.note.text.size())), 2);
        out += s.note.text;
    }
    return out;
}

// 100 x 50 pixels at (x, y) in bold italic underlined Gulim ("굴림").
inline HancomNote SampleHancomNote(int x, int y, std::string text) {
    HancomNote n{{x, y, x + 100, y + 50}, 0x00102030, 0, {}, std::move(text)};
    n.font.lfHeight = -12;
    n.font.lfWeight = 700;
    n.font.lfItalic = n.font.lfUnderline = 1;
    n.font.lfCharSet = 129;
    std::memcpy(n.font.lfFaceName, "\xB1\xBC\xB8\xB2", 4);
    return n;
}

}  // namespace tesra::test
