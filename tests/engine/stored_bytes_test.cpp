// What a crawl stores is bounded by decoded bytes, not by the bytes on the wire: a
// compressed bomb fails with its reason and leaves the earlier copy as it was, the size
// and space limits count the files as they are written, the figures count what the copy
// keeps, and a page too large to scan is never kept without a note in the log.

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "engine/content_decoder.h"
#include "engine/worker.h"
#include "model/site.h"
#include "support/codings.h"
#include "support/copy_snapshot.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNewDate = "Fri, 01 Jan 2100 00:00:00 GMT";
constexpr std::uint64_t kMegabyte = 1 << 20;

SiteServer::Page Coded(std::string body, const char* contentEncoding,
                       std::string type = "application/octet-stream", const char* date = kOldDate) {
    SiteServer::Page page{std::move(body), std::move(type)};
    page.headers = {{"Content-Encoding", contentEncoding}, {"Last-Modified", date}};
    return page;
}

// The largest file below folder, the program's own and temporary ones included;
// temporary is set when one of them is a temporary file.
std::uintmax_t LargestFile(const fs::path& folder, bool& temporary) {
    std::uintmax_t largest = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        largest = std::max(largest, entry.file_size());
        temporary = temporary || entry.path().extension() == ".part";
    }
    return largest;
}

std::uintmax_t StoredSize(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& [name, bytes] : Snapshot(folder))
        total += bytes.size();
    return total;
}

struct Bomb {
    const char* name;
    const char* contentEncoding;
    const char* type; // in upper case a page type keeps the server from coding it again
    const std::string& (*body)();
};

void PrintTo(const Bomb& bomb, std::ostream* out) {
    *out << bomb.name;
}

const Bomb kBombs[] = {
    {"DoubleGzip", "gzip, gzip", "application/octet-stream", codings::DoubleGzipBomb},
    {"Brotli", "br", "application/octet-stream", codings::BrotliBomb},
    {"Zstd", "zstd", "application/octet-stream", codings::ZstdBomb},
    {"HtmlPage", "gzip, gzip", "Text/Html", codings::DoubleGzipBomb},
};

class Bombs : public Crawl, public ::testing::WithParamInterface<Bomb> {};

} // namespace

TEST_P(Bombs, FailWithTheirReasonAndLeaveTheEarlierCopyAsItWas) {
    const std::string good = codings::Verbose(20000);
    server.Add("/index.htm", Html("<a href=data.bin>d</a> <a href=a.htm>a</a>"));
    server.Add("/a.htm", Html("<a href=index.htm>home</a>"));
    server.Add("/data.bin", Coded(codings::Gzip(good), "gzip", GetParam().type));
    server.HonourConditions();
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 2);
    const fs::path folder = dir.path() / "Mirror";
    RunToEnd({&site});
    ASSERT_TRUE(site.GetErrors().empty());
    ASSERT_EQ(ReadFileText(Stored(site, "data.bin")), good);
    const Files copy = Snapshot(folder);

    server.Edit("/data.bin") =
        Coded(GetParam().body(), GetParam().contentEncoding, GetParam().type, kNewDate);
    RunToEnd({&site});

    EXPECT_TRUE(Snapshot(folder) == copy);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].address, server.Url("/data.bin"));
    EXPECT_EQ(errors[0].code, -CURLE_FILESIZE_EXCEEDED);
    EXPECT_EQ(errors[0].reason, "Answer expands beyond reason");
    EXPECT_EQ(site.m_state.load(), kSiteDone);
    // Not asked again: another try would only bring the same bomb.
    EXPECT_EQ(server.Count("GET /data.bin"), 2);
    // Nothing of the bomb is left, and no more than the floor of it was ever taken in
    // (nobody samples the speed here, so the interval holds every byte that arrived).
    bool temporary = false;
    EXPECT_LT(LargestFile(folder, temporary), kMegabyte);
    EXPECT_FALSE(temporary);
    EXPECT_LE(site.m_bytesInterval.load(), static_cast<std::int64_t>(kExpansionFloorBytes));
    EXPECT_LT(site.m_bytesTotal.load(), static_cast<std::int64_t>(kMegabyte));
}

INSTANTIATE_TEST_SUITE_P(Codings, Bombs, ::testing::ValuesIn(kBombs),
                         [](const auto& info) { return std::string(info.param.name); });

