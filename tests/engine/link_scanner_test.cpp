#include "engine/link_scanner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "model/site.h"
#include "support/site_fixture.h"
#include "web/url.h"

namespace fs = std::filesystem;

namespace {

// A browser's reading of a link in a stored page: percent-decoded, fragment cut off.
std::string BrowserDecode(std::string_view link) {
    link = link.substr(0, link.find('#'));
    std::string out;
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] == '%' && i + 2 < link.size()) {
            out.push_back(
                static_cast<char>(std::stoi(std::string(link.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(link[i]);
        }
    }
    return out;
}

std::vector<std::string> Hrefs(const std::string& page) {
    static const std::regex kHref(R"re(href="([^"]*)")re");
    std::vector<std::string> links;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), kHref);
         it != std::sregex_iterator(); ++it) {
        links.push_back((*it)[1].str());
    }
    return links;
}

class LinkScannerTest : public ::testing::Test {
protected:
    // The worker holds the page being scanned, so the site knows it as in progress.
    LinkScannerTest() {
        auto current = std::make_unique<CUrl>(page);
        site.AddPending(current);
        taken.push_back(site.NextPending());
    }

    std::string Scan(std::string text, PageSource source = PageSource::Server) {
        CLinkScanner scanner(site, page, source);
        scanner.ScanPage(text);
        queued += scanner.QueuedCount();
        return text;
    }

    // The full addresses queued so far, in order. They stay alive in the fixture so the
    // site's in-progress list never points at freed addresses.
    std::vector<std::string> TakePending() {
        std::vector<std::string> urls;
        while (auto address = site.NextPending()) {
            urls.push_back(address->GetURL());
            taken.push_back(std::move(address));
        }
        return urls;
    }

    void RefuseOtherServers() {
        site.m_useServers = true;
        site.m_servers = "h=1";
        site.CompilePatterns();
    }

    SitesDirScope dir;
    CSite site{"Mirror"};
    CUrl page{nullptr, "http://h/a/b/q.htm", kLinkFollowed};
    std::size_t queued = 0;
    std::vector<std::unique_ptr<CUrl>> taken;
};

using Strings = std::vector<std::string>;

} // namespace

TEST(LinkScannerTable, ClassifiesByLowerCasedNames) {
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("a", "href"), kLinkClassFollowed);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("IMG", "SrC"), kLinkClassEmbedded);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("img", "usemap"), kLinkClassFollowed);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("img", "alt"), kAttributeNotLink);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("object", "data"), kLinkClassEmbedded);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("object", "codebase"), kLinkClassFollowed);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("th", "background"), kLinkClassEmbedded);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("td", ""), kAttributeNotLink);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("iframe", "src"), kTagNotListed);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("script", "src"), kTagNotListed);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("ahref", "href"), kTagNotListed);
    EXPECT_EQ(CLinkScanner::ClassifyAttribute("a ", "href"), kTagNotListed);
}

TEST_F(LinkScannerTest, AdmittedLinkBecomesRelativeAndIsQueued) {
    EXPECT_EQ(Scan(R"(<p>x</p><A  HREF = "/a/c/p.htm" Class=k>go</A>)"),
              R"(<p>x</p><A HREF="../c/p.htm" Class=k>go</A>)");
    EXPECT_EQ(queued, 1u);
    EXPECT_EQ(TakePending(), Strings{"http://h/a/c/p.htm"});
}

