#include "base/pump.h"
#include "base/window_messages.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>

namespace tesra {

struct WaitEvent::Impl {
    HANDLE handle = nullptr;
};

WaitEvent::WaitEvent(Reset reset) : impl_(std::make_unique<Impl>()) {
    impl_->handle = ::CreateEventA(nullptr, reset == Reset::kManual ? TRUE : FALSE, FALSE, nullptr);
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
    using Clock = std::chrono::steady_clock;
    if (limits.rounds <= 0) {
        if (rounds) *rounds = 0;
        return PumpResult::kExhausted;
    }
    // The limit is time: messages that keep coming must not stretch it.
    const Clock::time_point start = Clock::now();
    const std::chrono::milliseconds roundLength(std::max(limits.roundMs, 0));
    const Clock::time_point deadline = start + roundLength * static_cast<long long>(limits.rounds);
    const auto leftMs = [&deadline] {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<DWORD>(std::clamp<long long>(left, 0, 0x7FFFFFFE));
    };
    auto handle = static_cast<HANDLE>(event.native());
    const DWORD handles = handle ? 1 : 0;
    std::optional<int> quitCode;
    PumpResult result = PumpResult::kExhausted;
    for (;;) {
        // Wakes for the signal, or for any message or input, even one a
        // peek has already seen: a key or a paint waits for nothing.
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(handles, &handle, leftMs(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (handles && woke == WAIT_OBJECT_0) {
            result = PumpResult::kSignalled;
            break;
        }
        if (woke == WAIT_OBJECT_0 + handles) {
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
                if (Clock::now() >= deadline) break;  // a queue that refills itself
            }
            if (ends) {
                result = PumpResult::kQuit;
                break;
            }
        } else if (woke != WAIT_TIMEOUT) {
            break;  // no wait possible: a spin would be worse than giving up
        }
        if (leftMs() == 0) {
            // A handler that ran past the end may have let the worker finish.
            if (event.Wait(0)) result = PumpResult::kSignalled;
            break;
        }
    }
    if (quitCode) ::PostQuitMessage(*quitCode);
    if (rounds) {
        // The rounds begun: the wait's time in round lengths.
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        const long long begun = limits.roundMs > 0 ? elapsed / limits.roundMs + 1 : 1;
        *rounds = result == PumpResult::kExhausted ? limits.rounds
                                                   : static_cast<int>(std::min<long long>(begun, limits.rounds));
    }
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
