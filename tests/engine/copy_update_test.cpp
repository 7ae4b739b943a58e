// Updates of a stored copy: every page whose server says it did not change is read back
// from disk and scanned again. The copy must come out byte for byte as it was, with no
// link broken, and the update must ask the servers for what the first crawl asked.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "model/site.h"
#include "support/copy_snapshot.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"
#include "support/site_server.h"
#include "web/url.h"

namespace fs = std::filesystem;

namespace {

using Requests = std::vector<std::string>;

// The local links (href=, src= and CSS url()) of the copy's files that lead to no file
// inside the site's folder, as "file -> link".
std::vector<std::string> BrokenLinks(const fs::path& folder) {
    std::vector<std::string> broken;
    for (const auto& [path, text] : Snapshot(folder)) {
        for (const std::string_view opener : {"href=", "src=", "url("}) {
            for (auto at = text.find(opener); at != std::string::npos;
                 at = text.find(opener, at + 1)) {
                std::size_t start = at + opener.size();
                std::string_view stop = " >)";
                if (start < text.size() && (text[start] == '"' || text[start] == '\'')) {
                    stop = std::string_view(&text[start], 1);
                    ++start;
                }
                const std::string link =
                    text.substr(start, text.find_first_of(stop, start) - start);
                if (link.empty() || link.starts_with('#') || link.starts_with("//") ||
                    !SchemeNameOf(link).empty())
                    continue;
                const fs::path target =
                    ((folder / path).parent_path() / PercentDecoded(link.substr(0, link.find('#'))))
                        .lexically_normal();
                const auto inside = fs::relative(target, folder).generic_string();
                if (inside.starts_with("..") || !fs::is_regular_file(target))
                    broken.push_back(path + " -> " + link);
            }
        }
    }
    return broken;
}

Requests Sorted(Requests requests) {
    std::sort(requests.begin(), requests.end());
    return requests;
}

// The requests a server logged from entry `from` on.
Requests Since(const SiteServer& server, std::size_t from) {
    const Requests log = server.Log();
    return Sorted(Requests(log.begin() + static_cast<std::ptrdiff_t>(from), log.end()));
}

SiteServer::Page File(std::string body, std::string type) {
    SiteServer::Page page{std::move(body), std::move(type)};
    page.headers.emplace("Last-Modified", kOldDate);
    return page;
}

// A second host name, localhost, that reaches the fixture's 127.0.0.1 server at its port;
// the server answers it from pages of its own.
class TwoHostUpdate : public Crawl, public ::testing::WithParamInterface<bool> {};

// The requests of a run from the log's entry from on, sorted: those to localhost, then the
// others.
std::pair<Requests, Requests> ByHost(const SiteServer& server, std::size_t from) {
    std::pair<Requests, Requests> split;
    for (std::string& request : Since(server, from))
        (request.find(" //localhost/") == std::string::npos ? split.first : split.second)
            .push_back(std::move(request));
    return split;
}

} // namespace

