// Whole crawls: the controller and its workers against a site served on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/controller.h"
#include "engine/messages.h"
#include "model/clock.h"
#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"
#include "support/recording_ui.h"
#include "support/site_fixture.h"
#include "support/site_server.h"

namespace fs = std::filesystem;

TEST_F(Crawl, MirrorsEveryAdmittedPageAndRewritesItsLinks) {
    server.Add("/index.htm", Html("<html><a href = \"/a.htm\">a</a> <img src=b.png>"
                                  "<a href='missing.htm'>m</a>"
                                  "<a href=\"http://external.invalid/x.htm\">x</a></html>"));
    server.Add("/a.htm", Html("<a href=\"index.htm\">back</a><a href=\"sub/c.htm\">c</a>"));
    server.Add("/sub/c.htm", Html("<a href=\"../a.htm#top\">a</a>"));
    server.Add("/b.png", SiteServer::Page{std::string(300, 'p'), "image/png"});
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    g_bBeepWhenDone = true;
    RunToEnd({&site});
    ASSERT_TRUE(ui.WaitUntil([&] { return ui.statusTexts.back() == "Done"; }));
    g_bBeepWhenDone = false;

    EXPECT_EQ(ReadFileText(Stored(site, "index.htm")),
              "<html><a href=\"a.htm\">a</a> <img src=b.png><a href='missing.htm'>m</a>"
              "<a href=\"http://external.invalid/x.htm\">x</a></html>");
    EXPECT_EQ(ReadFileText(Stored(site, "sub/c.htm")), "<a href=\"../a.htm#top\">a</a>");
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), std::string(300, 'p'));
    EXPECT_FALSE(fs::exists(Stored(site, "missing.htm")));
    // The refused external link is never asked for; the missing page is asked once, as a
    // 404 is final. One GET per file, no HEAD.
    EXPECT_EQ(server.Count("GET /missing.htm"), 1);
    EXPECT_EQ(server.Count("GET /index.htm"), 1);
    EXPECT_EQ(server.Log().size(), 5u);

    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, 404);
    EXPECT_EQ(errors[0].address, server.Url("/missing.htm"));
    EXPECT_EQ(site.m_state, kSiteDone);
    EXPECT_EQ(site.m_filesTotal, 4); // the files stored, not the tries
    const std::string log = site.GetLog();
    EXPECT_NE(log.find("Started\r\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("   Finished"));

    ui.Get([&] {
        EXPECT_EQ(ui.beeps, 1);
        EXPECT_EQ(ui.statusTexts.back(), "Done");
        EXPECT_EQ(ui.states.back(), kControllerIdle);
        EXPECT_EQ(ui.sitesProgress, std::make_pair(1, 1));
        return 0;
    });
}

TEST_F(Crawl, AnUpdateTransfersNothingUnchangedButRescansAndRenewsEveryFile) {
    server.Add("/index.htm", Html("<a href=\"/a.htm\">a</a><img src=\"b.png\">"));
    server.Add("/a.htm", Html("<p>a</p>"));
    SiteServer::Page image{std::string(100, 'i'), "image/png"};
    image.headers.emplace("Last-Modified", kOldDate);
    server.Add("/b.png", image);
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    RunToEnd({&site});
    ASSERT_EQ(server.Count("GET /b.png"), 1);
    const auto firstStart = site.GetStartFileTime();

    RunToEnd({&site});
    // One conditional GET each; the server ignores the condition, but its Last-Modified
    // is older than the copies, so no body is read.
    EXPECT_EQ(server.Log().size(), 6u);
    EXPECT_EQ(server.Count("GET /b.png"), 2);
    EXPECT_EQ(site.m_bytesTotal.load(), 0);
    EXPECT_GT(site.GetStartFileTime(), firstStart);
    for (const char* file : {"index.htm", "a.htm", "b.png"})
        EXPECT_GE(fs::last_write_time(Stored(site, file)), site.GetStartFileTime()) << file;
    EXPECT_EQ(ReadFileText(Stored(site, "index.htm")),
              "<a href=\"a.htm\">a</a><img src=\"b.png\">");
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), std::string(100, 'i'));
    EXPECT_TRUE(site.GetErrors().empty());
}

