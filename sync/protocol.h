// What goes to the memo server and the login script, and how their replies
// are judged. Request bodies are built with the exact format strings the
// server has always been sent; replies are byte text judged by plain,
// case-sensitive, CP949-aware substring tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tesra {

// Script paths on the memo server host.
inline constexpr char kSetMemoPath[] = "/AUTH/setmemo.cgi";          // setmemo, setini, delmemo
inline constexpr char kGetMemoPath[] = "/AUTH/getmemo.cgi";          // getini, getdata, listini
inline constexpr char kGetMemoUserPath[] = "/AUTH/getmemouser.cgi";  // user defaults, read
inline constexpr char kSetMemoUserPath[] = "/AUTH/setmemouser.cgi";  // user defaults, write
inline constexpr char kGetMemoGroupPath[] = "/AUTH/getmemogrp.cgi";  // does the group exist
inline constexpr char kSetMemoGroupPath[] = "/AUTH/setmemogrp.cgi";  // create the group
// On the login server host.
inline constexpr char kLoginPath[] = "/BIN/login_halvo.cgi";

// "할보": name and comment of the memo group, sent unencoded as CP949.
inline constexpr char kMemoGroupName[] = "\xC7\xD2\xBA\xB8";

inline constexpr char kSessionCookieName[] = "QUILLMAR_SID";
inline constexpr char kEmailSessionCookieName[] = "QUILLMAR_EMAIL_SID";

// Every byte as "%xx", lower-case hex, letters and digits included: the
// server decodes free text byte for byte and never guesses at a charset.
std::string EncodeFormValue(std::string_view value);

// The text between the first "[" and the first "]" after it; empty when
// there is none.
std::string StatusToken(std::string_view reply);

// 1 when a setmemo or getdata reply is a failure: an "Internal Server Error"
// page that names our memo server host, or an ERROR status token. An error
// page from some proxy on the way falls through to the token test.
int IsServerErrorReply(std::string_view reply, std::string_view memoServerHost);

// listini, and getmemouser for the index file: is the reply worth keeping?
// Not with an ERROR token; nor, taken as an index, a text with content but
// without any section (a proxy's page). A blank one is an index without memos.
bool IsUsableListReply(std::string_view reply);

enum class UserDefaultsReply {
    kDefaults,   // holds the "main" section
    kNone,       // the user has never stored defaults (ERROR code 500)
    kFailed,
};
// getmemouser at start-up.
UserDefaultsReply ClassifyUserDefaultsReply(std::string_view reply);

// getmemogrp: 1 the group exists, 0 it does not, -1 no usable answer (an
// empty reply, or a login page when the session is gone).
int ClassifyMemoGroupReply(std::string_view reply);

// getini: the server's stamp, the text after the first "ver=" up to the next
// LF; empty when either is missing.
std::string ServerStampFromReply(std::string_view reply);

// A memo's fields as the index holds them; title, font and pos go out
// encoded, the rest as they are.
struct MemoFields {
    std::string ver;
    std::string title;
    std::string font;
    std::string pos;
    int alarm = 0;
    int bg = 0;
    int min = 0;
};

std::string SetMemoBody(std::string_view muid, const MemoFields& f, std::string_view text);
// A received memo's id is a number made on the spot.
std::string SetReceivedMemoBody(int muid, const MemoFields& f, std::string_view text);
std::string SetIniBody(std::string_view muid, const MemoFields& f);
std::string DelMemoBody(std::string_view muid);
std::string GetIniBody(std::string_view muid);
std::string GetDataBody(std::string_view muid);
std::string ListIniBody();
// getmemouser takes an empty body.
inline std::string GetUserDefaultsBody() { return {}; }
std::string SetUserDefaultsBody(int defbg, int defcx, int defcy, std::string_view deffont);
std::string GetMemoGroupBody();
std::string SetMemoGroupBody();

// "http://" + host + path. host may carry ":port".
std::string ServerUrl(std::string_view host, std::string_view path);

// The login script's GET: id and password encoded like any free text.
std::string LoginUrl(std::string_view loginScriptUrl, std::string_view userId, std::string_view password);

// The session cookie the memo server expects, one session value in both.
std::string SessionCookie(std::string_view session);

// The session value the login script left in the cookie jar: after the first
// "QUILLMAR_EMAIL_SID=" up to the next ";", empty when either is missing.
std::string SessionFromCookieJar(std::string_view cookies);

// The agent's createsession reply carries the session on its second line.
std::string SessionFromAgentReply(std::string_view reply);

}  // namespace tesra
