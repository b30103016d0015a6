// The two ways to a session the memo server accepts: the login script over
// HTTP and the local messenger agent.
#pragma once

#include <string>

#include "sync/context.h"

namespace tesra {

// GETs the login script with an empty cookie string and, when the reply set
// a "QUILLMAR_EMAIL_SID" cookie, leaves exactly the session cookie in the
// client; when the script could not be reached, the cookies stay as they
// were. Reports nothing: an unusable session shows at the next request.
void LoginByScript(ISyncContext& ctx, const std::string& userId, const std::string& password);

// Asks the agent on 127.0.0.1 (port 9002, or TESRA_AGENT_PORT) for a
// session; the session cookie string, empty when the agent is absent,
// refuses or gives no session line.
std::string LoginByAgent(ISyncContext& ctx, const std::string& userId, const std::string& password);

}  // namespace tesra
