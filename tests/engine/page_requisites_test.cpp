// What a page needs to display: the scanner's reading of scripts, frames, responsive
// images, media, style sheets and base addresses, and whole crawls that store them.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/link_scanner.h"
#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"
#include "support/site_fixture.h"
#include "web/url.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

class RequisitesScan : public ::testing::Test {
protected:
    RequisitesScan() {
        site.m_pageRequisites = true;
        site.m_useServers = true;
        site.m_servers = "h=1";
        site.CompilePatterns();
    }
    ~RequisitesScan() override {
        while (const auto address = site.NextPending())
            site.MarkDone(*address);
    }

    std::string Scan(std::string text) {
        CLinkScanner scanner(site, page);
        scanner.ScanPage(text);
        return text;
    }
    std::string ScanStyleSheet(std::string text, const CUrl& sheet) {
        CLinkScanner scanner(site, sheet);
        scanner.ScanStyleSheet(text);
        return text;
    }
    // The queued addresses with their levels, in order; each is then forgotten.
    Strings Queued() {
        Strings urls;
        while (const auto address = site.NextPending()) {
            urls.push_back(address->GetURL() + " " + std::to_string(address->level));
            site.MarkDone(*address);
        }
        return urls;
    }

    SitesDirScope dir;
    CSite site{"Mirror"};
    CUrl page{nullptr, "http://h/a/q.htm", kLinkFollowed};
};

} // namespace

TEST_F(RequisitesScan, ScriptsFramesMediaAndLinkRelationsAreFollowed) {
    EXPECT_EQ(Scan("<script src=\"/js/app.js\">var x = '<img src=no.png>';</script>"
                   "<iframe src=f.htm></iframe><video poster=p.jpg src=v.mp4>"
                   "<track src=t.vtt></video><audio src=s.ogg></audio>"
                   "<link rel=\"Stylesheet\" href=\"/css/s.css\"><link rel=next href=n.htm>"
                   "<link rel=\"shortcut icon\" href=/favicon.ico>"
                   "<svg><use xlink:href=\"/i.svg#x\"/><image href=\"im.png\"/></svg>"),
              "<script src=\"../js/app.js\">var x = '<img src=no.png>';</script>"
              "<iframe src=f.htm></iframe><video poster=p.jpg src=v.mp4>"
              "<track src=t.vtt></video><audio src=s.ogg></audio>"
              "<link rel=\"Stylesheet\" href=\"../css/s.css\"><link rel=next href=n.htm>"
              "<link rel=\"shortcut icon\" href=../favicon.ico>"
              "<svg><use xlink:href=\"../i.svg#x\"/><image href=\"im.png\"/></svg>");
    // Embedded files keep the page's level; frames and other links go one deeper.
    EXPECT_EQ(Queued(), (Strings{"http://h/js/app.js 1", "http://h/a/f.htm 2", "http://h/a/p.jpg 1",
                                 "http://h/a/v.mp4 1", "http://h/a/t.vtt 1", "http://h/a/s.ogg 1",
                                 "http://h/css/s.css 1", "http://h/a/n.htm 2",
                                 "http://h/favicon.ico 1", "http://h/i.svg#x 1",
                                 "http://h/a/im.png 1"}));
}

