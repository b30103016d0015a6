#include "tools/common/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace tesra::tools {

namespace {

// Signal state is process-wide by nature: one flag, one self-pipe.
volatile std::sig_atomic_t g_stop = 0;
int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const int saved = errno;
    g_stop = 1;
    if (g_stopPipe[1] >= 0) {
        const char c = 'x';
        [[maybe_unused]] auto n = ::write(g_stopPipe[1], &c, 1);
    }
    errno = saved;
}

constexpr std::size_t kMaxConnections = 128;

}  // namespace

void InstallStopSignals() {
    if (g_stopPipe[0] < 0 && ::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) g_stopPipe[0] = g_stopPipe[1] = -1;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SetTimeouts(int fd, int seconds) {
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void ResetOnClose(int fd) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

LoopbackServer::~LoopbackServer() { StopAll(); }

bool LoopbackServer::Listen(std::uint16_t port, std::string& error) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd.get(), 64) != 0) {
        error = std::string("bind 127.0.0.1:") + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listener_ = std::move(fd);
    return true;
}

std::string LoopbackServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

void LoopbackServer::Run(const Handler& handler) {
    while (!g_stop) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, g_stopPipe[0] >= 0 ? 2 : 1, 200);
        ReapFinished();
        if (ready <= 0 || !(fds[0].revents & POLLIN)) continue;
        UniqueFd conn(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!conn.valid()) continue;
        std::lock_guard lock(mutex_);
        if (connections_.size() >= kMaxConnections) continue;  // closed unanswered
        auto c = std::make_unique<Connection>();
        c->fd = conn.Release();
        Connection* raw = c.get();
        connections_.push_back(std::move(c));
        raw->thread = std::thread([this, raw, &handler] { Serve(raw, handler); });
    }
    listener_.Reset();
    StopAll();
}

void LoopbackServer::Serve(Connection* c, const Handler& handler) {
    handler(c->fd);
    {
        // Closed under the lock, so a stop never shuts down a reused number.
        std::lock_guard lock(mutex_);
        ::close(c->fd);
        c->fd = -1;
    }
    c->done = true;
}

void LoopbackServer::ReapFinished() {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if ((*it)->done) {
                finished.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished) c->thread.join();
}

void LoopbackServer::StopAll() {
    std::list<std::unique_ptr<Connection>> all;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& c : connections_)
            if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
        all.swap(connections_);
    }
    wake_.notify_all();
    for (auto& c : all)
        if (c->thread.joinable()) c->thread.join();
}

bool LoopbackServer::Sleep(int ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

}  // namespace tesra::tools
