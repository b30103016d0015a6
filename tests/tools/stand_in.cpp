#include "stand_in.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "base/text.h"

namespace tesra::test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

StandIn::StandIn(const std::string& binary, const std::vector<std::string>& args) {
    // Everything the child needs is made before the fork.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    pid_ = pid;
    ::close(out[1]);
    // The first line, within ten seconds.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    char c;
    while (firstLine_.size() < 200) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, MillisLeft(deadline)) <= 0) break;
        if (::read(out[0], &c, 1) != 1 || c == '\n') break;
        firstLine_.push_back(c);
    }
    ::close(out[0]);
    const std::string prefix = "listening 127.0.0.1:";
    if (firstLine_.rfind(prefix, 0) == 0) port_ = static_cast<std::uint16_t>(ParseInt(firstLine_.substr(prefix.size())));
}

StandIn::~StandIn() { Stop(); }

int StandIn::Stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + grace;
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RawReply Exchange(std::uint16_t port, std::string_view request, std::size_t chunk, std::chrono::milliseconds timeout,
                  bool endInput) {
    RawReply reply;
    const auto start = Clock::now();
    const auto deadline = start + timeout;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return reply;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        reply.connected = true;
        const std::size_t step = chunk == 0 ? request.size() : chunk;
        for (std::size_t off = 0; off < request.size(); off += step) {
            if (::send(fd, request.data() + off, std::min(step, request.size() - off), MSG_NOSIGNAL) < 0) break;
            if (chunk != 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (endInput) ::shutdown(fd, SHUT_WR);
        char buffer[4096];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, MillisLeft(deadline)) <= 0) break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) reply.reset = errno == ECONNRESET;
            if (n <= 0) break;
            reply.bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    reply.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::size_t end = reply.bytes.find("\r\n\r\n");
    if (end != std::string::npos) {
        reply.head = reply.bytes.substr(0, end + 4);
        reply.body = reply.bytes.substr(end + 4);
    }
    return reply;
}

std::string ControlPost(std::string_view path, std::string_view body, std::string_view cookie, std::string_view host) {
    std::string r = "POST " + std::string(path) +
                    " HTTP/1.0\nContent-Type: application/x-www-form-urlencoded\nContent-Length: " +
                    std::to_string(body.size()) + "\nUser-Agent: Mozilla/4.6 [en] (Win98; I)\nHost: " + std::string(host) +
                    "\n";
    if (!cookie.empty()) r += "Cookie: " + std::string(cookie) + "\n";
    r += "\n";
    r += body;
    return r;
}

std::string ControlGet(std::string_view object, std::string_view cookie, std::string_view host) {
    std::string r = "GET " + std::string(object) + " HTTP/1.0\nUser-Agent: Halvo/5.0\nHost: " + std::string(host) + "\n";
    if (!cookie.empty()) r += "Cookie: " + std::string(cookie) + " \n";
    return r + "\n";
}

std::string CollectCookies(std::string_view head) {
    std::string jar;
    for (int i = 0;; ++i) {
        const std::string value = GetBetween(head, "Set-Cookie: ", ";", i);
        if (value.empty()) break;
        jar += value + "; ";
    }
    return jar;
}

}  // namespace tesra::test
