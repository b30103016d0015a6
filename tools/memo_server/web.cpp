// The web memo service's own page: a signed-in user's memos, each editable
// and deletable in the browser. A save here moves the memo's stamp as the
// web service does, so the desktop's next upload of that memo asks whether
// to overwrite. Plain forms and redirects: it works without JavaScript.
//
// The page is EUC-KR, which browsers read and submit as code page 949: the
// stored CP949 bytes go out as they are and form values come back as CP949.
#include <algorithm>
#include <array>

#include "base/text.h"
#include "sync/protocol.h"
#include "sync/upload.h"
#include "tools/common/form.h"
#include "tools/memo_server/service.h"

namespace tesra::tools {

namespace {

// The memo windows' nine background colours, by the index "bg" stores.
constexpr std::array<const char*, 9> kColours = {"#fbfbab", "#b6bec1", "#b0d496", "#ffd772", "#99ccc3",
                                                 "#a2b5de", "#f5b099", "#e7ddff", "#ffffff"};

constexpr char kServiceName[] = "\xC0\xA5\xC5\xB8\xB6\xF3 \xB8\xDE\xB8\xF0";  // web memo
constexpr char kId[] = "\xBE\xC6\xC0\xCC\xB5\xF0";
constexpr char kPassword[] = "\xBA\xF1\xB9\xD0\xB9\xF8\xC8\xA3";
constexpr char kSignIn[] = "\xB7\xCE\xB1\xD7\xC0\xCE";
constexpr char kSignOut[] = "\xB7\xCE\xB1\xD7\xBE\xC6\xBF\xF4";
constexpr char kSave[] = "\xC0\xFA\xC0\xE5";
constexpr char kDelete[] = "\xBB\xE8\xC1\xA6";
constexpr char kNoMemos[] = "\xB8\xDE\xB8\xF0\xB0\xA1 \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";
constexpr char kWrongPassword[] =
    "\xBE\xC6\xC0\xCC\xB5\xF0 \xB6\xC7\xB4\xC2 \xBA\xF1\xB9\xD0\xB9\xF8\xC8\xA3\xB0\xA1 "
    "\xC6\xB2\xB7\xC8\xBD\xC0\xB4\xCF\xB4\xD9.";
constexpr char kUsersMemos[] = " \xB4\xD4\xC0\xC7 \xB8\xDE\xB8\xF0";  // "'s memos"

constexpr char kStyle[] = R"(
body{margin:0;font:14px/1.5 "NanumGothic","Nanum Gothic",sans-serif;background:#e9ecf1;color:#222}
header{display:flex;align-items:center;gap:12px;padding:10px 24px;background:#2f4f7a;color:#fff}
header h1{flex:1;margin:0;font-size:18px}
header form{margin:0}
main{display:flex;flex-wrap:wrap;align-items:flex-start;gap:18px;padding:24px}
.memo{width:270px;border:1px solid #0003;box-shadow:0 2px 6px #0002}
.memo h2{display:flex;align-items:center;gap:7px;margin:0;padding:5px 8px;font-size:14px;background:#00000014;border-bottom:1px solid #0002}
.memo h2 span{overflow:hidden;white-space:nowrap;text-overflow:ellipsis}
.swatch{flex:none;width:12px;height:12px;border:2px solid #fff;border-radius:3px;box-shadow:0 0 0 1px #0006}
.memo form{margin:0}
textarea{display:block;box-sizing:border-box;width:100%;padding:8px;border:0;background:#fff6;font:inherit;resize:vertical}
.foot{display:flex;align-items:center;gap:6px;padding:5px 8px}
.ver{flex:1;color:#555;font:12px monospace}
button{font:inherit;padding:2px 12px}
.signin{width:260px;margin:70px auto;padding:20px 26px;background:#fff;box-shadow:0 2px 8px #0003}
.signin h1{margin:0 0 6px;font-size:22px}
.signin label{display:block;margin-top:10px}
.signin input{box-sizing:border-box;width:100%;padding:4px}
.signin button{margin-top:16px}
.error{color:#b00020}
.empty{color:#666}
)";

// CP949 trail bytes are 0x41 and above, so none of them is one of these.
std::string Html(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

HttpReply Page(std::string_view body) {
    HttpReply reply;
    reply.contentType = "text/html; charset=EUC-KR";
    reply.headers.push_back("Cache-Control: no-store");
    reply.body = std::string("<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"euc-kr\">\n<title>") +
                 kServiceName + "</title>\n<style>" + kStyle + "</style></head>\n<body>\n" + std::string(body) +
                 "</body></html>\n";
    return reply;
}

HttpReply Redirect(const std::string& location, const std::string& cookie = {}) {
    HttpReply reply;
    reply.status = 303;
    reply.reason = "See Other";
    reply.headers.push_back("Location: " + location);
    if (!cookie.empty()) reply.headers.push_back("Set-Cookie: " + cookie);
    return reply;
}

HttpReply SignInPage(bool failed) {
    std::string body = "<form class=\"signin\" method=\"post\" action=\"/web/login\">\n<h1>" + std::string(kServiceName) +
                       "</h1>\n";
    if (failed) body += "<p class=\"error\">" + std::string(kWrongPassword) + "</p>\n";
    body += "<label>" + std::string(kId) + " <input name=\"id\" autofocus></label>\n<label>" + kPassword +
            " <input name=\"pw\" type=\"password\"></label>\n<button>" + kSignIn + "</button>\n</form>\n";
    return Page(body);
}

std::string MemoCard(const MemoRecord& m) {
    const std::string id = Html(m.muid);
    const int bg = ParseInt(m.bg);
    const char* colour = kColours[bg >= 0 && bg < static_cast<int>(kColours.size()) ? bg : 0];
    const std::string title = Html(m.title.empty() ? DeriveTitle(m.text) : m.title);
    const int rows = std::clamp(CountPieces(m.text, "\n") + 1, 4, 16);
    // The line end after <textarea> is eaten by the parser, so a text that
    // starts with one keeps it.
    return "<article class=\"memo\" id=\"memo" + id + "\" style=\"background:" + colour + "\">\n<h2><i class=\"swatch\" "
           "style=\"background:" + colour + "\"></i><span>" + title + "</span></h2>\n"
           "<form method=\"post\" action=\"/web/save\"><input type=\"hidden\" name=\"muid\" value=\"" + id + "\">\n"
           "<textarea name=\"text\" rows=\"" + std::to_string(rows) + "\">\n" + Html(m.text) + "</textarea>\n"
           "<div class=\"foot\"><span class=\"ver\">ver " + Html(m.ver) + "</span><button class=\"save\">" + kSave +
           "</button><button class=\"delete\" form=\"delete" + id + "\">" + kDelete + "</button></div></form>\n"
           "<form id=\"delete" + id + "\" method=\"post\" action=\"/web/delete\"><input type=\"hidden\" name=\"muid\" "
           "value=\"" + id + "\"></form>\n</article>\n";
}

}  // namespace

HttpReply MemoService::Web(const HttpRequest& request) {
    const bool post = request.method == "POST";
    const std::string path = request.path == "/web/" ? "/web" : request.path;
    const Form form = DecodeForm(post ? request.body : request.query);
    const std::string cookie = std::string(kSessionCookieName) + "=";

    if (path == "/web/login" && post) {
        const std::string id = FormValue(form, "id");
        if (id.empty() || !store_.CheckPassword(id, FormValue(form, "pw"))) return Redirect("/web?failed=1");
        return Redirect("/web", cookie + store_.NewSession(id) + "; path=/; HttpOnly; SameSite=Lax");
    }
    // Only the browser forgets its session: the desktop may share it.
    if (path == "/web/logout" && post) return Redirect("/web", cookie + "; path=/; Max-Age=0");

    const std::string user = SessionUser(request);
    if (user.empty()) return path == "/web" && !post ? SignInPage(!FormValue(form, "failed").empty()) : Redirect("/web");

    const std::string muid = FormValue(form, "muid");
    if (path == "/web/save" && post) {
        const auto memo = store_.Memo(user, kMgrp, muid);
        const std::string text = FormValue(form, "text");
        if (memo && !memo->deleted) store_.EditMemoText(user, kMgrp, muid, text, NewStamp(text.size()));
        // The anchor only for a plain number: nothing sent may reach a header line.
        const bool plain = !muid.empty() && muid.find_first_not_of("0123456789") == std::string::npos;
        return Redirect(plain ? "/web#memo" + muid : "/web");
    }
    if (path == "/web/delete" && post) {
        store_.DeleteMemo(user, kMgrp, muid);
        return Redirect("/web");
    }
    if (path != "/web" || post) return Redirect("/web");

    std::string body = "<header><h1>" + std::string(kServiceName) + "</h1><span>" + Html(user) + kUsersMemos +
                       "</span><form method=\"post\" action=\"/web/logout\"><button>" + kSignOut +
                       "</button></form></header>\n<main>\n";
    int shown = 0;
    for (const MemoRecord& m : store_.Memos(user, kMgrp)) {
        if (m.deleted) continue;
        body += MemoCard(m);
        ++shown;
    }
    if (shown == 0) body += "<p class=\"empty\">" + std::string(kNoMemos) + "</p>\n";
    return Page(body + "</main>\n");
}

}  // namespace tesra::tools
