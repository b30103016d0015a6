// A thread the module starts keeps the module loaded until it has left.
#include <windows.h>

#include <gtest/gtest.h>

#include "module_util.h"

namespace tesra::test {
namespace {

struct Event {
    Event() : h(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() { ::CloseHandle(h); }
    HANDLE h;
};

TEST(ModuleThreads, HoldTheModuleUntilTheyLeave) {
    const std::string path = BesideThisProgram("tesra_parked_thread.dll");
    HMODULE module = ::LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << ::GetLastError();
    using Start = BOOL(__cdecl*)(HANDLE, HANDLE);
    auto start = reinterpret_cast<Start>(reinterpret_cast<void (*)()>(::GetProcAddress(module, "StartParkedThread")));
    ASSERT_NE(start, nullptr);
    Event release, started;
    ASSERT_TRUE(start(release.h, started.h));
    ASSERT_EQ(::WaitForSingleObject(started.h, 10000), WAIT_OBJECT_0);

    // The host lets go of the module while the thread still runs in it.
    ::FreeLibrary(module);
    EXPECT_EQ(::GetModuleHandleA(path.c_str()), module);

    // The thread leaves and takes its reference with it.
    ::SetEvent(release.h);
    HMODULE still = module;
    for (int round = 0; round < 1000 && still; ++round) {
        ::Sleep(10);
        still = ::GetModuleHandleA(path.c_str());
    }
    EXPECT_EQ(still, nullptr);
}

}  // namespace
}  // namespace tesra::test