// Without exact names too, a folder or file name longer than file systems hold is cut on
// disk and the links lead to it. An update reads the stored page again: a cut name cannot
// be read back as its address, so its link stays as it is and nothing else is asked for.
TEST_F(Crawl, NamesTooLongForTheFileSystemAreCutAndLinksLeadToThem) {
    const std::string longFolder(300, 'f');
    const std::string longFile = std::string(300, 'l') + ".htm";
    server.Add("/index.htm", Html("<a href=\"" + longFolder + "/p.htm\">p</a> <a href=\"" +
                                  longFile + "\">l</a>"));
    server.Add("/" + longFolder + "/p.htm", Html("<a href=\"../index.htm\">up</a>"));
    server.Add("/" + longFile, Html("long file"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    RunToEnd({&site});
    for (const auto& error : site.GetErrors())
        ADD_FAILURE() << error.code << " " << error.address;

    const std::string index = ReadFileText(Stored(site, "index.htm"));
    const auto linkAt = [&](std::size_t from) {
        const auto start = index.find('"', from) + 1;
        return index.substr(start, index.find('"', start) - start);
    };
    const std::string toFolder = linkAt(0);
    const std::string toFile = linkAt(index.find("p</a>"));
    EXPECT_EQ(toFolder.size(), 80 + 13 + 6u) << toFolder;
    EXPECT_TRUE(toFile.ends_with(".htm")) << toFile;
    EXPECT_EQ(ReadFileText(Stored(site, toFolder)), "<a href=\"../index.htm\">up</a>");
    EXPECT_EQ(ReadFileText(Stored(site, toFile)), "long file");

    const std::size_t asked = server.Log().size();
    RunToEnd({&site});
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(ReadFileText(Stored(site, "index.htm")), index);
    const std::vector<std::string> log = server.Log();
    for (auto entry = log.begin() + static_cast<std::ptrdiff_t>(asked); entry != log.end(); ++entry)
        EXPECT_EQ(entry->find('@'), std::string::npos) << *entry;
}

TEST_F(Crawl, AChangedFileIsTransferredAgain) {
    SiteServer::Page image{"new", "image/png"};
    image.headers.emplace("Last-Modified", "Fri, 01 Jan 2100 00:00:00 GMT");
    server.Add("/b.png", image);
    server.Start();
    CSite& site = MakeSite("Alpha", "/b.png");
    fs::create_directories(Stored(site, ""));
    std::ofstream(Stored(site, "b.png")) << "old";
    RunToEnd({&site});
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), "new");
}

