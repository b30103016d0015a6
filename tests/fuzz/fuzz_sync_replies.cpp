// Memo server replies are whatever came over the wire. Every reading must
// point back at bytes of the reply that carry its reason, and encoded form
// values must decode back to the very bytes that went in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "base/text.h"
#include "sync/exchange.h"
#include "sync/protocol.h"
#include "fuzz/check.h"

namespace {

using tesra::fuzz::Check;

bool Has(const std::string& text, const std::string& needle) { return tesra::FindFrom(text, needle, 0) >= 0; }

int Hex(char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string host = in.ConsumeRandomLengthString(24);
    const std::string reply = in.ConsumeRemainingBytesAsString();

    // The token is bracketed in the reply and holds no close of its own.
    const std::string token = tesra::StatusToken(reply);
    Check(token.empty() || (reply.find("[" + token + "]") != std::string::npos && !Has(token, "]")));
    const bool error = Has(token, "ERROR");
    const int failed = tesra::IsServerErrorReply(reply, host);
    Check(failed == 0 || failed == 1);
    Check(!error || failed == 1);
    Check(failed == 0 || error || (Has(reply, "Internal Server Error") && Has(reply, host)));
    // A blank reply is an index without memos.
    const bool blank = reply.find_first_not_of(" \t\r\n") == std::string::npos;
    Check(tesra::IsUsableListReply(reply) == (!error && (blank || !token.empty())));

    const int group = tesra::ClassifyMemoGroupReply(reply);
    Check(group == 1 ? Has(token, "group") : group == 0 ? error : group == -1);
    const tesra::UserDefaultsReply defaults = tesra::ClassifyUserDefaultsReply(reply);
    Check(defaults != tesra::UserDefaultsReply::kDefaults || (!error && reply.find("main") != std::string::npos));
    Check(defaults != tesra::UserDefaultsReply::kNone || (error && token.find("500") != std::string::npos));

    const std::string stamp = tesra::ServerStampFromReply(reply);
    Check(stamp.empty() || (reply.find("ver=" + stamp + "\n") != std::string::npos && !Has(stamp, "\n")));
    const std::string sid = tesra::SessionFromCookieJar(reply);
    Check(sid.empty() || reply.find("QUILLMAR_EMAIL_SID=" + sid + ";") != std::string::npos);
    const std::string line = tesra::SessionFromAgentReply(reply);
    Check(line.empty() || reply.find("\r\n" + line) != std::string::npos);

    // The reply's headers as the completion check reads them: a body is
    // short only where some header names a length, and a shorter body of
    // the same reply is short too.
    std::string lower = reply;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const std::size_t got = host.size() * 97;
    const bool cut = tesra::sync::ShortOfContentLength(reply, got);
    Check(!cut || lower.find("content-length:") != std::string::npos);
    Check(!cut || tesra::sync::ShortOfContentLength(reply, got / 2));

    // Encoding keeps every byte, and the text goes last in an upload.
    const std::string encoded = tesra::EncodeFormValue(reply);
    Check(encoded.size() == reply.size() * 3);
    for (std::size_t i = 0; i < reply.size(); ++i)
        Check(encoded[3 * i] == '%' &&
              static_cast<unsigned char>(reply[i]) == Hex(encoded[3 * i + 1]) * 16 + Hex(encoded[3 * i + 2]));
    tesra::MemoFields f;
    f.title = host;
    const std::string body = tesra::SetMemoBody("1", f, reply);
    Check(body.size() >= encoded.size() && body.compare(body.size() - encoded.size(), encoded.size(), encoded) == 0);
    return 0;
}
