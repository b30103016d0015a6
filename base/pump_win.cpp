#include "base/pump.h"
#include "base/window_messages.h"

#include <windows.h>

#include <optional>

namespace tesra {

struct WaitEvent::Impl {
    HANDLE handle = nullptr;
};

WaitEvent::WaitEvent() : impl_(std::make_unique<Impl>()) {
    impl_->handle = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

WaitEvent::~WaitEvent() {
    if (impl_->handle) ::CloseHandle(impl_->handle);
}

void WaitEvent::Set() {
    if (impl_->handle) ::SetEvent(impl_->handle);
}

bool WaitEvent::Wait(int ms) {
    if (!impl_->handle) return false;
    return ::WaitForSingleObject(impl_->handle, static_cast<DWORD>(ms < 0 ? 0 : ms)) == WAIT_OBJECT_0;
}

void* WaitEvent::native() const { return impl_->handle; }

namespace {

bool Ends(const MSG& msg, const PumpLimits& limits) {
    if (msg.message != WM_QUIT && msg.message != WM_CLOSE) return false;
    switch (limits.quit) {
    case QuitRule::kAnyWindow:
        return true;
    case QuitRule::kMainWindowOnly:
        return msg.hwnd == static_cast<HWND>(limits.mainWindow);
    case QuitRule::kQuitOnly:
        return msg.message == WM_QUIT;
    }
    return false;
}

}  // namespace

PumpResult WaitAndPump(WaitEvent& event, const PumpLimits& limits, int* rounds) {
    std::optional<int> quitCode;
    PumpResult result = PumpResult::kExhausted;
    int round = 0;
    while (round < limits.rounds) {
        ++round;
        if (event.Wait(limits.roundMs)) {
            result = PumpResult::kSignalled;
            break;
        }
        bool ends = false;
        MSG msg;
        while (!ends && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ends = Ends(msg, limits);
            if (msg.message == WM_QUIT) {
                // Put back when the wait returns: taken again at once, it
                // would keep this loop turning.
                quitCode = static_cast<int>(msg.wParam);
                break;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (ends) {
            result = PumpResult::kQuit;
            break;
        }
    }
    if (quitCode) ::PostQuitMessage(*quitCode);
    if (rounds) *rounds = round;
    return result;
}

void SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (window)
        ::SendMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void SendTransferProgress(WindowHandle window, int direction, long bytes) {
    SendWindowMessage(window, kTransferProgressMessage, static_cast<std::uintptr_t>(direction), bytes);
}

void SendCopyData(WindowHandle window, std::uintptr_t code, std::string_view payload) {
    if (!window) return;
    COPYDATASTRUCT data;
    data.dwData = static_cast<ULONG_PTR>(code);
    data.cbData = static_cast<DWORD>(payload.size());
    data.lpData = const_cast<char*>(payload.empty() ? "" : payload.data());
    ::SendMessageA(static_cast<HWND>(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

}  // namespace tesra
