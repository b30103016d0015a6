// Owner of one handle, given back by its release function when the owner goes.
#pragma once

#include <utility>

namespace tesra::win {

// One handle released by Free when the owner goes.
template <class H, auto Free>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    void Reset(H h = nullptr) {
        if (h_) Free(h_);
        h_ = h;
    }
    H Release() { return std::exchange(h_, nullptr); }
    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    H h_ = nullptr;
};

}  // namespace tesra::win