TEST_F(RequisitesScan, ListsAndStylesKeepEverythingButTheirAddresses) {
    EXPECT_EQ(Scan("<img srcset=\"/img/a.png 1x,\n /img/b.png 2x\" sizes=\"(min-width: 5em) 50vw\">"
                   "<source data-srcset=\"c.webp 640w, d.webp 1280w\" data-src=e.png>"
                   "<meta http-equiv=\"Refresh\" content=\"5; URL='/next.htm'\">"
                   "<meta name=refresh content=\"0;url=x.htm\">"
                   "<div style=\"background: url(&quot;/img/f.png&quot;) no-repeat\">"),
              "<img srcset=\"../img/a.png 1x,\n ../img/b.png 2x\" sizes=\"(min-width: 5em) 50vw\">"
              "<source data-srcset=\"c.webp 640w, d.webp 1280w\" data-src=e.png>"
              "<meta http-equiv=\"Refresh\" content=\"5; URL='../next.htm'\">"
              "<meta name=refresh content=\"0;url=x.htm\">"
              "<div style='background: url(\"../img/f.png\") no-repeat'>");
    EXPECT_EQ(Queued(), (Strings{"http://h/img/a.png 1", "http://h/img/b.png 1", "http://h/a/c.webp 1",
                                 "http://h/a/d.webp 1", "http://h/a/e.png 1", "http://h/next.htm 2",
                                 "http://h/img/f.png 1"}));
}

TEST_F(RequisitesScan, StyleSheetsRewriteUrlsAndImportsOnly) {
    const CUrl sheet(nullptr, "http://h/css/site.css", kLinkEmbedded);
    EXPECT_EQ(ScanStyleSheet("@import \"base.css\";@IMPORT url('/print.css') print;\n"
                             "/* url(old.png) */ p::after { content: \"url(text.png)\" }\n"
                             "a { background: URL( ../img/a.png?v=2 ) }\n"
                             "b { background: url(\"data:image/png;base64,AAAA\"), url(#grad) }\n"
                             "@font-face { src: url(../f/x.woff2#iefix) format(\"woff2\") }\n"
                             "i { background: url(a\\(b.png) } my-url(x.png)",
                             sheet),
              "@import \"base.css\";@IMPORT url('../print.css') print;\n"
              "/* url(old.png) */ p::after { content: \"url(text.png)\" }\n"
              "a { background: URL( ../img/a.png ) }\n"
              "b { background: url(\"data:image/png;base64,AAAA\"), url(#grad) }\n"
              "@font-face { src: url(../f/x.woff2#iefix) format(\"woff2\") }\n"
              "i { background: url(a\\(b.png) } my-url(x.png)");
    EXPECT_EQ(Queued(), (Strings{"http://h/css/base.css 1", "http://h/print.css 1",
                                 "http://h/img/a.png?v=2 1", "http://h/f/x.woff2#iefix 1"}));

    // The same inside a page's style element, against the page.
    EXPECT_EQ(Scan("<STYLE>@import '/css/base.css'; p{background:url(i.png)}</style >"
                   "<a href=x.htm>"),
              "<STYLE>@import '../css/base.css'; p{background:url(i.png)}</style >"
              "<a href=x.htm>");
    EXPECT_EQ(Queued(), (Strings{"http://h/css/base.css 1", "http://h/a/i.png 1",
                                 "http://h/a/x.htm 2"}));
}

TEST_F(RequisitesScan, ABaseResolvesTheLinksAndIsRemoved) {
    EXPECT_EQ(Scan("<head><link href=s.css rel=stylesheet><base href=\"/docs/v2/\" target=_top>"
                   "</head><a href=\"p.htm#s\">p</a><a href=#top>top</a><img src=\"../i.png\">"),
              "<head><link href=../docs/v2/s.css rel=stylesheet><base target=_top>"
              "</head><a href=\"../docs/v2/p.htm#s\">p</a><a href=#top>top</a>"
              "<img src=\"../docs/i.png\">");
    EXPECT_EQ(Queued(), (Strings{"http://h/docs/v2/s.css 1", "http://h/docs/v2/p.htm#s 2",
                                 "http://h/docs/i.png 1"}));
}

