// Byte-text helpers. All text in the system is CP949 bytes; these helpers
// never split or match inside a double-byte character, whatever the locale.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tesra {

// CP949 (Unified Hangul Code) lead bytes are 0x81..0xFE. We decide by the
// code page's rule, not by the C runtime's locale, so the result is the same
// on every machine.
constexpr bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Length in bytes of the character that starts at text[i]: 2 for a lead byte
// followed by another byte, else 1. A lead byte at the very end stands alone.
inline std::size_t CharLength(std::string_view text, std::size_t i) {
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// Byte offset of the first occurrence of needle at or after start, counting
// from the start of text; -1 when there is none. The scan steps character by
// character from start, so a match never begins on a trail byte.
int FindFrom(std::string_view text, std::string_view needle, int start = 0);

// Piece n (from 0) of text split at every occurrence of separator; pieces
// beyond the last are empty. An empty separator leaves text whole (piece 0).
std::string GetPiece(std::string_view text, std::string_view separator, int n);

// Text between the n-th open and the close that follows it, empty when either
// is missing. After each open the next search resumes close.size() bytes past
// that open's start, as the server texts we parse were always read.
std::string GetBetween(std::string_view text, std::string_view open, std::string_view close, int n);

// Occurrences of separator plus one.
int CountPieces(std::string_view text, std::string_view separator);

// Copies src character by character up to limit bytes without cutting a
// double-byte character. A lead byte followed by a non-NUL byte counts as a
// pair, and after a pair the copy stops at limit - 1 bytes, which
// keeps room for the "..." callers append. A NUL in src ends the copy.
std::string CopyTextBounded(std::string_view src, int limit);

// printf into a std::string.
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatV(const char* fmt, std::va_list args);

// White space as the C runtime's isspace in the "C" locale: blank, \t \n \v \f \r.
constexpr bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
std::string_view TrimLeft(std::string_view s);
std::string_view TrimRight(std::string_view s);
std::string_view Trim(std::string_view s);

// What of s may go into one header or command line: s up to its first CR,
// LF or NUL, which would end the line and let the rest start one of its own.
constexpr std::string_view UpToLineBreak(std::string_view s) {
    return s.substr(0, s.find_first_of(std::string_view("\r\n\0", 3)));
}

// Every occurrence of from replaced by to, scanning by characters.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The platform's atoi/atol: leading white space, optional sign, decimal
// digits up to the first other byte; no digits gives 0; out of range clamps
// to the 32-bit limits. A Windows long is 32 bits, and stored values must
// read the same natively, so this is 32-bit everywhere.
std::int32_t ParseLong(std::string_view s);
inline int ParseInt(std::string_view s) { return static_cast<int>(ParseLong(s)); }

// Line ends for files. Byte by byte: CR and LF are never part of a
// double-byte character.
// Lone LFs become CR LF; a CR LF stays as it is (index texts).
std::string WithCrLf(std::string_view text);
// CR LF only: every CR goes, every LF becomes CR LF (a memo's text).
std::string CrLfOnly(std::string_view text);

// What a click on a detected link in a memo opens: the link itself for an
// http, https, ftp or mailto address, "http://" before one that starts
// "www.", and nothing (empty) for any other scheme, path or verb. A memo's
// text comes from the server, FTP or the host.
std::string LinkToOpen(std::string_view link);

}  // namespace tesra
