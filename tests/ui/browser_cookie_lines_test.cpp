// Which of the browser pane's cookies a crawl starts with, and how they are written.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/site.h"
#include "ui/browser_cookie_lines.h"

namespace {
BrowserCookie Cookie(std::string domain, std::string name, std::string value) {
    BrowserCookie cookie;
    cookie.domain = std::move(domain);
    cookie.name = std::move(name);
    cookie.value = std::move(value);
    return cookie;
}

std::string Lines(const std::vector<BrowserCookie>& cookies,
                  const std::vector<std::string>& servers) {
    return FormatCookieLines(cookies, servers);
}
} // namespace

TEST(BrowserCookieLines, WritesEachFieldOfTheNetscapeFormat) {
    BrowserCookie login = Cookie("www.example.com", "session", "abc");
    login.httpOnly = true;
    login.secure = true;
    BrowserCookie theme = Cookie(".example.com", "theme", "dark");
    theme.path = "/docs";
    theme.expires = 1900000000;
    EXPECT_EQ(Lines({login, theme}, {"www.example.com"}),
              "#HttpOnly_www.example.com\tFALSE\t/\tTRUE\t0\tsession\tabc\n"
              ".example.com\tTRUE\t/docs\tFALSE\t1900000000\ttheme\tdark\n");
}

TEST(BrowserCookieLines, KeepsOnlyCookiesTheSitesServersWouldBeSent) {
    const std::vector<BrowserCookie> cookies{
        Cookie(".example.com", "domain", "1"),       // to www.example.com too
        Cookie("example.com", "hostOnly", "2"),      // only to example.com itself
        Cookie("www.example.com", "own", "3"),       // the start host's own
        Cookie(".badexample.com", "lookalike", "4"), // not a parent domain of it
        Cookie("other.test", "other", "5"),
    };
    EXPECT_EQ(Lines(cookies, {"WWW.Example.com"}), ".example.com\tTRUE\t/\tFALSE\t0\tdomain\t1\n"
                                                   "www.example.com\tFALSE\t/\tFALSE\t0\town\t3\n");
    EXPECT_EQ(Lines(cookies, {"example.com"}), ".example.com\tTRUE\t/\tFALSE\t0\tdomain\t1\n"
                                               "example.com\tFALSE\t/\tFALSE\t0\thostOnly\t2\n");
    // A pattern is matched against the cookie's own host.
    EXPECT_EQ(Lines(cookies, {"*.test"}), "other.test\tFALSE\t/\tFALSE\t0\tother\t5\n");
    EXPECT_EQ(Lines(cookies, {}), "");
}

TEST(BrowserCookieLines, LeavesOutWhatCannotBeWrittenOnOneLine) {
    EXPECT_EQ(Lines({Cookie("h", "a", "x\ty"), Cookie("h", "b\n", "1"), Cookie("h", "", "1"),
                     Cookie("h", "c", "2")},
                    {"h"}),
              "h\tFALSE\t/\tFALSE\t0\tc\t2\n");
}

TEST(BrowserCookieLines, TheSitesServersAreItsStartHostAndTheServersItIsRestrictedTo) {
    CSite site("Site");
    site.m_url = "http://www.example.com:8080/start/index.htm";
    site.m_servers = "cdn.example.net=1,*.static.test=1,off.example.org=0";
    EXPECT_EQ(CookieServersOf(site), std::vector<std::string>{"www.example.com"})
        << "the list counts only while servers are restricted";

    site.m_useServers = true;
    EXPECT_EQ(CookieServersOf(site),
              (std::vector<std::string>{"www.example.com", "cdn.example.net", "*.static.test"}));

    site.m_includeServers = false;
    EXPECT_EQ(CookieServersOf(site), std::vector<std::string>{"www.example.com"})
        << "servers that are left out need no login";

    site.m_url.clear();
    EXPECT_TRUE(CookieServersOf(site).empty());
}
