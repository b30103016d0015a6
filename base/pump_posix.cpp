#include "base/pump.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tesra {

struct WaitEvent::Impl {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
    bool autoReset = false;
};

WaitEvent::WaitEvent(Reset reset) : impl_(std::make_unique<Impl>()) { impl_->autoReset = reset == Reset::kAuto; }
WaitEvent::~WaitEvent() = default;

void WaitEvent::Set() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->signalled = true;
    impl_->cv.notify_all();
}

bool WaitEvent::Wait(int ms) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    const bool signalled =
        impl_->cv.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms), [this] { return impl_->signalled; });
    if (signalled && impl_->autoReset) impl_->signalled = false;
    return signalled;
}

void* WaitEvent::native() const { return nullptr; }

PumpResult WaitAndPump(WaitEvent& event, const PumpLimits& limits, int* rounds) {
    // No message queue here: each round is only the timed wait.
    int round = 0;
    PumpResult result = PumpResult::kExhausted;
    while (round < limits.rounds) {
        ++round;
        if (event.Wait(limits.roundMs)) {
            result = PumpResult::kSignalled;
            break;
        }
    }
    if (rounds) *rounds = round;
    return result;
}

void SendWindowMessage(WindowHandle, unsigned, std::uintptr_t, std::intptr_t) {}

void SendTransferProgress(WindowHandle, int, long) {}

void SendCopyData(WindowHandle, std::uintptr_t, std::string_view) {}

}  // namespace tesra
