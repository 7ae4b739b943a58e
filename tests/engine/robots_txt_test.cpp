// robots.txt as RFC 9309 has it: redirects are followed to the real file, and a file that
// cannot be read keeps the crawler off the whole server until it can. One that cannot be
// asked at all fails its server's addresses as their own requests would.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/controller.h"
#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/test_server.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
SiteServer::Page Text(std::string body) {
    return SiteServer::Page{std::move(body), "text/plain"};
}

// A port on 127.0.0.1 that nothing listens on any more.
int DeadPort() {
    TestServer gone;
    gone.Start();
    return gone.port();
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

// Addresses no request can be sent to (malformed, a port nobody listens on) fail at once
// with the code and words they have without robots.txt: their robots.txt cannot be asked
// either, and waiting for the server would not help. The rest of the site is copied.
TEST_F(Crawl, AnAddressThatCannotBeAskedFailsAsItWouldWithoutRobotsTxt) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(DeadPort()) + "/gone.htm";
    server.Add("/index.htm", Html(R"(<img src="http://[::1/x.png"><a href=a.htm>a</a><a href=")" +
                                  dead + R"(">gone</a>)"));
    server.Add("/a.htm", Html("a"));
    server.Start();
    using Failure = std::tuple<std::string, int, std::string>;
    std::vector<std::vector<Failure>> failures;
    for (const bool robots : {false, true}) {
        SCOPED_TRACE(robots ? "obeying robots.txt" : "without robots.txt");
        CSite& site = MakeSite(robots ? "Robots" : "NoRobots", "/index.htm", 2);
        site.m_useServers = false; // the links lead to other servers
        site.m_obeyRobots = robots;
        RunToEnd({&site});
        EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
        EXPECT_TRUE(fs::exists(Stored(site, "a.htm")));
        EXPECT_EQ(site.GetLog().find("waiting"), std::string::npos) << site.GetLog();
        std::vector<Failure>& found = failures.emplace_back();
        for (const CErrorEntry& entry : site.GetErrors())
            found.emplace_back(entry.address, entry.code, entry.reason);
        std::sort(found.begin(), found.end());
    }
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[1], failures[0]);
    std::vector<Failure> expected{{"http://[:1/x.png", -3, "Malformed address"},
                                  {dead, -7, "Could not connect to the server"}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(failures[1], expected);
    EXPECT_EQ(server.Count("GET /robots.txt"), 1);
}

// Where robots.txt redirects to is not the address's to fail by: a target nothing answers
// at leaves no rules, as a target that cannot be fetched does.
TEST_F(Crawl, ARobotsTxtRedirectToWhereNothingAnswersLeavesNoRules) {
    AddPages(server);
    AddRedirect("/robots.txt", "http://127.0.0.1:" + std::to_string(DeadPort()) + "/robots.txt");
    server.Start();
    CSite& site = MakeSite("Robots", "/index.htm", 2);
    site.m_obeyRobots = true;
    RunToEnd({&site});
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    EXPECT_TRUE(fs::exists(Stored(site, "private/p.htm")));
    EXPECT_TRUE(site.GetErrors().empty());
}

// A robots.txt cut off in its transfer is an answer of a server that was reached: the
// crawler waits for it, as for a 5xx, and keeps to it once it comes whole.
TEST_F(Crawl, ACutRobotsTxtIsWaitedForLikeABusyServer) {
    TestServer cutting;
    std::atomic<int> asked{0};
    const std::string rules = "User-agent: *\nDisallow: /private/\n";
    cutting.server().Get("/robots.txt", [&](const httplib::Request&, httplib::Response& answer) {
        if (asked++ > 0) {
            answer.set_content(rules, "text/plain");
            return;
        }
        // A tenth of what Content-Length promises, then the connection closes.
        answer.set_content_provider(rules.size() * 10, "text/plain",
                                    [&rules](std::size_t, std::size_t, httplib::DataSink& sink) {
                                        sink.write(rules.data(), rules.size());
                                        return false;
                                    });
    });
    cutting.server().Get("/index.htm", [](const httplib::Request&, httplib::Response& answer) {
        answer.set_content("<a href=a.htm>a</a><a href=private/p.htm>p</a>", "text/html");
    });
    cutting.server().Get("/a.htm", [](const httplib::Request&, httplib::Response& answer) {
        answer.set_content("a", "text/html");
    });
    cutting.Start();
    CSite& site = MakeSite("Robots", "/index.htm", 2);
    site.m_url = cutting.Url("/index.htm");
    site.m_obeyRobots = true;
    RunToEnd({&site});
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    EXPECT_EQ(asked.load(), 2);
    EXPECT_NE(site.GetLog().find("robots.txt unreadable (Transfer ended early), waiting 1 s"),
              std::string::npos)
        << site.GetLog();
    EXPECT_TRUE(fs::exists(Stored(site, "a.htm")));
    EXPECT_FALSE(fs::exists(Stored(site, "private")));
    EXPECT_TRUE(site.GetErrors().empty());
}

// A robots.txt past the bound RFC 9309 sets is read up to it, not waited for: its rules
// hold, and a file that never ends costs no more than the bound.
TEST_F(Crawl, AnOverlongRobotsTxtIsReadUpToItsBound) {
    AddPages(server);
    server.Add("/robots.txt",
               Text("User-agent: *\nDisallow: /private/\n" + std::string(2 << 20, '#')));
    server.Start();
    CSite& site = MakeSite("Robots", "/index.htm", 2);
    site.m_obeyRobots = true;
    RunToEnd({&site});
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    EXPECT_EQ(site.GetLog().find("robots.txt unreadable"), std::string::npos) << site.GetLog();
    EXPECT_TRUE(fs::exists(Stored(site, "a.htm")));
    EXPECT_EQ(server.Count("GET /private/p.htm"), 0);
    EXPECT_TRUE(site.GetErrors().empty());
}
