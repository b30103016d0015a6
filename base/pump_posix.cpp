#include "base/pump.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tesra {

struct WaitEvent::Impl {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
};

WaitEvent::WaitEvent() : impl_(std::make_unique<Impl>()) {}
WaitEvent::~WaitEvent() = default;

void WaitEvent::Set() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->signalled = true;
    impl_->cv.notify_all();
}

bool WaitEvent::Wait(int ms) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->cv.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms),
                              [this] { return impl_->signalled; });
}

PumpResult WaitAndPump(WaitEvent& event, const PumpLimits& limits) {
    // No message queue here: each round is only the timed wait.
    for (int round = 0; round < limits.rounds; ++round)
        if (event.Wait(limits.roundMs)) return PumpResult::kSignalled;
    return PumpResult::kExhausted;
}

void SendWindowMessage(WindowHandle, unsigned, std::uintptr_t, std::intptr_t) {}

void SendCopyData(WindowHandle, std::uintptr_t, std::string_view) {}

}  // namespace tesra
