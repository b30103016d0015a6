#include "win/registry.h"

#include <objbase.h>

#include <cstdio>

namespace tesra::win {

RegKey RegKey::Create(HKEY parent, const std::string& path) {
    RegKey k;
    if (::RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ, nullptr,
                          &k.h_, nullptr) != ERROR_SUCCESS)
        k.h_ = nullptr;
    return k;
}

RegKey RegKey::Open(HKEY parent, const std::string& path, REGSAM access) {
    RegKey k;
    if (::RegOpenKeyExA(parent, path.c_str(), 0, access, &k.h_) != ERROR_SUCCESS) k.h_ = nullptr;
    return k;
}

bool RegKey::SetString(const std::string& name, const std::string& value) {
    return h_ && ::RegSetValueExA(h_, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool RegKey::GetString(const std::string& name, std::string* value) const {
    if (!h_) return false;
    DWORD type = 0, size = 0;
    const char* n = name.empty() ? nullptr : name.c_str();
    if (::RegQueryValueExA(h_, n, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return false;
    std::string buf(size, '\0');
    if (::RegQueryValueExA(h_, n, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS)
        return false;
    buf.resize(size);
    while (!buf.empty() && buf.back() == '\0') buf.pop_back();
    *value = std::move(buf);
    return true;
}

bool RegKey::SetDword(const std::string& name, DWORD value) {
    return h_ && ::RegSetValueExA(h_, name.empty() ? nullptr : name.c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

bool RegKey::GetDword(const std::string& name, DWORD* value) const {
    DWORD type = 0, read = 0, size = sizeof read;
    if (!h_ || ::RegQueryValueExA(h_, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    *value = read;
    return true;
}

bool DeleteKeyTree(HKEY parent, const std::string& path) {
    const LONG rc = ::RegDeleteTreeA(parent, path.c_str());
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    return rc == ERROR_SUCCESS && ::RegDeleteKeyA(parent, path.c_str()) != ERROR_ACCESS_DENIED;
}

std::string GuidString(REFGUID g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

}  // namespace tesra::win
