#include "base/thread.h"

#include <thread>

namespace tesra {

bool StartDetachedThread(std::function<void()> body) {
    try {
        std::thread([b = std::move(body)]() mutable {
            try {
                b();
            } catch (...) {
            }
        }).detach();
        return true;
    } catch (...) {
        return false;
    }
}

void BodyEnding() {}

}  // namespace tesra
