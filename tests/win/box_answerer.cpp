#include "box_answerer.h"

#include <algorithm>

namespace tesra::test {

BoxAnswerer::BoxAnswerer(DWORD processId) : processId_(processId), thread_([this] {
    // Bounded: ten minutes of scanning at most.
    for (int round = 0; round < 30000 && !stop_; ++round) {
        Scan();
        ::Sleep(20);
    }
}) {}

BoxAnswerer::~BoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<std::string> BoxAnswerer::texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
}

void BoxAnswerer::Scan() {
    std::vector<HWND> boxes;
    ::EnumWindows(
        [](HWND w, LPARAM out) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
        char cls[16] = {};
        ::GetClassNameA(box, cls, sizeof cls);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(box, &pid);
        // A message box: a dialog with its text in static 0xFFFF and an OK
        // or a Yes button (the progress notice has no button).
        HWND button = ::GetDlgItem(box, IDOK) ? ::GetDlgItem(box, IDOK) : ::GetDlgItem(box, IDYES);
        if (std::string(cls) != "#32770" || (processId_ && pid != processId_) || !button || !::IsWindowVisible(box))
            continue;
        std::lock_guard lock(mutex_);
        if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
        char text[1024] = {};
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        texts_.push_back(text);
        answered_.push_back(box);
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }
}

}  // namespace tesra::test
