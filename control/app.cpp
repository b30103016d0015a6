#include <winsock2.h>

#include "control/app.h"

#include <mutex>

#include "res/resource.h"

namespace {
// Written once by DllMain before any other code of the module runs.
HINSTANCE g_instance = nullptr;
}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }

CTesraApp& TheApp() {
    static CTesraApp app;
    return app;
}

HINSTANCE CTesraApp::instance() const { return g_instance; }

bool CTesraApp::EnsureSockets() {
    static std::mutex mutex;
    static bool up = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (up) return true;
        WSADATA data;
        // WSACleanup is left to the process's end: a worker may outlive the
        // last object, and the only later moment the module is sure of is
        // DLL_PROCESS_DETACH, under the loader lock, where Winsock must not
        // be called.
        up = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
        if (up) return true;
    }
    // Told outside the lock: the box pumps messages, and a nested call must
    // not find the lock held.
    char text[256] = {};
    ::LoadStringA(g_instance, IDS_SOCKET_INIT_FAILED, text, sizeof text);
    ::MessageBoxA(nullptr, text, nullptr, MB_OK);
    return false;
}
