// How complete a crawl left the copy: the log's count of links left to the server and of
// local links without a file, and Fetch Missing, which asks only for what the copy lacks.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"

namespace fs = std::filesystem;

namespace {
SiteServer::Page Image(char fill, std::size_t size = 100) {
    SiteServer::Page image{std::string(size, fill), "image/png"};
    image.headers.emplace("Last-Modified", kOldDate);
    return image;
}

// The server's log after the mark, sorted (workers ask in any order).
std::vector<std::string> RequestsAfter(const SiteServer& server, const std::string& mark) {
    const auto log = server.Log();
    const auto start = std::find(log.begin(), log.end(), mark);
    std::vector<std::string> after(start == log.end() ? start : start + 1, log.end());
    std::sort(after.begin(), after.end());
    return after;
}

bool LogHas(const CSite& site, const std::string& line) {
    return site.GetLog().find("   " + line + "\r\r\n") != std::string::npos;
}
} // namespace

TEST_F(Crawl, FetchMissingAsksForExactlyTheDeletedFilesAndCompletesTheCopy) {
    server.Add("/index.htm", Html("<a href=\"a.htm\">a</a><img src=\"b.png\">"
                                  "<a href=\"sub/c.htm\">c</a><a href=\"moved.htm\">m</a>"
                                  "<a href=\"http://other.invalid/x.htm\">x</a>"));
    server.Add("/a.htm", Html("<img src=\"e.png\"><a href=\"index.htm\">back</a>"));
    server.Add("/sub/c.htm", Html("<img src=\"../f.png\"><link rel=stylesheet href=\"s.css\">"));
    SiteServer::Page sheet{"body{background:url(g.png)}", "text/css"};
    sheet.headers.emplace("Last-Modified", kOldDate);
    server.Add("/sub/s.css", sheet);
    AddRedirect("/moved.htm", "/target.htm");
    server.Add("/target.htm", Html("<img src=\"t.png\">"));
    server.Add("/b.png", Image('b'));
    server.Add("/e.png", Image('e'));
    server.Add("/f.png", Image('f'));
    server.Add("/sub/g.png", Image('g'));
    server.Add("/t.png", Image('t'));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_pageRequisites = true;
    // Fetch Missing keeps the copy even for a site that erases it before a crawl.
    site.m_downloadChanges = false;
    RunToEnd({&site});
    ASSERT_TRUE(site.GetErrors().empty());
    const std::vector<std::string> files = {"index.htm", "a.htm",      "b.png",     "e.png",
                                            "f.png",     "sub/c.htm",  "sub/s.css", "sub/g.png",
                                            "moved.htm", "target.htm", "t.png"};
    std::vector<std::string> contents;
    for (const auto& file : files) {
        ASSERT_TRUE(fs::exists(Stored(site, file))) << file;
        contents.push_back(ReadFileText(Stored(site, file)));
    }
    EXPECT_TRUE(LogHas(site, "Local links whose file is missing: none"));

    // A page with the one image only it links to, images of a page, of a style sheet and
    // of a redirect's target.
    for (const char* gone : {"a.htm", "e.png", "b.png", "sub/g.png", "t.png"})
        fs::remove(Stored(site, gone));
    server.Note("missing");
    RunToEnd({&site}, kStartFetchMissing);
    EXPECT_EQ(RequestsAfter(server, "missing"),
              (std::vector<std::string>{"GET /a.htm", "GET /b.png", "GET /e.png", "GET /sub/g.png",
                                        "GET /t.png"}));
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(ReadFileText(Stored(site, files[i])), contents[i]) << files[i];
    EXPECT_EQ(site.m_state, kSiteDone);
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_TRUE(LogHas(site, "Local links whose file is missing: none"));
    EXPECT_NE(site.GetLog().find("Fetching only the files the copy lacks"), std::string::npos);

    // On a complete copy it asks for nothing; an ordinary start after it is an update again.
    server.Note("complete");
    RunToEnd({&site}, kStartFetchMissing);
    EXPECT_TRUE(RequestsAfter(server, "complete").empty());
    EXPECT_TRUE(fs::exists(Stored(site, "index.htm")));
    site.m_downloadChanges = true;
    server.Note("update");
    RunToEnd({&site});
    EXPECT_EQ(server.Count("GET /index.htm"), 2);
}

