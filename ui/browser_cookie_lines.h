#pragma once
// Which of the browser pane's cookies a site's crawl starts with, written as Netscape
// cookies.txt lines for the crawl's jar. Plain C++: the Qt side only fills BrowserCookie.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class CSite;

struct BrowserCookie {
    // With a leading "." the cookie goes to the domain and every host below it; without,
    // only to that host (as the browser reports them).
    std::string domain;
    std::string path = "/";
    std::string name;
    std::string value;
    bool secure = false;
    bool httpOnly = false;
    std::int64_t expires = 0; // calendar seconds; 0 for a session cookie
};

// The servers whose cookies a crawl of the site needs: the start address's host and, when
// the site is restricted to a list of servers it includes, that list's active patterns
// (one "*" at most). A list that excludes servers adds none.
std::vector<std::string> CookieServersOf(const CSite& site);

// One line per cookie that would be sent to one of the servers (a host or pattern as
// CookieServersOf gives them); the others are left out. Letter case of hosts does not
// matter. A cookie with a tab or a line break in it cannot be written and is left out.
std::string FormatCookieLines(std::span<const BrowserCookie> cookies,
                              std::span<const std::string> servers);
