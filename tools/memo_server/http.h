// Just enough HTTP/1.0 for the memo client: it ends its request lines with a
// bare LF, sends a Content-Length with each POST and reads the reply until
// the connection closes. Lines ending in CR LF are taken as well.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tesra::tools {

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;
    std::string query;   // after the first "?", without it
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;  // values trimmed
    std::string body;

    // The first header of that name, any case; empty when missing.
    std::string Header(std::string_view name) const;
};

enum class ReadStatus { kOk, kClosed, kMalformed, kTooLarge };

// Reads one request from a socket whose time-outs are set.
ReadStatus ReadRequest(int fd, HttpRequest& request);

struct HttpReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::string> headers;  // extra lines, "Name: value"
    std::string contentType = "text/plain";
    std::string body;
};

// Status line and header lines through the empty line, announcing
// contentLength body bytes; the connection closes after the body.
std::string ReplyHead(const HttpReply& reply, std::size_t contentLength);

}  // namespace tesra::tools