TEST_F(RequisitesScan, EmbeddedFilesComeFromAnyServerUnlessTheSiteSaysOtherwise) {
    const std::string text = "<img src=\"http://cdn/i.png\"><a href=\"http://cdn/p.htm\">";
    EXPECT_EQ(Scan(text), "<img src=\"../../cdn/i.png\"><a href=\"http://cdn/p.htm\">");
    EXPECT_EQ(Queued(), Strings{"http://cdn/i.png 1"});

    site.m_requisitesAnyServer = false;
    EXPECT_EQ(Scan(text), "<img src=\"http://cdn/i.png\"><a href=\"http://cdn/p.htm\">");
    EXPECT_TRUE(Queued().empty());

    // A server the site excludes stays excluded.
    site.m_requisitesAnyServer = true;
    site.m_includeServers = false;
    site.m_servers = "cdn=1";
    site.CompilePatterns();
    EXPECT_EQ(Scan(text), "<img src=\"http://cdn/i.png\"><a href=\"http://cdn/p.htm\">");
    EXPECT_TRUE(Queued().empty());
}

TEST_F(RequisitesScan, TagsEndWhereBrowsersEndThem) {
    // A ">" inside a quoted value, attributes glued to a closing quote, and character
    // references in a link all read as a browser reads them.
    EXPECT_EQ(Scan("<a title=\"a > b\" href=\"x.htm?a=1&amp;b=2\"class=k>"
                   "<img alt='it&#39;s' src=\"it's.png\"/>"),
              "<a title=\"a > b\" href=\"x.htm\"class=k><img alt='it&#39;s' src=\"it's.png\"/>");
    EXPECT_EQ(Queued(), (Strings{"http://h/a/x.htm?a=1&b=2 2", "http://h/a/it's.png 1"}));
}

// A small site that uses every kind of requisite, copied, then updated.
TEST_F(Crawl, PageRequisitesAreStoredAndLinkedLocallyAndAnUpdateKeepsThem) {
    server.Add("/index.html",
               Html("<html><head><link rel=\"stylesheet\" href=\"css/site.css\"/>"
                    "<link rel=icon href=/favicon.ico><script src=\"/js/app.js\"></script>"
                    "<style>body{background:url(img/bg.png)}</style></head><body>"
                    "<img src=\"img/a.png\" srcset=\"img/a2.png 2x, img/a3.png 3x\" alt=a>"
                    "<picture><source srcset=\"img/p.webp\" type=\"image/webp\"></picture>"
                    "<video poster=\"media/poster.jpg\"><source src=\"media/v.mp4\">"
                    "<track src=\"media/v.vtt\"></video><audio src=media/a.ogg></audio>"
                    "<iframe src=\"frame.html\"></iframe>"
                    "<div style=\"background-image:url('img/div.png')\"></div>"
                    "<img data-src=\"img/lazy.png\" src=\"data:image/gif;base64,R0lGOD\">"
                    "<svg><use href=\"img/icons.svg#x\"></use></svg></body></html>"));
    server.Add("/frame.html", Html("<img src=img/inframe.png>"));
    const auto file = [&](const std::string& path, const std::string& type, std::string body) {
        SiteServer::Page page{std::move(body), type};
        page.headers.emplace("Last-Modified", kOldDate);
        server.Add(path, page);
    };
    file("/css/site.css", "text/css",
         "@import \"base.css\";\n.x{background:url(../img/css.png?v=2)}\n"
         "@font-face{src:url(\"../fonts/f.woff2\") format(\"woff2\"),url(data:font/woff,AA)}\n"
         "/* url(ignored.png) */");
    file("/css/base.css", "text/css", "p{background:url(/img/base.png)}");
    const std::vector<std::string> binaries = {
        "/favicon.ico",     "/js/app.js",       "/img/bg.png",          "/img/a.png",
        "/img/a2.png",      "/img/a3.png",      "/img/p.webp",          "/media/poster.jpg",
        "/media/v.mp4",     "/media/v.vtt",     "/media/a.ogg",         "/img/div.png",
        "/img/lazy.png",    "/img/icons.svg",   "/img/inframe.png",     "/img/css.png",
        "/fonts/f.woff2",   "/img/base.png"};
    for (const auto& path : binaries)
        file(path, "application/octet-stream", "bytes of " + path);
    server.Start();
    CSite& site = MakeSite("Req", "/index.html");
    site.m_pageRequisites = true;
    RunToEnd({&site});

    for (const auto& error : site.GetErrors())
        ADD_FAILURE() << error.code << " " << error.address;
    for (const auto& path : binaries)
        EXPECT_EQ(ReadFileText(Stored(site, path.substr(1))), "bytes of " + path) << path;
    const std::string index = ReadFileText(Stored(site, "index.html"));
    EXPECT_NE(index.find("<script src=\"js/app.js\">"), std::string::npos) << index;
    EXPECT_NE(index.find("<link rel=icon href=favicon.ico>"), std::string::npos) << index;
    EXPECT_EQ(index.find("127.0.0.1"), std::string::npos) << index;
    EXPECT_EQ(ReadFileText(Stored(site, "css/site.css")),
              "@import \"base.css\";\n.x{background:url(../img/css.png)}\n"
              "@font-face{src:url(\"../fonts/f.woff2\") format(\"woff2\"),url(data:font/woff,AA)}\n"
              "/* url(ignored.png) */");
    EXPECT_EQ(ReadFileText(Stored(site, "css/base.css")), "p{background:url(../img/base.png)}");

    // An update reads the stored page and style sheets again: not a byte changes, and
    // every requisite is asked about once more.
    const std::string sheet = ReadFileText(Stored(site, "css/site.css"));
    RunToEnd({&site});
    EXPECT_EQ(ReadFileText(Stored(site, "index.html")), index);
    EXPECT_EQ(ReadFileText(Stored(site, "css/site.css")), sheet);
    for (const auto& path : binaries)
        EXPECT_EQ(server.Count("GET " + path), 2) << path;
    EXPECT_TRUE(site.GetErrors().empty());
}