TEST_F(Crawl, TheLogCountsLinksLeftToTheServerAndLocalLinksWithoutAFileByReason) {
    server.Add("/index.htm",
               Html("<a href=\"a.htm\">a</a><a href=\"http://other.invalid/x.htm\">x</a>"
                    "<a href=\"gone.htm\">g</a><img src=\"big.png\">"));
    // The external link again: each address counts once.
    server.Add("/a.htm",
               Html("<a href=\"deep.htm\">d</a><a href=\"http://other.invalid/x.htm\">x</a>"
                    "<a href=\"http://other.invalid/y.htm\">y</a>"));
    server.Add("/deep.htm", Html("d"));
    server.Add("/big.png", Image('b', 500));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_useLevels = true;
    site.m_levels = 2;
    site.m_useSizes = true;
    site.m_fileMax = 100;
    RunToEnd({&site});
    EXPECT_EQ(server.Count("GET /deep.htm"), 0);

    EXPECT_TRUE(LogHas(site, "Links left to the server: 3 (other server 2, depth 1)"));
    EXPECT_TRUE(
        LogHas(site, "  other server:  http://other.invalid/x.htm  http://other.invalid/y.htm"));
    EXPECT_TRUE(LogHas(site, "  depth:  " + server.Url("/deep.htm")));
    EXPECT_TRUE(LogHas(site, "Local links whose file is missing: 2 (failed 1, size limit 1)"));
    EXPECT_TRUE(LogHas(site, "  failed:  " + server.Url("/gone.htm")));
    EXPECT_TRUE(LogHas(site, "  size limit:  " + server.Url("/big.png")));
    EXPECT_TRUE(site.GetLog().ends_with("   Finished"));

    // A page that fails again while an earlier copy of it is on disk still has its file.
    std::ofstream(Stored(site, "gone.htm")) << "kept";
    RunToEnd({&site});
    EXPECT_TRUE(LogHas(site, "Local links whose file is missing: 1 (size limit 1)"));
    EXPECT_EQ(site.OfflineCheck().MissingCount(MissingReason::Failed), 0u);
    EXPECT_EQ(site.OfflineCheck().RefusedCount(LinkRefusal::OtherServer), 2u);

    // Links the site removes from its pages are counted apart.
    site.m_removeLinks = true;
    RunToEnd({&site});
    EXPECT_TRUE(LogHas(site, "Links left to the server: none"));
    EXPECT_TRUE(LogHas(site, "Links removed: 3 (other server 2, depth 1)"));
}

TEST_F(Crawl, AStoppedCrawlCountsTheFilesItLeftUnfetched) {
    server.Add("/index.htm", Html("<a href=a.htm>a</a><a href=b.htm>b</a><a href=c.htm>c</a>"));
    server.Add("/a.htm", Html("a"));
    server.Add("/b.htm", Html("b"));
    server.Add("/c.htm", Html("c"));
    server.Hold("/a.htm");
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm", 1);
    // An earlier copy still serves the links to it.
    fs::create_directories(Stored(site, ""));
    std::ofstream(Stored(site, "c.htm")) << "earlier";
    StartController();
    controller->Post(WM_START_SITE, Param(site));
    ASSERT_TRUE(server.WaitFor("GET /a.htm"));
    controller->Post(WM_STOP_SITE, Param(site));
    ASSERT_TRUE(ui.WaitForRunsEnded(1));
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_TRUE(LogHas(site, "Local links whose file is missing: 2 (stopped 2)"));
    EXPECT_TRUE(LogHas(site, "  stopped:  " + server.Url("/a.htm") + "  " + server.Url("/b.htm")));
}

TEST_F(Crawl, FetchMissingAsksAgainForARedirectStoredAsAForwardToAFileAddress) {
    server.Add("/index.htm", Html("<a href=\"moved.htm\">m</a>"));
    AddRedirect("/moved.htm", "/target.htm");
    server.Add("/target.htm", Html("<img src=\"t.png\">"));
    server.Add("/t.png", Image('t'));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    RunToEnd({&site});
    ASSERT_TRUE(fs::exists(Stored(site, "t.png")));
    fs::remove(Stored(site, "t.png"));
    server.Note("missing");
    RunToEnd({&site}, kStartFetchMissing);
    // The stub names only the target's file; the target page itself is read from disk.
    EXPECT_EQ(RequestsAfter(server, "missing"),
              (std::vector<std::string>{"GET /moved.htm", "GET /t.png"}));
    EXPECT_TRUE(fs::exists(Stored(site, "t.png")));
}
