#include "storage/memo_format.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>

#include "base/text.h"

namespace tesra {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// sscanf's "%d": white space skipped, then an optional sign and digits, at
// most width characters when width is non-zero. On success the number
// (clamped to 32 bits) is taken off the front of text.
bool ScanInt(std::string_view& text, std::size_t width, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t start = i;
    const std::size_t end = width != 0 && text.size() - start > width ? start + width : text.size();
    if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < end && IsDigit(text[i])) ++i;
    if (i == digits) return false;
    value = ParseLong(text.substr(start, i - start));
    text.remove_prefix(i);
    return true;
}

// sscanf's "%s": the next blank-free word, if any.
bool ScanWord(std::string_view& text, std::string_view& word) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsSpace(static_cast<unsigned char>(text[i]))) ++i;
    if (i == start) return false;
    word = text.substr(start, i - start);
    text.remove_prefix(i);
    return true;
}

void SetFontField(MemoFont& out, int field, std::int32_t v) {
    LogFont& f = out.font;
    const auto low = static_cast<std::uint8_t>(v & 0xFF);
    switch (field) {
        case 0: out.textColor = static_cast<std::uint32_t>(v); break;
        case 1: f.lfHeight = v; break;
        case 2: f.lfWidth = v; break;
        case 3: f.lfEscapement = v; break;
        case 4: f.lfOrientation = v; break;
        case 5: f.lfWeight = v; break;
        case 6: f.lfItalic = low; break;
        case 7: f.lfStrikeOut = low; break;
        case 8: f.lfCharSet = low; break;
        case 9: f.lfOutPrecision = low; break;
        case 10: f.lfClipPrecision = low; break;
        case 11: f.lfQuality = low; break;
        case 12: f.lfPitchAndFamily = low; break;
        default: break;
    }
}

// Whole characters only, and room for the terminating NUL.
void SetFaceName(LogFont& font, std::string_view face) {
    std::size_t n = 0;
    while (n < face.size() && n + CharLength(face, n) < static_cast<std::size_t>(kFaceNameSize))
        n += CharLength(face, n);
    std::memcpy(font.lfFaceName, face.data(), n);
    font.lfFaceName[n] = '\0';
}

std::string FormatPercent(double value) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(buf, result.ptr) : std::string("0.00");
}

double ParseNumber(std::string_view word) {
    word = TrimLeft(word);
    bool negative = false;
    if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
        negative = word[0] == '-';
        word.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan"; those were never numbers here.
    const bool starts = !word.empty() && (IsDigit(word[0]) || (word[0] == '.' && word.size() > 1 && IsDigit(word[1])));
    if (!starts) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
    if (result.ec != std::errc()) return 0.0;
    value = std::min(value, kMaxPositionPercent);
    return negative ? -value : value;
}

}  // namespace

std::string FormatFontString(const MemoFont& font) {
    const LogFont& f = font.font;
    std::string out = Format("%d %d %d %d %d %d %d %d %d %d %d %d %d ",
                             static_cast<int>(static_cast<std::int32_t>(font.textColor)), static_cast<int>(f.lfHeight),
                             static_cast<int>(f.lfWidth), static_cast<int>(f.lfEscapement),
                             static_cast<int>(f.lfOrientation), static_cast<int>(f.lfWeight), f.lfItalic,
                             f.lfStrikeOut, f.lfCharSet, f.lfOutPrecision, f.lfClipPrecision, f.lfQuality,
                             f.lfPitchAndFamily);
    out.append(f.lfFaceName, std::find(f.lfFaceName, f.lfFaceName + kFaceNameSize, '\0'));
    return out;
}

int ParseFontString(std::string_view text, MemoFont& out) {
    out = MemoFont{};
    text = text.substr(0, text.find('\0'));
    int read = 0;
    for (std::int32_t value = 0; read < kFontStringFields - 1 && ScanInt(text, 0, value); ++read)
        SetFontField(out, read, value);
    std::string_view face;
    if (read == kFontStringFields - 1 && ScanWord(text, face)) {
        SetFaceName(out.font, face);
        ++read;
    }
    ClampFont(out.font);
    return read;
}

