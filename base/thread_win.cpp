#include "base/thread.h"

#include <windows.h>

#include <memory>

namespace tesra {
namespace {

struct Start {
    std::function<void()> body;
    HMODULE module = nullptr;
};

DWORD WINAPI ThreadEntry(void* param) {
    HMODULE module = nullptr;
    {
        std::unique_ptr<Start> start(static_cast<Start*>(param));
        module = start->module;
        try {
            start->body();
        } catch (...) {
        }
    }
    // Never returns into the module: the system drops the reference after
    // the last instruction of ours has run.
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
    try {
        auto start = std::make_unique<Start>();
        start->body = std::move(body);
        // Taken here, before the thread exists, so no unload can come between.
        if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ThreadEntry),
                                  &start->module))
            return false;
        const HMODULE module = start->module;
        HANDLE h = ::CreateThread(nullptr, 0, &ThreadEntry, start.get(), 0, nullptr);
        if (!h) {
            ::FreeLibrary(module);
            return false;
        }
        start.release();  // the thread owns it now
        ::CloseHandle(h);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace tesra
