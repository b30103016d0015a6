// The value formats of the memo index and the names of memo files. Each
// text is written in the exact form the server and older copies of the
// index hold, and read back with the same forgiving rules they were always
// read with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/fs.h"
#include "storage/storage_util.h"

// The platform's font record, met only at the Windows edge (win/log_font.cpp).
struct tagLOGFONTA;

namespace tesra {

// ---- Font string -------------------------------------------------------

inline constexpr int kFaceNameSize = 32;

// Field for field the platform's LOGFONTA, so that Windows code hands it on
// as it is; the portable code never sees the platform's own.
struct LogFont {
    std::int32_t lfHeight = 0;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 0;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    char lfFaceName[kFaceNameSize] = {};

#if defined(_WIN32)
    LogFont() = default;
    LogFont(const ::tagLOGFONTA& font);  // NOLINT: converts by design
    operator ::tagLOGFONTA() const;
#endif
};

struct MemoFont {
    std::uint32_t textColor = 0;  // 0x00BBGGRR
    LogFont font{};
};

// "colour height width escapement orientation weight italic strikeout
// charset outprecision clipprecision quality pitchandfamily face".
// Underline is not stored.
std::string FormatFontString(const MemoFont& font);

inline constexpr int kFontStringFields = 14;

// Clears out, then reads fields in order as sscanf would and stops at the
// first that does not read; the fields read so far are kept, the rest stay
// zero. Returns how many were read: kFontStringFields when complete, 13
// when the face name is missing. Byte fields keep the low 8 bits of their
// number; the face is one blank-free word, cut to whole characters that fit
// in lfFaceName. The text ends at a NUL byte, as a C string would.
int ParseFontString(std::string_view text, MemoFont& out);

// Font numbers from a file or the server are held to these, so that what a
// window computes from them (a rich edit size is -15 times the height)
// stays inside an int. The parsers apply it.
inline constexpr std::int32_t kMaxFontExtent = 1000;   // height and width, either sign
inline constexpr std::int32_t kMaxFontAngle = 3600;    // tenths of a degree, either sign
inline constexpr std::int32_t kMaxFontWeight = 1000;
void ClampFont(LogFont& font);

// ---- Version stamp -----------------------------------------------------

// "size:lastwrite" of a memo's data file. Stamps are only ever compared for
// equality, so this must print exactly what every earlier version printed:
// both as 32-bit numbers.
std::string FormatVersionStamp(const fs::FileStatus& status);

// ---- Memo names and ids -----------------------------------------------

std::string MemoKey(std::int32_t id);                                    // "memo<id>"
std::string MemoDataPath(std::string_view folder, std::int32_t id);      // folder\memo<id>.dat
// folder\<section>.dat; empty when section + ".dat" is no plain file name,
// so that no name from outside ever leaves the folder.
std::string SectionDataPath(std::string_view folder, std::string_view section);

// The section names memos have: "memo" and an id as MemoKey writes it,
// "tesra" and one (a Hancom note imported here), and "memotesra" and one
// (such a note as the server lists it). Nothing else in an index from the
// server is a memo.
bool IsMemoSectionName(std::string_view section);
// The id the server knows a memo by: its section name without "memo", when
// that is an id as above (a number, or "tesra" and a number); else empty,
// and nothing may be sent for it.
std::string MuidOf(std::string_view section);

// Makes new memo ids from the clock. Ids made within one second stay apart
// through the counter; each kind of operation that makes ids owns one maker.
class CMemoIdMaker {
public:
    using Clock = std::function<std::int64_t()>;
    explicit CMemoIdMaker(Clock now = fs::NowSeconds) : m_now(std::move(now)) {}
    std::int32_t Next() { return NextFrom(m_now()); }
    // The same from a base the caller has (a received memo's number).
    std::int32_t NextFrom(std::int64_t base);

private:
    Clock m_now;
    std::int64_t m_counter = 0;
};

// ---- Window position --------------------------------------------------

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Sent for a memo that has no stored position.
inline constexpr char kDefaultPositionString[] = "0.00 0.00 20.00 20.00";

// "left top right bottom" as percentages of the desktop with two decimals,
// always with a "." whatever the C locale.
std::string FormatPositionString(const PixelRect& rect, DesktopSize desktop);

// The four blank-separated words of a position string back to pixels. A
// word that is not a number, or missing, counts as 0. Numbers are read as
// the C runtime's atof reads them in the "C" locale, decimal only: leading
// white space, sign, digits, ".", exponent; anything after is ignored.
// Numbers beyond the range of double also count as 0; the others are held
// to ±kMaxPositionPercent, so that pixels stay far inside an int.
inline constexpr double kMaxPositionPercent = 1000.0;
PixelRect ParsePositionString(std::string_view text, DesktopSize desktop);

// The legacy pixel position "left top right bottom", each number at most
// four characters. Clears out, then reads as sscanf would; returns how many
// of the four numbers were read, the rest stay 0.
int ParseLegacyPosition(std::string_view text, PixelRect& out);

}  // namespace tesra
