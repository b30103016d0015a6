// What the message socket does alike on every platform; the waits and
// the sends that differ live in sock_sys_posix.cpp and sock_sys_win.cpp.
#include "base/sock_sys.h"

namespace tesra::net::sys {

bool MessageSocket::Connect(const SockAddr& addr, int timeoutMs) {
    const int r = sys::Connect(handle_, addr);
    if (r == 0) return true;
    if (r < 0) return false;
    return Wait(true, timeoutMs) == 1 && PendingError(handle_) == 0;
}

long MessageSocket::Receive(char* buf, std::size_t cap, int timeoutMs) {
    for (;;) {
        const long n = Recv(handle_, buf, cap);
        if (n >= 0) return n;
        if (!LastWouldBlock() || Wait(false, timeoutMs) != 1) return -1;
    }
}

bool MessageSocket::Listen(const SockAddr& addr, int backlog) {
    return Bind(handle_, addr) && sys::Listen(handle_, backlog);
}

SocketHandle MessageSocket::Accept(int timeoutMs) {
    for (;;) {
        const SocketHandle c = sys::Accept(handle_);
        if (c != kNoSocket) return c;
        if (!LastWouldBlock() || Wait(false, timeoutMs) != 1) return kNoSocket;
    }
}

}  // namespace tesra::net::sys
