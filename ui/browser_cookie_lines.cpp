#include "ui/browser_cookie_lines.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "model/site.h"
#include "model/wildcard.h"
#include "web/url.h"

namespace {
std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Whether a browser would send the cookie to a server of the list entry. A pattern is
// tried on the cookie's own host only: simple, and what a listed "*.host" usually means.
bool SentTo(const BrowserCookie& cookie, const std::string& server) {
    const bool domainCookie = cookie.domain.starts_with('.');
    const std::string host = Lower(domainCookie ? cookie.domain.substr(1) : cookie.domain);
    const std::string entry = Lower(server);
    if (host.empty() || entry.empty())
        return false;
    if (entry.find('*') != std::string::npos) {
        CWildcard pattern;
        return pattern.Compile(entry) && pattern.Match(host);
    }
    if (entry == host)
        return true;
    return domainCookie && EndsWith(entry, "." + host);
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
            lines += "#HttpOnly_";
        lines += cookie.domain + '\t' + Flag(cookie.domain.starts_with('.')) + '\t' +
                 (cookie.path.empty() ? std::string("/") : cookie.path) + '\t' +
                 Flag(cookie.secure) + '\t' + std::to_string(cookie.expires) + '\t' + cookie.name +
                 '\t' + cookie.value + '\n';
    }
    return lines;
}