// The size limits hold a file to its decoded size, however small it is on the wire;
// pages escape them, as their links lead the crawl on.
TEST_F(Crawl, SizeLimitsCountDecodedBytes) {
    const std::string page = "<html>" + codings::Verbose(2 * kMegabyte) + "</html>";
    const std::string index = "<a href=big.bin>b</a> <a href=fits.bin>f</a> "
                              "<a href=tiny.bin>t</a> <a href=page.htm>p</a>";
    server.Add("/index.htm", Html(index));
    server.Add("/big.bin", Coded(codings::GzipOfRun(5 * kMegabyte), "gzip"));
    server.Add("/fits.bin", Coded(codings::GzipOfRun(kMegabyte / 2, 'f'), "gzip"));
    server.Add("/tiny.bin", Coded(codings::Gzip(std::string(100, 't')), "gzip"));
    server.Add("/page.htm", Html(page)); // the server compresses it itself
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 1);
    site.m_useSizes = true;
    site.m_fileMin = 1000;
    site.m_fileMax = static_cast<int>(kMegabyte);
    RunToEnd({&site});

    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_FALSE(fs::exists(Stored(site, "big.bin")));
    EXPECT_FALSE(fs::exists(Stored(site, "tiny.bin")));
    EXPECT_EQ(ReadFileText(Stored(site, "fits.bin")), std::string(kMegabyte / 2, 'f'));
    EXPECT_EQ(ReadFileText(Stored(site, "page.htm")), page);
    EXPECT_EQ(site.Changes().Tally().skipped, 2);
    EXPECT_EQ(server.Count("GET /big.bin"), 1);
    // The figures count the files the copy keeps, decoded.
    bool temporary = false;
    EXPECT_LT(LargestFile(dir.path() / "Mirror", temporary), 3 * kMegabyte);
    EXPECT_FALSE(temporary);
    EXPECT_EQ(site.m_bytesTotal.load(),
              static_cast<std::int64_t>(index.size() + kMegabyte / 2 + page.size()));
}

// The space limit counts the files as they are written: the file that would pass it is
// not kept, and the crawl stops.
TEST_F(Crawl, TheSpaceLimitCountsStoredBytes) {
    const std::string index = "<a href=a.bin>a</a> <a href=b.bin>b</a> <a href=c.bin>c</a>";
    server.Add("/index.htm", Html(index));
    for (const char name : {'a', 'b', 'c'})
        server.Add(std::string("/") + name + ".bin",
                   Coded(codings::GzipOfRun(400 * 1024, name), "gzip"));
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 1);
    site.m_useSpace = true;
    site.m_spaceMax = static_cast<std::int64_t>(kMegabyte);
    RunToEnd({&site});

    EXPECT_EQ(site.m_state.load(), kSiteAborted);
    EXPECT_NE(site.GetLog().find("Stopped: the space limit of 1048576 bytes was reached"),
              std::string::npos)
        << site.GetLog();
    EXPECT_EQ(ReadFileText(Stored(site, "b.bin")), std::string(400 * 1024, 'b'));
    EXPECT_FALSE(fs::exists(Stored(site, "c.bin")));
    EXPECT_TRUE(site.GetErrors().empty());
    const fs::path folder = dir.path() / "Mirror";
    EXPECT_LE(StoredSize(folder), kMegabyte);
    EXPECT_EQ(site.m_bytesTotal.load(), static_cast<std::int64_t>(index.size() + 800 * 1024));
}

// A page over the scan limit is stored as it is, and the log says so, whether it came
// from the server or was read back from the copy after a 304.
TEST_F(Crawl, APageTooLargeToScanIsNeverKeptWithoutANote) {
    const std::string page = "<html>" + std::string(kMaxScannedPageBytes, ' ') + "</html>";
    SiteServer::Page large = Html(page);
    large.contentType = "Text/Html"; // sent as it is, which costs less than compressing it
    server.Add("/index.htm", std::move(large));
    server.HonourConditions();
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 1);
    const std::string note =
        "Stored without scanning its links (larger than 32 MB): " + server.Url("/index.htm");
    for (int crawl = 1; crawl <= 2; ++crawl) {
        RunToEnd({&site});
        EXPECT_TRUE(site.GetErrors().empty()) << crawl;
        EXPECT_NE(site.GetLog().find(note), std::string::npos) << crawl << site.GetLog();
    }
    EXPECT_EQ(server.Bodies(), 1);
    EXPECT_EQ(fs::file_size(Stored(site, "index.htm")), page.size());
}
