// A tiny CP949 corpus. Byte-naive code breaks where a trail byte equals an
// ASCII byte: in CP949 that happens for the letters (0x41-0x5A, 0x61-0x7A)
// of the extended Hangul block, and, because a lead byte always claims the
// next byte, for any ASCII byte that follows a lead, such as 0x5C "\" and
// 0x7C "|", which older Hangul encoders emitted.
#pragma once

namespace tesra::test::cp949 {

inline constexpr char kGa[] = "\xB0\xA1";          // 가
inline constexpr char kHangul[] = "\xC7\xD1\xB1\xDB";  // 한글
inline constexpr char kMemo[] = "\xB8\xDE\xB8\xF0";    // 메모
inline constexpr char kGulim[] = "\xB1\xBC\xB8\xB2";   // 굴림
inline constexpr char kGulimChe[] = "\xB1\xBC\xB8\xB2\xC3\xBC";  // 굴림체

// Extended Hangul whose trail byte is an ASCII letter.
inline constexpr char kTrailA[] = "\x81\x41";  // 갂: trail "A"
inline constexpr char kTrailZ[] = "\x81\x5A";  // 갴: trail "Z"
inline constexpr char kTrailM[] = "\x81\x6D";  // 걅: trail "m"

// A lead byte followed by "\" and by "|".
inline constexpr char kLeadBackslash[] = "\x81\x5C";
inline constexpr char kLeadBar[] = "\x81\x7C";

// "Windows 소켓 초기화에 실패하였습니다."
inline constexpr char kSocketInitFailed[] =
    "Windows \xBC\xD2\xC4\xCF \xC3\xCA\xB1\xE2\xC8\xAD\xBF\xA1 \xBD\xC7\xC6\xD0\xC7\xCF\xBF\xB4\xBD\xC0\xB4\xCF\xB4\xD9.";

}  // namespace tesra::test::cp949
