// What crosses the network: one GET per file on a first copy, conditional GETs on an
// update, the HEAD probe as a setting, servers that refuse HEAD, compressed answers, and
// connections kept across files.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/copy_records.h"
#include "model/site.h"
#include "support/codings.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"

namespace fs = std::filesystem;
using codings::Brotli;
using codings::Gzip;
using codings::Verbose;

namespace {

// Later than any copy a test stores: the file changed after it was copied.
constexpr const char* kNewDate = "Fri, 01 Jan 2100 00:00:00 GMT";

SiteServer::Page File(std::string body, std::string type, std::string etag = {}) {
    SiteServer::Page page{std::move(body), std::move(type)};
    page.headers.emplace("Last-Modified", kOldDate);
    if (!etag.empty())
        page.headers.emplace("ETag", etag);
    return page;
}

std::size_t Requests(const SiteServer& server, const std::string& verb) {
    const auto log = server.Log();
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [&](const std::string& entry) { return entry.starts_with(verb); }));
}

class Transfers : public Crawl {
protected:
    // A page linking a second page, two images and a style sheet; every file has an ETag,
    // and one image has no Last-Modified.
    void AddSmallSite() {
        server.Add("/index.htm", File("<a href=a.htm>a</a><img src=b.png><img src=d.png>"
                                      "<link rel=stylesheet href=c.css>",
                                      "text/html", "\"i1\""));
        server.Add("/a.htm", File("<a href=index.htm>back</a>", "text/html", "\"a1\""));
        server.Add("/b.png", File(std::string(5000, 'p'), "image/png", "\"b1\""));
        server.Add("/c.css", File("body { color: red }", "text/css", "\"c1\""));
        SiteServer::Page tagged{std::string(5000, 'd'), "image/png"};
        tagged.headers.emplace("ETag", "\"d1\"");
        server.Add("/d.png", tagged);
    }
    CSite& OneWorkerSite() {
        CSite& site = MakeSite("Mirror", "/index.htm", 1);
        site.m_retries = 1;
        return site;
    }
};

} // namespace

TEST_F(Transfers, AFirstCopyAsksOnceForEveryFileOverOneConnection) {
    AddSmallSite();
    server.Start();
    CSite& site = OneWorkerSite();
    site.m_pageRequisites = true;
    RunToEnd({&site});

    EXPECT_EQ(Requests(server, "HEAD"), 0u);
    for (const char* path : {"/index.htm", "/a.htm", "/b.png", "/c.css", "/d.png"})
        EXPECT_EQ(server.Count(std::string("GET ") + path), 1) << path;
    EXPECT_EQ(server.Log().size(), 5u);
    EXPECT_EQ(server.Connections(), 1u);
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), std::string(5000, 'p'));
    EXPECT_EQ(ReadFileText(Stored(site, "c.css")), "body { color: red }");
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_TRUE(fs::exists(dir.path() / "Mirror" / kCopyRecordsFile));
}

// An update sends one conditional GET per file: unchanged files answer 304 and keep their
// copies, a changed one is stored again, pages are rescanned from the copy.
TEST_F(Transfers, AnUpdateAsksConditionallyAndStoresOnlyWhatChanged) {
    AddSmallSite();
    server.HonourConditions();
    server.Start();
    CSite& site = OneWorkerSite();
    site.m_pageRequisites = true;
    RunToEnd({&site});
    const std::string page = ReadFileText(Stored(site, "index.htm"));
    // Neither date would let a server that compares exactly answer 304 without the
    // records: the update must send what the first copy's answers said, the date or, where
    // there is none, the tag.
    server.Edit("/c.css").body = "body { color: blue }";
    server.Edit("/c.css").headers = {{"Last-Modified", kNewDate}, {"ETag", "\"c2\""}};
    const std::size_t before = server.Log().size();
    RunToEnd({&site});

    EXPECT_EQ(Requests(server, "HEAD"), 0u);
    EXPECT_EQ(server.Log().size() - before, 5u);
    EXPECT_EQ(ReadFileText(Stored(site, "c.css")), "body { color: blue }");
    EXPECT_EQ(ReadFileText(Stored(site, "index.htm")), page);
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), std::string(5000, 'p'));
    // Every file was stored or confirmed in this crawl.
    for (const char* path : {"index.htm", "a.htm", "b.png", "c.css"})
        EXPECT_GE(fs::last_write_time(Stored(site, path)), site.GetStartFileTime()) << path;
    EXPECT_TRUE(site.GetErrors().empty());
    // A 304 brings no body: only the changed style sheet crossed the network, not the
    // images' 5000 bytes.
    EXPECT_GT(site.m_bytesTotal.load(), 0);
    EXPECT_LT(site.m_bytesTotal.load(), 100);
}

