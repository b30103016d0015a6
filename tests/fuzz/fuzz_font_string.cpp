// Font strings come from the index, which the server writes: any bytes.
// Reading must stay inside the record, and what reads completely must write
// back to a string that reads the same; a record written and read back must
// come back whole (less underline, the face up to its first blank, and the
// numbers held to their bounds).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "base/text.h"
#include "storage/memo_format.h"
#include "fuzz/check.h"

namespace {

using tesra::fuzz::Check;
using tesra::MemoFont;

void CheckRecord(const MemoFont& f, int fields) {
    Check(fields >= 0 && fields <= tesra::kFontStringFields);
    Check(f.font.lfUnderline == 0);
    const std::size_t face = strnlen(f.font.lfFaceName, tesra::kFaceNameSize);
    Check(face < static_cast<std::size_t>(tesra::kFaceNameSize));
    Check(face == 0 || fields == tesra::kFontStringFields);
    for (std::size_t i = 0; i < face; ++i) Check(!tesra::IsSpace(static_cast<unsigned char>(f.font.lfFaceName[i])));
    for (const std::int32_t extent : {f.font.lfHeight, f.font.lfWidth})
        Check(extent >= -tesra::kMaxFontExtent && extent <= tesra::kMaxFontExtent);
    Check(f.font.lfWeight >= 0 && f.font.lfWeight <= tesra::kMaxFontWeight);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    MemoFont parsed;
    const int fields = tesra::ParseFontString(text, parsed);
    CheckRecord(parsed, fields);
    if (fields == tesra::kFontStringFields) {
        const std::string written = tesra::FormatFontString(parsed);
        MemoFont again;
        Check(tesra::ParseFontString(written, again) == tesra::kFontStringFields);
        Check(std::memcmp(&again, &parsed, sizeof parsed) == 0);
        Check(tesra::FormatFontString(again) == written);
    }

    // The other way: any record, written and read back.
    FuzzedDataProvider in(data, size);
    MemoFont record;
    const std::string raw = in.ConsumeBytesAsString(sizeof record);
    std::memcpy(&record, raw.data(), raw.size());
    record.font.lfUnderline = 0;
    std::size_t face = 0;
    while (face < static_cast<std::size_t>(tesra::kFaceNameSize) - 1 && record.font.lfFaceName[face] != '\0' &&
           !tesra::IsSpace(static_cast<unsigned char>(record.font.lfFaceName[face])))
        ++face;
    std::memset(record.font.lfFaceName + face, 0, tesra::kFaceNameSize - face);
    tesra::ClampFont(record.font);
    MemoFont back;
    const int read = tesra::ParseFontString(tesra::FormatFontString(record), back);
    Check(read == (face == 0 ? tesra::kFontStringFields - 1 : tesra::kFontStringFields));
    Check(std::memcmp(&back, &record, sizeof record) == 0);
    return 0;
}
