// Failures the stand-in server injects for tests, chosen per request kind.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/form.h"

namespace tesra::tools {

enum class FaultMode {
    kDrop,         // close without a byte of reply
    kReset,        // reset the connection without a byte of reply
    kEmpty,        // a complete reply with an empty body
    kMidBody,      // head and half the body, then a reset
    kError,        // the body is an ERROR status token
    kServerError,  // an "Internal Server Error" page naming the host
    kDelay,        // answer normally, only late
    kEndless,      // a head announcing a huge body, then a byte every 100 ms
    kBinary,       // the body is every byte value, NUL included
    kOversize,     // the body is one byte past 16 MiB
    kPage,         // a proxy's HTML page, without a status token
};

struct FaultRule {
    std::string kind;  // a request kind, or "all"
    FaultMode mode = FaultMode::kDrop;
    int skip = 0;      // matching requests let through first
    int times = 1;     // requests that fail; 0 for every one after skip
    int ms = 0;        // wait before acting
    std::string code = "503";  // of the ERROR token
    bool apply = false;        // carry out the request before failing its reply
};

// The request kinds, as named in fault rules and counts.
const std::vector<std::string>& RequestKinds();

// From the fields kind, mode, skip, times, ms, code, apply. Nothing (and a
// reason in error) for an unknown kind or mode or a bad number.
std::optional<FaultRule> ParseFaultRule(const Form& form, std::string& error);

class FaultTable {
public:
    void Add(const FaultRule& rule);
    void Clear();
    // Counts one request of that kind and hands out the fault it gets, if any.
    std::optional<FaultRule> Take(std::string_view kind);
    // "kind=count" lines for every kind seen.
    std::string Counts() const;
    // The kinds in the order the requests arrived, one a line.
    std::string Order() const;
    void ClearCounts();

private:
    mutable std::mutex mutex_;
    std::vector<FaultRule> rules_;
    std::map<std::string, int, std::less<>> counts_;
    std::vector<std::string> order_;
};

}  // namespace tesra::tools
