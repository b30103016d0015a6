// The Linux stand-ins (memo server, agent, FTP server) started from a
// Windows test under Wine, which runs Linux programs it is given by path.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "sync/protocol.h"

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

// The stand-in memo server with a user of its own, "<user()>@x" with
// password "pw", for a control in this process: the server addresses point
// here and no agent answers. The user's database goes with the object.
class MemoServerStandIn : public UnixStandIn {
public:
    MemoServerStandIn(const std::string& tools, int lifeSeconds = 240, const std::string& user = NewUser());
    ~MemoServerStandIn();
    static std::string NewUser();
    const std::string& user() const { return user_; }
    const std::string& host() const { return host_; }
    std::string Admin(const std::string& path, const std::string& body = {}, const std::string& cookie = {}) const;
    std::string NewSession() const;  // its cookie string
    // The memo group and the user's defaults as its creation leaves them,
    // then the memos (muid, fields, text); the replies, "[OK]\n" each.
    std::string Seed(const std::vector<std::tuple<std::string, MemoFields, std::string>>& memos) const;

private:
    std::string user_, host_;
};

// A request to a stand-in server at host ("127.0.0.1:PORT"): GET without a
// body, POST with one; the reply's body.
std::string StandInRequest(const std::string& host, const std::string& path, const std::string& body = {},
                           const std::string& cookie = {});

// Runs a Linux program with arguments and waits for nothing.
bool RunUnix(const std::string& program, const std::string& arguments);

}  // namespace tesra::test
