// robots.txt as RFC 9309 has it: redirects are followed to the real file, and a file that
// cannot be read keeps the crawler off the whole server until it can.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "engine/controller.h"
#include "model/site.h"
#include "support/crawl_fixture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
SiteServer::Page Text(std::string body) {
    return SiteServer::Page{std::move(body), "text/plain"};
}

// A start page with one allowed and one disallowed link.
void AddPages(SiteServer& server) {
    server.Add("/index.htm", Html("<a href=a.htm>a</a><a href=private/p.htm>p</a>"));
    server.Add("/a.htm", Html("a"));
    server.Add("/private/p.htm", Html("p"));
}
} // namespace

// Five redirects, the last but one to another host name, lead to the rules.
TEST_F(Crawl, RobotsTxtIsFollowedThroughRedirects) {
    AddPages(server);
    server.Start();
    AddRedirect("/robots.txt", "/r1", 301);
    AddRedirect("/r1", "r2", 302);
    AddRedirect("/r2", "/r3", 307);
    AddRedirect("/r3", "http://localhost:" + std::to_string(server.Port()) + "/r4", 308);
    SiteServer::Page moved{"", "text/html", 303};
    moved.headers.emplace("Location", "/rules");
    server.AddOn("localhost", "/r4", moved);
    server.AddOn("localhost", "/rules", Text("User-agent: *\nDisallow: /private/\n"));
    CSite& site = MakeSite("Robots", "/index.htm", 2);
    site.m_obeyRobots = true;
    RunToEnd({&site});

    EXPECT_EQ(server.Count("GET //localhost/rules"), 1);
    EXPECT_EQ(server.Count("GET /private/p.htm"), 0);
    EXPECT_TRUE(fs::exists(Stored(site, "a.htm")));
    EXPECT_TRUE(site.GetErrors().empty());
}

// A robots.txt that answers 500 is asked again after a pause, and nothing else of the
// server is asked for until it was read. One that stays unreadable for the give-up time
// stops the site, saying how to copy it without robots.txt.
TEST_F(Crawl, AnUnreadableRobotsTxtKeepsTheCrawlerOffTheServer) {
    AddPages(server);
    server.Add("/robots.txt", Text("User-agent: *\nDisallow: /private/\n"));
    server.TurnAway("/robots.txt", 2, 500);
    server.Start();
    CSite& site = MakeSite("Robots", "/index.htm", 4);
    site.m_obeyRobots = true;
    RunToEnd({&site});

    const auto log = server.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              std::vector<std::string>(3, "GET /robots.txt"));
    EXPECT_EQ(server.Count("GET /robots.txt"), 3);
    const auto times = server.Times();
    EXPECT_GE(times[1] - times[0], 900ms);
    EXPECT_GE(times[2] - times[1], 1900ms);
    EXPECT_EQ(server.Count("GET /private/p.htm"), 0);
    EXPECT_TRUE(fs::exists(Stored(site, "a.htm")));
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_NE(site.GetLog().find("robots.txt unreadable (500), waiting 2 s"), std::string::npos)
        << site.GetLog();

    server.TurnAway("/robots.txt", 1000, 503);
    controller->Session().Gate().SetGiveUpAfter(2s);
    site.m_downloadChanges = false;
    const std::size_t before = server.Log().size();
    RunToEnd({&site});
    EXPECT_EQ(site.m_state, kSiteAborted);
    const auto messages = ui.Get([&] { return ui.messages; });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("robots.txt unreadable for 2 seconds: 127.0.0.1"))
        << messages[0];
    EXPECT_NE(messages[0].find("--no-robots"), std::string::npos);
    const auto again = server.Log();
    EXPECT_TRUE(std::all_of(again.begin() + static_cast<std::ptrdiff_t>(before), again.end(),
                            [](const std::string& entry) { return entry == "GET /robots.txt"; }));
    EXPECT_TRUE(site.GetErrors().empty());
}