// Without records (a copy made before they were kept) and against a server that ignores
// conditions, a copy newer than the server's Last-Modified is kept, as the probe kept it.
TEST_F(Transfers, ACopyWithoutRecordsIsKeptWhenTheServerIgnoresConditions) {
    AddSmallSite();
    server.Start();
    CSite& site = OneWorkerSite();
    RunToEnd({&site});
    fs::remove(dir.path() / "Mirror" / kCopyRecordsFile);
    std::ofstream(Stored(site, "b.png"), std::ios::trunc) << "kept";
    server.Edit("/a.htm").body = "<a href=b.png>new</a>";
    server.Edit("/a.htm").headers = {{"Last-Modified", kNewDate}};
    RunToEnd({&site});

    EXPECT_EQ(Requests(server, "HEAD"), 0u);
    EXPECT_EQ(ReadFileText(Stored(site, "b.png")), "kept");
    EXPECT_EQ(ReadFileText(Stored(site, "a.htm")), "<a href=b.png>new</a>");
    EXPECT_TRUE(site.GetErrors().empty());
}

TEST_F(Transfers, TheHeadProbeAsksHeadFirstAndTransfersOnlyWhatIsNewer) {
    AddSmallSite();
    server.Start();
    CSite& site = OneWorkerSite();
    site.m_headProbe = true;
    RunToEnd({&site});
    EXPECT_EQ(Requests(server, "HEAD"), 5u);
    EXPECT_EQ(Requests(server, "GET"), 5u);
    const std::size_t before = server.Log().size();
    RunToEnd({&site});
    // The copies are newer than the server's files, or it gives no date: HEAD alone.
    EXPECT_EQ(server.Log().size() - before, 5u);
    EXPECT_EQ(Requests(server, "GET"), 5u);
}

// A server that answers HEAD with 405 is asked with GET from then on, probe or not.
class RefusedHead : public Transfers, public ::testing::WithParamInterface<bool> {};

TEST_P(RefusedHead, TheServerIsCopiedCompletely) {
    const bool probe = GetParam();
    for (const char* path : {"/index.htm", "/a.htm", "/b.png", "/c.css"}) {
        const std::string name = path;
        SiteServer::Page page = File(name == "/index.htm" ? "<a href=a.htm>a</a><img src=b.png>"
                                                            "<link rel=stylesheet href=c.css>"
                                                          : "x",
                                     name == "/b.png" ? "image/png" : "text/html");
        page.headStatus = 405;
        server.Add(path, page);
    }
    server.Start();
    CSite& site = OneWorkerSite();
    site.m_headProbe = probe;
    site.m_pageRequisites = true;
    RunToEnd({&site});

    EXPECT_TRUE(site.GetErrors().empty());
    for (const char* path : {"index.htm", "a.htm", "b.png", "c.css"})
        EXPECT_TRUE(fs::exists(Stored(site, path))) << path;
    EXPECT_EQ(Requests(server, "HEAD"), probe ? 1u : 0u);
    EXPECT_EQ(Requests(server, "GET"), 4u);
    EXPECT_EQ(site.GetLog().find("HEAD refused") != std::string::npos, probe);
}
INSTANTIATE_TEST_SUITE_P(Probe, RefusedHead, ::testing::Bool());

TEST_F(Transfers, AFileOutsideTheSizeLimitsIsDroppedAfterItsHeaders) {
    server.Add("/index.htm", File("<img src=big.png><img src=small.png>", "text/html"));
    server.Add("/big.png", File(std::string(4 << 20, 'b'), "image/png"));
    server.Add("/small.png", File(std::string(100, 's'), "image/png"));
    server.Start();
    CSite& site = OneWorkerSite();
    site.m_useSizes = true;
    site.m_fileMin = 1000;
    site.m_fileMax = 1 << 20;
    RunToEnd({&site});

    EXPECT_FALSE(fs::exists(Stored(site, "big.png")));
    EXPECT_FALSE(fs::exists(Stored(site, "small.png")));
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(server.Count("GET /big.png"), 1);
    // The big body was cut off, not read.
    EXPECT_LT(site.m_bytesTotal.load(), 1 << 20);
}

