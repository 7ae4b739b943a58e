// Copies of dynamic sites under exact names: every address its own file, names that say
// what the files hold, and links that lead to the right file even when an answer
// surprises. Checked as a browser opens the copy: each link of a stored page is followed
// on disk to the file it names.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/name_table.h"
#include "model/site.h"
#include "support/copy_snapshot.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"
#include "support/site_server.h"
#include "web/url.h"

namespace fs = std::filesystem;

namespace {

std::string Unescaped(std::string text) {
    for (auto at = text.find("&amp;"); at != std::string::npos; at = text.find("&amp;", at + 1))
        text.erase(at + 1, 4);
    return text;
}

// The values of the href, src and url() links of a stored file, in the file's order.
std::vector<std::string> LinksOf(const std::string& text) {
    std::vector<std::pair<std::size_t, std::string>> found;
    for (const std::string_view opener : {"href=", "src=", "url("}) {
        for (auto at = text.find(opener); at != std::string::npos; at = text.find(opener, at + 1)) {
            std::size_t start = at + opener.size();
            std::string_view stop = " >)";
            if (start < text.size() && (text[start] == '"' || text[start] == '\'')) {
                stop = std::string_view(&text[start], 1);
                ++start;
            }
            found.emplace_back(
                at, Unescaped(text.substr(start, text.find_first_of(stop, start) - start)));
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> links;
    for (auto& [at, link] : found)
        links.push_back(std::move(link));
    return links;
}

// The file a link of the stored file `from` leads to, as a path inside the folder; empty
// for an absolute address or a link out of the folder.
std::string Follow(const fs::path& folder, const std::string& from, const std::string& link) {
    if (link.empty() || link.starts_with("//") || !SchemeNameOf(link).empty())
        return {};
    const fs::path target =
        ((folder / from).parent_path() / PercentDecoded(link.substr(0, link.find('#'))))
            .lexically_normal();
    const std::string inside = fs::relative(target, folder).generic_string();
    return inside.starts_with("..") ? std::string() : inside;
}

SiteServer::Page Typed(std::string body, std::string type) {
    SiteServer::Page page{std::move(body), std::move(type)};
    page.headers.emplace("Last-Modified", kOldDate);
    return page;
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

class ExactNames : public Crawl {
protected:
    CSite& MakeExactSite(const std::string& path) {
        CSite& site = MakeSite("Exact", path);
        site.m_exactNames = true;
        site.m_pageRequisites = true;
        return site;
    }

    // Crawls the site, fails the test for each error it lists, and gives what is on disk.
    Files CopyWithoutErrors(CSite& site) {
        RunToEnd({&site});
        for (const auto& error : site.GetErrors())
            ADD_FAILURE() << error.code << " " << error.address;
        return Snapshot(dir.path() / site.m_name);
    }
};

} // namespace

// A dynamic site's addresses: queries, names without a dot, a folder reached without its
// slash, a style sheet and a script behind queries, a page at an image's name, another
// port, names that differ in case, and a style sheet that redirects. Each is stored once
// under a name of its own, each link of the copy leads to the right content, and an
// update asks for each address once and changes no byte.
TEST_F(ExactNames, EveryAddressIsStoredOnceAndEveryLinkLeadsToItsContent) {
    SiteServer other;
    other.Add("/a.html", Typed("other port", "text/html"));
    other.Start();
    const std::string otherPort = std::to_string(other.Port());

    server.KeepQueries();
    server.HonourConditions();
    server.Add(
        "/index.html",
        Typed("<link rel=stylesheet href=\"load.php?lang=en&amp;modules=site&amp;only=styles\">"
              "<link rel=stylesheet href=\"style.css\">"
              "<script src=\"load.php?lang=en&amp;modules=startup&amp;only=scripts\"></script>"
              "<a href=\"l.php?p=1\">1</a> <a href=\"l.php?p=2\">2</a> <a href=LICENSE>l</a> "
              "<a href=about>a</a> <a href=docs>d</a> "
              "<a href=\"index.php?title=Main_Page&amp;action=history\">h</a> "
              "<a href=pic.png>p</a> <img src=avatar/42> <a href=A.html>A</a> "
              "<a href=a.html>a</a> <a href=\"http://127.0.0.1:" +
                  otherPort + "/a.html\">o</a>",
              "text/html"));
    server.Add("/load.php?lang=en&modules=site&only=styles",
               Typed("body{background:url(bg.png)}", "text/css"));
    server.Add("/load.php?lang=en&modules=startup&only=scripts",
               Typed("var startup;", "text/javascript"));
    server.Add("/bg.png", Typed("background png", "image/png"));
    AddRedirect("/style.css", "/static/style.v2.css", 301);
    server.Add("/static/style.v2.css", Typed("p{color:red}", "text/css"));
    server.Add("/l.php?p=1", Typed("page one <a href=\"l.php?p=2\">2</a>", "text/html"));
    server.Add("/l.php?p=2", Typed("page two <a href=index.html>home</a>", "text/html"));
    server.Add("/LICENSE", Typed("license text", "text/plain"));
    server.Add("/about", Typed("about page <a href=about/team>team</a>", "text/html"));
    server.Add("/about/team", Typed("team page <a href=../about>back</a>", "text/html"));
    AddRedirect("/docs", "/docs/", 301);
    server.Add("/docs/",
               Typed("docs index <a href=intro>intro</a> <a href=/docs>self</a>", "text/html"));
    server.Add("/docs/intro", Typed("docs intro <a href=./>up</a>", "text/html"));
    server.Add("/index.php?title=Main_Page&action=history", Typed("history page", "text/html"));
    server.Add("/pic.png", Typed("a page, not a picture", "text/html"));
    server.Add("/avatar/42", Typed("avatar png", "image/png"));
    server.Add("/A.html", Typed("upper case", "text/html"));
    server.Add("/a.html", Typed("lower case", "text/html"));
    server.Start();
    CSite& site = MakeExactSite("/index.html");
    const fs::path folder = dir.path() / "Exact";

    const Files copy = CopyWithoutErrors(site);

    // What each link of the start page leads to, in the page's order.
    const std::string start = "127.0.0.1/index.html";
    ASSERT_EQ(copy.count(start), 1u);
    const std::vector<std::string> expected = {"body{background:url(",
                                               "p{color:red}",
                                               "var startup;",
                                               "page one",
                                               "page two",
                                               "license text",
                                               "about page",
                                               "docs index",
                                               "history page",
                                               "a page, not a picture",
                                               "avatar png",
                                               "upper case",
                                               "lower case",
                                               "other port"};
    const std::vector<std::string> links = LinksOf(copy.at(start));
    ASSERT_EQ(links.size(), expected.size());
    std::set<std::string> targets;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::string target = Follow(folder, start, links[i]);
        ASSERT_EQ(copy.count(target), 1u) << links[i];
        EXPECT_EQ(copy.at(target).find(expected[i]), 0u) << links[i] << " -> " << target;
        targets.insert(target);
    }
    EXPECT_EQ(targets.size(), expected.size()); // no two addresses share a file

    // Names that open as what the files hold.
    EXPECT_EQ(copy.count("127.0.0.1/LICENSE"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1/about.html"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1/about/team.html"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1/docs/index.htm"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1/docs/intro.html"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1/pic.png.html"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1/avatar/42.png"), 1u);
    EXPECT_EQ(copy.count("127.0.0.1_" + otherPort + "/a.html"), 1u);
    for (const auto& [path, text] : copy) {
        if (path.find("load.php") != std::string::npos && text.starts_with("body")) {
            EXPECT_TRUE(path.ends_with(".css")) << path;
        }
        if (path.find("load.php") != std::string::npos && text.starts_with("var")) {
            EXPECT_TRUE(path.ends_with(".js")) << path;
        }
    }
    // Nothing stored but the answers with content: no stub for a redirect.
    EXPECT_EQ(copy.size(), 18u);

    // Every link of every stored file leads to a file of the copy, and the pages the
    // others link lead back to what they should.
    for (const auto& [path, text] : copy) {
        for (const std::string& link : LinksOf(text)) {
            const std::string target = Follow(folder, path, link);
            EXPECT_EQ(copy.count(target), 1u) << path << " -> " << link;
        }
    }
    const auto followFirst = [&](const std::string& from) {
        return copy.at(Follow(folder, from, LinksOf(copy.at(from)).at(0)));
    };
    EXPECT_EQ(followFirst("127.0.0.1/about/team.html").find("about page"), 0u);
    EXPECT_EQ(followFirst("127.0.0.1/docs/intro.html").find("docs index"), 0u);
    EXPECT_EQ(followFirst("127.0.0.1/about.html").find("team page"), 0u);

    const std::vector<std::string> first = Sorted(server.Log());
    EXPECT_EQ(std::adjacent_find(first.begin(), first.end()), first.end())
        << "an address was asked for twice";

    const std::size_t before = server.Log().size();
    const std::size_t otherBefore = other.Log().size();
    const int bodies = server.Bodies();
    RunToEnd({&site});
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(Snapshot(folder), copy);
    // Every answer was "not modified", mended pages too: nothing came again.
    EXPECT_EQ(server.Bodies(), bodies);
    EXPECT_EQ(site.Changes().Tally().changed, 0);
    EXPECT_EQ(site.Changes().Tally().newFiles, 0);
    const std::vector<std::string> log = server.Log();
    EXPECT_EQ(Sorted(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(before),
                                              log.end())),
              first);
    EXPECT_EQ(other.Log().size(), otherBefore * 2);
}

// A link written as an address because it was too deep on its page leads to the local
// file once the crawl has stored that file from a page nearer the start; and two
// addresses whose names would collide ("/x" holding a page and "/x.html") keep files of
// their own.
TEST_F(ExactNames, LinksWrittenAsAddressesAreMendedAndCollidingNamesStayApart) {
    server.HonourConditions();
    // Levels: index 1; x, x.html, p2, mid 2; deep (from p2) and p1 (from mid) 3. From p1,
    // deep is at level 4, too deep: written as an address.
    server.Add("/index.html", Typed("<a href=x>x</a> <a href=x.html>x.html</a> "
                                    "<a href=p2.html>p2</a> <a href=mid.html>mid</a>",
                                    "text/html"));
    server.Add("/mid.html", Typed("mid <a href=p1.html>p1</a>", "text/html"));
    server.Add("/p1.html", Typed("p1 <a href=deep.html>deep</a>", "text/html"));
    server.Add("/p2.html", Typed("p2 <a href=deep.html>deep</a>", "text/html"));
    server.Add("/deep.html", Typed("deep <a href=deeper.html>deeper</a>", "text/html"));
    server.Add("/x", Typed("dotless", "text/html"));
    server.Add("/x.html", Typed("dotted", "text/html"));
    server.Start();
    CSite& site = MakeExactSite("/index.html");
    site.m_useLevels = true;
    site.m_levels = 3;
    const fs::path folder = dir.path() / "Exact";

    const Files copy = CopyWithoutErrors(site);
    const std::string p1 = "127.0.0.1/p1.html";
    ASSERT_EQ(copy.count(p1), 1u);
    const std::vector<std::string> links = LinksOf(copy.at(p1));
    ASSERT_EQ(links.size(), 1u);
    const std::string deep = Follow(folder, p1, links[0]);
    ASSERT_EQ(copy.count(deep), 1u) << links[0];
    EXPECT_EQ(copy.at(deep).find("deep"), 0u);
    // deeper.html stays an address: the copy has no file for it.
    EXPECT_EQ(LinksOf(copy.at(deep)), (std::vector<std::string>{server.Url("/deeper.html")}));

    const std::string start = "127.0.0.1/index.html";
    const std::vector<std::string> startLinks = LinksOf(copy.at(start));
    ASSERT_EQ(startLinks.size(), 4u);
    const std::string dotless = Follow(folder, start, startLinks[0]);
    const std::string dotted = Follow(folder, start, startLinks[1]);
    EXPECT_NE(dotless, dotted);
    ASSERT_EQ(copy.count(dotless), 1u);
    ASSERT_EQ(copy.count(dotted), 1u);
    EXPECT_EQ(copy.at(dotless), "dotless");
    EXPECT_EQ(copy.at(dotted), "dotted");

    // An update reads the pages with links written whole again, as nothing can stand
    // for them: the copy and what is asked for stay as they were.
    const std::vector<std::string> first = Sorted(server.Log());
    RunToEnd({&site});
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(Snapshot(folder), copy);
    const std::vector<std::string> log = server.Log();
    EXPECT_EQ(Sorted(std::vector<std::string>(
                  log.begin() + static_cast<std::ptrdiff_t>(first.size()), log.end())),
              first);
}

// A folder name longer than file systems hold is cut on disk: the file under it is
// stored, the links to it and from it (to a sibling, and back up) lead to the right
// files, two long folders sharing their first 240 bytes stay apart, and an update finds
// the same names again.
TEST_F(ExactNames, FilesUnderFoldersTooLongForTheFileSystemAreStoredAndLinked) {
    server.HonourConditions();
    const std::string common(240, 'f');
    const std::string longOne = "/" + common + std::string(60, 'a') + "/";
    const std::string longTwo = "/" + common + std::string(59, 'a') + "b/";
    server.Add("/index.html", Typed("<a href=\"" + longOne + "page.html\">one</a> <a href=\"" +
                                        longTwo + "page.html\">two</a>",
                                    "text/html"));
    server.Add(longOne + "page.html",
               Typed("first long <a href=sibling>s</a> <a href=../index.html>up</a>", "text/html"));
    server.Add(longOne + "sibling", Typed("sibling of the first", "text/html"));
    server.Add(longTwo + "page.html", Typed("second long", "text/html"));
    server.Start();
    CSite& site = MakeExactSite("/index.html");
    const fs::path folder = dir.path() / "Exact";

    const Files copy = CopyWithoutErrors(site);
    EXPECT_EQ(copy.size(), 4u);
    for (const auto& [path, text] : copy) {
        for (const auto& part : fs::path(path))
            EXPECT_LE(part.string().size(), 255u) << path;
    }
    const std::string start = "127.0.0.1/index.html";
    ASSERT_EQ(copy.count(start), 1u);
    const std::vector<std::string> links = LinksOf(copy.at(start));
    ASSERT_EQ(links.size(), 2u);
    const std::string one = Follow(folder, start, links[0]);
    const std::string two = Follow(folder, start, links[1]);
    ASSERT_EQ(copy.count(one), 1u) << links[0];
    ASSERT_EQ(copy.count(two), 1u) << links[1];
    EXPECT_EQ(copy.at(one).find("first long"), 0u);
    EXPECT_EQ(copy.at(two), "second long");
    EXPECT_NE(fs::path(one).parent_path(), fs::path(two).parent_path());

    const std::vector<std::string> fromOne = LinksOf(copy.at(one));
    ASSERT_EQ(fromOne.size(), 2u);
    EXPECT_EQ(fromOne[0], "sibling.html");
    const std::string sibling = Follow(folder, one, fromOne[0]);
    ASSERT_EQ(copy.count(sibling), 1u);
    EXPECT_EQ(copy.at(sibling), "sibling of the first");
    EXPECT_EQ(Follow(folder, one, fromOne[1]), start);

    const std::vector<std::string> first = Sorted(server.Log());
    RunToEnd({&site});
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(Snapshot(folder), copy);
    const std::vector<std::string> log = server.Log();
    EXPECT_EQ(Sorted(std::vector<std::string>(
                  log.begin() + static_cast<std::ptrdiff_t>(first.size()), log.end())),
              first);
}

// A path longer than the system takes as a whole, though each of its names fits, is an
// error of that address alone: the rest of the site is copied and nothing is written
// outside the site's folder.
TEST_F(ExactNames, APathTooLongForTheSystemIsAnErrorOfItsAddress) {
    std::string deep;
    for (int i = 0; i < 20; ++i)
        deep += "/" + std::string(250, static_cast<char>('a' + i));
    deep += "/file.txt";
    server.Add(
        "/index.html",
        Typed("<a href=\"" + deep + "\">deep</a> <a href=other.html>other</a>", "text/html"));
    server.Add(deep, Typed("deep text", "text/plain"));
    server.Add("/other.html", Typed("other page", "text/html"));
    server.Start();
    CSite& site = MakeExactSite("/index.html");

    RunToEnd({&site});
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].address, server.Url(deep));
    EXPECT_NE(errors[0].reason.find("Could not save"), std::string::npos) << errors[0].reason;
    const Files copy = Snapshot(dir.path() / "Exact");
    EXPECT_EQ(copy.count("127.0.0.1/index.html"), 1u);
    ASSERT_EQ(copy.count("127.0.0.1/other.html"), 1u);
    EXPECT_EQ(copy.at("127.0.0.1/other.html"), "other page");
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "Exact");
}

