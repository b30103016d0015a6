#include "tools/memo_server/service.h"

#include <ctime>
#include <exception>

#include "base/text.h"
#include "sync/protocol.h"
#include "tools/common/form.h"

namespace tesra::tools {

namespace {

HttpReply Text(std::string body) {
    HttpReply reply;
    reply.body = std::move(body);
    return reply;
}

HttpReply Token(std::string_view token) {
    std::string body = "[";
    body.append(token).append("]\n");
    return Text(std::move(body));
}

HttpReply InternalServerError(const std::string& host) {
    HttpReply reply;
    reply.status = 500;
    reply.reason = "Internal Server Error";
    reply.body = "<html><head><title>500 Internal Server Error</title></head><body>\n"
                 "<h1>Internal Server Error</h1>\n<p>" +
                 host + "</p>\n</body></html>\n";
    return reply;
}

// The client reads index texts line by line: a line end inside a value would
// start a new key, so it goes out as a blank. The stored bytes stay exact.
std::string IniValue(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

void AppendMemoSection(std::string& out, const MemoRecord& m, bool stampFirst) {
    out += "[memo" + IniValue(m.muid) + "]\n";
    // getini replies carry the stamp first: the client takes the first
    // "ver=" it finds, and a title may well contain one.
    if (stampFirst) out += "ver=" + IniValue(m.ver) + "\n";
    out += "title=" + IniValue(m.title) + "\n";
    out += "alarm=" + IniValue(m.alarm) + "\n";
    if (!stampFirst) out += "ver=" + IniValue(m.ver) + "\n";
    out += "min=" + IniValue(m.min) + "\n";
    out += "bg=" + IniValue(m.bg) + "\n";
    out += "%pos=" + IniValue(m.pos) + "\n";
    out += "font=" + IniValue(m.font) + "\n";
}

std::string EncodeRecord(const MemoRecord& m) {
    return "muid=" + EncodeFormValue(m.muid) + "&ver=" + EncodeFormValue(m.ver) + "&title=" + EncodeFormValue(m.title) +
           "&font=" + EncodeFormValue(m.font) + "&pos=" + EncodeFormValue(m.pos) + "&alarm=" + EncodeFormValue(m.alarm) +
           "&bg=" + EncodeFormValue(m.bg) + "&min=" + EncodeFormValue(m.min) + "&deleted=" + (m.deleted ? "1" : "0") +
           "&text=" + EncodeFormValue(m.text);
}

MemoRecord RecordFromForm(const Form& form) {
    MemoRecord m;
    m.muid = FormValue(form, "muid");
    m.ver = FormValue(form, "ver");
    m.title = FormValue(form, "title");
    m.font = FormValue(form, "font");
    m.pos = FormValue(form, "pos");
    m.alarm = FormValue(form, "alarm");
    m.bg = FormValue(form, "bg");
    m.min = FormValue(form, "min");
    m.text = FormValue(form, "gm_data");
    return m;
}

std::string Mgrp(const Form& form) {
    std::string mgrp = FormValue(form, "mgrp");
    return mgrp.empty() ? kMgrp : mgrp;
}

}  // namespace

std::string MemoService::KindOf(const HttpRequest& request) {
    const std::string& path = request.path;
    if (path == kLoginPath) return "login";
    if (path.rfind("/admin/", 0) == 0) return "admin";
    if (path == "/web" || path.rfind("/web/", 0) == 0) return "web";
    if (path == kGetMemoUserPath) return "getmemouser";
    if (path == kSetMemoUserPath) return "setmemouser";
    if (path == kGetMemoGroupPath) return "getmemogrp";
    if (path == kSetMemoGroupPath) return "setmemogrp";
    if (path == kSetMemoPath || path == kGetMemoPath) {
        const std::string cmd = FormValue(DecodeForm(request.body), "cmd");
        const bool set = path == kSetMemoPath;
        if (set ? (cmd == "setmemo" || cmd == "setini" || cmd == "delmemo")
                : (cmd == "getini" || cmd == "getdata" || cmd == "listini"))
            return cmd;
    }
    return {};
}

void MemoService::Serve(int fd) {
    SetTimeouts(fd, 10);
    HttpRequest request;
    switch (ReadRequest(fd, request)) {
    case ReadStatus::kOk:
        break;
    case ReadStatus::kClosed:
        return;
    case ReadStatus::kMalformed:
    case ReadStatus::kTooLarge: {
        HttpReply bad;
        bad.status = 400;
        bad.reason = "Bad Request";
        bad.body = "[ERROR:400]\n";
        SendAll(fd, ReplyHead(bad, bad.body.size()) + bad.body);
        return;
    }
    }

    const std::string kind = KindOf(request);
    std::optional<FaultRule> fault;
    // Only the control's own requests are counted and faulted.
    if (!kind.empty() && kind != "admin" && kind != "web") fault = faults_.Take(kind);
    if (fault && fault->ms > 0 && !server_.Sleep(fault->ms)) return;

    HttpReply reply;
    if (!fault || fault->apply) reply = Answer(request, kind);

    if (fault) {
        switch (fault->mode) {
        case FaultMode::kDrop:
            return;
        case FaultMode::kReset:
            ResetOnClose(fd);
            return;
        case FaultMode::kEmpty:
            SendAll(fd, ReplyHead(reply, 0));
            return;
        case FaultMode::kMidBody:
            SendAll(fd, ReplyHead(reply, reply.body.size()) + reply.body.substr(0, reply.body.size() / 2));
            // Let the first half reach the client before the reset.
            server_.Sleep(100);
            ResetOnClose(fd);
            return;
        case FaultMode::kError:
            reply = Token("ERROR:" + fault->code);
            break;
        case FaultMode::kServerError:
            reply = InternalServerError(request.Header("Host"));
            break;
        case FaultMode::kDelay:
            break;
        case FaultMode::kEndless:
            // Until the client gives up or the server stops.
            if (!SendAll(fd, ReplyHead(reply, std::size_t{1} << 30))) return;
            while (server_.Sleep(100) && SendAll(fd, "x")) {
            }
            return;
        case FaultMode::kBinary:
            reply.body.clear();
            for (int i = 1; i <= 1024; ++i) reply.body.push_back(static_cast<char>(i));
            break;
        case FaultMode::kOversize:
            reply.body.resize((std::size_t{16} << 20) + 1, ' ');
            break;
        case FaultMode::kPage:
            reply.body = "<html><body><h1>Service Unavailable</h1></body></html>\n";
            break;
        }
    }
    SendAll(fd, ReplyHead(reply, reply.body.size()) + reply.body);
}

HttpReply MemoService::Answer(const HttpRequest& request, const std::string& kind) {
    try {
        if (kind == "admin") return Admin(request);
        if (kind == "login") return Login(request);
        if (kind == "web") return Web(request);
        if (request.path.rfind("/AUTH/", 0) == 0) return Script(request, kind);
        HttpReply missing;
        missing.status = 404;
        missing.reason = "Not Found";
        missing.body = "<html><body>Not Found</body></html>\n";
        return missing;
    } catch (const std::exception&) {
        return InternalServerError(request.Header("Host"));
    }
}

std::string MemoService::SessionUser(const HttpRequest& request) {
    // "QUILLMAR_SID=s; QUILLMAR_EMAIL_SID=s " (the client's GET leaves a
    // blank behind the string); either name will do.
    const std::string cookies = request.Header("Cookie");
    for (int i = 0, n = CountPieces(cookies, ";"); i < n; ++i) {
        const std::string pair(Trim(GetPiece(cookies, ";", i)));
        const std::string name = GetPiece(pair, "=", 0);
        if (name != kSessionCookieName && name != kEmailSessionCookieName) continue;
        const std::string sid = pair.substr(name.size() + (pair.size() > name.size() ? 1 : 0));
        if (auto user = store_.SessionUser(sid)) return *user;
    }
    return {};
}

HttpReply MemoService::Login(const HttpRequest& request) {
    const Form form = DecodeForm(request.query);
    const std::string id = FormValue(form, "id");
    if (id.empty() || !store_.CheckPassword(id, FormValue(form, "pw"))) return Token("ERROR:401");
    const std::string sid = store_.NewSession(id);
    HttpReply reply = Token("OK");
    reply.headers.push_back("Set-Cookie: " + std::string(kSessionCookieName) + "=" + sid + "; path=/");
    reply.headers.push_back("Set-Cookie: " + std::string(kEmailSessionCookieName) + "=" + sid + "; path=/");
    return reply;
}

HttpReply MemoService::Script(const HttpRequest& request, const std::string& kind) {
    const std::string user = SessionUser(request);
    if (user.empty()) {
        // A lapsed session meets the login page, as on the real site; the
        // group query must then be no usable answer, so that the client logs
        // in again instead of taking the group for missing.
        if (kind != "getmemogrp") return Token("ERROR:401");
        HttpReply page;
        page.status = 302;
        page.reason = "Found";
        page.headers.push_back("Location: /BIN/login.html");
        page.body = "<html><body>Please log in.</body></html>\n";
        return page;
    }
    const Form form = DecodeForm(request.body);
    const std::string mgrp = Mgrp(form);
    const std::string cmd = FormValue(form, "cmd");

    if (kind == "getmemogrp") return store_.Group(user, mgrp) ? Token("group:" + mgrp) : Token("ERROR:404");
    if (kind == "setmemogrp") {
        if (cmd != "set") return Token("ERROR:400");
        return store_.CreateGroup(user, mgrp, {FormValue(form, "name"), FormValue(form, "comment")}) ? Token("OK")
                                                                                                      : Token("ERROR:409");
    }
    if (kind == "getmemouser") {
        const auto d = store_.Defaults(user);
        if (!d) return Token("ERROR:500");
        return Text("[main]\nshowdlg=" + IniValue(d->showdlg) + "\nbg=" + IniValue(d->bg) + "\ndefcx=" +
                    IniValue(d->defcx) + "\ndefcy=" + IniValue(d->defcy) + "\nfont=" + IniValue(d->font) + "\n");
    }
    if (kind == "setmemouser") {
        if (cmd != "set") return Token("ERROR:400");
        store_.PutDefaults(user, {FormValue(form, "showdlg"), FormValue(form, "defbg"), FormValue(form, "defcx"),
                                  FormValue(form, "defcy"), FormValue(form, "deffont")});
        return Token("OK");
    }
    if (kind.empty()) return Token("ERROR:400");

    // Memo commands work inside an existing group.
    if (!store_.Group(user, mgrp)) return Token("ERROR:404");
    if (kind == "listini") {
        std::string index;
        for (const MemoRecord& m : store_.Memos(user, mgrp))
            if (!m.deleted) AppendMemoSection(index, m, false);
        return Text(std::move(index));
    }
    const MemoRecord sent = RecordFromForm(form);
    if (sent.muid.empty()) return Token("ERROR:400");
    if (kind == "setmemo") {
        store_.PutMemo(user, mgrp, sent);
        return Token("OK");
    }
    if (kind == "setini") {
        store_.PutMemoProperties(user, mgrp, sent);
        return Token("OK");
    }
    if (kind == "delmemo") return store_.DeleteMemo(user, mgrp, sent.muid) ? Token("OK") : Token("ERROR:404");

    const auto memo = store_.Memo(user, mgrp, sent.muid);
    if (!memo || memo->deleted) return Token("ERROR:404");
    if (kind == "getdata") return Text(memo->text);
    std::string section;
    AppendMemoSection(section, *memo, true);
    return Text(std::move(section));
}

std::string MemoService::NewStamp(std::size_t length) {
    // Distinct even for two edits of the same length in one second.
    const long long t = static_cast<long long>(std::time(nullptr)) + stampCounter_++;
    return std::to_string(length) + ":" + std::to_string(t);
}

HttpReply MemoService::Admin(const HttpRequest& request) {
    const Form form = DecodeForm(request.method == "GET" ? request.query : request.body);
    const std::string& path = request.path;
    const bool post = request.method == "POST";

    if (path == "/admin/user" && post) {
        const std::string id = FormValue(form, "id");
        if (id.empty()) return Token("ERROR:400");
        store_.PutUser(id, FormValue(form, "pw"));
        if (const std::string g = FormValue(form, "group"); !g.empty() && g != "0")
            store_.CreateGroup(id, kMgrp, {kMemoGroupName, kMemoGroupName});
        return Token("OK");
    }
    if (path == "/admin/user") {
        const std::string id = FormValue(form, "id");
        if (!store_.UserExists(id)) return Token("ERROR:404");
        std::string out = "group=";
        if (const auto g = store_.Group(id, kMgrp))
            out += "1&name=" + EncodeFormValue(g->name) + "&comment=" + EncodeFormValue(g->comment);
        else
            out += "0";
        out += "&defaults=";
        if (const auto d = store_.Defaults(id))
            out += "1&showdlg=" + EncodeFormValue(d->showdlg) + "&bg=" + EncodeFormValue(d->bg) +
                   "&defcx=" + EncodeFormValue(d->defcx) + "&defcy=" + EncodeFormValue(d->defcy) +
                   "&font=" + EncodeFormValue(d->font);
        else
            out += "0";
        return Text(out + "\n");
    }
    if (path == "/admin/session" && post) {
        const std::string sid = store_.NewSession(FormValue(form, "id"));
        return sid.empty() ? Token("ERROR:404") : Text("sid=" + sid + "\n");
    }
    if (path == "/admin/expire" && post) {
        store_.DropSessions(FormValue(form, "id"));
        return Token("OK");
    }
    if (path == "/admin/memo" && post) {
        const std::string user = FormValue(form, "user");
        const std::string muid = FormValue(form, "muid");
        if (user.empty() || muid.empty()) return Token("ERROR:400");
        const std::string text = FormValue(form, "text");
        std::string ver = FormValue(form, "ver");
        if (ver.empty()) ver = NewStamp(text.size());
        store_.EditMemoText(user, Mgrp(form), muid, text, ver);
        return Text("[OK]\nver=" + ver + "\n");
    }
    if (path == "/admin/memo") {
        const auto memo = store_.Memo(FormValue(form, "user"), Mgrp(form), FormValue(form, "muid"));
        return memo ? Text(EncodeRecord(*memo) + "\n") : Token("ERROR:404");
    }
    if (path == "/admin/memos") {
        std::string out;
        for (const MemoRecord& m : store_.Memos(FormValue(form, "user"), Mgrp(form))) out += EncodeRecord(m) + "\n";
        return Text(std::move(out));
    }
    if (path == "/admin/fault" && post) {
        std::string error;
        const auto rule = ParseFaultRule(form, error);
        if (!rule) return Text("[ERROR:400]\n" + error + "\n");
        faults_.Add(*rule);
        return Token("OK");
    }
    if (path == "/admin/fault/clear" && post) {
        faults_.Clear();
        return Token("OK");
    }
    if (path == "/admin/requests") return Text(faults_.Counts());
    if (path == "/admin/requests/order") return Text(faults_.Order());
    if (path == "/admin/requests/clear" && post) {
        faults_.ClearCounts();
        return Token("OK");
    }
    return Token("ERROR:404");
}

}  // namespace tesra::tools
