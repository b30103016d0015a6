#include "box_answerer.h"

#include <algorithm>

namespace tesra::test {
namespace {
BOOL CALLBACK Collect(HWND w, LPARAM out) {
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
    return TRUE;
}
}  // namespace

BoxAnswerer::BoxAnswerer(DWORD processId, int answer) : processId_(processId), button_(answer) {
    thread_ = std::thread([this] {
        for (int round = 0; round < 30000 && !stop_; ++round, ::Sleep(20)) {  // ten minutes at most
            std::vector<HWND> windows;
            ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
            for (HWND box : windows) {
                // A dialog with an OK or a Yes button (the progress notice has none).
                char cls[16] = {};
                ::GetClassNameA(box, cls, sizeof cls);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(box, &pid);
                HWND button = ::GetDlgItem(box, button_);
                if (!button && button_ == IDOK) button = ::GetDlgItem(box, IDYES);
                if (std::string(cls) != "#32770" || (processId_ && pid != processId_) || !button ||
                    !::IsWindowVisible(box) || std::count(answered_.begin(), answered_.end(), box))
                    continue;
                char text[1024] = {};
                ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                texts_.push_back(text);
                answered_.push_back(box);
                ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                               reinterpret_cast<LPARAM>(button));
            }
        }
    });
}

std::vector<std::string> BoxAnswerer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return texts_;
}

}  // namespace tesra::test