TEST_F(Crawl, WithoutRequisitesScriptsAndStyleSheetContentsAreLeftAlone) {
    server.Add("/index.html", Html("<link rel=stylesheet href=\"s.css\"/><script src=app.js>"
                                   "</script><img srcset=\"a.png 2x\">"));
    SiteServer::Page css{"p{background:url(bg.png)}", "text/css"};
    server.Add("/s.css", css);
    server.Start();
    CSite& site = MakeSite("Old", "/index.html");
    RunToEnd({&site});

    // The self-closing mark no longer ends up in the link.
    EXPECT_EQ(ReadFileText(Stored(site, "index.html")),
              "<link rel=stylesheet href=\"s.css\"/><script src=app.js></script>"
              "<img srcset=\"a.png 2x\">");
    EXPECT_EQ(ReadFileText(Stored(site, "s.css")), "p{background:url(bg.png)}");
    EXPECT_EQ(server.Count("GET /app.js"), 0);
    EXPECT_EQ(server.Count("GET /bg.png"), 0);
    EXPECT_EQ(server.Count("GET /a.png"), 0);
}

TEST_F(Crawl, ARedirectStubLinksItsTargetRelativelySoAMovedCopyStillOpensIt) {
    AddRedirect("/old/page.html", "/docs/new.html#part", 301);
    server.Add("/docs/new.html", Html("new"));
    server.Start();
    CSite& site = MakeSite("Moved", "/old/page.html");
    site.m_pageRequisites = true;
    RunToEnd({&site});

    const std::string stub = ReadFileText(Stored(site, "old/page.html"));
    EXPECT_NE(stub.find("content=\"1;url=../docs/new.html#part\""), std::string::npos) << stub;
    const fs::path moveTo = dir.path() / "elsewhere";
    fs::rename(dir.path() / "Moved", moveTo);
    const fs::path target = moveTo / "127.0.0.1" / "old" / "../docs/new.html";
    EXPECT_EQ(ReadFileText(target.lexically_normal()), "new");
}
