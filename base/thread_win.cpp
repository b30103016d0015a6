#include "base/thread.h"

#include <windows.h>

#include <deque>
#include <memory>

namespace tesra {
namespace {

// Making a thread costs milliseconds under some systems, as much as a whole
// loopback exchange: a thread that has run its body waits a while for the
// next one before it leaves. Process-wide, as threads are.
constexpr DWORD kLingerMs = 2000;

struct Pool {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
    std::deque<std::function<void()>> jobs;
    int idle = 0;
    int ending = 0;  // running the short rest of a body (BodyEnding)
};

// Set on the pool's threads; whether this thread's body said BodyEnding.
thread_local bool t_pooled = false;
thread_local bool t_ending = false;

Pool& ThePool() {
    static Pool pool;
    return pool;
}

void RunQuietly(std::function<void()>& body) {
    try {
        body();
    } catch (...) {
    }
    body = nullptr;  // what it captured goes before the thread waits
}

// The next body, or nothing once none came for the linger time.
std::function<void()> NextJob() {
    Pool& pool = ThePool();
    ::AcquireSRWLockExclusive(&pool.lock);
    if (t_ending) --pool.ending;
    t_ending = false;
    ++pool.idle;
    while (pool.jobs.empty()) {
        if (!::SleepConditionVariableSRW(&pool.wake, &pool.lock, kLingerMs, 0)) break;
    }
    --pool.idle;
    std::function<void()> job;
    if (!pool.jobs.empty()) {
        job = std::move(pool.jobs.front());
        pool.jobs.pop_front();
    }
    ::ReleaseSRWLockExclusive(&pool.lock);
    return job;
}

struct Start {
    std::function<void()> body;
    HMODULE module = nullptr;
};

DWORD WINAPI ThreadEntry(void* param) {
    HMODULE module = nullptr;
    {
        std::unique_ptr<Start> start(static_cast<Start*>(param));
        module = start->module;
        t_pooled = true;
        std::function<void()> body = std::move(start->body);
        while (body) {
            RunQuietly(body);
            try {
                body = NextJob();
            } catch (...) {
                body = nullptr;
            }
        }
    }
    // Never returns into the module: the system drops the reference after
    // the last instruction of ours has run.
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

void BodyEnding() {
    if (!t_pooled || t_ending) return;
    Pool& pool = ThePool();
    ::AcquireSRWLockExclusive(&pool.lock);
    ++pool.ending;
    t_ending = true;
    ::ReleaseSRWLockExclusive(&pool.lock);
}

bool StartDetachedThread(std::function<void()> body) {
    try {
        Pool& pool = ThePool();
        ::AcquireSRWLockExclusive(&pool.lock);
        // Only as many waiting bodies as threads waiting or about to: each
        // is taken.
        const bool handed = pool.idle + pool.ending > static_cast<int>(pool.jobs.size());
        if (handed) {
            try {
                pool.jobs.push_back(std::move(body));
            } catch (...) {
                ::ReleaseSRWLockExclusive(&pool.lock);
                return false;
            }
            ::WakeConditionVariable(&pool.wake);
        }
        ::ReleaseSRWLockExclusive(&pool.lock);
        if (handed) return true;

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
