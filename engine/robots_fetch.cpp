#include "engine/robots_fetch.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "web/url.h"

namespace {
constexpr int kMostRedirects = 5;
// RFC 9309 asks for at least 500 KiB to be read.
constexpr std::size_t kLongestRobots = 512 * 1024;

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

RobotsOutcome OutcomeOf(const CHttpAnswer& answer) {
    if (answer.aborted)
        return RobotsOutcome::Aborted;
    // Only a server that got the request can be busy; anything that failed before it went
    // out is the address's own failure.
    if (answer.curlError != 0)
        return answer.reached ? RobotsOutcome::Unreadable : RobotsOutcome::Unreachable;
    if (answer.status == 200)
        return RobotsOutcome::Rules;
    if (answer.status == 429 || answer.status >= 500)
        return RobotsOutcome::Unreadable;
    return RobotsOutcome::NoRules;
}
} // namespace

CRobotsFetch FetchRobotsTxt(CInternetSession& session, CHttpConnection& connection,
                            const CUrl& address, const std::atomic<bool>& abort) {
    CUrl at(&address, "/robots.txt", kLinkEmbedded, UrlReading::Exact);
    std::unique_ptr<CHttpConnection> elsewhere;
    CRobotsFetch fetch;
    for (int redirects = 0;; ++redirects) {
        const int port = PortOf(at);
        CHttpConnection* over = &connection;
        if (at.host != connection.Host() || port != connection.Port()) {
            if (!elsewhere || at.host != elsewhere->Host() || port != elsewhere->Port())
                elsewhere = std::make_unique<CHttpConnection>(session, at.host, port, "", "");
            over = elsewhere.get();
        }
        const std::string objectName = at.GetObjectName();
        CHttpRequest request;
        request.scheme = at.scheme;
        request.objectName = objectName;
        fetch.text.clear();
        // Reading stops at the bound: what lies past it is ignored, so a file that
        // never ends (or decodes without end) costs no more than the bound.
        request.sink = [&](const char* data, std::size_t size) {
            fetch.text.append(data, std::min(size, kLongestRobots - fetch.text.size()));
            return fetch.text.size() < kLongestRobots;
        };
        fetch.answer = over->Request(request, abort);
        const bool cutAtBound = fetch.answer.status == 200 && !fetch.answer.aborted &&
                                fetch.text.size() == kLongestRobots;
        fetch.outcome = cutAtBound ? RobotsOutcome::Rules : OutcomeOf(fetch.answer);
        // The address's own server answered the first request; where it redirects to is
        // not the address's to fail by.
        if (redirects > 0 && fetch.outcome == RobotsOutcome::Unreachable) {
            fetch.outcome = RobotsOutcome::NoRules;
            break;
        }
        if (fetch.outcome != RobotsOutcome::NoRules || !IsRedirect(fetch.answer.status))
            break;
        // A redirect too many, or one to what cannot be fetched, leaves no rules.
        const std::string location(HeaderValue(fetch.answer.rawHeaders, "Location"));
        if (redirects == kMostRedirects || location.empty())
            break;
        // Exact reading: a last name without a dot is asked for as it is, not as a folder.
        CUrl target(&at, location, kLinkEmbedded, UrlReading::Exact);
        if (PortOf(target) == 0)
            break;
        at = std::move(target);
    }
    if (fetch.outcome != RobotsOutcome::Rules)
        fetch.text.clear();
    return fetch;
}
