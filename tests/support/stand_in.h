// A stand-in (memo server, agent, FTP server) run natively as the separate
// program it is, for the end-to-end tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"

namespace tesra::test {

// A stand-in run as the separate program it is. It prints
// "listening 127.0.0.1:PORT" first and must exit with 0 on SIGTERM.
class StandIn {
public:
    StandIn(const std::string& binary, std::vector<std::string> args) {
        args.insert(args.begin(), binary);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        for (pollfd p{out[0], POLLIN, 0}; firstLine_.size() < 200 && ::poll(&p, 1, 10000) > 0;) {
            if (::read(out[0], &c, 1) != 1 || c == '\n') break;
            firstLine_.push_back(c);
        }
        ::close(out[0]);
        const std::string prefix = "listening 127.0.0.1:";
        if (firstLine_.rfind(prefix, 0) == 0) port_ = ParseInt(firstLine_.substr(prefix.size()));
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn() { Stop(); }

    int port() const { return port_; }
    const std::string& firstLine() const { return firstLine_; }
    // SIGTERM; the exit status, or -1 when it had to be killed.
    int Stop() {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 1000 && (done = ::waitpid(pid_, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (done == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        return done != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string firstLine_;
};

}  // namespace tesra::test
