#include "support/temp_dir.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/fs.h"

namespace tesra::test {

TempDir::TempDir() {
    static std::atomic<unsigned> serial{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "tesra-test-%08x-%u", rd(), serial++);
        const auto candidate = base / name;
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
    }
    std::fprintf(stderr, "cannot create a temporary folder under %s\n", base.string().c_str());
    std::abort();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const { return fs::JoinPath(path_, name); }

bool WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path) {
    std::string out;
    return fs::ReadFile(path, &out) ? out : std::string("<missing>");
}

}  // namespace tesra::test
