#pragma once
// Reading a server's robots.txt as RFC 9309 asks: up to five redirects are followed, to
// other servers too; a 4xx answer means there are no rules; a 5xx or 429 answer, or a
// transfer that fails once the server was reached, leaves the file unreadable for now
// (the server counts as busy). A request that could not be sent at all (a malformed
// address, a host not found, a connection refused or timed out, a certificate not
// trusted) is told apart: the address's own request would fail the same way, so its
// addresses fail as they would without robots.txt; waiting would not help. A redirect
// that leads where no request can be sent leaves no rules.

#include <atomic>
#include <string>

#include "engine/http_session.h"

class CUrl;

enum class RobotsOutcome {
    Rules,       // text holds the file
    NoRules,     // everything is allowed
    Unreadable,  // ask again later; answer says why
    Unreachable, // no request could be sent to the server; answer says why
    Aborted,
};

struct CRobotsFetch {
    RobotsOutcome outcome = RobotsOutcome::NoRules;
    std::string text;
    CHttpAnswer answer; // the last one
};

// connection: the one to address's server and port, which keeps its login; a redirect
// to another server goes out on a connection of its own, without the login.
CRobotsFetch FetchRobotsTxt(CInternetSession& session, CHttpConnection& connection,
                            const CUrl& address, const std::atomic<bool>& abort);