// Compressed answers are stored decoded, and counted as stored. A body that is not what
// its coding says fails and leaves the earlier copy.
TEST_F(Transfers, CompressedAnswersAreStoredDecodedAndCountedAsStored) {
    const std::string text = Verbose(200000);
    const std::string page = "<html><img src=data.bin><img src=data.br><a href=notes.txt>n</a>" +
                             Verbose(100000) + "</html>";
    server.Add("/index.htm", File(page, "text/html")); // the server compresses it itself
    SiteServer::Page gzipped = File(Gzip(text), "application/octet-stream");
    gzipped.headers.emplace("Content-Encoding", "gzip");
    server.Add("/data.bin", gzipped);
    SiteServer::Page brotli = File(Brotli(text + "br"), "application/octet-stream");
    brotli.headers.emplace("Content-Encoding", "br");
    server.Add("/data.br", brotli);
    server.Add("/notes.txt", File(text, "text/plain"));
    server.Start();
    CSite& site = OneWorkerSite();
    RunToEnd({&site});

    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(ReadFileText(Stored(site, "index.htm")), page);
    EXPECT_EQ(ReadFileText(Stored(site, "data.bin")), text);
    EXPECT_EQ(ReadFileText(Stored(site, "data.br")), text + "br");
    EXPECT_EQ(ReadFileText(Stored(site, "notes.txt")), text);
    EXPECT_EQ(site.m_bytesTotal.load(),
              static_cast<std::int64_t>(page.size() + 3 * text.size() + 2));

    fs::remove(dir.path() / "Mirror" / kCopyRecordsFile);
    SiteServer::Page lying = File("plain text, not gzip", "application/octet-stream");
    lying.headers = {{"Last-Modified", kNewDate}, {"Content-Encoding", "gzip"}};
    server.Edit("/data.bin") = lying;
    RunToEnd({&site});

    EXPECT_EQ(ReadFileText(Stored(site, "data.bin")), text);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].address, server.Url("/data.bin"));
    EXPECT_LT(errors[0].code, 0);
}

// A server that asks to be left alone for a while is waited for, not given up: the
// addresses it turned away are asked again later, without using up their tries.
TEST_F(Transfers, ABusyServerIsWaitedForAndCopiedCompletely) {
    AddSmallSite();
    server.BeBusy(3, 429, "1");
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 4);
    site.m_retries = 1;
    const auto start = std::chrono::steady_clock::now();
    RunToEnd({&site});

    EXPECT_TRUE(site.GetErrors().empty());
    for (const char* path : {"index.htm", "a.htm", "b.png", "c.css", "d.png"})
        EXPECT_TRUE(fs::exists(Stored(site, path))) << path;
    EXPECT_NE(site.GetLog().find("Server busy, waiting 1 s"), std::string::npos);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // The start page was turned away three times, a second apart each: nothing was sent
    // while the server was left alone.
    const auto times = server.Times();
    ASSERT_GE(times.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(900)) << i;

    // Without Retry-After it backs off from a second; a 503 is busy too.
    server.BeBusy(1, 503, "");
    site.m_downloadChanges = false;
    RunToEnd({&site});
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_TRUE(fs::exists(Stored(site, "d.png")));
    EXPECT_NE(site.GetLog().find("Server busy, waiting 1 s"), std::string::npos);
}

// A site that obeys robots.txt reads it once, fetches nothing it disallows, links what it
// disallows as an absolute address, and keeps the Crawl-delay between requests.
TEST_F(Transfers, RobotsTxtIsReadOnceAndObeyed) {
    server.Add(
        "/robots.txt",
        SiteServer::Page{"User-agent: *\nDisallow: /private/\nCrawl-delay: 1\n", "text/plain"});
    server.Add("/index.htm", File("<a href=a.htm>a</a><a href=private/p.htm>p</a>", "text/html"));
    server.Add("/a.htm", File("<a href=private/p.htm>p</a><a href=b.htm>b</a>", "text/html"));
    server.Add("/b.htm", File("b", "text/html"));
    server.Add("/private/p.htm", File("p", "text/html"));
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 4);
    site.m_obeyRobots = true;
    const auto start = std::chrono::steady_clock::now();
    RunToEnd({&site});

    EXPECT_EQ(server.Count("GET /robots.txt"), 1);
    EXPECT_EQ(server.Count("GET /private/p.htm"), 0);
    EXPECT_TRUE(fs::exists(Stored(site, "b.htm")));
    EXPECT_NE(ReadFileText(Stored(site, "index.htm")).find(server.Url("/private/p.htm")),
              std::string::npos);
    EXPECT_NE(site.GetLog().find("Refused by robots.txt: 2 links"), std::string::npos)
        << site.GetLog();
    // Three pages, a second apart.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    site.m_obeyRobots = false;
    site.m_downloadChanges = false;
    RunToEnd({&site});
    EXPECT_EQ(server.Count("GET /robots.txt"), 1);
    EXPECT_EQ(server.Count("GET /private/p.htm"), 1);
}
