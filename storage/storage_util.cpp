#include "storage/storage_util.h"

#include <climits>
#include <cmath>

#include "base/fs.h"
#include "base/text.h"

namespace tesra {

bool FileExists(const std::string& path) { return fs::Stat(path); }

std::string StripExtension(std::string_view path) {
    std::size_t dot = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (path[i] == '.') dot = i;
    return std::string(path.substr(0, dot));
}

std::string MakeBackupName(std::string_view path) { return StripExtension(path) + ".bak"; }

std::string EmergencyCopyName(std::string_view path) { return StripExtension(path) + ".unsaved"; }

double PixelsToPercent(int px, int extent) {
    if (extent == 0) return 0.0;
    return static_cast<double>(px) / extent * 100.0;
}

int PercentToPixels(double pct, int extent) {
    const double px = std::trunc(extent * (pct * 0.01));
    if (std::isnan(px)) return 0;
    if (px <= INT_MIN) return INT_MIN;
    if (px >= INT_MAX) return INT_MAX;
    return static_cast<int>(px);
}

}  // namespace tesra
