#include "base/sock_sys.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "base/sock_native.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

namespace tesra::net {

std::uint16_t HostToNet16(std::uint16_t v) { return htons(v); }
std::uint16_t NetToHost16(std::uint16_t v) { return ntohs(v); }

namespace sys {
namespace {

// The module starts Winsock when it loads; programs that use this layer on
// their own (tests, tools) get it started on first use. Winsock counts the
// starts, so both together are harmless.
void EnsureWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

SOCKET S(SocketHandle s) { return static_cast<SOCKET>(s); }

int SelectOne(SocketHandle s, bool forWrite, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(S(s), &set);
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    // Winsock reports a failed non-blocking connect in the except set.
    fd_set except;
    FD_ZERO(&except);
    FD_SET(S(s), &except);
    const int r = ::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, forWrite ? &except : nullptr,
                           timeoutMs < 0 ? nullptr : &tv);
    return r > 0 ? 1 : r;
}

}  // namespace

int LastError() { return ::WSAGetLastError(); }
void ClearError() { ::WSASetLastError(0); }

SocketHandle Open(int type) {
    EnsureWinsock();
    // Not inherited by child processes, in the one call.
    const SOCKET s = ::WSASocketW(AF_INET, type, 0, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    return static_cast<SocketHandle>(s);
}

void CloseHandle(SocketHandle s) {
    if (s != kNoSocket) ::closesocket(S(s));
}

bool SetBlocking(SocketHandle s, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    return ::ioctlsocket(S(s), FIONBIO, &mode) == 0;
}

bool SetLingerReset(SocketHandle s) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    return ::setsockopt(S(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l) == 0;
}

int Shutdown(SocketHandle s, int how) { return ::shutdown(S(s), how); }

int Connect(SocketHandle s, const SockAddr& addr) {
    const sockaddr_in a = ToNative(addr);
    if (::connect(S(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return 0;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? 1 : -1;
}

int WaitReady(SocketHandle s, bool forWrite, int timeoutMs) { return SelectOne(s, forWrite, timeoutMs); }

int PendingError(SocketHandle s) {
    int err = 0;
    int len = sizeof err;
    if (::getsockopt(S(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0) return -1;
    return err;
}

long SendNow(SocketHandle s, const char* data, std::size_t len) {
    // Winsock has no per-call "don't wait": the socket is made non-blocking
    // for the one send, so a peer that stops reading cannot hold us inside
    // send() past our own time-out.
    if (!SetBlocking(s, false)) return -1;
    const int chunk = len > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(len);
    const int n = ::send(S(s), data, chunk, 0);
    const int err = ::WSAGetLastError();
    SetBlocking(s, true);
    if (n >= 0) return n;
    ::WSASetLastError(err);
    return err == WSAEWOULDBLOCK ? 0 : -1;
}

long Send(SocketHandle s, const char* data, std::size_t len) {
    const int chunk = len > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(len);
    return ::send(S(s), data, chunk, 0);
}

bool SetIoTimeout(SocketHandle s, bool forSend, int ms) {
    const DWORD value = ms < 0 ? 0 : static_cast<DWORD>(ms);
    return ::setsockopt(S(s), SOL_SOCKET, forSend ? SO_SNDTIMEO : SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
}

bool LastTimedOut() { return ::WSAGetLastError() == WSAETIMEDOUT; }

long Recv(SocketHandle s, char* buf, std::size_t len) {
    const int chunk = len > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(len);
    return ::recv(S(s), buf, chunk, 0);
}

bool LastWouldBlock() { return ::WSAGetLastError() == WSAEWOULDBLOCK; }

bool Resolve(const std::string& name, std::uint32_t* addrNet) {
    EnsureWinsock();
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
    const auto* b = reinterpret_cast<const unsigned char*>(&addrNet);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

bool LocalAddress(SocketHandle s, SockAddr* out) {
    sockaddr_in a{};
    int len = sizeof a;
    if (::getsockname(S(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
    *out = FromNative(a);
    return true;
}

bool PeerAddress(SocketHandle s, SockAddr* out) {
    sockaddr_in a{};
    int len = sizeof a;
    if (::getpeername(S(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
    *out = FromNative(a);
    return true;
}

bool Bind(SocketHandle s, const SockAddr& addr) {
    const sockaddr_in a = ToNative(addr);
    return ::bind(S(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool Listen(SocketHandle s, int backlog) { return ::listen(S(s), backlog) == 0; }

SocketHandle Accept(SocketHandle s) { return static_cast<SocketHandle>(::accept(S(s), nullptr, nullptr)); }

bool MakePlainBlocking(SocketHandle s) {
    // An accepted socket inherits the listener's event selection; it has to
    // be cancelled before the socket can block again.
    if (::WSAEventSelect(S(s), nullptr, 0) != 0) return false;
    return SetBlocking(s, true);
}

// Waits keep the thread's window messages flowing: the socket's network
// events set the event that the one wait-and-pump routine waits on.
MessageSocket::MessageSocket() = default;

MessageSocket::~MessageSocket() { Close(); }

bool MessageSocket::Create() {
    Close();
    if (!event_) event_ = std::make_unique<WaitEvent>();
    if (!event_->native()) return false;
    handle_ = Open(SOCK_STREAM);
    if (handle_ == kNoSocket) return false;
    // Also makes the socket non-blocking.
    if (::WSAEventSelect(S(handle_), static_cast<WSAEVENT>(event_->native()),
                         FD_READ | FD_WRITE | FD_CONNECT | FD_ACCEPT | FD_CLOSE) != 0) {
        Close();
        return false;
    }
    return true;
}

int MessageSocket::Wait(bool forWrite, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    // The time-out is time, however often the wait wakes before it.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        // Clear the recorded network events (which also resets the event),
        // then test: an event after this point stays recorded and wakes us.
        WSANETWORKEVENTS events;
        ::WSAEnumNetworkEvents(S(handle_), static_cast<WSAEVENT>(event_->native()), &events);
        const int ready = SelectOne(handle_, forWrite, 0);
        if (ready != 0) return ready;
        PumpLimits limits;
        limits.quit = QuitRule::kQuitOnly;
        if (timeoutMs < 0) {
            limits.rounds = std::numeric_limits<int>::max();
        } else {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return 0;
            limits.rounds = static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max()));
            limits.roundMs = 1;
        }
        if (WaitAndPump(*event_, limits) == PumpResult::kQuit) return -1;
    }
}

bool MessageSocket::SendAll(const char* data, std::size_t len, int timeoutMs) {
    std::size_t done = 0;
    while (done < len) {
        const int chunk = (len - done) > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(len - done);
        const int n = ::send(S(handle_), data + done, chunk, 0);
        if (n < 0) {
            if (::WSAGetLastError() != WSAEWOULDBLOCK || Wait(true, timeoutMs) != 1) return false;
            continue;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void MessageSocket::Close() {
    if (handle_ != kNoSocket) ::closesocket(S(handle_));
    handle_ = kNoSocket;
}

}  // namespace sys
}  // namespace tesra::net
