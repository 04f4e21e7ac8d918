#pragma once

// From the GBK bytes of one request payload to the GBK payloads of its replies:
// encoding and character checks, the login gate, the handler table, failures.
// No I/O; the session frames what comes out.

#include "server/handlers.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantrell::server {

struct Routed
{
    std::vector<std::string> replies; // GBK payloads, in sending order
    std::string name;                 // UTF-8 request name; empty when unreadable
    std::string_view refusal;         // why the request was refused; empty when served
    bool failed = false;              // the handler threw or answered with unwritable text
    std::string detail;               // what the handler's exception said, for the log
};

// Checks in a fixed order: readable GBK, login for "基础通讯_", a known name, the row's
// policy (login, role), clean field bytes; then runs the handler in the transaction its
// policy asks for. A refusal rolls that transaction back.
Routed routeRequest(std::string_view payload, SessionState &state, db::Database &db, const Config &config,
                    const HandlerTable &handlers);

// The lane of the request in `payload`; Io when the name is unknown or unreadable.
Lane laneOf(std::string_view payload, const HandlerTable &handlers);

// True when the field text's GBK bytes hold neither "|" nor "," and no double-byte
// character whose second byte is "[", "]" or "|": such a character would read as a
// delimiter to a byte-wise reader such as the client.
bool gbkFieldBytesClean(std::string_view gbk);

} // namespace vantrell::server