TEST_F(Crawl, ARedirectIsStoredAsAStubAndItsTargetIsMirrored) {
    AddRedirect("/old.htm", "/new.htm");
    server.Add("/new.htm", Html("new"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/old.htm");
    RunToEnd({&site});

    const std::string target = (dir.path() / "Alpha" / "127.0.0.1" / "new.htm").string();
    EXPECT_EQ(ReadFileText(Stored(site, "old.htm")),
              "<html>\r\n<head>\r\n<meta http-equiv=Refresh content=\"1;url=file://" + target +
                  "\">\r\n</head>\r\n<body>\r\nRedirecting...\r\n</body>\r\n</html>\r\n");
    EXPECT_EQ(ReadFileText(Stored(site, "new.htm")), "new");
    for (const auto& error : site.GetErrors())
        ADD_FAILURE() << error.code << " " << error.address;
}

TEST_F(Crawl, ALowerCaseLocationHeaderIsAFailure) {
    SiteServer::Page moved{"", "text/html", 301};
    moved.headers.emplace("location", "/new.htm");
    server.Add("/old.htm", moved);
    server.Add("/new.htm", Html("new"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/old.htm");
    RunToEnd({&site});
    EXPECT_EQ(server.Count("GET /new.htm"), 0);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, 301);
}

TEST_F(Crawl, AProbeAnsweredWith403IsNeverAskedWithGetAndIsListedAfterOneTry) {
    SiteServer::Page page = Html("body");
    page.headStatus = 403;
    server.Add("/index.htm", page);
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_headProbe = true;
    site.m_retries = 3;
    RunToEnd({&site});
    EXPECT_EQ(server.Count("HEAD /index.htm"), 1);
    EXPECT_EQ(server.Count("GET /index.htm"), 0);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, 403);
}

TEST_F(Crawl, FilesOutsideTheSizeLimitsAreNeitherStoredNorErrors) {
    server.Add("/index.htm",
               Html("<img src=\"big.png\"><img src=\"small.png\"><img src=\"ok.png\">"));
    server.Add("/big.png", SiteServer::Page{std::string(500, 'b'), "image/png"});
    server.Add("/small.png", SiteServer::Page{std::string(5, 's'), "image/png"});
    server.Add("/ok.png", SiteServer::Page{std::string(50, 'o'), "image/png"});
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_useSizes = true;
    site.m_fileMin = 10;
    site.m_fileMax = 100;
    RunToEnd({&site});
    EXPECT_TRUE(fs::exists(Stored(site, "ok.png")));
    EXPECT_FALSE(fs::exists(Stored(site, "big.png")));
    EXPECT_FALSE(fs::exists(Stored(site, "small.png")));
    EXPECT_TRUE(site.GetErrors().empty());
    // The size rules skipped them.
    EXPECT_EQ(site.Changes().Tally().skipped, 2);

    // A maximum of 0 sets no upper bound; the minimum still holds.
    site.m_fileMax = 0;
    site.m_downloadChanges = false;
    RunToEnd({&site});
    EXPECT_TRUE(fs::exists(Stored(site, "index.htm")));
    EXPECT_TRUE(fs::exists(Stored(site, "ok.png")));
    EXPECT_TRUE(fs::exists(Stored(site, "big.png")));
    EXPECT_FALSE(fs::exists(Stored(site, "small.png")));
}

TEST_F(Crawl, AFreshCrawlErasesTheStoredCopyFirst) {
    server.Add("/index.htm", Html("x"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_downloadChanges = false;
    fs::create_directories(Stored(site, "gone"));
    std::ofstream(Stored(site, "gone/stale.htm")) << "stale";
    RunToEnd({&site});
    EXPECT_FALSE(fs::exists(Stored(site, "gone")));
    const std::string log = site.GetLog();
    const auto erasing = log.find("Erasing existing content...");
    ASSERT_NE(erasing, std::string::npos);
    EXPECT_LT(erasing, log.find("Started"));
}

TEST_F(Crawl, SitesRunOneAfterTheOtherInTheOrderTheyWereStarted) {
    server.Add("/a.htm", Html("a"));
    server.Add("/b.htm", Html("b"));
    server.Start();
    CSite& first = MakeSite("First", "/a.htm");
    CSite& second = MakeSite("Second", "/b.htm");
    RunToEnd({&first, &second, &first}); // the repeated start is ignored

    std::vector<std::pair<unsigned, CSite*>> statusList;
    ui.Get([&] {
        for (const auto& view : ui.views) {
            if (view.view == 'S')
                statusList.emplace_back(view.message, view.site);
            // The views show the site's end state when told it finished.
            if (view.message == WM_SITE_FINISHED)
                EXPECT_EQ(view.state, kSiteDone) << view.view;
        }
        EXPECT_EQ(ui.sitesProgress, std::make_pair(2, 2));
        return 0;
    });
    EXPECT_EQ(statusList, (std::vector<std::pair<unsigned, CSite*>>{{WM_SITE_STARTED, &first},
                                                                    {WM_SITE_FINISHED, &first},
                                                                    {WM_SITE_STARTED, &second},
                                                                    {WM_SITE_FINISHED, &second}}));
    EXPECT_EQ(first.m_state, kSiteDone);
    EXPECT_EQ(second.m_state, kSiteDone);
    EXPECT_EQ(server.Count("GET /a.htm"), 1);
}

TEST_F(Crawl, TheMakersOwnDomainIsNeverCrawled) {
    server.Start();
    CSite& site = MakeSite("Maker", "/");
    site.m_url = "http://www.TOLVANE.com/";
    CSite& other = MakeSite("Other", "/none.htm");
    RunToEnd({&site, &other});
    EXPECT_EQ(site.m_state, kSiteReady);
    EXPECT_EQ(other.m_state, kSiteFailed); // it ran; its only page is missing
}

TEST_F(Crawl, PauseLetsTheRunningFetchEndAndHandsOutNothingUntilResumed) {
    server.Add("/index.htm", Html("<a href=\"a.htm\">a</a><a href=\"b.htm\">b</a>"));
    server.Add("/a.htm", Html("a"));
    server.Add("/b.htm", Html("b"));
    server.Hold("/a.htm");
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm", 1);
    StartController();
    controller->Post(WM_START_SITE, Param(site));
    ASSERT_TRUE(server.WaitFor("GET /a.htm"));

    controller->Post(WM_PAUSE_RESUME);
    ASSERT_TRUE(ui.WaitUntil([&] { return ui.states.back() == kControllerPaused; }));
    const int progressCalls = ui.Get([&] { return ui.filesProgressCalls; });
    server.Open("/a.htm");
    // The worker ends a.htm; the controller takes its answer and hands out nothing.
    ASSERT_TRUE(ui.WaitUntil([&] { return ui.filesProgressCalls > progressCalls; }));
    server.Note("resumed");
    controller->Post(WM_PAUSE_RESUME);
    ASSERT_TRUE(ui.WaitForRunsEnded(1));

    const auto log = server.Log();
    const auto resumed = std::find(log.begin(), log.end(), "resumed");
    const auto b = std::find(log.begin(), log.end(), "GET /b.htm");
    ASSERT_NE(b, log.end());
    EXPECT_LT(resumed, b);
    EXPECT_TRUE(fs::exists(Stored(site, "a.htm")));
    EXPECT_EQ(site.m_state, kSiteDone);
}

TEST_F(Crawl, StoppingAbortsTheCurrentSiteAndTakesAQueuedOneOut) {
    server.Add("/index.htm", Html("held"));
    server.Add("/b.htm", Html("b"));
    server.Add("/c.htm", Html("c"));
    server.Hold("/index.htm");
    server.Start();
    CSite& current = MakeSite("Current", "/index.htm");
    CSite& queued = MakeSite("Queued", "/b.htm");
    CSite& next = MakeSite("Next", "/c.htm");
    StartController();
    controller->Post(WM_START_SITE, Param(current));
    controller->Post(WM_START_SITE, Param(queued));
    controller->Post(WM_START_SITE, Param(next));
    ASSERT_TRUE(server.WaitFor("GET /index.htm"));

    controller->Post(WM_STOP_SITE, Param(queued));
    controller->Post(WM_STOP_SITE, Param(current));
    ASSERT_TRUE(ui.WaitForRunsEnded(1));
    EXPECT_EQ(current.m_state, kSiteAborted);
    EXPECT_EQ(queued.m_state, kSiteReady);
    EXPECT_EQ(next.m_state, kSiteDone);
    EXPECT_EQ(server.Count("GET /b.htm"), 0);
    EXPECT_FALSE(fs::exists(Stored(current, "index.htm")));
    EXPECT_TRUE(current.GetErrors().empty());
    ui.Get([&] {
        EXPECT_NE(std::find(ui.statusTexts.begin(), ui.statusTexts.end(), "Stopped Current"),
                  ui.statusTexts.end());
        EXPECT_EQ(ui.sitesProgress, std::make_pair(3, 3));
        return 0;
    });
}

TEST_F(Crawl, AStartRequestForTheRunningSiteIsIgnored) {
    server.Add("/index.htm", Html("<img src=\"a.png\">"));
    server.Add("/a.png", SiteServer::Page{"a", "image/png"});
    server.Hold("/a.png");
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    StartController();
    controller->Post(WM_START_SITE, Param(site));
    ASSERT_TRUE(server.WaitFor("GET /a.png"));
    controller->Post(WM_START_SITE, Param(site));
    server.Note("started again");
    server.Open("/a.png");
    ASSERT_TRUE(ui.WaitForRunsEnded(1));
    EXPECT_EQ(server.Count("GET /index.htm"), 1);
    EXPECT_TRUE(fs::exists(Stored(site, "a.png")));
    EXPECT_EQ(site.m_state, kSiteDone);
}

TEST_F(Crawl, TheSpaceLimitStopsTheCrawlAndTheLogSaysSo) {
    server.Add("/index.htm", Html("<img src=\"a.png\"><a href=\"b.htm\">b</a>"));
    server.Add("/a.png", SiteServer::Page{std::string(5000, 'a'), "image/png"});
    server.Add("/b.htm", Html("<a href=\"c.htm\">c</a>"));
    server.Add("/c.htm", Html("c"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm", 1);
    site.m_useSpace = true;
    site.m_spaceMax = 1000;
    RunToEnd({&site});
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_NE(site.GetLog().find("space limit"), std::string::npos);
    EXPECT_EQ(server.Count("GET /c.htm"), 0);
}

TEST_F(Crawl, TheTimeLimitStopsACrawlThatWaitsOnASlowServer) {
    std::atomic<std::int64_t> offset{0};
    SetClockForTesting(
        [&offset] { return static_cast<std::int64_t>(std::time(nullptr)) + offset.load(); });
    server.Add("/index.htm", Html("slow"));
    server.Hold("/index.htm");
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_useTime = true;
    site.m_timeMax = 1;
    StartController();
    controller->Post(WM_START_SITE, Param(site));
    ASSERT_TRUE(server.WaitFor("GET /index.htm"));
    offset = 61;
    ASSERT_TRUE(ui.WaitForRunsEnded(1));
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_NE(site.GetLog().find("time limit of 1 minutes"), std::string::npos);
    controller.reset();
    SetClockForTesting({});
}

// A chain of pages links an address whose file cannot be stored (its name is taken by a
// file) and one that is missing: each is asked for its tries and no more, however many
// pages name it after it failed.
TEST_F(Crawl, AnAddressRuleLeavesOutTheAddressesItsPatternMatchesInTheirQuery) {
    server.Add("/index.htm",
               Html("<a href=\"l.php?p=1&action=edit\">edit</a> <a href=\"l.php?p=2\">two</a>"));
    server.Add("/l.php", Html("<p>l</p>"));
    server.Start();
    CSite& site = MakeSite("Wiki", "/index.htm");
    site.m_useUrls = true;
    site.m_urls = "*action=edit*=1";
    RunToEnd({&site});

    // Both addresses share one local file as long as names leave the query out, so the
    // requests tell which of them was fetched.
    const auto targets = server.Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "GET /l.php?p=2"), 1);
    for (const std::string& target : targets)
        EXPECT_EQ(target.find("action=edit"), std::string::npos) << target;
    EXPECT_EQ(site.OfflineCheck().RefusedCount(LinkRefusal::Excluded), 1u);
    EXPECT_NE(site.GetLog().find("Links left to the server: 1 (address rule 1)"), std::string::npos)
        << site.GetLog();
}

TEST_F(Crawl, AnAddressThatEndedIsNotFetchedAgainInTheSameCrawl) {
    for (int i = 0; i < 6; ++i) {
        server.Add("/p" + std::to_string(i) + ".htm",
                   Html("<a href=f.txt>f</a><a href=f.txt/e.htm>e</a><a href=gone.htm>g</a>"
                        "<a href=p" +
                        std::to_string(i + 1) + ".htm>next</a>"));
    }
    server.Add("/f.txt/e.htm", Html("e"));
    server.Add("/f.txt", SiteServer::Page{"f", "text/plain"});
    server.Start();
    CSite& site = MakeSite("Alpha", "/p0.htm", 1);
    RunToEnd({&site});

    // f.txt is stored first; then f.txt/e.htm cannot be: one try, one error, as asking
    // again would not help; nor would asking again for a 404.
    EXPECT_EQ(server.Count("GET /f.txt"), 1);
    EXPECT_EQ(server.Count("GET /f.txt/e.htm"), 1);
    EXPECT_EQ(server.Count("GET /gone.htm"), 1);
    EXPECT_EQ(server.Count("GET /p6.htm"), 1);
    EXPECT_EQ(site.GetErrors().size(), 3u);
}

TEST_F(Crawl, EightWorkersTryAFailingAddressNoMoreOftenThanOneAndListItOnce) {
    // Every page links to the same failing file again and again, so workers meet it while
    // it is being tried and given back between tries.
    std::string links;
    for (int i = 0; i < 500; ++i)
        links += "<a href=gone.htm>g</a>";
    std::string index;
    for (int i = 0; i < 80; ++i) {
        const std::string page = "p" + std::to_string(i) + ".htm";
        index += "<a href=" + page + ">p</a>";
        server.Add("/" + page, Html(links + "<a href=index.htm>i</a>"));
    }
    server.Add("/index.htm", Html(index + "<a href=gone.htm>g</a>"));
    server.Add("/gone.htm", SiteServer::Page{"down", "text/html", 500});
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm", 8);
    site.m_retries = 3;
    for (const int run : {1, 2}) { // a copy, then an update
        RunToEnd({&site});
        EXPECT_EQ(server.Count("GET /gone.htm"), 3 * run);
        const auto errors = site.GetErrors();
        ASSERT_EQ(errors.size(), 1u) << "run " << run;
        EXPECT_EQ(errors[0].address, server.Url("/gone.htm"));
    }
}

TEST_F(Crawl, ARedirectToAnAddressWithoutALocalFileForwardsToTheWebNotTheDisk) {
    AddRedirect("/old.htm", "http://../../../tmp/x.htm");
    server.Start();
    for (const bool requisites : {false, true}) {
        CSite& site = MakeSite(requisites ? "New" : "Old", "/old.htm");
        site.m_pageRequisites = requisites;
        RunToEnd({&site});
        const std::string stub = ReadFileText(Stored(site, "old.htm"));
        EXPECT_EQ(stub.find("file:"), std::string::npos) << stub;
        EXPECT_NE(stub.find("url=http://"), std::string::npos) << stub;
    }
}

// A redirect off the web is kept as a page that only shows where it led: opening the copy
// must never open a local file or run a script, whichever way the site names its files.
TEST_F(Crawl, ARedirectOffTheWebIsStoredAsTextThatLeadsNowhere) {
    const std::vector<std::pair<std::string, std::string>> shownTargets = {
        {"file:///etc/passwd", "file:///etc/passwd"},
        {"FILE:///etc/passwd", "FILE:///etc/passwd"},
        {"javascript:alert(\"a&b\")", "javascript:alert(&quot;a&amp;b&quot;)"},
        {"data:text/html,<script>alert('x')</script>",
         "data:text/html,&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"ftp://127.0.0.1/x", "ftp://127.0.0.1/x"},
        {"\x0Bjavascript:alert(1)", "%0Bjavascript:alert(1)"},
    };
    std::string links;
    for (std::size_t i = 0; i < shownTargets.size(); ++i) {
        const std::string path = "/r" + std::to_string(i) + ".htm";
        AddRedirect(path, shownTargets[i].first);
        links += "<a href=" + path.substr(1) + ">r</a> ";
    }
    server.Add("/index.htm", Html(links));
    server.Start();
    for (const char* kind : {"classic", "requisites", "exact"}) {
        CSite& site = MakeSite(kind, "/index.htm");
        site.m_pageRequisites = std::string(kind) == "requisites";
        site.m_exactNames = std::string(kind) == "exact";
        RunToEnd({&site});
        for (const auto& error : site.GetErrors())
            ADD_FAILURE() << kind << ": " << error.code << " " << error.address << " "
                          << error.reason;
        for (std::size_t i = 0; i < shownTargets.size(); ++i) {
            const std::string stub = ReadFileText(Stored(site, "r" + std::to_string(i) + ".htm"));
            std::string lower;
            std::transform(stub.begin(), stub.end(), std::back_inserter(lower),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            EXPECT_NE(stub.find("<code>" + shownTargets[i].second + "</code>"), std::string::npos)
                << kind << ": " << stub;
            for (const char* opener : {"<meta", "<script", "href", "src=", "url="})
                EXPECT_EQ(lower.find(opener), std::string::npos) << kind << ": " << stub;
        }
    }
}

// A sites folder below a regular file: the crawl stops before its first request, with
// the reason in the log, the status bar and the message box.
TEST_F(Crawl, AnUnwritableSitesFolderStopsTheCrawlBeforeAnyRequest) {
    server.Add("/index.htm", Html("<a href=a.htm>a</a>"));
    server.Start();
    std::ofstream(dir.path() / "file") << "x";
    g_strSitesDir.Set((dir.path() / "file" / "Sites").string());
    CSite& site = MakeSite("Alpha", "/index.htm");
    CSite& next = MakeSite("Beta", "/index.htm");
    RunToEnd({&site, &next});

    EXPECT_TRUE(server.Log().empty());
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_EQ(next.m_state, kSiteAborted);
    const std::string reason =
        "Cannot write to " + (dir.path() / "file" / "Sites" / "Alpha").string() + ": ";
    EXPECT_TRUE(site.StopReason().starts_with(reason)) << site.StopReason();
    EXPECT_GT(site.StopReason().size(), reason.size());
    EXPECT_NE(site.GetLog().find(site.StopReason()), std::string::npos);
    ui.Get([&] {
        EXPECT_NE(std::find(ui.statusTexts.begin(), ui.statusTexts.end(), site.StopReason()),
                  ui.statusTexts.end());
        EXPECT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages.at(0), site.StopReason());
        return 0;
    });
}

// A project file may hold a site without a name: it would have no folder for its files.
TEST_F(Crawl, ASiteWithoutANameFailsToStartAndSaysWhy) {
    server.Add("/index.htm", Html("a"));
    server.Start();
    CSite& site = MakeSite("", "/index.htm");
    RunToEnd({&site});

    EXPECT_TRUE(server.Log().empty());
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_EQ(site.StopReason(), "Cannot store the site: it has no name");
    EXPECT_NE(site.GetLog().find(site.StopReason()), std::string::npos);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].address, server.Url("/index.htm"));
    EXPECT_EQ(errors[0].code, kErrorNotStored);
}

// What a killed crawl left: the marker of a crawl that never finished, and temporary
// files of the writes it was making. The next crawl removes them and nothing else.
TEST_F(Crawl, TheTemporaryFilesOfAKilledCrawlAreRemovedByTheNextOne) {
    server.Add("/index.htm", Html("<a href=a.htm>a</a>"));
    server.Add("/a.htm", Html("a"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    const fs::path folder = dir.path() / "Alpha";
    fs::create_directories(folder / "127.0.0.1" / "sub");
    for (const fs::path& file : {folder / ".quarn-crawling", folder / "127.0.0.1" / ".quarn-3.part",
                                 folder / "127.0.0.1" / "sub" / ".quarn-17.part",
                                 folder / "127.0.0.1" / "sub" / "notes.part"})
        std::ofstream(file) << "x";
    RunToEnd({&site});

    EXPECT_FALSE(fs::exists(folder / "127.0.0.1" / ".quarn-3.part"));
    EXPECT_FALSE(fs::exists(folder / "127.0.0.1" / "sub" / ".quarn-17.part"));
    EXPECT_TRUE(fs::exists(folder / "127.0.0.1" / "sub" / "notes.part"));
    EXPECT_FALSE(fs::exists(folder / ".quarn-crawling")) << "the crawl finished";
    EXPECT_EQ(ReadFileText(Stored(site, "a.htm")), "a");

    // Without the marker, a crawl does not look for them.
    std::ofstream(folder / "127.0.0.1" / ".quarn-4.part") << "x";
    RunToEnd({&site});
    EXPECT_TRUE(fs::exists(folder / "127.0.0.1" / ".quarn-4.part"));
}

// The site's folder replaced by a file in the middle of a crawl: the next save stops
// everything with the reason, instead of failing file after file.
TEST_F(Crawl, ASiteFolderLostMidCrawlStopsTheCrawlWithTheReason) {
    server.Add("/index.htm", Html("<img src=b.png><a href=c.htm>c</a>"));
    server.Add("/b.png", SiteServer::Page{"b", "image/png"});
    server.Add("/c.htm", Html("c"));
    server.Hold("/b.png");
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm", 1);
    StartController();
    controller->Post(WM_START_SITE, Param(site));
    ASSERT_TRUE(server.WaitFor("GET /b.png"));
    const fs::path folder = dir.path() / "Alpha";
    fs::rename(folder, dir.path() / "Gone");
    std::ofstream(folder) << "not a folder";
    server.Open("/b.png");
    ASSERT_TRUE(ui.WaitForRunsEnded(1));

    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_EQ(server.Count("GET /c.htm"), 0);
    ui.Get([&] {
        EXPECT_EQ(ui.messages.size(), 1u);
        if (!ui.messages.empty()) {
            EXPECT_TRUE(ui.messages[0].starts_with("Cannot write to " + folder.string() + ": "))
                << ui.messages[0];
        }
        return 0;
    });
}
