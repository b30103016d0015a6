#include "support/fake_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tesra::test {

namespace {

#if defined(_WIN32)
using Sock = SOCKET;
const Sock kBad = INVALID_SOCKET;
constexpr int kSendFlags = 0;
void EnsureStarted() {
    static const bool started = [] {
        WSADATA d;
        return WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }();
    (void)started;
}
void CloseSock(Sock s) { closesocket(s); }
void NonBlocking(Sock s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}
int PollOne(Sock s, bool write, int ms) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = write ? POLLWRNORM : POLLRDNORM;
    const int r = WSAPoll(&p, 1, ms);
    return r > 0 ? 1 : r;
}
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool WasReset() { return WSAGetLastError() == WSAECONNRESET; }
#else
using Sock = int;
const Sock kBad = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;
void EnsureStarted() {}
void CloseSock(Sock s) { ::close(s); }
void NonBlocking(Sock s) { ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL, 0) | O_NONBLOCK); }
int PollOne(Sock s, bool write, int ms) {
    pollfd p{};
    p.fd = s;
    p.events = write ? POLLOUT : POLLIN;
    const int r = ::poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) return 0;
    return r > 0 ? 1 : r;
}
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS; }
bool WasReset() { return errno == ECONNRESET; }
#endif

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Sock ToSock(std::uintptr_t v) { return static_cast<Sock>(v); }

// A listener on 127.0.0.1 at port (0: any); kBad on failure.
Sock Listen(int port, int backlog, int receiveBuffer, int* boundPort) {
    EnsureStarted();
    Sock s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == kBad) return kBad;
    if (receiveBuffer > 0)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<unsigned short>(port));
    socklen_t len = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, backlog) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        CloseSock(s);
        return kBad;
    }
    NonBlocking(s);
    *boundPort = ntohs(a.sin_port);
    return s;
}

std::string PortPair(int port) { return std::to_string(port / 256) + "," + std::to_string(port % 256); }

std::string Expand(std::string text, int dataPort) {
    const auto replace = [&](const std::string& key, const std::string& value) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    };
    replace("{PASV}", "127,0,0,1," + PortPair(dataPort));
    replace("{PORT}", PortPair(dataPort));
    return text;
}

}  // namespace

namespace step {
Step ReadUntil(std::string text) { return {Step::Kind::kReadUntil, std::move(text)}; }
Step ReadBytes(std::size_t count) { return {Step::Kind::kReadBytes, {}, count}; }
Step ReadToClose() { return {Step::Kind::kReadToClose, {}}; }
Step Send(std::string text) { return {Step::Kind::kSend, std::move(text)}; }
Step Drip(std::string text, int gapMs) { return {Step::Kind::kDrip, std::move(text), 0, gapMs}; }
Step SendRepeated(std::string text, std::size_t count) { return {Step::Kind::kSendRepeated, std::move(text), count}; }
Step Delay(int ms) { return {Step::Kind::kDelay, {}, 0, ms}; }
Step Close() { return {Step::Kind::kClose, {}}; }
Step Reset() { return {Step::Kind::kReset, {}}; }
Step ListenData() { return {Step::Kind::kListenData, {}}; }
Step AcceptData() { return {Step::Kind::kAcceptData, {}}; }
Step ConnectData() { return {Step::Kind::kConnectData, {}}; }
Step DataSend(std::string text) { return {Step::Kind::kDataSend, std::move(text)}; }
Step DataReadToClose() { return {Step::Kind::kDataReadToClose, {}}; }
Step DataClose() { return {Step::Kind::kDataClose, {}}; }
}  // namespace step

