// Loading TESRA.OCX (or another module) beside the test program.
#pragma once

#include <windows.h>

#include <string>

namespace tesra::test {

// The full path of name in the folder of the running program.
inline std::string BesideThisProgram(const char* name) {
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

class Module {
public:
    explicit Module(const std::string& path) : h_(::LoadLibraryA(path.c_str())) {}
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    ~Module() {
        if (h_) ::FreeLibrary(h_);
    }
    HMODULE get() const { return h_; }
    template <class F>
    F Proc(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(h_, name)));
    }

private:
    HMODULE h_;
};

}  // namespace tesra::test