// A copy made before long folders were cut holds, in its name table, a name with the
// whole folder, under which the file could never be stored. The next crawl stores the
// file under the cut folder and the page's link leads there.
TEST_F(ExactNames, ANameTooLongToStoreLeftByAnEarlierCrawlGivesWayToTheCutOne) {
    const std::string longFolder = "/" + std::string(300, 'f') + "/";
    server.Add("/index.html", Typed("<a href=\"" + longFolder + "page.html\">p</a>", "text/html"));
    server.Add(longFolder + "page.html", Typed("long page", "text/html"));
    server.Start();
    CSite& site = MakeExactSite("/index.html");
    const fs::path folder = dir.path() / "Exact";
    const std::string url = server.Url(longFolder + "page.html");
    const std::string key = site.ExactKey(CUrl(nullptr, url, kLinkFollowed, UrlReading::Exact));
    char hash[17];
    const auto hashEnd = std::to_chars(hash, hash + 16, CNameTable::KeyHash(key), 16).ptr;
    fs::create_directories(folder);
    std::ofstream(folder / kNameTableFile) << "N\t" << std::string(hash, hashEnd) << "\t127.0.0.1"
                                           << longFolder << "page.html\t" << url << "\n";

    const Files copy = CopyWithoutErrors(site);
    const std::string start = "127.0.0.1/index.html";
    ASSERT_EQ(copy.count(start), 1u);
    const std::vector<std::string> links = LinksOf(copy.at(start));
    ASSERT_EQ(links.size(), 1u);
    const std::string page = Follow(folder, start, links[0]);
    ASSERT_EQ(copy.count(page), 1u) << links[0];
    EXPECT_EQ(copy.at(page), "long page");
    EXPECT_LT(page.size(), 120u) << page;
    // The crawl knew the address by the key the earlier name was written under.
    EXPECT_EQ(site.ExactKey(CUrl(nullptr, url, kLinkFollowed, UrlReading::Exact)), key);
}
