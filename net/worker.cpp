#include "net/worker.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tesra::net {
namespace {

std::atomic<int>& Running() {
    static std::atomic<int> running{0};
    return running;
}

}  // namespace

bool StartWorker(std::function<void()> work) {
    Running().fetch_add(1);
    try {
        std::thread([w = std::move(work)]() mutable {
            try {
                w();
            } catch (...) {
            }
            // Drop what the work captured before counting the worker out.
            w = nullptr;
            Running().fetch_sub(1);
        }).detach();
        return true;
    } catch (...) {
        Running().fetch_sub(1);
        return false;
    }
}

int RunningWorkers() { return Running().load(); }

bool WaitForWorkers(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running().load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace tesra::net