void ClampFont(LogFont& font) {
    for (std::int32_t* extent : {&font.lfHeight, &font.lfWidth})
        *extent = std::clamp(*extent, -kMaxFontExtent, kMaxFontExtent);
    for (std::int32_t* angle : {&font.lfEscapement, &font.lfOrientation})
        *angle = std::clamp(*angle, -kMaxFontAngle, kMaxFontAngle);
    font.lfWeight = std::clamp(font.lfWeight, 0, kMaxFontWeight);
}

std::string FormatVersionStamp(const fs::FileStatus& status) {
    return Format("%d:%d", static_cast<int>(static_cast<std::int32_t>(status.size)),
                  static_cast<int>(status.lastWrite));
}

std::string MemoKey(std::int32_t id) { return "memo" + std::to_string(id); }

std::string MemoDataPath(std::string_view folder, std::int32_t id) {
    return fs::JoinPath(folder, MemoKey(id) + ".dat");
}

std::string SectionDataPath(std::string_view folder, std::string_view section) {
    const std::string name = std::string(section) + ".dat";
    return fs::IsSafeFileName(name) ? fs::JoinPath(folder, name) : std::string();
}

namespace {

// A number exactly as an id is printed: no sign but "-", no leading zero, no
// blank, inside 32 bits.
bool IsIdText(std::string_view s) {
    return !s.empty() && s.size() <= 11 && s == std::to_string(ParseLong(s));
}

bool IsMuid(std::string_view muid) {
    constexpr std::string_view kImported = "tesra";
    return IsIdText(muid) || (muid.substr(0, kImported.size()) == kImported && IsIdText(muid.substr(kImported.size())));
}

}  // namespace

bool IsMemoSectionName(std::string_view section) {
    constexpr std::string_view kMemo = "memo";
    if (section.substr(0, kMemo.size()) == kMemo) section.remove_prefix(kMemo.size());
    else if (section.substr(0, 5) != "tesra") return false;
    return IsMuid(section);
}

std::string MuidOf(std::string_view section) {
    std::string muid = ReplaceAll(section, "memo", "");
    return IsMuid(muid) ? muid : std::string();
}

std::int32_t CMemoIdMaker::NextFrom(std::int64_t base) {
    std::int64_t t = base + m_counter++;
    // Never an id that falls on midnight in Korea (15:00 UTC).
    if ((t - 54000) % 86400 == 0) ++t;
    // Ids are 32-bit numbers everywhere they are stored.
    return static_cast<std::int32_t>(t);
}

std::string FormatPositionString(const PixelRect& rect, DesktopSize desktop) {
    return FormatPercent(PixelsToPercentX(rect.left, desktop)) + ' ' +
           FormatPercent(PixelsToPercentY(rect.top, desktop)) + ' ' +
           FormatPercent(PixelsToPercentX(rect.right, desktop)) + ' ' +
           FormatPercent(PixelsToPercentY(rect.bottom, desktop));
}

PixelRect ParsePositionString(std::string_view text, DesktopSize desktop) {
    text = text.substr(0, text.find('\0'));
    PixelRect rect;
    rect.left = PercentToPixelsX(ParseNumber(GetPiece(text, " ", 0)), desktop);
    rect.top = PercentToPixelsY(ParseNumber(GetPiece(text, " ", 1)), desktop);
    rect.right = PercentToPixelsX(ParseNumber(GetPiece(text, " ", 2)), desktop);
    rect.bottom = PercentToPixelsY(ParseNumber(GetPiece(text, " ", 3)), desktop);
    return rect;
}

int ParseLegacyPosition(std::string_view text, PixelRect& out) {
    out = PixelRect{};
    text = text.substr(0, text.find('\0'));
    int* const fields[] = {&out.left, &out.top, &out.right, &out.bottom};
    int read = 0;
    for (int* field : fields) {
        std::int32_t value = 0;
        if (!ScanInt(text, 4, value)) break;
        *field = value;
        ++read;
    }
    return read;
}

}  // namespace tesra
