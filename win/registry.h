// Registry writing for self-registration.
#pragma once

#include <windows.h>

#include <string>

namespace tesra::win {

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    ~RegKey() {
        if (h_) ::RegCloseKey(h_);
    }
    // Creates (or opens) parent\path for writing.
    static RegKey Create(HKEY parent, const std::string& path);
    static RegKey Open(HKEY parent, const std::string& path, REGSAM access = KEY_READ);
    explicit operator bool() const { return h_ != nullptr; }
    HKEY get() const { return h_; }

    // Empty name: the key's default value.
    bool SetString(const std::string& name, const std::string& value);
    bool GetString(const std::string& name, std::string* value) const;
    bool SetDword(const std::string& name, DWORD value);
    bool GetDword(const std::string& name, DWORD* value) const;

private:
    HKEY h_ = nullptr;
};

// Deletes parent\path with everything below it; true when it is gone.
bool DeleteKeyTree(HKEY parent, const std::string& path);
std::string GuidString(REFGUID guid);

}  // namespace tesra::win
