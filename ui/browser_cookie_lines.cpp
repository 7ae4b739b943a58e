#include "ui/browser_cookie_lines.h"

#include <algorithm>
#include <string_view>

#include "engine/cookie_jar.h"
#include "model/site.h"
#include "model/wildcard.h"
#include "web/byte_text.h"
#include "web/url.h"

namespace {
// Whether a browser would send the cookie to a server of the list entry. A pattern is
// tried on the cookie's own host only: simple, and what a listed "*.host" usually means.
bool SentTo(const BrowserCookie& cookie, std::string_view server) {
    const bool domainCookie = cookie.domain.starts_with('.');
    const std::string_view host = std::string_view(cookie.domain).substr(domainCookie ? 1 : 0);
    if (host.empty() || server.empty())
        return false;
    if (server.find('*') != std::string_view::npos) {
        std::string entry;
        std::string lowerHost;
        AppendLowerAscii(entry, server);
        AppendLowerAscii(lowerHost, host);
        CWildcard pattern;
        return pattern.Compile(entry) && pattern.Match(lowerHost);
    }
    if (EqualsIgnoringAsciiCase(server, host))
        return true;
    // A domain cookie goes to the domain's subdomains too.
    return domainCookie && server.size() > host.size() &&
           server[server.size() - host.size() - 1] == '.' &&
           EndsWithIgnoringAsciiCase(server, host);
}

bool Writable(const BrowserCookie& cookie) {
    for (const std::string* field : {&cookie.domain, &cookie.path, &cookie.name, &cookie.value})
        if (field->find_first_of("\t\r\n") != std::string::npos)
            return false;
    return !cookie.domain.empty() && !cookie.name.empty();
}

std::string Flag(bool on) {
    return on ? "TRUE" : "FALSE";
}
} // namespace

std::vector<std::string> CookieServersOf(const CSite& site) {
    std::vector<std::string> servers;
    const std::string startHost = CUrl(nullptr, site.m_url, kLinkFollowed).host;
    if (!startHost.empty())
        servers.push_back(startHost);
    // Only a list of servers the crawl goes to widens the set; an exclude list narrows
    // what is crawled, not whose login is needed.
    if (site.m_useServers && site.m_includeServers) {
        CWildcardList patterns;
        CompileList(patterns, site.m_servers);
        for (const auto& pattern : patterns)
            servers.push_back(pattern->m_hasWildcard ? pattern->m_prefix + "*" + pattern->m_suffix
                                                     : pattern->m_prefix);
    }
    return servers;
}

std::string FormatCookieLines(std::span<const BrowserCookie> cookies,
                              std::span<const std::string> servers) {
    std::string lines;
    for (const BrowserCookie& cookie : cookies) {
        if (!Writable(cookie) ||
            std::none_of(servers.begin(), servers.end(),
                         [&](const std::string& server) { return SentTo(cookie, server); }))
            continue;
        if (cookie.httpOnly)
            lines += kHttpOnlyPrefix;
        lines += cookie.domain + '\t' + Flag(cookie.domain.starts_with('.')) + '\t' +
                 (cookie.path.empty() ? std::string("/") : cookie.path) + '\t' +
                 Flag(cookie.secure) + '\t' + std::to_string(cookie.expires) + '\t' + cookie.name +
                 '\t' + cookie.value + '\n';
    }
    return lines;
}
