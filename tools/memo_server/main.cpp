// Stand-in memo server and login script on 127.0.0.1, for tests and manual
// runs. See README.md beside this file.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "tools/common/form.h"
#include "tools/common/loopback_server.h"
#include "tools/common/memo_store.h"
#include "tools/common/options.h"
#include "tools/memo_server/faults.h"
#include "tools/memo_server/service.h"
#include "sync/protocol.h"

namespace {

constexpr char kUsage[] =
    "usage: tesra-memo-server --db FILE [--port N] [--user ID:PASSWORD[:group]]... [--fault RULE]...\n"
    "  --port 0 (the default) picks a free port; the first line of output names it.\n"
    "  RULE is a form text such as 'kind=setmemo&mode=reset&times=2' (README.md).\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "tesra-memo-server: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tesra::tools;
    std::string error;
    const auto options = ParseOptions(argc, argv, {"help"}, error);
    if (!options) return Fail(error);

    std::string db;
    std::uint16_t port = 0;
    std::vector<std::string> users;
    std::vector<FaultRule> faults;
    for (const Option& o : *options) {
        if (o.name == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (o.name == "db") {
            db = o.value;
        } else if (o.name == "port") {
            const auto p = ParsePort(o.value);
            if (!p) return Fail("bad port: " + o.value);
            port = *p;
        } else if (o.name == "user") {
            users.push_back(o.value);
        } else if (o.name == "fault") {
            const auto rule = ParseFaultRule(DecodeForm(o.value), error);
            if (!rule) return Fail(error);
            faults.push_back(*rule);
        } else {
            return Fail("unknown option --" + o.name);
        }
    }
    if (db.empty()) return Fail("--db is required");

    InstallStopSignals();
    try {
        MemoStore store(db);
        for (const std::string& u : users) {
            // ID:PASSWORD[:group]; the id holds no ":" here.
            const auto c1 = u.find(':');
            if (c1 == std::string::npos || c1 == 0) return Fail("bad --user: " + u);
            const auto c2 = u.find(':', c1 + 1);
            const std::string id = u.substr(0, c1);
            store.PutUser(id, u.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1));
            if (c2 != std::string::npos && u.substr(c2 + 1) == "group")
                store.CreateGroup(id, "2", {tesra::kMemoGroupName, tesra::kMemoGroupName});
        }

        LoopbackServer server;
        if (!server.Listen(port, error)) {
            std::fprintf(stderr, "tesra-memo-server: %s\n", error.c_str());
            return 1;
        }
        MemoService service(store, server);
        for (const FaultRule& f : faults) service.Faults().Add(f);

        std::printf("listening %s\n", server.Address().c_str());
        std::fflush(stdout);
        server.Run([&service](int fd) { service.Serve(fd); });
        std::fprintf(stderr, "tesra-memo-server: stopped\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesra-memo-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
