// Crawls against a server that answers 503: they wait for it and store everything, or,
// when it stays busy for the give-up time, stop the site with its addresses unfetched.

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
// The longest of the pauses the site's log tells of ("Server busy, waiting N s").
int LongestLoggedPause(const std::string& log) {
    int longest = 0;
    const std::string words = "Server busy, waiting ";
    for (auto at = log.find(words); at != std::string::npos; at = log.find(words, at + 1))
        longest = std::max(longest, std::stoi(log.substr(at + words.size())));
    return longest;
}
} // namespace

// Sixteen pages, each turned away three times, eight workers: the pause doubles once per
// pause, not once per busy answer, and turned-away pages go first, so the copy takes
// seconds rather than minutes. A trial meets at most three busy answers before one gets
// through, so no pause passes 8 s; the whole copy takes 15 to 30 s, and the bound below
// leaves room for a loaded machine.
TEST_F(Crawl, EveryPageOfABusyServerIsStoredWithoutLongWaits) {
    std::string links;
    for (int i = 1; i < 16; ++i)
        links += "<a href=p" + std::to_string(i) + ".htm>p</a>";
    server.Add("/index.htm", Html(links));
    server.TurnAway("/index.htm", 3);
    for (int i = 1; i < 16; ++i) {
        const std::string path = "/p" + std::to_string(i) + ".htm";
        server.Add(path, Html("page " + std::to_string(i)));
        server.TurnAway(path, 3);
    }
    server.Start();
    CSite& site = MakeSite("Busy", "/index.htm", 8);
    const auto start = std::chrono::steady_clock::now();
    RunToEnd({&site});

    EXPECT_LT(std::chrono::steady_clock::now() - start, 45s);
    EXPECT_LE(LongestLoggedPause(site.GetLog()), 8) << site.GetLog();
    EXPECT_EQ(site.m_state, kSiteDone);
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_TRUE(fs::exists(Stored(site, "index.htm")));
    for (int i = 1; i < 16; ++i) {
        const std::string file = "p" + std::to_string(i) + ".htm";
        EXPECT_TRUE(fs::exists(Stored(site, file))) << file;
        EXPECT_EQ(server.Count("GET /" + file), 4) << file;
    }
}

// A server that never stops answering 503 stops its site once the give-up time is over:
// Aborted, with the reason shown and logged, and the pages it turned away left unfetched
// rather than failed.
TEST_F(Crawl, AServerBusyForTheGiveUpTimeStopsItsSite) {
    server.Add("/index.htm", Html("<a href=a.htm>a</a><a href=b.htm>b</a><a href=c.htm>c</a>"));
    for (const char* path : {"/a.htm", "/b.htm", "/c.htm"}) {
        server.Add(path, Html("x"));
        server.TurnAway(path, 1000);
    }
    server.Start();
    StartController();
    controller->Session().Gate().SetGiveUpAfter(3s);
    CSite& site = MakeSite("Busy", "/index.htm", 2);
    RunToEnd({&site});

    const std::string reason = "Server busy for 3 seconds: 127.0.0.1";
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_EQ(ui.Get([&] { return ui.messages; }), std::vector<std::string>{reason});
    EXPECT_NE(site.GetLog().find(reason), std::string::npos) << site.GetLog();
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_TRUE(fs::exists(Stored(site, "index.htm")));
    for (const char* file : {"a.htm", "b.htm", "c.htm"})
        EXPECT_FALSE(fs::exists(Stored(site, file))) << file;
}