TEST_F(LinkScannerTest, EmbeddedKeepsThePageLevelAndFollowedGoesDeeper) {
    site.m_useLevels = true;
    site.m_levels = 1;
    EXPECT_EQ(Scan(R"(<img src="i.gif"><a href="x.htm">)"),
              R"(<img src="i.gif"><a href="http://h/a/b/x.htm">)");
    EXPECT_EQ(TakePending(), Strings{"http://h/a/b/i.gif"});
}

TEST_F(LinkScannerTest, RemovedLinkTakesItsSeparatorAndSpacesInValuesCollapse) {
    RefuseOtherServers();
    site.m_removeLinks = true;
    // Two spaces left behind would be collapsed by the next scan of the stored page.
    EXPECT_EQ(Scan("<img src=http://g/x.gif alt=\"two  spaces\">"), "<img alt=\"two spaces\">");
    EXPECT_EQ(Scan("<img alt=a src=http://g/x.gif>"), "<img alt=a>");
    EXPECT_EQ(queued, 0u);
}

TEST_F(LinkScannerTest, RefusedLinkBecomesAbsoluteUnlessLinksAreRemoved) {
    RefuseOtherServers();
    // Another server in the page's scheme: as a path under this page it would lead nowhere.
    EXPECT_EQ(Scan(R"(<a href="//g/x.htm">)"), R"(<a href="http://g/x.htm">)");
    // An address written whole stays as it was: read as a folder, "issue" and "NPa7st"
    // would lead elsewhere, and so would "//" collapsed.
    for (const std::string kept :
         {R"(<a href='http://g:81/d/../x.htm?q=1#f'>)", R"(<a href="HTTP://G/x.htm">)",
          R"(<a href="https://g/issue?@action=redirect&bpo=1">)", "<a href=http://g/NPa7st>",
          R"(<a href="https://g/web/2009/http://www.v.net/">)"}) {
        EXPECT_EQ(Scan(kept), kept);
    }
    EXPECT_EQ(Scan(R"(<img src="HTTP://G/x.gif" lowsrc="/a/b/y.gif">)"),
              R"(<img src="HTTP://G/x.gif" lowsrc="y.gif">)");
    site.m_removeLinks = true;
    EXPECT_EQ(Scan(R"(<a title=t href="http://g/x.htm">x</a>)"), R"(<a title=t>x</a>)");
    EXPECT_EQ(queued, 1u);
}

TEST_F(LinkScannerTest, ScriptAndMailLinksStayAsWritten) {
    const std::string kept = R"x(<a href="javascript:open('x.htm')"><a href="mailto:me@h">)x";
    EXPECT_EQ(Scan(kept), kept);
    // Normalising still applies to the rest of the tag.
    EXPECT_EQ(Scan(R"(<a href = "x.htm?to=mailto:y">)"), R"(<a href="x.htm?to=mailto:y">)");
    EXPECT_EQ(queued, 0u);
}

TEST_F(LinkScannerTest, OnlyWebSchemesAreFollowed) {
    const std::string kept = R"(<img src="data:image/png;base64,iVBOR/w0=">)"
                             R"(<a href="tel:+1-555-0100"><a href="ftp://h/f.zip">)"
                             R"(<a href="FTP://h/g.zip"><a href=" news:comp.x">)"
                             R"(<a href="localhost:8080/x.htm"><a href="c:\dir\f.htm">)"
                             R"x(<a href="JavaScript:go()"><a href="irc+ssl://h/c">)x";
    EXPECT_EQ(Scan(kept), kept);
    EXPECT_EQ(queued, 0u);

    EXPECT_EQ(Scan(R"(<a href="HTTPS://h/a/b/s.htm"><a href=" http://h/a/p.htm">)"),
              R"(<a href="s.htm"><a href="../p.htm">)");
    EXPECT_EQ(TakePending(), (Strings{"https://h/a/b/s.htm", "http://h/a/p.htm"}));
}

TEST_F(LinkScannerTest, ColonAfterNonLetterStartIsARelativePath) {
    EXPECT_EQ(Scan(R"(<a href="12:30.htm"><a href="d/x:y.htm">)"),
              R"(<a href="12:30.htm"><a href="d/x:y.htm">)");
    EXPECT_EQ(TakePending(), (Strings{"http://h/a/b/12:30.htm", "http://h/a/b/d/x:y.htm"}));
}

TEST_F(LinkScannerTest, CommentsAndScriptsAreSkipped) {
    const std::string hidden = "<!-- <a href=\"c.htm\"> --><!---->"
                               "<SCRIPT>document.write('<a href=\"d.htm\">')</SCRIPT >x</Script>"
                               "<script src = \"s.js\"></script>";
    EXPECT_EQ(Scan(hidden + "<a href = \"e.htm\">"), hidden + "<a href=\"e.htm\">");
    EXPECT_EQ(TakePending(), Strings{"http://h/a/b/e.htm"});

    // Unterminated, they hide the rest of the page.
    const std::string open = "<!-- <a href=\"f.htm\"> -- ><a href=\"g.htm\">";
    EXPECT_EQ(Scan(open), open);
    const std::string script = "<scripts><a href=\"f.htm\">";
    EXPECT_EQ(Scan(script), script);
    EXPECT_EQ(queued, 1u);
}

TEST_F(LinkScannerTest, UnlistedTagsAreOnlyNormalised) {
    EXPECT_EQ(Scan("<div\tclass =\r\n'x  y'>"), "<div class='x y'>");
    EXPECT_EQ(Scan("<iframe  src = \"f.htm\">"), "<iframe src=\"f.htm\">");
    const std::string noEquals = "<br  ><hr\n/><a\thref>";
    EXPECT_EQ(Scan(noEquals), noEquals);
    EXPECT_EQ(queued, 0u);
}

TEST_F(LinkScannerTest, KnownTargetIsRewrittenButNotQueuedAgain) {
    EXPECT_EQ(Scan(R"(<a href="x.htm"><a href="/a/b/X.HTM"><img src="x.htm">)"),
              R"(<a href="x.htm"><a href="X.HTM"><img src="x.htm">)");
    EXPECT_EQ(queued, 1u);
    EXPECT_EQ(site.PendingCount(), 1u);

    // A target a worker holds right now.
    auto inProgress = std::make_unique<CUrl>(&page, "busy.htm", kLinkFollowed);
    ASSERT_TRUE(site.AddPending(inProgress));
    TakePending();
    EXPECT_EQ(Scan(R"(<a href = "busy.htm">)"), R"(<a href="busy.htm">)");
    EXPECT_EQ(queued, 1u);
    EXPECT_EQ(site.PendingCount(), 0u);
}

TEST_F(LinkScannerTest, APathEndingInDotsNamesAFolder) {
    EXPECT_EQ(Scan(R"(<a href="."><a href=".."><a href="../..?x"><a href="http://h/a/b/c/..">)"),
              R"(<a href="index.htm"><a href="../index.htm"><a href="../../index.htm">)"
              R"(<a href="index.htm">)");
    EXPECT_EQ(TakePending(), (Strings{"http://h/a/b/", "http://h/a/", "http://h/?x"}));
}

TEST_F(LinkScannerTest, BareHashStaysOnThePage) {
    EXPECT_EQ(Scan(R"(<a href="#">top</a><a href=#n>)"), R"(<a href="#">top</a><a href=q.htm#n>)");
    EXPECT_EQ(queued, 0u); // q.htm is the page itself, already known while it is scanned
}

// Inputs that the literal scan rules once turned into damaged pages.
TEST_F(LinkScannerTest, CommentOrScriptInsideAnOpenTagLeavesItUnchanged) {
    for (const std::string text :
         {"<img <!-- src=a.gif -->>", "<img <script> src=a.gif </script>>",
          "<a <!-- c --> href = \"x.htm\">", "<IMG <ScRiPt>src=a.gif</sCrIpT>>"}) {
        EXPECT_EQ(Scan(text), text);
    }
    EXPECT_EQ(queued, 0u);
}

TEST_F(LinkScannerTest, AttributeStartingWithAQuoteKeepsItsPlace) {
    EXPECT_EQ(Scan(R"(<a href=/d/y.htm 'x'=''>)"), R"(<a href=../../d/y.htm 'x'=''>)");
    EXPECT_EQ(Scan(R"(<a "t"="1" href=/d/z.htm>)"), R"(<a "t"="1" href=../../d/z.htm>)");
    EXPECT_EQ(queued, 2u);
}

TEST_F(LinkScannerTest, EmptyValuesStayAndAreNotQueued) {
    for (const std::string text : {R"(<img src="a.png" alt="">)", R"(<option value="">)",
                                   R"(<a href="">self</a>)", R"(<img src='' alt=x>)"}) {
        EXPECT_EQ(Scan(text), text);
    }
    // Spacing is normalised as in any rewritten tag; the values are left alone.
    EXPECT_EQ(Scan(R"(<a href="   ">)"), R"(<a href=" ">)");
    EXPECT_EQ(Scan(R"(<a href= >)"), R"(<a href=>)");
    EXPECT_EQ(TakePending(), Strings{"http://h/a/b/a.png"});
}

TEST_F(LinkScannerTest, UnbalancedQuoteStopsRewritingAtTheQuote) {
    EXPECT_EQ(Scan(R"(<a  title="x href = y.htm>)"), R"(<a title="x href=y.htm>)");
    EXPECT_EQ(queued, 0u);
}

TEST_F(LinkScannerTest, LessThanInsideAnOpenTagStartsANewOne) {
    EXPECT_EQ(Scan(R"(<b title = "1 <a href = "/x.htm">)"),
              R"(<b title = "1 <a href="../../x.htm">)");
    EXPECT_EQ(TakePending(), Strings{"http://h/x.htm"});
}

TEST_F(LinkScannerTest, BytesOutsideRewrittenTagsAreKept) {
    std::string input;
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        // Filler with the bytes a scanner could trip over: stray ">", "=", NUL, UTF-8.
        std::string filler = "text " + std::to_string(i) + " a=b > \xC3\xA9";
        filler.push_back('\0');
        filler += (i % 3 == 0) ? "\r\n\t  " : "x";
        const std::string target = "/a/d/p" + std::to_string(i % 50) + ".htm";
        input += filler + "<a   href = \"" + target + "\"\n>";
        expected += filler + "<a href=\"../d/p" + std::to_string(i % 50) + ".htm\">";
        if (i % 7 == 0) {
            input += "<b>bold</b><p class=k>";
            expected += "<b>bold</b><p class=k>";
        }
    }
    input += "tail <unfinished";
    expected += "tail <unfinished";
    EXPECT_EQ(Scan(input), expected);
    EXPECT_EQ(queued, 50u);
}

// Tags are read many bytes at a time; spacing must come out the same wherever it falls
// in a long tag, at its end too, in both readings.
TEST_F(LinkScannerTest, SpacingIsNormalisedWhereverItFallsInALongTag) {
    for (const bool requisites : {false, true}) {
        site.m_pageRequisites = requisites;
        const std::string value = requisites ? "'a  b'" : "'a b'";
        for (std::size_t k = 0; k < 80; ++k) {
            const std::string x(k, 'x');
            const std::string y(80 - k, 'y');
            EXPECT_EQ(Scan("<div class" + x + " \t=\r\n'a  b'" + y + " \n>"),
                      "<div class" + x + "=" + value + y + ">")
                << k << (requisites ? " as browsers" : "");
            EXPECT_EQ(Scan("<a\ttitle=t" + x + "  href \f= \"/a/c/p" + y + ".htm\"\t>"),
                      "<a title=t" + x + " href=\"../c/p" + y + ".htm\">")
                << k << (requisites ? " as browsers" : "");
        }
    }
    EXPECT_EQ(queued, 80u);
}

// Links met again are answered from what the scan worked out the first time: the answer
// must still depend on what kind of link it is and whether it may be removed.
TEST_F(LinkScannerTest, ALinkMetAgainIsAnsweredForItsKindAndPlace) {
    RefuseOtherServers();
    site.m_useLevels = true;
    site.m_levels = 1; // the image is fetched, the page a level down is not
    site.m_removeLinks = true;
    site.m_pageRequisites = true;
    site.m_requisitesAnyServer = false;
    const std::string tags = R"(<a href="x.htm"><img src="x.htm"><img src="http://g/i.png">)"
                             R"(<img srcset="http://g/i.png 2x">)";
    const std::string rewritten = R"(<a><img src="x.htm"><img><img srcset="http://g/i.png 2x">)";
    EXPECT_EQ(Scan(tags + tags + tags), rewritten + rewritten + rewritten);
    EXPECT_EQ(TakePending(), Strings{"http://h/a/b/x.htm"});

    site.m_pageRequisites = false;
    EXPECT_EQ(Scan(tags + tags), R"(<a><img src="x.htm"><img><img srcset="http://g/i.png 2x">)"
                                 R"(<a><img src="x.htm"><img><img srcset="http://g/i.png 2x">)");
    EXPECT_EQ(queued, 1u);
}

TEST_F(LinkScannerTest, RewriteAttributeRemovesOnlyWhatRewritingEmptied) {
    RefuseOtherServers();
    site.m_removeLinks = true;
    CLinkScanner scanner(site, page);
    EXPECT_EQ(scanner.RewriteAttribute("img", "src=http://g/x.gif"), "");
    EXPECT_EQ(scanner.RewriteAttribute("img", "alt=\"\""), "alt=\"\"");
    EXPECT_EQ(scanner.RewriteAttribute("img", "src=''"), "src=''");
    EXPECT_EQ(scanner.RewriteAttribute("img", "=x.gif"), "=x.gif");
    EXPECT_EQ(scanner.RewriteAttribute("IMG", "SRC=='x.gif'"), "SRC='x.gif'");
    EXPECT_EQ(scanner.QueuedCount(), 1u);
}

TEST_F(LinkScannerTest, RewriteLinkDecodesOnlyRelativeLinksOfALocalCopy) {
    site.m_useLevels = true;
    site.m_levels = 0; // every link refused, so the resolved address shows
    CLinkScanner server(site, page, PageSource::Server);
    CLinkScanner local(site, page, PageSource::LocalCopy);
    EXPECT_EQ(server.RewriteLink("a%2520b.htm", kLinkClassEmbedded), "http://h/a/b/a%2520b.htm");
    EXPECT_EQ(local.RewriteLink("a%2520b.htm", kLinkClassEmbedded), "http://h/a/b/a%20b.htm");
    EXPECT_EQ(local.RewriteLink("caf%C3%A9.htm#x%20y", kLinkClassEmbedded),
              "http://h/a/b/caf\xC3\xA9.htm#x%20y");
    EXPECT_EQ(local.RewriteLink("./a%3Ab.htm", kLinkClassEmbedded), "http://h/a/b/a:b.htm");
    EXPECT_EQ(local.RewriteLink("a%3Ab.htm", kLinkClassEmbedded), "http://h/a/b/a:b.htm");
    EXPECT_EQ(local.RewriteLink("50%.htm", kLinkClassEmbedded), "http://h/a/b/50%.htm");
    EXPECT_EQ(local.RewriteLink("http://h/a%20b.htm", kLinkClassEmbedded), "http://h/a%20b.htm");
}

TEST_F(LinkScannerTest, EscapedLinkReadBackFromTheLocalCopyNamesTheSameFile) {
    const std::string linked = Scan(R"(<a href="space%20page.html">)");
    ASSERT_EQ(linked, R"(<a href="space%2520page.html">)");
    EXPECT_EQ(queued, 1u);

    // The stored page, scanned again: its link must lead to the same address.
    EXPECT_EQ(Scan(linked, PageSource::LocalCopy), linked);
    EXPECT_EQ(queued, 1u);
    const auto pending = TakePending();
    ASSERT_EQ(pending, Strings{"http://h/a/b/space%20page.html"});
    EXPECT_EQ(site.GetLocalPath(*taken.back()),
              site.GetLocalPath(CUrl(&page, "space%20page.html", kLinkFollowed)));
}

TEST_F(LinkScannerTest, AFolderLinkReadBackFromTheLocalCopyNamesTheFolderAgain) {
    const std::string linked = Scan(R"(<a href="d/">)");
    ASSERT_EQ(linked, R"(<a href="d/index.htm">)");
    EXPECT_EQ(Scan(linked, PageSource::LocalCopy), linked);
    EXPECT_EQ(queued, 1u); // the second scan found the pending folder address
    EXPECT_EQ(TakePending(), Strings{"http://h/a/b/d/"});
}

TEST_F(LinkScannerTest, StoredLinksOpenTheStoredFilesInABrowser) {
    const std::vector<std::string> targets = {"space%20page.html", "caf%C3%A9.html",
                                              "../up/caf\xC3\xA9 50%.html", "d/100%25 a#frag"};
    std::string text;
    for (const auto& target : targets) {
        text += "<a href=\"" + target + "\">";
    }
    const std::string stored = Scan(text);
    const auto links = Hrefs(stored);
    ASSERT_EQ(links.size(), targets.size()) << stored;

    const fs::path pageDir = fs::path(site.GetLocalPath(page)).parent_path();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const CUrl target(&page, targets[i], kLinkFollowed);
        const fs::path file = site.GetLocalPath(target);
        ASSERT_FALSE(file.empty()) << targets[i];
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "stored";

        const fs::path opened = (pageDir / BrowserDecode(links[i])).lexically_normal();
        EXPECT_EQ(opened, file.lexically_normal()) << links[i];
        EXPECT_TRUE(fs::exists(opened)) << links[i];
    }
    EXPECT_EQ(queued, targets.size());
}

TEST_F(LinkScannerTest, AQuotedValueEndsAtItsClosingQuote) {
    // The self-closing mark stays where it is; it is no part of the value.
    EXPECT_EQ(Scan(R"(<link rel="stylesheet" href="/a/b/x.css"/>)"),
              R"(<link rel="stylesheet" href="x.css"/>)");
    EXPECT_EQ(Scan("<img src='/a/b/a.png'/>"), "<img src='a.png'/>");
    // What follows a closing quote begins the next attribute.
    EXPECT_EQ(Scan(R"(<a href="/a/b/y.html"class="c">)"), R"(<a href="y.html"class="c">)");
    // An unquoted value still runs to the next space.
    EXPECT_EQ(Scan("<img src=/a/b/u.png/>"), "<img src=u.png/index.htm>");
    EXPECT_EQ(TakePending(), (Strings{"http://h/a/b/x.css", "http://h/a/b/a.png",
                                      "http://h/a/b/y.html", "http://h/a/b/u.png/"}));
}

// Pages with quotes inside or right after values: the stored page, scanned again as an
// update does, keeps every byte and queues the same files (a stored link has lost the
// query and parameters, which no local name holds).
TEST(LinkScannerRescan, AStoredPageScannedAgainIsUnchanged) {
    SitesDirScope dir;
    const CUrl page(nullptr, "http://h/a/b/q.htm", kLinkFollowed);
    const auto scan = [&](bool requisites, std::string text, PageSource source) {
        CSite site("Mirror");
        site.m_pageRequisites = requisites;
        site.m_useServers = true;
        site.m_servers = "h=1";
        site.CompilePatterns();
        CLinkScanner(site, page, source).ScanPage(text);
        std::vector<std::string> queued;
        while (const auto address = site.NextPending()) {
            queued.push_back(site.GetLocalPath(*address));
            site.MarkDone(*address);
        }
        return std::make_pair(text, queued);
    };
    for (const bool requisites : {false, true}) {
        for (const std::string text :
             {R"(<a title="Say "hi"" href="/a/b/x.html">)", R"(<img alt="a"b src="/a/b/x.png">)",
              R"(<a href="/a/b/x.html"class="c">)", R"(<a href="/a/b/x.html" title="it's">)",
              R"(<a href=/a/b/x.html title=a"b>)", R"(<a href='/a/b/it&apos;s.html'>)",
              R"(<a href="//g/q.htm" class=x>)", "<a href=./=d/ title=t>"}) {
            const auto first = scan(requisites, text, PageSource::Server);
            EXPECT_EQ(scan(requisites, first.first, PageSource::LocalCopy), first)
                << text << " (requisites " << requisites << ")";
        }
    }
}
