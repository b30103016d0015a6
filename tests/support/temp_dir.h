// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

namespace tesra::test {

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }
    std::string File(std::string_view name) const;

private:
    std::string path_;
};

// Writes bytes to path exactly (no line-end translation); false on error.
bool WriteBytes(const std::string& path, std::string_view bytes);
// The file's bytes, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
// Sets a variable of this process's environment; "" removes it.
void SetVariable(const char* name, const std::string& value);

}  // namespace tesra::test
