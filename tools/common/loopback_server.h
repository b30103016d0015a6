// A TCP server on 127.0.0.1 that runs each connection on its own thread and
// ends cleanly on SIGTERM or SIGINT: the listener closes, open connections
// are shut down, delays are cut short and every thread is joined.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "tools/common/unique_fd.h"

namespace tesra::tools {

// Routes SIGTERM and SIGINT to the servers' stop and ignores SIGPIPE (a
// vanished peer is then an error return). Call once, before any thread.
void InstallStopSignals();

bool SendAll(int fd, std::string_view bytes);
// Receive and send time-outs, so a silent peer cannot hold a thread forever.
void SetTimeouts(int fd, int seconds);
// Makes the coming close send a reset instead of an orderly end.
void ResetOnClose(int fd);

class LoopbackServer {
public:
    // Serves one connection; the server closes fd when it returns.
    using Handler = std::function<void(int fd)>;

    LoopbackServer() = default;
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer();

    // Port 0 picks a free one; Port() tells which.
    bool Listen(std::uint16_t port, std::string& error);
    std::uint16_t Port() const { return port_; }
    std::string Address() const;

    // Accepts until a stop signal; returns once every connection has ended.
    void Run(const Handler& handler);

    // Waits ms milliseconds; false when the server began to stop meanwhile.
    bool Sleep(int ms);

private:
    struct Connection {
        std::thread thread;
        int fd = -1;  // guarded by mutex_; -1 once closed
        std::atomic<bool> done{false};
    };

    void Serve(Connection* c, const Handler& handler);
    void ReapFinished();
    void StopAll();

    UniqueFd listener_;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace tesra::tools
