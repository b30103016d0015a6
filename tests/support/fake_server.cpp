#include "support/fake_server.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "base/sock_sys.h"

// Only the socket options the seam does not offer.
#if defined(_WIN32)
#include <winsock2.h>
constexpr int kWasReset = WSAECONNRESET;
#else
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
constexpr int kWasReset = ECONNRESET;
#endif

namespace tesra::test {

namespace {

namespace sys = net::sys;
using Sock = net::SocketHandle;
constexpr Sock kBad = net::kNoSocket;

void CloseSock(Sock s) { sys::CloseHandle(s); }
int PollOne(Sock s, bool write, int ms) { return sys::WaitReady(s, write, ms); }

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Sock ToSock(std::uintptr_t v) { return static_cast<Sock>(v); }

net::SockAddr LoopbackAddr(int port) {
    net::SockAddr a;
    a.sin_family = net::kAfInet;
    a.sin_port = net::HostToNet16(static_cast<std::uint16_t>(port));
    a.sin_addr = sys::ParseDotted("127.0.0.1");
    return a;
}

// A listener on 127.0.0.1 at port (0: any); kBad on failure.
Sock Listen(int port, int backlog, int receiveBuffer, int* boundPort) {
    const Sock s = sys::Open(SOCK_STREAM);
    if (s == kBad) return kBad;
    if (receiveBuffer > 0)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    net::SockAddr a = LoopbackAddr(port);
    if (!sys::Bind(s, a) || !sys::Listen(s, backlog) || !sys::LocalAddress(s, &a) || !sys::SetBlocking(s, false)) {
        CloseSock(s);
        return kBad;
    }
    *boundPort = net::NetToHost16(a.sin_port);
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
        const Sock c = sys::Accept(l);
        if (c == kBad) continue;
        sys::SetBlocking(c, false);
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
        for (const long long until = NowMs() + ms; NowMs() < until;) {
            if (stop || NowMs() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(10, until - NowMs() + 1)));
        }
        return true;
    }
    bool SendAll(Sock s, const std::string& text) const {
        for (std::size_t at = 0; at < text.size();) {
            // Send, not SendNow: on Windows that leaves the socket blocking.
            const long n = sys::Send(s, text.data() + at, std::min<std::size_t>(text.size() - at, 1 << 20));
            if (n > 0)
                at += static_cast<std::size_t>(n);
            else if (!(n < 0 && sys::LastWouldBlock()) || !Ready(s, true))
                return false;
        }
        return true;
    }
    // bytes appended, 0 at the peer's close (or reset), -1 on failure or time-out.
    long ReadSome(Sock s, std::string* into, std::mutex& m) const {
        char buf[65536];
        for (;;) {
            const long n = sys::Recv(s, buf, sizeof buf);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(m);
                into->append(buf, static_cast<std::size_t>(n));
                return static_cast<long>(n);
            }
            if (n == 0 || sys::LastError() == kWasReset) return 0;
            if (!sys::LastWouldBlock() || !Ready(s, false)) return -1;
        }
    }
    // Reads until the peer closes; false when it did not.
    bool ReadToClose(Sock s, std::string* into, std::mutex& m) const {
        for (long n; (n = ReadSome(s, into, m)) != 0;)
            if (n < 0) return false;
        return true;
    }
};

void GracefulClose(Sock& s, const Waiter& w, std::string* record, std::mutex& m) {
    if (s == kBad) return;
    sys::Shutdown(s, 1);  // sends
    // Closing with unread bytes would reset the connection and could destroy
    // our reply before the client reads it: drain first, briefly.
    Waiter{w.stop, std::min(w.deadline, NowMs() + 500)}.ReadToClose(s, record, m);
    CloseSock(s);
    s = kBad;
}

}  // namespace