TEST_P(TwoHostUpdate, KeepsLinksIntoTheOtherHostsFolderAndAsksForTheSameAddresses) {
    server.Start();
    const std::string b = "//localhost:" + std::to_string(server.Port());
    const std::string a = "http://127.0.0.1:" + std::to_string(server.Port());
    server.Add("/index.html",
               Html("<link rel=stylesheet href=\"http:" + b + "/css/s.css\"><script src=\"" + b +
                    "/js/a.js\"></script><a href=\"http:" + b + "/x.html\">x</a> <a href=\"" + b +
                    "/d/\">d</a> <a href=sub/a.html>a</a>"));
    server.Add("/sub/a.html",
               Html("<a href=\"http:" + b + "/d/y.html\">y</a> <a href=../index.html>home</a>"));
    server.AddOn("localhost", "/x.html",
                 Html("<a href=\"" + a + "/index.html\">back</a> <a href=d/y.html>y</a>"));
    server.AddOn("localhost", "/d/",
                 Html("<a href=y.html>y</a> <a href=\"" + a + "/sub/a.html\">a</a>"));
    server.AddOn("localhost", "/d/y.html", Html("<a href=../x.html>x</a> <img src=/i.png>"));
    server.AddOn("localhost", "/css/s.css", File("body{background:url(../i.png)}", "text/css"));
    server.AddOn("localhost", "/js/a.js", File("var a;", "application/javascript"));
    server.AddOn("localhost", "/i.png", File("png", "image/png"));
    CSite& site = MakeSite("Hosts", "/index.html");
    site.m_useServers = false; // every server, each in a folder of its own
    site.m_pageRequisites = GetParam();
    const fs::path folder = dir.path() / "Hosts";

    RunToEnd({&site});
    for (const auto& error : site.GetErrors())
        ADD_FAILURE() << error.code << " " << error.address;
    const Files copy = Snapshot(folder);
    EXPECT_NE(copy.at("127.0.0.1/index.html").find("<a href=\"../localhost/x.html\">"),
              std::string::npos);
    EXPECT_EQ(copy.count("localhost/d/index.htm"), 1u);
    EXPECT_EQ(copy.count("localhost/i.png"), 1u);
    EXPECT_EQ(BrokenLinks(folder), std::vector<std::string>{});
    const std::size_t firstRun = server.Log().size();
    const auto first = ByHost(server, 0);
    ASSERT_EQ(first.second.size(), GetParam() ? 6u : 5u); // the script is a requisite only

    RunToEnd({&site});
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(Snapshot(folder), copy);
    EXPECT_EQ(BrokenLinks(folder), std::vector<std::string>{});
    // The same files, asked about once more each, on the host they belong to.
    EXPECT_EQ(ByHost(server, firstRun), first);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutRequisites, TwoHostUpdate, ::testing::Bool());

TEST_F(Crawl, ADefaultDocumentWithoutADotLeavesTheCopyAsItWasUpdateAfterUpdate) {
    server.Add("/", Html("<a href=d>d</a> <a href=\"d/e/\">e</a> <a href=p.html>p</a>"));
    server.Add("/d/", Html("<a href=..>up</a> <a href=e>e</a> <a href=../p.html>p</a>"));
    server.Add("/d/e/", Html("<a href=../../>top</a> <a href=/d>d</a> <a href=.>here</a>"));
    server.Add("/p.html", Html("<a href=d/e>e</a> <a href=/>top</a>"));
    server.Start();
    CSite& site = MakeSite("Plain", "/");
    site.m_defaultDocument = "index";
    const fs::path folder = dir.path() / "Plain";

    RunToEnd({&site});
    for (const auto& error : site.GetErrors())
        ADD_FAILURE() << error.code << " " << error.address;
    const Files copy = Snapshot(folder);
    EXPECT_EQ(copy, (Files{{"127.0.0.1/index", ReadFileText(Stored(site, "index"))},
                           {"127.0.0.1/d/index", ReadFileText(Stored(site, "d/index"))},
                           {"127.0.0.1/d/e/index", ReadFileText(Stored(site, "d/e/index"))},
                           {"127.0.0.1/p.html", ReadFileText(Stored(site, "p.html"))}}));
    EXPECT_EQ(ReadFileText(Stored(site, "d/index")),
              "<a href=../index>up</a> <a href=e/index>e</a> <a href=../p.html>p</a>");
    EXPECT_EQ(BrokenLinks(folder), std::vector<std::string>{});
    const Requests first = Since(server, 0);

    for (int update = 1; update <= 2; ++update) {
        const std::size_t before = server.Log().size();
        RunToEnd({&site});
        EXPECT_TRUE(site.GetErrors().empty()) << "update " << update;
        EXPECT_EQ(Snapshot(folder), copy) << "update " << update;
        EXPECT_EQ(Since(server, before), first) << "update " << update;
    }
}