Script Steps(std::initializer_list<std::vector<Step>> parts) {
    Script out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct FakeServer::Connection {
    Sock control = kBad;
    Sock dataListener = kBad;
    Sock data = kBad;
    int dataPort = 0;
    std::size_t cursor = 0;
    std::string received;
    std::string dataReceived;
    std::thread thread;
};

FakeServer::FakeServer(std::vector<Script> connections, FakeServerOptions options)
    : options_(options), scripts_(std::move(connections)) {
    deadline_ = NowMs() + options_.deadlineMs;
    for (std::size_t i = 0; i < scripts_.size(); ++i) connections_.push_back(std::make_unique<Connection>());
    const Sock l = Listen(0, 16, options_.receiveBuffer, &port_);
    listener_ = static_cast<std::uintptr_t>(l);
    if (l == kBad) {
        errors_.push_back("cannot listen on 127.0.0.1");
        return;
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

FakeServer::~FakeServer() {
    stop_ = true;
    if (acceptThread_.joinable()) acceptThread_.join();
    for (auto& c : connections_)
        if (c->thread.joinable()) c->thread.join();
    if (ToSock(listener_) != kBad) CloseSock(ToSock(listener_));
}

std::string FakeServer::address() const { return "127.0.0.1:" + std::to_string(port_); }

void FakeServer::AcceptLoop() {
    const Sock l = ToSock(listener_);
    for (std::size_t i = 0; i < scripts_.size();) {
        if (stop_ || NowMs() > deadline_) return;
        if (PollOne(l, false, 20) != 1) continue;
        const Sock c = ::accept(l, nullptr, nullptr);
        if (c == kBad) continue;
        NonBlocking(c);
        connections_[i]->control = c;
        ++accepted_;
        connections_[i]->thread = std::thread([this, i] { Run(i); });
        ++i;
    }
}

namespace {

// Every wait of a script: ready, or false at the deadline or on stop.
struct Waiter {
    const std::atomic<bool>& stop;
    long long deadline;
    bool Ready(Sock s, bool write) const {
        while (!stop && NowMs() < deadline)
            if (const int r = PollOne(s, write, 20); r != 0) return r > 0;
        return false;
    }
    bool Sleep(int ms) const {
        const long long until = NowMs() + ms;
        while (NowMs() < until) {
            if (stop || NowMs() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(10, until - NowMs() + 1)));
        }
        return true;
    }
    bool SendAll(Sock s, const char* data, std::size_t len) const {
        while (len > 0) {
            const int chunk = static_cast<int>(std::min<std::size_t>(len, 1 << 20));
            const auto n = ::send(s, data, chunk, kSendFlags);
            if (n > 0) {
                data += n;
                len -= static_cast<std::size_t>(n);
            } else if (!(n < 0 && WouldBlock()) || !Ready(s, true)) {
                return false;
            }
        }
        return true;
    }
    // bytes appended, 0 at the peer's close (or reset), -1 on failure or time-out.
    long ReadSome(Sock s, std::string* into, std::mutex& m) const {
        char buf[65536];
        for (;;) {
            const auto n = ::recv(s, buf, sizeof buf, 0);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(m);
                into->append(buf, static_cast<std::size_t>(n));
                return static_cast<long>(n);
            }
            if (n == 0 || (n < 0 && WasReset())) return 0;
            if (!WouldBlock() || !Ready(s, false)) return -1;
        }
    }
};

void GracefulClose(Sock& s, const Waiter& w, std::string* record, std::mutex& m) {
    if (s == kBad) return;
#if defined(_WIN32)
    ::shutdown(s, SD_SEND);
#else
    ::shutdown(s, SHUT_WR);
#endif
    // Closing with unread bytes would reset the connection and could destroy
    // our reply before the client reads it: drain first, briefly.
    Waiter brief{w.stop, std::min(w.deadline, NowMs() + 500)};
    while (brief.ReadSome(s, record, m) > 0) {
    }
    CloseSock(s);
    s = kBad;
}

}  // namespace

void FakeServer::Run(std::size_t index) {
    Connection& c = *connections_[index];
    const Waiter w{stop_, deadline_};
    std::string scratch;
    const auto fail = [&](std::size_t stepIndex, const std::string& why) {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_.push_back("connection " + std::to_string(index) + " step " + std::to_string(stepIndex) + ": " + why);
    };
    const auto size = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        return c.received.size();
    };
    bool ok = true;
    const Script& script = scripts_[index];
    for (std::size_t i = 0; ok && i < script.size(); ++i) {
        const Step& s = script[i];
        switch (s.kind) {
        case Step::Kind::kReadUntil:
            for (;;) {
                std::size_t at;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    at = c.received.find(s.text, c.cursor);
                }
                if (at != std::string::npos) {
                    c.cursor = at + s.text.size();
                    break;
                }
                if (w.ReadSome(c.control, &c.received, mutex_) <= 0) {
                    fail(i, "no \"" + s.text + "\" from the client");
                    ok = false;
                    break;
                }
            }
            break;
        case Step::Kind::kReadBytes:
            while (size() < c.cursor + s.count)
                if (w.ReadSome(c.control, &c.received, mutex_) <= 0) {
                    fail(i, "fewer bytes than expected");
                    ok = false;
                    break;
                }
            c.cursor += s.count;
            break;
        case Step::Kind::kReadToClose:
            for (long n; (n = w.ReadSome(c.control, &c.received, mutex_)) != 0;)
                if (n < 0) {
                    fail(i, "client did not close");
                    ok = false;
                    break;
                }
            c.cursor = size();
            break;
        case Step::Kind::kSend:
            if (const std::string text = Expand(s.text, c.dataPort); !w.SendAll(c.control, text.data(), text.size())) {
                fail(i, "send failed");
                ok = false;
            }
            break;
        case Step::Kind::kDrip: {
            int on = 1;
            ::setsockopt(c.control, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            const std::string text = Expand(s.text, c.dataPort);
            for (char ch : text)
                if (!w.SendAll(c.control, &ch, 1) || !w.Sleep(s.ms)) {
                    fail(i, "drip failed");
                    ok = false;
                    break;
                }
            break;
        }
        case Step::Kind::kSendRepeated:
            for (std::size_t k = 0; ok && k < s.count; ++k)
                if (!w.SendAll(c.control, s.text.data(), s.text.size())) {
                    fail(i, "send failed");
                    ok = false;
                }
            break;
        case Step::Kind::kDelay:
            if (!w.Sleep(s.ms)) ok = false;
            break;
        case Step::Kind::kClose:
            GracefulClose(c.control, w, &c.received, mutex_);
            break;
        case Step::Kind::kReset: {
            linger l{};
            l.l_onoff = 1;
            l.l_linger = 0;
            ::setsockopt(c.control, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
            CloseSock(c.control);
            c.control = kBad;
            break;
        }
        case Step::Kind::kListenData:
            c.dataListener = Listen(0, 1, 0, &c.dataPort);
            if (c.dataListener == kBad) {
                fail(i, "cannot listen for data");
                ok = false;
            }
            break;
        case Step::Kind::kAcceptData:
            if (c.dataListener == kBad || !w.Ready(c.dataListener, false) ||
                (c.data = ::accept(c.dataListener, nullptr, nullptr)) == kBad) {
                fail(i, "no data connection came");
                ok = false;
            } else {
                NonBlocking(c.data);
            }
            break;
        case Step::Kind::kConnectData: {
            std::string control;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                control = c.received;
            }
            const std::size_t at = control.rfind("PORT ");
            unsigned h[4] = {}, p[2] = {};
            if (at == std::string::npos ||
                std::sscanf(control.c_str() + at, "PORT %u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &p[0], &p[1]) != 6 ||
                h[0] != 127) {
                // Only ever loopback: a test must not reach out anywhere else.
                fail(i, "no loopback PORT command to connect to");
                ok = false;
                break;
            }
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl((h[0] << 24) | (h[1] << 16) | (h[2] << 8) | h[3]);
            a.sin_port = htons(static_cast<unsigned short>(p[0] * 256 + p[1]));
            c.data = ::socket(AF_INET, SOCK_STREAM, 0);
            NonBlocking(c.data);
            ::connect(c.data, reinterpret_cast<sockaddr*>(&a), sizeof a);
            int err = 0;
            socklen_t len = sizeof err;
            if (!w.Ready(c.data, true) ||
                ::getsockopt(c.data, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0 || err != 0) {
                fail(i, "cannot connect to the client's PORT address");
                ok = false;
            }
            break;
        }
        case Step::Kind::kDataSend:
            if (c.data == kBad || !w.SendAll(c.data, s.text.data(), s.text.size())) {
                fail(i, "data send failed");
                ok = false;
            }
            break;
        case Step::Kind::kDataReadToClose:
            for (long n; c.data != kBad && (n = w.ReadSome(c.data, &c.dataReceived, mutex_)) != 0;)
                if (n < 0) {
                    fail(i, "client did not close the data connection");
                    ok = false;
                    break;
                }
            break;
        case Step::Kind::kDataClose:
            GracefulClose(c.data, w, &scratch, mutex_);
            break;
        }
    }
    if (c.data != kBad) CloseSock(c.data);
    if (c.dataListener != kBad) CloseSock(c.dataListener);
    c.data = c.dataListener = kBad;
    if (ok)
        GracefulClose(c.control, w, &c.received, mutex_);
    else if (c.control != kBad)
        CloseSock(c.control);
    c.control = kBad;
    ++finished_;
}

bool FakeServer::Finish() {
    while (finished_.load() < static_cast<int>(scripts_.size()) && NowMs() < deadline_ && !stop_)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_.load() == static_cast<int>(scripts_.size()) && errors_.empty();
}

std::string FakeServer::Received(std::size_t connection) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection < connections_.size() ? connections_[connection]->received : std::string();
}

std::string FakeServer::DataReceived(std::size_t connection) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection < connections_.size() ? connections_[connection]->dataReceived : std::string();
}

