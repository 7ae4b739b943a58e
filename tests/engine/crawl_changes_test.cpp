// What a crawl reports of itself: the line that ends its log, the list of the files it
// stored new or changed, and why each failed address failed.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "model/crawl_changes.h"
#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"
#include "support/test_server.h"

namespace {

// The log's last line before "Finished" that names the files.
std::string ChangesLine(const CSite& site) {
    const std::string log = site.GetLog();
    const auto start = log.rfind("   Files: ");
    if (start == std::string::npos)
        return {};
    return log.substr(start + 3, log.find('\r', start) - start - 3);
}

using Listed = std::tuple<std::string, std::string, std::string>; // status, url, local path

std::set<Listed> ListOf(const CSite& site) {
    std::set<Listed> listed;
    const auto file = site.Changes().ListFile();
    EXPECT_FALSE(file.empty());
    EXPECT_TRUE(ReadChangeList(file, [&](CListedChange&& entry) {
        listed.emplace(std::string(FileChangeWord(entry.change)), entry.url, entry.localPath);
    }));
    return listed;
}

} // namespace

TEST_F(Crawl, ACrawlEndsWithWhatItChangedAndListsTheNewChangedAndFailedFiles) {
    server.HonourConditions();
    server.Add("/index.htm",
               Html("<a href=a.htm>a</a><img src=b.png><a href=missing.htm>m</a>"
                    "<a href=old.htm>o</a><a href=\"http://external.invalid/x.htm\">x</a>"));
    // The refused link on a second page is the same address: it counts once.
    server.Add("/a.htm", Html("<a href=\"http://external.invalid/x.htm\">x</a>"));
    SiteServer::Page image{"first", "image/png"};
    image.headers.emplace("Last-Modified", kOldDate);
    server.Add("/b.png", image);
    AddRedirect("/old.htm", "/a.htm");
    server.Start();
    CSite& site = MakeSite("Alpha", "/index.htm");
    const auto local = [&](const char* file) { return Stored(site, file).string(); };

    RunToEnd({&site});
    EXPECT_EQ(ChangesLine(site), "Files: 4 new, 0 changed, 0 unchanged, 1 failed, 1 skipped by rules");
    EXPECT_TRUE(site.GetLog().ends_with("   Finished"));
    EXPECT_EQ(ListOf(site),
              (std::set<Listed>{{"new", server.Url("/index.htm"), local("index.htm")},
                                {"new", server.Url("/a.htm"), local("a.htm")},
                                {"new", server.Url("/b.png"), local("b.png")},
                                {"new", server.Url("/old.htm"), local("old.htm")},
                                {"failed", server.Url("/missing.htm"), local("missing.htm")}}));
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(ErrorDescription(errors[0]), "Not Found");

    // Only the image is newer on the server; the pages answer 304, the redirect is the same.
    server.Edit("/b.png").body = "second";
    server.Edit("/b.png").headers.find("Last-Modified")->second = "Fri, 01 Jan 2100 00:00:00 GMT";
    RunToEnd({&site});
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), "second");
    EXPECT_EQ(ChangesLine(site), "Files: 0 new, 1 changed, 3 unchanged, 1 failed, 1 skipped by rules");
    EXPECT_EQ(ListOf(site),
              (std::set<Listed>{{"changed", server.Url("/b.png"), local("b.png")},
                                {"failed", server.Url("/missing.htm"), local("missing.htm")}}));
}

TEST_F(Crawl, AnAddressWhoseServerRefusesTheConnectionFailsWithTheReasonInWords) {
    int deadPort = 0;
    {
        TestServer gone;
        gone.Start();
        deadPort = gone.port();
    } // nothing listens there now
    server.Start();
    CSite& site = MakeSite("Alpha", "/");
    site.m_url = "http://127.0.0.1:" + std::to_string(deadPort) + "/start.htm";
    site.m_retries = 1;
    RunToEnd({&site});

    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, -7);
    EXPECT_EQ(ErrorDescription(errors[0]), "Could not connect to the server");
    EXPECT_EQ(ChangesLine(site), "Files: 0 new, 0 changed, 0 unchanged, 1 failed, 0 skipped by rules");
}
