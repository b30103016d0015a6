#include "base/fs.h"

#include "base/text.h"

namespace tesra::fs {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '\\' && out.back() != '/') out.push_back(kPathSeparator);
    out.append(name);
    return out;
}

std::string FolderOf(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (path[i] == '\\' || path[i] == '/') last = i;
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

}  // namespace tesra::fs
