// A scripted TCP server on 127.0.0.1 for network tests. Each accepted
// connection runs the next script of steps on its own thread and records
// every byte the client sends. Everything is bounded by a deadline, after
// which the server stops by itself; the destructor stops it at once.
//
// Scripts can also carry a passive FTP data connection: the server listens
// for one, and "{PASV}" and "{PORT}" in sent text become the listener's
// address "127,0,0,1,p1,p2" and port "p1,p2".
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tesra::test {

struct Step {
    enum class Kind {
        kReadUntil,    // read until the bytes since the step began contain text
        kReadToClose,  // read until the client closes
        kSend,
        kDrip,         // send text one byte per packet
        kDelay,        // neither read nor write for ms: a silent or stalled peer
        kClose,        // close gracefully (after draining what the client still sends)
        kReset,        // close with a reset
        kListenData,
        kAcceptData,
        kDataSend,
        kDataClose,
    };
    Kind kind;
    std::string text;
    int ms = 0;
};

namespace step {
using K = Step::Kind;
inline Step ReadUntil(std::string text) { return {K::kReadUntil, std::move(text)}; }
inline Step ReadToClose() { return {K::kReadToClose, {}}; }
inline Step Send(std::string text) { return {K::kSend, std::move(text)}; }
inline Step Drip(std::string text, int gapMs = 1) { return {K::kDrip, std::move(text), gapMs}; }
inline Step Delay(int ms) { return {K::kDelay, {}, ms}; }
inline Step Close() { return {K::kClose, {}}; }
inline Step Reset() { return {K::kReset, {}}; }
inline Step ListenData() { return {K::kListenData, {}}; }
inline Step AcceptData() { return {K::kAcceptData, {}}; }
inline Step DataSend(std::string text) { return {K::kDataSend, std::move(text)}; }
inline Step DataClose() { return {K::kDataClose, {}}; }
// Reads one command line ("...\r\n") and answers it.
inline std::vector<Step> Answer(std::string reply) { return {ReadUntil("\r\n"), Send(std::move(reply))}; }
}  // namespace step

using Script = std::vector<Step>;

// Joins scripts step lists: Steps({a, b}, step::Answer("...")).
Script Steps(std::initializer_list<std::vector<Step>> parts);

struct FakeServerOptions {
    int deadlineMs = 10000;
    // Receive buffer of accepted connections (0: the system's): a small one
    // with a stalled script makes the client's sends block soon.
    int receiveBuffer = 0;
};

class FakeServer {
public:
    explicit FakeServer(std::vector<Script> connections, FakeServerOptions options = {});
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;
    ~FakeServer();

    int port() const { return port_; }
    // "127.0.0.1:port", as a server address text.
    std::string address() const;
    // Waits until every script has run to its end or the deadline passed;
    // true when all ran to their end without a failed step.
    bool Finish();
    int accepted() const { return accepted_.load(); }
    std::string Received(std::size_t connection) const;
    // Steps that could not be carried out ("connection 0 step 2: ...").
    std::vector<std::string> Errors() const;

private:
    struct Connection;
    void AcceptLoop();
    void Run(std::size_t index);

    FakeServerOptions options_;
    std::vector<Script> scripts_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::uintptr_t listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> finished_{0};
    long long deadline_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> errors_;
    std::thread acceptThread_;
};

// A port on 127.0.0.1 with nothing listening (connects are refused).
int ClosedPort();

// A listener whose accept queue is full, so new connects are neither
// accepted nor refused: they hang until the client gives up.
class SilentListener {
public:
    SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    ~SilentListener();
    int port() const { return port_; }
    // False where the platform accepted the queue-filling connects anyway.
    bool silent() const { return silent_; }
    // Takes the queued connections off, so a connect that is still trying
    // gets through on its next attempt: a slow connect rather than a silent one.
    void Release();

private:
    std::uintptr_t listener_;
    std::vector<std::uintptr_t> fillers_;
    int port_ = 0;
    bool silent_ = false;
};

}  // namespace tesra::test
