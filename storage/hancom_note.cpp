#include "storage/hancom_note.h"

#include <cstring>

namespace tesra {
namespace {

// Little-endian fields taken in order; a read past the end gives zeros and
// marks the reader short, so no byte outside the input is ever touched.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes) {}

    std::uint32_t Number(std::size_t size) {
        std::uint32_t value = 0;
        if (!Has(size)) return Skip(size), 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[m_at + i])) << (8 * i);
        m_at += size;
        return value;
    }
    std::int32_t Int32() { return static_cast<std::int32_t>(Number(4)); }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Number(2)); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Number(1)); }
    void Skip(std::size_t size) {
        if (!Has(size)) m_short = true;
        m_at = Has(size) ? m_at + size : m_bytes.size();
    }
    // Up to size bytes: what is left when fewer remain.
    std::string_view Take(std::size_t size) {
        const std::string_view out = m_bytes.substr(m_at, size);
        if (out.size() < size) m_short = true;
        m_at += out.size();
        return out;
    }
    bool Short() const { return m_short; }

private:
    bool Has(std::size_t size) const { return m_bytes.size() - m_at >= size; }

    std::string_view m_bytes;
    std::size_t m_at = 0;
    bool m_short = false;
};

LogFont ReadLogFont(ByteReader& in) {
    LogFont f;
    f.lfHeight = in.Int32();
    f.lfWidth = in.Int32();
    f.lfEscapement = in.Int32();
    f.lfOrientation = in.Int32();
    f.lfWeight = in.Int32();
    f.lfItalic = in.Byte();
    f.lfUnderline = in.Byte();
    f.lfStrikeOut = in.Byte();
    f.lfCharSet = in.Byte();
    f.lfOutPrecision = in.Byte();
    f.lfClipPrecision = in.Byte();
    f.lfQuality = in.Byte();
    f.lfPitchAndFamily = in.Byte();
    const std::string_view face = in.Take(kFaceNameSize);
    std::memcpy(f.lfFaceName, face.data(), face.size());
    // The record need not end its face; the last byte is kept a NUL.
    f.lfFaceName[kFaceNameSize - 1] = '\0';
    ClampFont(f);
    return f;
}

}  // namespace

bool HancomCheckWordMatches(const PixelRect& rect, std::uint16_t check) {
    const std::int64_t sum = (static_cast<std::int64_t>(rect.right) - rect.left) +
                             (static_cast<std::int64_t>(rect.bottom) - rect.top);
    return sum == check;
}

HancomNoteList ReadHancomNotes(std::string_view bytes) {
    HancomNoteList out;
    ByteReader in(bytes);
    in.Skip(4);
    const std::uint16_t count = in.Word();
    for (std::uint32_t i = 0; i < count && !in.Short(); ++i) {
        HancomNote note;
        note.rect.left = in.Int32();
        note.rect.top = in.Int32();
        note.rect.right = in.Int32();
        note.rect.bottom = in.Int32();
        in.Skip(4);
        const std::uint16_t check = in.Word();
        // A file that ends before a note's fixed part ends is damaged like a
        // wrong check word: the count promised more than is there.
        if (in.Short() || !HancomCheckWordMatches(note.rect, check)) {
            out.damaged = true;
            break;
        }
        note.textColor = in.Number(4);
        in.Skip(2 + 4);
        note.minimised = in.Word();
        note.font = ReadLogFont(in);
        const std::uint16_t length = in.Word();
        if (in.Short()) {
            out.damaged = true;
            break;
        }
        // Text cut short by the end of the file is still the user's text:
        // the note comes in with what is there and the file counts as
        // damaged, rather than the note being dropped.
        note.text = std::string(in.Take(length));
        out.notes.push_back(std::move(note));
        if (in.Short()) out.damaged = true;
    }
    return out;
}

}  // namespace tesra