std::vector<std::string> FakeServer::Errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

int ClosedPort() {
    int port = 0;
    const Sock s = Listen(0, 1, 0, &port);
    if (s != kBad) CloseSock(s);
    return port;
}

SilentListener::SilentListener() {
    const Sock l = Listen(0, 0, 0, &port_);
    listener_ = static_cast<std::uintptr_t>(l);
    if (l == kBad) return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<unsigned short>(port_));
    // Fill the accept queue until a connect neither completes nor fails.
    for (int i = 0; i < 64 && !silent_; ++i) {
        const Sock s = ::socket(AF_INET, SOCK_STREAM, 0);
        NonBlocking(s);
        ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers_.push_back(static_cast<std::uintptr_t>(s));
        if (PollOne(s, true, 200) == 0) silent_ = true;
    }
}

void SilentListener::Release() {
    const Sock l = ToSock(listener_);
    if (l == kBad) return;
    // The fillers go first, or the one still retrying would take the room.
    for (auto s : fillers_) CloseSock(ToSock(s));
    fillers_.clear();
    for (Sock c; PollOne(l, false, 0) == 1 && (c = ::accept(l, nullptr, nullptr)) != kBad;)
        fillers_.push_back(static_cast<std::uintptr_t>(c));
}

SilentListener::~SilentListener() {
    for (auto s : fillers_) CloseSock(ToSock(s));
    if (ToSock(listener_) != kBad) CloseSock(ToSock(listener_));
}

}  // namespace tesra::test
