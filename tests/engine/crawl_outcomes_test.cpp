// What a crawl reports of itself: which failures it asks about again, what it counts as
// stored, changed or failed, and what it leaves on the disk when an answer brings
// nothing new.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"
#include "support/site_server.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> ErrorAddresses(const CSite& site) {
    std::vector<std::string> addresses;
    for (const auto& error : site.GetErrors())
        addresses.push_back(error.address + " " + std::to_string(error.code));
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}
} // namespace

// A 404 or a 501 is the server's last word: asked once a crawl. A 500 may pass: it is
// asked up to the retries. Only the stored page counts among the files.
TEST_F(Crawl, APermanentAnswerIsAskedOnceACrawlAndAPassingOneUpToTheRetries) {
    server.Add("/index.htm", Html("<a href=gone.htm>g</a><a href=flaky.htm>f</a>"
                                  "<a href=unknown.htm>u</a><a href=teapot.htm>t</a>"));
    server.Add("/flaky.htm", SiteServer::Page{"down", "text/html", 500});
    server.Add("/unknown.htm", SiteServer::Page{"no", "text/html", 501});
    server.Add("/teapot.htm", SiteServer::Page{"no", "text/html", 418});
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm", 4);
    site.m_retries = 3;
    for (const int run : {1, 2}) { // a copy, then an update
        RunToEnd({&site});
        EXPECT_EQ(server.Count("GET /gone.htm"), run);
        EXPECT_EQ(server.Count("GET /unknown.htm"), run);
        EXPECT_EQ(server.Count("GET /teapot.htm"), run);
        EXPECT_EQ(server.Count("GET /flaky.htm"), 3 * run);
        EXPECT_EQ(ErrorAddresses(site),
                  (std::vector<std::string>{
                      server.Url("/flaky.htm") + " 500", server.Url("/gone.htm") + " 404",
                      server.Url("/teapot.htm") + " 418", server.Url("/unknown.htm") + " 501"}));
        EXPECT_EQ(site.m_filesTotal.load(), 1) << "run " << run;
        EXPECT_EQ(site.m_errorsTotal.load(), 4) << "run " << run;
    }
}

// A server that sends neither a date nor a tag is asked for the whole file on an update;
// when the bytes are those of the copy, the file is not touched and counts as unchanged.
TEST_F(Crawl, AnAnswerThatEqualsTheCopyLeavesTheFileAndItsTimeAsTheyWere) {
    server.Add("/index.htm", SiteServer::Page{"<img src=pic.png>", "text/html"});
    server.Add("/pic.png", SiteServer::Page{std::string(70000, 'p'), "image/png"});
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    RunToEnd({&site});
    ASSERT_EQ(ReadFileText(Stored(site, "pic.png")), std::string(70000, 'p'));
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    for (const char* file : {"index.htm", "pic.png"})
        fs::last_write_time(Stored(site, file), longAgo);

    RunToEnd({&site});
    EXPECT_EQ(server.Count("GET /pic.png"), 2);
    const CChangeTally same = site.Changes().Tally();
    EXPECT_EQ(same.unchanged, 2);
    EXPECT_EQ(same.changed, 0);
    for (const char* file : {"index.htm", "pic.png"})
        EXPECT_EQ(fs::last_write_time(Stored(site, file)), longAgo) << file;
    EXPECT_EQ(site.m_filesTotal.load(), 2);

    // One byte more is a change.
    server.Add("/pic.png", SiteServer::Page{std::string(70000, 'p') + "q", "image/png"});
    RunToEnd({&site});
    EXPECT_EQ(site.Changes().Tally().changed, 1);
    EXPECT_EQ(site.Changes().Tally().unchanged, 1);
    EXPECT_EQ(ReadFileText(Stored(site, "pic.png")), std::string(70000, 'p') + "q");
}

// A file that cannot be saved is an error with its reason, asked about once.
TEST_F(Crawl, AFileThatCannotBeSavedIsAnErrorWithItsReason) {
    server.Add("/index.htm", Html("<img src=pic.png><a href=a.htm>a</a>"));
    server.Add("/pic.png", SiteServer::Page{"png", "image/png"});
    server.Add("/a.htm", Html("a"));
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    site.m_retries = 3;
    // A folder where the file would go.
    fs::create_directories(Stored(site, "pic.png") / "in-the-way");
    RunToEnd({&site});
    EXPECT_EQ(server.Count("GET /pic.png"), 1);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].address, server.Url("/pic.png"));
    EXPECT_TRUE(errors[0].reason.starts_with("Could not save the file")) << errors[0].reason;
    EXPECT_EQ(site.m_errorsTotal.load(), 1);
    EXPECT_EQ(site.m_filesTotal.load(), 2);
    EXPECT_EQ(site.Changes().Tally().failed, 1);
}
