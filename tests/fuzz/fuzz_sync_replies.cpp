// Memo server replies are whatever came over the wire. Each rule is checked
// against a plain character walk of the same bytes, and encoded form values
// must decode back to the very bytes that went in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/text.h"
#include "sync/protocol.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Offset of the first needle that starts on a character boundary at or after
// start, walking one character at a time.
std::size_t Walk(std::string_view text, std::string_view needle, std::size_t start) {
    for (std::size_t i = start; i + needle.size() <= text.size(); i += tesra::CharLength(text, i))
        if (text.substr(i, needle.size()) == needle) return i;
    return std::string_view::npos;
}

bool Has(std::string_view text, std::string_view needle) { return Walk(text, needle, 0) != std::string_view::npos; }

std::string Token(std::string_view reply) {
    const std::size_t open = Walk(reply, "[", 0);
    if (open == std::string_view::npos) return {};
    const std::size_t close = Walk(reply, "]", open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(reply.substr(open + 1, close - open - 1));
}

int Hex(char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string host = in.ConsumeRandomLengthString(24);
    const std::string reply = in.ConsumeRemainingBytesAsString();

    const std::string token = tesra::StatusToken(reply);
    Check(token == Token(reply));
    const bool error = Has(token, "ERROR");

    const int failed = tesra::IsServerErrorReply(reply, host);
    Check(failed == ((Has(reply, "Internal Server Error") && Has(reply, host)) || error ? 1 : 0));
    Check(tesra::IsUsableListReply(reply) == !error);

    const int group = tesra::ClassifyMemoGroupReply(reply);
    Check(group == (Has(token, "group") ? 1 : error ? 0 : -1));

    const tesra::UserDefaultsReply defaults = tesra::ClassifyUserDefaultsReply(reply);
    if (error)
        Check((defaults == tesra::UserDefaultsReply::kNone) == (tesra::GetPiece(token, ":", 1) == "500") &&
              defaults != tesra::UserDefaultsReply::kDefaults);
    else
        Check((defaults == tesra::UserDefaultsReply::kDefaults) == Has(reply, "main") &&
              defaults != tesra::UserDefaultsReply::kNone);

    const std::string stamp = tesra::ServerStampFromReply(reply);
    const std::size_t key = Walk(reply, "ver=", 0);
    if (key == std::string_view::npos) {
        Check(stamp.empty());
    } else {
        const std::size_t lf = Walk(reply, "\n", key + 4);
        Check(stamp == (lf == std::string_view::npos ? std::string() : reply.substr(key + 4, lf - key - 4)));
    }

    const std::string sid = tesra::SessionFromCookieJar(reply);
    Check(sid.empty() || reply.find("QUILLMAR_EMAIL_SID=" + sid + ";") != std::string::npos);
    const std::string line = tesra::SessionFromAgentReply(reply);
    Check(line.empty() || reply.find("\r\n" + line) != std::string::npos);

    // Encoding keeps every byte, and the text goes last in an upload.
    const std::string encoded = tesra::EncodeFormValue(reply);
    Check(encoded.size() == reply.size() * 3);
    for (std::size_t i = 0; i < reply.size(); ++i) {
        Check(encoded[3 * i] == '%');
        Check(static_cast<unsigned char>(reply[i]) == Hex(encoded[3 * i + 1]) * 16 + Hex(encoded[3 * i + 2]));
    }
    tesra::MemoFields f;
    f.title = host;
    const std::string body = tesra::SetMemoBody("1", f, reply);
    Check(body.size() >= encoded.size() && body.compare(body.size() - encoded.size(), encoded.size(), encoded) == 0);
    return 0;
}
