// The memo font's record and the platform's LOGFONTA are the same bytes.
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "storage/memo_format.h"

namespace tesra {

static_assert(sizeof(LogFont) == sizeof(LOGFONTA));
static_assert(offsetof(LogFont, lfWeight) == offsetof(LOGFONTA, lfWeight));
static_assert(offsetof(LogFont, lfCharSet) == offsetof(LOGFONTA, lfCharSet));
static_assert(offsetof(LogFont, lfPitchAndFamily) == offsetof(LOGFONTA, lfPitchAndFamily));
static_assert(offsetof(LogFont, lfFaceName) == offsetof(LOGFONTA, lfFaceName));

LogFont::LogFont(const LOGFONTA& font) { std::memcpy(static_cast<void*>(this), &font, sizeof font); }

LogFont::operator LOGFONTA() const {
    LOGFONTA out;
    std::memcpy(&out, this, sizeof out);
    return out;
}

}  // namespace tesra
