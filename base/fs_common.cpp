#include "base/fs.h"

#include "base/text.h"

namespace tesra::fs {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '\\' && out.back() != '/') out.push_back(kPathSeparator);
    out.append(name);
    return out;
}

namespace {

// Windows opens a device for these names, with or without an extension.
bool IsDeviceName(std::string_view name) {
    const std::string_view stem = name.substr(0, name.find('.'));
    auto upper = [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); };
    std::string s;
    for (const char c : TrimRight(stem)) s.push_back(upper(c));
    if (s == "CON" || s == "PRN" || s == "AUX" || s == "NUL" || s == "CONIN$" || s == "CONOUT$") return true;
    return s.size() == 4 && (s.compare(0, 3, "COM") == 0 || s.compare(0, 3, "LPT") == 0) && s[3] >= '1' &&
           s[3] <= '9';
}

}  // namespace

bool IsSafeFileName(std::string_view name) {
    if (name.empty() || name.size() > 200) return false;
    if (name.find("..") != std::string_view::npos) return false;
    // Windows drops trailing dots and blanks, so "kim." would open "kim".
    if (name.back() == '.' || name.back() == ' ') return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return false;
        for (const char bad : std::string_view("\\/:*?\"<>|"))
            if (c == bad) return false;
    }
    return !IsDeviceName(name);
}

std::string FolderOf(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (path[i] == '\\' || path[i] == '/') last = i;
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

}  // namespace tesra::fs
