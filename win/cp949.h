// CP949 bytes to and from UTF-16 at the platform's edge, whatever the
// machine's ANSI code page.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>

#include "base/text.h"

namespace tesra::win {

inline constexpr UINT kCp949 = 949;

inline std::wstring WideFrom949(std::string_view text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(kCp949, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(kCp949, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

inline std::string Cp949FromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int n =
        ::WideCharToMultiByte(kCp949, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(kCp949, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A font record across the edge: every field as it is, the face name
// converted (and cut to the record's size between characters).
inline LOGFONTW WideLogFont(const LOGFONTA& font) {
    LOGFONTW out{};
    static_assert(offsetof(LOGFONTA, lfFaceName) == offsetof(LOGFONTW, lfFaceName));
    std::memcpy(&out, &font, offsetof(LOGFONTA, lfFaceName));
    const std::wstring face = WideFrom949(std::string_view(font.lfFaceName, ::strnlen(font.lfFaceName, LF_FACESIZE)));
    ::lstrcpynW(out.lfFaceName, face.c_str(), LF_FACESIZE);
    return out;
}

inline LOGFONTA NarrowLogFont(const LOGFONTW& font) {
    LOGFONTA out{};
    std::memcpy(&out, &font, offsetof(LOGFONTA, lfFaceName));
    const std::string face = Cp949FromWide(std::wstring_view(font.lfFaceName, ::wcsnlen(font.lfFaceName, LF_FACESIZE)));
    std::size_t n = 0;
    while (n < face.size() && n + CharLength(face, n) < LF_FACESIZE) n += CharLength(face, n);
    std::memcpy(out.lfFaceName, face.data(), n);
    return out;
}

// DrawTextW of CP949 text.
inline void DrawText949(HDC dc, std::string_view text, RECT r, UINT format) {
    const std::wstring wide = WideFrom949(text);
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, format);
}

}  // namespace tesra::win