void FakeServer::Run(std::size_t index) {
    Connection& c = *connections_[index];
    const Waiter w{stop_, deadline_};
    // What the client sent so far, read under the lock.
    const auto received = [&](auto read) {
        std::lock_guard<std::mutex> lock(mutex_);
        return read(c.received);
    };
    const auto size = [&] { return received([](const std::string& r) { return r.size(); }); };
    // Carries out one step; what went wrong, or "" when it went as scripted.
    const auto run = [&](const Step& s) -> std::string {
        switch (s.kind) {
        case Step::Kind::kReadUntil:
            for (;;) {
                if (const auto at = received([&](const std::string& r) { return r.find(s.text, c.cursor); });
                    at != std::string::npos) {
                    c.cursor = at + s.text.size();
                    return {};
                }
                if (w.ReadSome(c.control, &c.received, mutex_) <= 0) return "no \"" + s.text + "\" from the client";
            }
        case Step::Kind::kReadToClose:
            if (!w.ReadToClose(c.control, &c.received, mutex_)) return "client did not close";
            c.cursor = size();
            return {};
        case Step::Kind::kSend:
            return w.SendAll(c.control, Expand(s.text, c.dataPort)) ? "" : "send failed";
        case Step::Kind::kDrip: {
            int on = 1;
            ::setsockopt(c.control, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            for (char ch : Expand(s.text, c.dataPort))
                if (!w.SendAll(c.control, std::string(1, ch)) || !w.Sleep(s.ms)) return "drip failed";
            return {};
        }
        case Step::Kind::kDelay:
            return w.Sleep(s.ms) ? "" : "stopped";
        case Step::Kind::kClose:
            GracefulClose(c.control, w, &c.received, mutex_);
            return {};
        case Step::Kind::kReset:
            sys::SetLingerReset(c.control);
            CloseSock(std::exchange(c.control, kBad));
            return {};
        case Step::Kind::kListenData:
            c.dataListener = Listen(0, 1, 0, &c.dataPort);
            return c.dataListener == kBad ? "cannot listen for data" : "";
        case Step::Kind::kAcceptData:
            if (c.dataListener == kBad || !w.Ready(c.dataListener, false) || (c.data = sys::Accept(c.dataListener)) == kBad)
                return "no data connection came";
            sys::SetBlocking(c.data, false);
            return {};
        case Step::Kind::kDataSend:
            return c.data != kBad && w.SendAll(c.data, s.text) ? "" : "data send failed";
        case Step::Kind::kDataClose: {
            std::string drained;
            GracefulClose(c.data, w, &drained, mutex_);
            return {};
        }
        }
        return "unknown step";
    };
    bool ok = true;
    for (std::size_t i = 0; ok && i < scripts_[index].size(); ++i) {
        if (const std::string why = run(scripts_[index][i]); !why.empty()) {
            ok = false;
            // A delay cut short by the end of the test is no failure of the client.
            if (scripts_[index][i].kind == Step::Kind::kDelay) break;
            std::lock_guard<std::mutex> lock(mutex_);
            errors_.push_back("connection " + std::to_string(index) + " step " + std::to_string(i) + ": " + why);
        }
    }
    for (Sock* s : {&c.data, &c.dataListener})
        if (*s != kBad) CloseSock(std::exchange(*s, kBad));
    if (ok)
        GracefulClose(c.control, w, &c.received, mutex_);
    else if (c.control != kBad)
        CloseSock(std::exchange(c.control, kBad));
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
    // Fill the accept queue until a connect neither completes nor fails.
    for (int i = 0; i < 64 && !silent_; ++i) {
        const Sock s = sys::Open(SOCK_STREAM);
        sys::SetBlocking(s, false);
        sys::Connect(s, LoopbackAddr(port_));
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
    for (Sock c; PollOne(l, false, 0) == 1 && (c = sys::Accept(l)) != kBad;)
        fillers_.push_back(static_cast<std::uintptr_t>(c));
}

SilentListener::~SilentListener() {
    for (auto s : fillers_) CloseSock(ToSock(s));
    if (ToSock(listener_) != kBad) CloseSock(ToSock(listener_));
}

}  // namespace tesra::test
