#include "win/com.h"

#include <atomic>

namespace tesra::win {
namespace {
// Process-wide by nature: DllCanUnloadNow answers for the whole module.
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

// All byte text is CP949 by rule, whatever the machine's ANSI code page.
constexpr UINT kCodePage = 949;

std::string AnsiFromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              nullptr);
    return out;
}

std::wstring WideFromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string NarrowFromBstr(BSTR text) {
    return text ? AnsiFromWide(std::wstring_view(text, ::SysStringLen(text))) : std::string();
}

HINSTANCE ModuleInstance() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
    return module;
}

std::string ModuleString(UINT id) {
    char text[1024] = {};
    const int n = ::LoadStringA(ModuleInstance(), id, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
void LockModule(bool lock) {
    if (lock)
        ++g_locks;
    else
        --g_locks;
}
bool ModuleInUse() { return g_objects.load() > 0 || g_locks.load() > 0; }

}  // namespace tesra::win
