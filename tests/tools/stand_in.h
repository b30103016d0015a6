// Runs a stand-in server binary for a test and talks raw bytes to it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tesra::test {

// A stand-in started as a child process; it must print
// "listening 127.0.0.1:PORT" as its first line. Stopped with SIGTERM at the
// latest when the object goes.
class StandIn {
public:
    StandIn(const std::string& binary, const std::vector<std::string>& args);
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn();

    bool running() const { return pid_ > 0; }
    std::uint16_t port() const { return port_; }
    const std::string& firstLine() const { return firstLine_; }

    // SIGTERM, then the exit status (-1 when it had to be killed or did not
    // exit normally).
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(10));

private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::string firstLine_;
};

struct RawReply {
    bool connected = false;
    bool reset = false;   // the connection ended with a reset
    std::string bytes;    // everything received
    std::string head;     // through the empty line, when there was one
    std::string body;     // after the empty line
    double seconds = 0;

    std::string StatusLine() const { return head.substr(0, head.find("\r\n")); }
};

// Connects to 127.0.0.1:port, sends request (in chunks of chunk bytes, 0 for
// all at once), and reads until the peer closes or timeout passes. With
// endInput the sending side is shut after the request, as a peer that has
// said all it will.
RawReply Exchange(std::uint16_t port, std::string_view request, std::size_t chunk = 0,
                  std::chrono::milliseconds timeout = std::chrono::seconds(15), bool endInput = false);

// The bytes the control sends: request lines ended by LF alone.
std::string ControlPost(std::string_view path, std::string_view body, std::string_view cookie,
                        std::string_view host = "127.0.0.1");
std::string ControlGet(std::string_view object, std::string_view cookie, std::string_view host = "127.0.0.1");

// The cookie jar the control keeps from a reply's "Set-Cookie: " lines.
std::string CollectCookies(std::string_view head);

}  // namespace tesra::test
