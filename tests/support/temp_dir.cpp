#include "support/temp_dir.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/fs.h"

namespace tesra::test {

TempDir::TempDir() {
    static std::atomic<unsigned> serial{0};
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tesra-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++));
    std::filesystem::create_directory(folder);  // throws when it cannot
    path_ = folder.string();
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

void SetVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

}  // namespace tesra::test
