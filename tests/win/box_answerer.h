// Answers the message boxes that a control raises where no user is: each
// box's text is recorded and the box is dismissed (OK, or Yes).
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tesra::test {

class BoxAnswerer {
public:
    // Boxes of this process; 0 for any process of the Wine prefix.
    explicit BoxAnswerer(DWORD processId = ::GetCurrentProcessId());
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer();

    std::vector<std::string> texts() const;

private:
    void Scan();

    DWORD processId_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<HWND> answered_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

}  // namespace tesra::test
