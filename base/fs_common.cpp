#include "base/fs.h"

#include "base/text.h"

namespace tesra::fs {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '\\' && out.back() != '/') out.push_back(kPathSeparator);
    out.append(name);
    return out;
}

bool IsSafeFileName(std::string_view name) {
    if (name.empty() || name.size() > 200) return false;
    if (name.find("..") != std::string_view::npos) return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '\\' || c == '/' || c == ':') return false;
    }
    return name != ".";
}

std::string FolderOf(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (path[i] == '\\' || path[i] == '/') last = i;
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

}  // namespace tesra::fs
