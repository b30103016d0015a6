#include "storage/memo_record.h"

namespace tesra {

namespace {

constexpr char kColour[] = "bg";
constexpr char kPlace[] = "%pos";
constexpr char kLegacyPlace[] = "pos";
constexpr char kFolded[] = "min";
constexpr char kOldVer[] = "oldver";
constexpr char kVer[] = "ver";
constexpr char kAlarm[] = "alarm";
constexpr char kTitle[] = "title";
constexpr char kFont[] = "font";

template <class T, class Get>
std::optional<T> Read(Get get) {
    T value{};
    if (!get(value)) return std::nullopt;
    return value;
}

}  // namespace

MemoRecord ReadMemoRecord(const CIniFile& index, std::string_view section) {
    const auto text = [&](const char* key) {
        return Read<std::string>([&](std::string& v) { return index.GetString(section, key, v) != 0; });
    };
    const auto number = [&](const char* key) {
        return Read<int>([&](int& v) { return index.GetInt(section, key, v) != 0; });
    };
    MemoRecord r;
    r.colour = number(kColour);
    r.place = text(kPlace);
    r.legacyPlace = text(kLegacyPlace);
    r.folded = number(kFolded);
    r.oldver = text(kOldVer);
    r.ver = text(kVer);
    r.alarm = Read<std::int32_t>([&](std::int32_t& v) { return index.GetLong(section, kAlarm, v) != 0; });
    r.title = text(kTitle);
    r.font = text(kFont);
    return r;
}

void WriteMemoRecord(CIniFile& index, std::string_view section, const MemoRecord& r) {
    if (r.colour) index.SetInt(section, kColour, *r.colour);
    if (r.place) index.SetString(section, kPlace, *r.place);
    if (r.legacyPlace) index.SetString(section, kLegacyPlace, *r.legacyPlace);
    if (r.folded) index.SetInt(section, kFolded, *r.folded);
    if (r.oldver) index.SetString(section, kOldVer, *r.oldver);
    if (r.ver) index.SetString(section, kVer, *r.ver);
    if (r.alarm) index.SetLong(section, kAlarm, *r.alarm);
    if (r.title) index.SetString(section, kTitle, *r.title);
    if (r.font) index.SetString(section, kFont, *r.font);
}

}  // namespace tesra
