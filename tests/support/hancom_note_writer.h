// Writes "hncnote.dsk" files for tests and fuzz seeds.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "storage/hancom_note.h"

namespace tesra::test {

struct HancomNoteSpec {
    HancomNoteSpec(HancomNote n) : note(std::move(n)) {}  // NOLINT: a plain note converts
    HancomNote note;
    std::optional<std::uint16_t> check;   // the right one when unset
    std::optional<std::uint16_t> length;  // the text's when unset
};

inline void PutLe(std::string& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string WriteHancomNotes(const std::vector<HancomNoteSpec>& notes,
                                    std::optional<std::uint16_t> count = {}) {
    std::string out;
    PutLe(out, 0x1234, 2);
    PutLe(out, 1, 2);
    PutLe(out, count.value_or(static_cast<std::uint16_t>(notes.size())), 2);
    for (const HancomNoteSpec& s : notes) {
        const HancomNote& n = s.note;
        const PixelRect& r = n.rect;
        for (int v : {r.left, r.top, r.right, r.bottom}) PutLe(out, static_cast<std::uint32_t>(v), 4);
        PutLe(out, 0, 4);
        PutLe(out, s.check.value_or(static_cast<std::uint16_t>(r.right - r.left + r.bottom - r.top)), 2);
        PutLe(out, n.textColor, 4);
        PutLe(out, 0, 2);
        PutLe(out, 0, 4);
        PutLe(out, n.minimised, 2);
        const LogFont& f = n.font;
        for (std::int32_t v : {f.lfHeight, f.lfWidth, f.lfEscapement, f.lfOrientation, f.lfWeight})
            PutLe(out, static_cast<std::uint32_t>(v), 4);
        for (std::uint8_t b : {f.lfItalic, f.lfUnderline, f.lfStrikeOut, f.lfCharSet, f.lfOutPrecision,
                               f.lfClipPrecision, f.lfQuality, f.lfPitchAndFamily})
            out.push_back(static_cast<char>(b));
        out.append(f.lfFaceName, kFaceNameSize);
        PutLe(out, s.length.value_or(static_cast<std::uint16_t>(n.text.size())), 2);
        out += n.text;
    }
    return out;
}

// A note as Hancom Note would keep it: 100 x 50 pixels at (x, y), Gulim 9pt.
inline HancomNote SampleHancomNote(int x, int y, std::string text) {
    HancomNote n;
    n.rect = {x, y, x + 100, y + 50};
    n.textColor = 0x00102030;
    n.font.lfHeight = -12;
    n.font.lfWeight = 700;
    n.font.lfItalic = 1;
    n.font.lfUnderline = 1;
    n.font.lfCharSet = 129;
    std::memcpy(n.font.lfFaceName, "\xB1\xBC\xB8\xB2", 4);  // "굴림"
    n.text = std::move(text);
    return n;
}

}  // namespace tesra::test
