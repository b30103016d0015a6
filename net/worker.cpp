#include "net/worker.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "base/thread.h"

namespace tesra::net {
namespace {

std::atomic<int>& Running() {
    static std::atomic<int> running{0};
    return running;
}

}  // namespace

bool StartWorker(std::function<void()> work) {
    Running().fetch_add(1);
    const bool started = StartDetachedThread([w = std::move(work)]() mutable {
        try {
            w();
        } catch (...) {
        }
        // Drop what the work captured, then count the worker out as the last
        // thing it does with the module's objects.
        w = nullptr;
        Running().fetch_sub(1);
    });
    if (!started) Running().fetch_sub(1);
    return started;
}

std::optional<PumpResult> RunOnWorkerAndWait(std::function<void()> work, const std::shared_ptr<WaitEvent>& event,
                                             const PumpLimits& limits) {
    if (!StartWorker([work = std::move(work), event] {
            work();
            // The waiter's next request comes as soon as the signal wakes
            // it: this thread takes it.
            BodyEnding();
            event->Set();
        }))
        return std::nullopt;
    return WaitAndPump(*event, limits);
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
