#include "base/sock_sys.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "base/sock_native.h"

namespace tesra::net {

std::uint16_t HostToNet16(std::uint16_t v) { return htons(v); }
std::uint16_t NetToHost16(std::uint16_t v) { return ntohs(v); }

namespace sys {

int LastError() { return errno; }
void ClearError() { errno = 0; }

SocketHandle Open(int type) { return ::socket(AF_INET, type | SOCK_CLOEXEC, 0); }

void CloseHandle(SocketHandle s) {
    if (s >= 0) ::close(s);
}

bool SetBlocking(SocketHandle s, bool blocking) {
    const int flags = ::fcntl(s, F_GETFL, 0);
    if (flags < 0) return false;
    return ::fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

bool SetLingerReset(SocketHandle s) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    return ::setsockopt(s, SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
}

int Shutdown(SocketHandle s, int how) { return ::shutdown(s, how == 2 ? SHUT_RDWR : how); }

int Connect(SocketHandle s, const SockAddr& addr) {
    const sockaddr_in a = ToNative(addr);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return 0;
    return errno == EINPROGRESS ? 1 : -1;
}

int WaitReady(SocketHandle s, bool forWrite, int timeoutMs) {
    // poll, not select: descriptors above FD_SETSIZE are fine here.
    pollfd p{};
    p.fd = s;
    p.events = forWrite ? POLLOUT : POLLIN;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = left.count() < 0 ? 0 : static_cast<int>(left.count());
        }
        const int r = ::poll(&p, 1, wait);
        if (r >= 0) return r > 0 ? 1 : 0;
        if (errno != EINTR) return -1;
    }
}

int PendingError(SocketHandle s) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return -1;
    return err;
}

long SendNow(SocketHandle s, const char* data, std::size_t len) {
    const ssize_t n = ::send(s, data, len, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
}

long Send(SocketHandle s, const char* data, std::size_t len) {
    for (;;) {
        const ssize_t n = ::send(s, data, len, MSG_NOSIGNAL);
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

bool SetIoTimeout(SocketHandle s, bool forSend, int ms) {
    timeval tv{};
    if (ms > 0) {
        tv.tv_sec = ms / 1000;
        tv.tv_usec = (ms % 1000) * 1000;
    }
    return ::setsockopt(s, SOL_SOCKET, forSend ? SO_SNDTIMEO : SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool LastTimedOut() { return errno == EAGAIN || errno == EWOULDBLOCK; }

long Recv(SocketHandle s, char* buf, std::size_t len) {
    for (;;) {
        const ssize_t n = ::recv(s, buf, len, 0);
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

bool LastWouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS; }

bool Resolve(const std::string& name, std::uint32_t* addrNet) {
    if (name.empty()) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
    *addrNet = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(res);
    return true;
}

std::uint32_t ParseDotted(const std::string& text) { return ::inet_addr(text.c_str()); }

std::string DottedText(std::uint32_t addrNet) {
    in_addr a{};
    a.s_addr = addrNet;
    char buf[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &a, buf, sizeof buf) ? std::string(buf) : std::string();
}

bool LocalAddress(SocketHandle s, SockAddr* out) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
    *out = FromNative(a);
    return true;
}

bool PeerAddress(SocketHandle s, SockAddr* out) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
    *out = FromNative(a);
    return true;
}

bool Bind(SocketHandle s, const SockAddr& addr) {
    const sockaddr_in a = ToNative(addr);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool Listen(SocketHandle s, int backlog) { return ::listen(s, backlog) == 0; }

SocketHandle Accept(SocketHandle s) {
    for (;;) {
        const int c = ::accept4(s, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0 || errno != EINTR) return c;
    }
}

bool MakePlainBlocking(SocketHandle s) { return SetBlocking(s, true); }

// Natively there is no message queue to keep moving: a MessageSocket is a
// non-blocking socket with plain timed waits.
MessageSocket::MessageSocket() = default;
MessageSocket::~MessageSocket() { Close(); }

bool MessageSocket::Create() {
    Close();
    handle_ = Open(SOCK_STREAM);
    if (handle_ == kNoSocket) return false;
    if (!SetBlocking(handle_, false)) {
        Close();
        return false;
    }
    return true;
}

int MessageSocket::Wait(bool forWrite, int timeoutMs) { return WaitReady(handle_, forWrite, timeoutMs); }

bool MessageSocket::SendAll(const char* data, std::size_t len, int timeoutMs) {
    std::size_t done = 0;
    while (done < len) {
        const long n = SendNow(handle_, data + done, len - done);
        if (n < 0) return false;
        if (n == 0 && Wait(true, timeoutMs) != 1) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void MessageSocket::Close() {
    if (handle_ != kNoSocket) CloseHandle(handle_);
    handle_ = kNoSocket;
}

}  // namespace sys
}  // namespace tesra::net
