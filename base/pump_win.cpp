#include "base/pump.h"

#include <windows.h>

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

PumpResult WaitAndPump(WaitEvent& event, const PumpLimits& limits) {
    for (int round = 0; round < limits.rounds; ++round) {
        if (event.Wait(limits.roundMs)) return PumpResult::kSignalled;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool quitOrClose = msg.message == WM_QUIT || msg.message == WM_CLOSE;
            const bool ends = quitOrClose && (limits.quit == QuitRule::kAnyWindow ||
                                              msg.hwnd == static_cast<HWND>(limits.mainWindow));
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            if (ends) return PumpResult::kQuit;
        }
    }
    return PumpResult::kExhausted;
}

void SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (window)
        ::SendMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
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
