// Compressed answers whose coded stream stops before its end while Content-Length is met:
// the decoded text looks like a file, but only the coding can say it is whole. Each such
// answer fails like a cut transfer and never replaces, or stands in for, a whole copy.

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <tuple>

#include "model/site.h"
#include "support/codings.h"
#include "support/copy_snapshot.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNewDate = "Fri, 01 Jan 2100 00:00:00 GMT";

struct Coding {
    const char* name;
    const char* contentEncoding;
    std::string (*encode)(const std::string& text);
};

void PrintTo(const Coding& coding, std::ostream* out) {
    *out << coding.name;
}

const Coding kCodings[] = {
    {"gzip", "gzip", codings::Gzip},
    {"deflate", "deflate", codings::Zlib},
    {"brotli", "br", codings::Brotli},
    {"zstd", "zstd", codings::Zstd},
};

// How much of its coded bytes an answer brings; Content-Length always says that much.
enum class Cut { None, InTheMiddle, LastFourBytes };

class CutCoding : public Crawl, public ::testing::WithParamInterface<Coding> {
protected:
    // The page and the file in the coding under test; a type in upper case keeps the test
    // server from compressing the page once more.
    void Serve(const std::string& page, const std::string& data, const char* date, Cut cut) {
        for (const auto& [path, text, type] :
             {std::tuple{"/page.htm", &page, "Text/Html"},
              std::tuple{"/data.bin", &data, "application/octet-stream"}}) {
            std::string coded = GetParam().encode(*text);
            coded.resize(cut == Cut::InTheMiddle     ? coded.size() / 2
                         : cut == Cut::LastFourBytes ? coded.size() - 4
                                                     : coded.size());
            SiteServer::Page answer{std::move(coded), type};
            answer.headers = {{"Content-Encoding", GetParam().contentEncoding},
                              {"Last-Modified", date}};
            server.Add(path, std::move(answer));
        }
    }
};

} // namespace

TEST_P(CutCoding, LeavesTheEarlierCopyAsItWasAndCountsTheFileFailed) {
    const std::string page = "<html><a href=index.htm>home</a>" + codings::Verbose(50000);
    const std::string data = codings::Verbose(300000);
    server.Add("/index.htm", Html("<a href=page.htm>p</a> <a href=data.bin>d</a>"));
    Serve(page, data, kOldDate, Cut::None);
    server.HonourConditions();
    server.Start();
    CSite& site = MakeSite("Mirror", "/index.htm", 1);
    const fs::path folder = dir.path() / "Mirror";

    RunToEnd({&site});
    for (const auto& error : site.GetErrors())
        ADD_FAILURE() << error.code << " " << error.address << " " << error.reason;
    ASSERT_EQ(ReadFileText(Stored(site, "data.bin")), data);
    ASSERT_TRUE(ReadFileText(Stored(site, "page.htm")).ends_with(page.substr(page.size() - 99)));
    const Files copy = Snapshot(folder);

    // Both files changed on the server, and come cut in the middle of their coded bytes.
    const std::string newPage = "<html>" + codings::Verbose(60000) + "new";
    const std::string newData = codings::Verbose(400000) + "new";
    Serve(newPage, newData, kNewDate, Cut::InTheMiddle);
    RunToEnd({&site});

    EXPECT_TRUE(Snapshot(folder) == copy);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 2u);
    for (const auto& error : errors) {
        EXPECT_EQ(error.code, -CURLE_PARTIAL_FILE) << error.address;
        EXPECT_EQ(error.reason, "Transfer ended early") << error.address;
    }
    const CChangeTally tally = site.Changes().Tally();
    EXPECT_EQ(tally.failed, 2);
    EXPECT_EQ(tally.changed, 0);

    // A first copy from streams that lack only their last bytes (a trailer, an end mark)
    // stores nothing, though the text they decode to is nearly whole.
    Serve(newPage, newData, kNewDate, Cut::LastFourBytes);
    CSite& fresh = MakeSite("Fresh", "/index.htm", 1);
    RunToEnd({&fresh});
    EXPECT_TRUE(fs::exists(Stored(fresh, "index.htm")));
    EXPECT_FALSE(fs::exists(Stored(fresh, "page.htm")));
    EXPECT_FALSE(fs::exists(Stored(fresh, "data.bin")));
    EXPECT_EQ(fresh.GetErrors().size(), 2u);
    EXPECT_EQ(fresh.Changes().Tally().failed, 2);
}

INSTANTIATE_TEST_SUITE_P(Codings, CutCoding, ::testing::ValuesIn(kCodings),
                         [](const auto& info) { return std::string(info.param.name); });
