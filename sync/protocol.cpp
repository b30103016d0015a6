#include "sync/protocol.h"

#include <algorithm>

#include "base/text.h"

namespace tesra {

namespace {

bool Contains(std::string_view text, std::string_view needle) { return FindFrom(text, needle, 0) >= 0; }

// Format's %s stops at a NUL; the raw fields come from the index, which
// cannot hold one, and the encoded ones never do.
const char* C(const std::string& s) { return s.c_str(); }

}  // namespace

std::string EncodeFormValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(value.size() * 3);
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back('%');
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

std::string StatusToken(std::string_view reply) { return GetBetween(reply, "[", "]", 0); }

int IsServerErrorReply(std::string_view reply, std::string_view memoServerHost) {
    if (Contains(reply, "Internal Server Error") && Contains(reply, memoServerHost)) return 1;
    return Contains(StatusToken(reply), "ERROR") ? 1 : 0;
}

bool IsUsableListReply(std::string_view reply) {
    const std::string token = StatusToken(reply);
    // A blank reply is the index of a user without memos; a page with
    // content but neither token nor section (a proxy's) is no answer.
    const bool blank = reply.find_first_not_of(" \t\r\n") == std::string_view::npos;
    return !Contains(token, "ERROR") && (blank || !token.empty());
}

UserDefaultsReply ClassifyUserDefaultsReply(std::string_view reply) {
    const std::string token = StatusToken(reply);
    if (Contains(token, "ERROR"))
        return GetPiece(token, ":", 1) == "500" ? UserDefaultsReply::kNone : UserDefaultsReply::kFailed;
    return Contains(reply, "main") ? UserDefaultsReply::kDefaults : UserDefaultsReply::kFailed;
}

int ClassifyMemoGroupReply(std::string_view reply) {
    const std::string token = StatusToken(reply);
    if (Contains(token, "group")) return 1;
    if (Contains(token, "ERROR")) return 0;
    return -1;
}

std::string ServerStampFromReply(std::string_view reply) {
    const int key = FindFrom(reply, "ver=", 0);
    if (key < 0) return {};
    const int value = key + 4;
    const int end = FindFrom(reply, "\n", value);
    if (end < 0) return {};
    return std::string(reply.substr(static_cast<std::size_t>(value), static_cast<std::size_t>(end - value)));
}

namespace {

// Our stamps ("size:time") go as they are; anything else came from the
// server's index and goes encoded, so it can never add a field of its own.
std::string StampValue(const std::string& ver) {
    const bool plain =
        std::all_of(ver.begin(), ver.end(), [](char c) { return (c >= '0' && c <= '9') || c == ':' || c == '-'; });
    return plain ? ver : EncodeFormValue(ver);
}

}  // namespace

std::string SetMemoBody(std::string_view muid, const MemoFields& f, std::string_view text) {
    return Format("cmd=setmemo&mgrp=2&muid=%s&ver=%s&title=%s&font=%s&pos=%s&alarm=%d&bg=%d&min=%d&gm_data=%s",
                  C(std::string(muid)), C(StampValue(f.ver)), C(EncodeFormValue(f.title)), C(EncodeFormValue(f.font)),
                  C(EncodeFormValue(f.pos)), f.alarm, f.bg, f.min, C(EncodeFormValue(text)));
}

std::string SetReceivedMemoBody(int muid, const MemoFields& f, std::string_view text) {
    return Format("cmd=setmemo&mgrp=2&muid=%d&ver=%s&title=%s&font=%s&pos=%s&alarm=%d&bg=%d&min=%d&gm_data=%s",
                  muid, C(StampValue(f.ver)), C(EncodeFormValue(f.title)), C(EncodeFormValue(f.font)),
                  C(EncodeFormValue(f.pos)), f.alarm, f.bg, f.min, C(EncodeFormValue(text)));
}

std::string SetIniBody(std::string_view muid, const MemoFields& f) {
    return Format("cmd=setini&mgrp=2&muid=%s&ver=%s&title=%s&font=%s&pos=%s&alarm=%d&bg=%d&min=%d",
                  C(std::string(muid)), C(StampValue(f.ver)), C(EncodeFormValue(f.title)), C(EncodeFormValue(f.font)),
                  C(EncodeFormValue(f.pos)), f.alarm, f.bg, f.min);
}

std::string DelMemoBody(std::string_view muid) { return Format("cmd=delmemo&mgrp=2&muid=%s", C(std::string(muid))); }
std::string GetIniBody(std::string_view muid) { return Format("cmd=getini&mgrp=2&muid=%s", C(std::string(muid))); }
std::string GetDataBody(std::string_view muid) { return Format("cmd=getdata&mgrp=2&muid=%s", C(std::string(muid))); }
std::string ListIniBody() { return "cmd=listini&mgrp=2"; }

std::string SetUserDefaultsBody(int defbg, int defcx, int defcy, std::string_view deffont) {
    return Format("cmd=set&showdlg=0&defbg=%d&defcx=%d&defcy=%d&deffont=%s", defbg, defcx, defcy,
                  C(EncodeFormValue(deffont)));
}

std::string GetMemoGroupBody() { return "cmd=get&mgrp=2"; }

std::string SetMemoGroupBody() {
    return Format("cmd=set&mgrp=2&name=%s&comment=%s", kMemoGroupName, kMemoGroupName);
}

std::string ServerUrl(std::string_view host, std::string_view path) {
    std::string url = "http://";
    url.append(host).append(path);
    return url;
}

std::string LoginUrl(std::string_view loginScriptUrl, std::string_view userId, std::string_view password) {
    return Format("%s?id=%s&pw=%s", C(std::string(loginScriptUrl)), C(EncodeFormValue(userId)),
                  C(EncodeFormValue(password)));
}

std::string SessionCookie(std::string_view session) {
    const std::string s(session);
    return Format("QUILLMAR_SID=%s; QUILLMAR_EMAIL_SID=%s", C(s), C(s));
}

std::string SessionFromCookieJar(std::string_view cookies) {
    static constexpr std::string_view kKey = "QUILLMAR_EMAIL_SID=";
    const int key = FindFrom(cookies, kKey, 0);
    if (key < 0) return {};
    const int value = key + static_cast<int>(kKey.size());
    const int end = FindFrom(cookies, ";", value);
    if (end < 0) return {};
    return std::string(cookies.substr(static_cast<std::size_t>(value), static_cast<std::size_t>(end - value)));
}

std::string SessionFromAgentReply(std::string_view reply) { return GetPiece(reply, "\r\n", 1); }

}  // namespace tesra
