// Answers the message boxes that a control raises where no user is: each
// box's text is recorded and the box is dismissed with its OK (or Yes), or
// with the button asked for.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tesra::test {

class BoxAnswerer {
public:
    // Boxes of this process; 0 for any process of the Wine prefix.
    explicit BoxAnswerer(DWORD processId = ::GetCurrentProcessId(), int button = IDOK);
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer() { Stop(); }

    // Stops answering; the texts of the boxes answered, in order.
    std::vector<std::string> Stop();

private:
    DWORD processId_;
    int button_;
    std::atomic<bool> stop_{false};
    std::vector<HWND> answered_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

}  // namespace tesra::test
