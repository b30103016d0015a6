#include "sync/context.h"

#include <cstdlib>

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
    return m_serverIndexIds.count(id) != 0 || LiveIndex().FindSection(MemoKey(id)) >= 0 ||
           fs::Stat(MemoDataPath(folder, id)) || fs::Stat(fs::JoinPath(folder, ReceivingFileName(id)));
}

void ISyncContext::NoteServerIndex(std::string_view text) {
    m_serverIndexIds.clear();
    const IndexTextMemos named = MemoSectionsInIndexText(text);
    for (const std::string& section : named.sections)
        if (const std::string muid = MuidOf(section); muid.rfind("tesra", 0) != 0)  // a Hancom note's is no number
            m_serverIndexIds.insert(ParseLong(muid));
}

std::string ReceivingFileName(std::int32_t id) { return Format("~recv%ld.tmp", static_cast<long>(id)); }

std::string HostName(std::string_view host) { return std::string(host.substr(0, host.find(':'))); }

namespace sync {

namespace {

// A body shorter than the Content-Length the reply announced was cut on
// the way (a peer's close can look orderly), or by the client's limits.
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

}  // namespace

Reply Post(ISyncContext& ctx, std::string_view path, const std::string& body) {
    CHttpClient& http = ctx.Http();
    http.Post(ServerUrl(ctx.MemoServerHost(), path), body);
    Reply r;
    r.completed = http.m_transport == HttpTransport::kCompleted &&
                  !ShortOfContentLength(http.m_strHeaders, http.m_strBody.size());
    r.body = http.m_strBody;
    return r;
}

bool IsErrorPage(std::string_view reply, std::string_view host) {
    return FindFrom(reply, "Internal Server Error", 0) >= 0 && FindFrom(reply, host, 0) >= 0;
}

bool NoAnswer(ISyncContext& ctx, const Reply& reply) {
    return !reply.completed || IsErrorPage(reply.body, HostName(ctx.MemoServerHost()));
}

bool Acknowledged(ISyncContext& ctx, const Reply& reply) {
    return reply.completed && !StatusToken(reply.body).empty() &&
           IsServerErrorReply(reply.body, HostName(ctx.MemoServerHost())) == 0;
}

}  // namespace sync
}  // namespace tesra
