// Waiting on the user-interface thread: for a worker thread, or for a
// socket's network events. Every such wait goes through WaitAndPump. Its
// limit is a number of rounds of a round length, kept as time; it wakes as
// soon as the event is signalled or a message or input arrives, and then
// takes and dispatches every queued window message, so keys, paints, timers
// and commands run while a request is out. On Windows that is the thread's
// message queue; natively there is none and the wait is a plain timed wait.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tesra {

// An HWND on Windows; an opaque token natively.
using WindowHandle = void*;

// Manual-reset event, created not signalled. Workers hold it through a
// std::shared_ptr so that a waiter that gave up can let go of it safely.
// An auto-reset one is cleared by the wait that sees it signalled, so its
// one waiter can use it again for the next signal.
class WaitEvent {
public:
    enum class Reset { kManual, kAuto };
    explicit WaitEvent(Reset reset = Reset::kManual);
    WaitEvent(const WaitEvent&) = delete;
    WaitEvent& operator=(const WaitEvent&) = delete;
    ~WaitEvent();

    void Set();
    // True when signalled within ms milliseconds (0: just a test).
    bool Wait(int ms);
    // The event's HANDLE on Windows (for WSAEventSelect), null natively.
    void* native() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Which WM_QUIT / WM_CLOSE ends a wait early.
enum class QuitRule {
    kAnyWindow,       // addressed to any window (or to none, as WM_QUIT is)
    kMainWindowOnly,  // only when addressed to the given main window
    kQuitOnly,        // WM_QUIT only; a WM_CLOSE is dispatched like any message
};

enum class PumpResult { kSignalled, kExhausted, kQuit };

struct PumpLimits {
    int rounds = 600;
    int roundMs = 100;
    QuitRule quit = QuitRule::kAnyWindow;
    WindowHandle mainWindow = nullptr;
};

// Waits for event at most rounds times roundMs by the clock; returns as soon
// as the event is signalled. Whenever a message or input arrives, every
// queued message is removed, translated and dispatched (until the time is
// up); a WM_CLOSE that the rule names is dispatched too and ends the wait at
// once (kQuit), as does a WM_QUIT the rule names. A WM_QUIT is never lost:
// whether or not it ends the wait, it is posted again (with its exit code)
// when the wait returns, so the host's own loop still ends. When rounds is
// not null it receives the rounds begun: 1 for a wait that ended within its
// first round length, and so on; all of them when the time ran out.
PumpResult WaitAndPump(WaitEvent& event, const PumpLimits& limits, int* rounds = nullptr);

// SendMessage to a window; nothing natively.
void SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

// The FTP client's progress notice (WM_TRANSFER_PROGRESS, which the memo
// window handles), sent to window: direction 0 for a download chunk, 1 for
// an upload chunk, and the chunk's byte count. Nothing natively.
void SendTransferProgress(WindowHandle window, int direction, long bytes);

// A WM_COPYDATA command sent (synchronously) to a window: dwData code,
// cbData and lpData the payload (an empty payload still points at an empty
// string). Nothing natively.
void SendCopyData(WindowHandle window, std::uintptr_t code, std::string_view payload);

}  // namespace tesra
