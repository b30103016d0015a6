#include "sync/context.h"

#include <algorithm>
#include <cstdlib>

#include "base/diag_log.h"
#include "base/fs.h"
#include "base/text.h"
#include "storage/ini_file.h"
#include "storage/memo_index.h"
#include "net/http_client.h"
#include "sync/exchange.h"
#include "sync/protocol.h"

namespace tesra {

std::string ResolveServerHost(const char* variable, std::string_view preference) {
    if (const char* v = std::getenv(variable); v && *v) return v;
    return std::string(preference);
}

bool ISyncContext::IsMemoIdInUse(std::int32_t id) {
    const std::string folder = UserFolder();
    return std::binary_search(m_serverIndexIds.begin(), m_serverIndexIds.end(), id) || LiveIndex().FindSection(MemoKey(id)) >= 0 ||
           fs::Stat(MemoDataPath(folder, id)) || fs::Stat(fs::JoinPath(folder, ReceivingFileName(id)));
}

void ISyncContext::NoteServerIndex(std::string_view text) { m_serverIndexIds = MemoIdsInIndexText(text); }

void ISyncContext::Log(std::string_view line) { DebugOutput(line); }

std::string ReceivingFileName(std::int32_t id) { return Format("~recv%ld.tmp", static_cast<long>(id)); }

std::string HostName(std::string_view host) { return std::string(host.substr(0, host.find(':'))); }

namespace sync {

bool ShortOfContentLength(std::string_view headers, std::size_t bodySize) {
    static constexpr std::string_view kName = "content-length:";
    for (std::size_t start = 0; start < headers.size();) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos) end = headers.size();
        const std::string_view line = headers.substr(start, end - start);
        start = end + 1;
        if (line.size() < kName.size()) continue;
        bool match = true;
        for (std::size_t i = 0; i < kName.size() && match; ++i) {
            char c = line[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            match = c == kName[i];
        }
        if (match) return ParseLong(line.substr(kName.size())) > static_cast<std::int64_t>(bodySize);
    }
    return false;
}

Reply Post(ISyncContext& ctx, std::string_view path, const std::string& body) {
    return Post(ctx, ctx.MemoServerHost(), path, body);
}

void PostAhead(ISyncContext& ctx, const std::string& host, std::string_view path, const std::string& body) {
    ctx.Http().Prefetch({{ServerUrl(host, path), body}});
}

Reply Post(ISyncContext& ctx, const std::string& host, std::string_view path, const std::string& body) {
    CHttpClient& http = ctx.Http();
    http.Post(ServerUrl(host, path), body);
    Reply r;
    r.host = host;
    r.completed = http.m_transport == HttpTransport::kCompleted &&
                  !ShortOfContentLength(http.m_strHeaders, http.m_strBody.size());
    r.body = std::move(http.m_strBody);
    ctx.Log(Format("POST %s: %s, %d bytes sent, %d received", RequestName(path, body).c_str(),
                   TransportOutcome(http).c_str(), static_cast<int>(body.size()), static_cast<int>(r.body.size())));
    return r;
}

std::string RequestName(std::string_view path, std::string_view body) {
    std::string name(path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1));
    // Only the command and the memo's number: the rest of a form is the
    // user's text and settings.
    for (const std::string_view field : {"cmd=", "muid="}) {
        for (std::size_t at = 0; (at = body.find(field, at)) != std::string_view::npos; at += field.size()) {
            if (at != 0 && body[at - 1] != '&') continue;
            const std::size_t end = std::min(body.find('&', at), body.size());
            std::string value(body.substr(at, end - at).substr(0, 40));
            for (char& c : value)
                if (static_cast<unsigned char>(c) < 0x20) c = ' ';
            name += " " + value;
            break;
        }
    }
    return name;
}

std::string TransportOutcome(const CHttpClient& http) {
    switch (http.m_transport) {
    case HttpTransport::kCompleted: {
        // "HTTP/1.0 200 OK": the status code.
        const std::size_t blank = http.m_strHeaders.find(' ');
        const std::string code = blank == std::string::npos ? std::string() : http.m_strHeaders.substr(blank + 1, 3);
        return "completed, status " + (code.empty() ? std::string("none") : code);
    }
    case HttpTransport::kFailed:
        return "failed (connection)";
    case HttpTransport::kTimedOut:
        return "timed out";
    case HttpTransport::kInterrupted:
        return "interrupted (quit)";
    case HttpTransport::kRefused:
        return "refused (another request waits)";
    case HttpTransport::kNone:
        break;
    }
    return "not sent";
}

bool IsErrorPage(std::string_view reply, std::string_view host) {
    return FindFrom(reply, "Internal Server Error", 0) >= 0 && FindFrom(reply, host, 0) >= 0;
}

bool NoAnswer(ISyncContext& ctx, const Reply& reply) {
    return !reply.completed || IsErrorPage(reply.body, HostName(reply.host.empty() ? ctx.MemoServerHost() : reply.host));
}

bool Acknowledged(ISyncContext& ctx, const Reply& reply) {
    return reply.completed && !StatusToken(reply.body).empty() &&
           IsServerErrorReply(reply.body, HostName(reply.host.empty() ? ctx.MemoServerHost() : reply.host)) == 0;
}

}  // namespace sync
}  // namespace tesra
