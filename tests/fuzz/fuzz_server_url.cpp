// A server address from the registry or the environment, and a user id, as
// the control turns them into URLs and requests: whatever the text, the host
// name is a prefix of the address and a request keeps its own lines.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "check.h"
#include "net/http_client.h"
#include "sync/context.h"
#include "sync/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesra;
    using fuzz::Check;
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The address up to the first NUL (a variable holds none), the id behind it.
    const std::string address = input.substr(0, input.find('\0'));
    const std::string userId = input.substr(std::min(input.size(), address.size() + 1));
    // setenv keeps every old value: one buffer of our own serves every run.
    static std::vector<char> variable;
    const std::string entry = "TESRA_FUZZ_SERVER=" + (size % 2 ? address : std::string());
    if (variable.size() <= entry.size()) variable.resize(entry.size() + 4096);
    std::copy(entry.c_str(), entry.c_str() + entry.size() + 1, variable.begin());
    putenv(variable.data());
    const std::string host = ResolveServerHost("TESRA_FUZZ_SERVER", address);
    Check(host == address);
    const std::string name = HostName(host);
    Check(host.compare(0, name.size(), name) == 0 && name.find(':') == std::string::npos);

    CHttpClient client;
    client.SetCookie(userId);
    const bool cookie = !client.m_strCookie.empty();
    for (const std::string& url : {ServerUrl(host, kGetMemoPath), LoginUrl(ServerUrl(host, kLoginPath), userId, "pw")}) {
        HttpUrl u;
        if (!ParseHttpUrl(url, &u)) {
            Check(u.host.empty());
            continue;
        }
        Check(u.port >= 1 && u.port <= 65535 && u.object[0] == '/' && !u.host.empty());
        const std::string requests[] = {client.GetRequest(u), client.PostRequest(u, "a=b")};
        for (int post = 0; post < 2; ++post) {
            const std::string& r = requests[post];
            const std::string head = r.substr(0, r.find("\n\n"));
            const std::string first = head.substr(0, head.find('\n'));
            Check(head.find_first_of(std::string("\r\0", 2)) == std::string::npos);
            Check(std::count(head.begin(), head.end(), '\n') == (post ? 4 : 2) + (cookie ? 1 : 0));
            Check(std::count(first.begin(), first.end(), ' ') == 2);
        }
    }
    return 0;
}
