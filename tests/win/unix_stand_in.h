// The Linux stand-ins (memo server, agent, FTP server) started from a
// Windows test under Wine, which runs Linux programs it is given by path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesra::test {

// Starts argv (Linux paths and plain ASCII arguments) through /bin/sh in a
// folder of its own under /tmp; the program must print
// "listening 127.0.0.1:PORT" first. It ends at the latest after lifeSeconds
// (coreutils' timeout), and when the object goes.
class UnixStandIn {
public:
    explicit UnixStandIn(const std::vector<std::string>& argv, int lifeSeconds = 240);
    UnixStandIn(const UnixStandIn&) = delete;
    UnixStandIn& operator=(const UnixStandIn&) = delete;
    ~UnixStandIn();

    std::uint16_t port() const { return port_; }
    // Its folder, as Linux and as Windows see it.
    const std::string& unixDir() const { return unixDir_; }
    std::string windowsDir() const;

private:
    std::string unixDir_;
    std::uint16_t port_ = 0;
};

// A request to a stand-in server at host ("127.0.0.1:PORT"): GET without a
// body, POST with one; the reply's body.
std::string StandInRequest(const std::string& host, const std::string& path, const std::string& body = {},
                           const std::string& cookie = {});

// Runs a Linux program with arguments and waits for nothing.
bool RunUnix(const std::string& program, const std::string& arguments);

}  // namespace tesra::test
