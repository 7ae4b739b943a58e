#include "web/exact_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;

constexpr TypedExtension kUnknown{};
constexpr TypedExtension kHtml{FileType::Html, ".html"};
constexpr TypedExtension kCss{FileType::StyleSheet, ".css"};
constexpr TypedExtension kJs{FileType::Script, ".js"};

CUrl Exact(std::string_view text, const CUrl* base = nullptr) {
    return CUrl(base, text, kLinkFollowed, UrlReading::Exact);
}

// The start address is http://h/ unless a test says otherwise.
std::string NameOf(std::string_view text, TypedExtension type, int unique = 0,
                   CExactNaming naming = {"h", 0, "index.html"}) {
    return ExactLocalName(Exact(text), naming, type, unique);
}

TEST(TypeOfContent, ReadsTheMediaTypeWhateverItsCaseAndParameters) {
    const struct {
        std::string_view contentType;
        TypedExtension type;
    } cases[] = {
        {"text/html", kHtml},
        {"Text/HTML; charset=UTF-8", kHtml},
        {"  text/html  ;charset=utf-8", kHtml},
        {"application/xhtml+xml", kHtml},
        {"text/css;charset=utf-8", kCss},
        {"text/ecmascript", kJs},
        {"application/ld+json", {FileType::Json, ".json"}},
        {"application/manifest+json; charset=utf-8", {FileType::Json, ".json"}},
        {"application/rss+xml", {FileType::Xml, ".xml"}},
        {"image/svg+xml", {FileType::Svg, ".svg"}},
        {"image/tiff", {FileType::Image, ""}},
        {"application/vnd.ms-fontobject", {FileType::Font, ".eot"}},
        {"font/collection", {FileType::Font, ""}},
        {"text/plain", kUnknown},
        {"", kUnknown},
        {"; charset=utf-8", kUnknown},
        {"+json", kUnknown},
        {"text/htmlx", kUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contentType);
        EXPECT_EQ(TypeOfContent(c.contentType), c.type);
    }
}

TEST(TypeOfExtension, KnowsTypesInAnyCaseAndReturnsLowerCase) {
    EXPECT_EQ(TypeOfExtension(".CSS"), kCss);
    EXPECT_EQ(TypeOfExtension(".Htm"), (TypedExtension{FileType::Html, ".htm"}));
    EXPECT_EQ(TypeOfExtension(".JPEG"), (TypedExtension{FileType::Image, ".jpeg"}));
    EXPECT_EQ(TypeOfExtension(".atom"), (TypedExtension{FileType::Xml, ".atom"}));
    EXPECT_EQ(TypeOfExtension(".pdf"), kUnknown);
    EXPECT_EQ(TypeOfExtension("css"), kUnknown);
    EXPECT_EQ(TypeOfExtension(""), kUnknown);

    for (const auto extension : {".html"sv, ".WOFF2"sv, ".pdf"sv, ".Zip"sv, ".map"sv}) {
        EXPECT_TRUE(ExtensionSaysType(extension)) << extension;
    }
    for (const auto extension : {""sv, ".php"sv, ".ASPX"sv, ".cgi"sv, ".do"sv, ".abc"sv, "."sv}) {
        EXPECT_FALSE(ExtensionSaysType(extension)) << extension;
    }
    EXPECT_EQ(NameExtension("a.tar.gz"), ".gz");
    EXPECT_EQ(NameExtension(".htaccess"), "");
    EXPECT_EQ(NameExtension("LICENSE"), "");
}

TEST(PredictedType, ExtensionThatSaysTheTypeWinsOverTheLinksPlace) {
    const CUrl page = Exact("http://h/docs/intro");
    const struct {
        std::string_view link;
        LinkContext context;
        std::string_view defaultDocument;
        TypedExtension type;
        const char* name;
    } cases[] = {
        {"report.pdf", LinkContext::Page, "index.html", kUnknown, "h/docs/report.pdf"},
        {"/about", LinkContext::Page, "index.html", kHtml, "h/about.html"},
        {"/w/load.php?modules=a|b&only=styles", LinkContext::StyleSheet, "index.html", kCss,
         "h/w/load.php@36be62d86de2.css"},
        {"app.js?v=3", LinkContext::Script, "index.html", kJs, "h/docs/app.js@v=3.js"},
        {"logo.PNG", LinkContext::Page, "index.html", {FileType::Image, ".png"}, "h/docs/logo.PNG"},
        {"index.php?title=Main_Page", LinkContext::Page, "index.html", kHtml,
         "h/docs/index.php@title=Main_Page.html"},
        {"data", LinkContext::Other, "index.html", kUnknown, "h/docs/data"},
        // A folder is named by the default document, which predicts by its own extension.
        {"/blog/", LinkContext::Other, "index.htm", {FileType::Html, ".htm"}, "h/blog/index.htm"},
        {"/blog/", LinkContext::Page, "default", kHtml, "h/blog/default.html"},
        {"/blog/", LinkContext::Other, "default", kUnknown, "h/blog/default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const CUrl link = Exact(c.link, &page);
        const TypedExtension type = PredictedType(link, c.context, c.defaultDocument);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(ExactLocalName(link, {"h", 0, c.defaultDocument}, type), c.name);
    }
}

TEST(ServerFolder, OnlyTheStartServerAndOtherHostsOnTheStartsOrDefaultPortKeepThePlainHost) {
    const CExactNaming atDefault{"h", 0, "index.html"};
    const CExactNaming at8080{"h", 8080, "index.html"};
    const struct {
        std::string_view address;
        const CExactNaming& naming;
        int keyPort;
        const char* folder;
    } cases[] = {
        {"http://h/", atDefault, 0, "h"},
        {"https://h:443/", atDefault, 0, "h"},
        {"http://h:080/", atDefault, 0, "h"},
        {"http://h:8080/", atDefault, 8080, "h_8080"},
        {"https://h:80/", atDefault, 80, "h_80"},
        {"http://h:8080/", at8080, 8080, "h"},
        {"http://h/", at8080, 0, "h_80"},
        {"https://h/", at8080, 0, "h_443"},
        {"http://g/", at8080, 0, "g"},
        {"http://g:8080/", atDefault, 8080, "g_8080"},
        {"http://g:8080/", at8080, 8080, "g"},
        {"http://g:81/", at8080, 81, "g_81"},
        {"http://h:0/", atDefault, -1, ""},
        {"http://h:65536/", atDefault, -1, ""},
        {"http://h:8o/", atDefault, -1, ""},
        {"ftp://h:21/", atDefault, -1, ""},
        {"http://../", atDefault, 0, ""},
        {"http://.quarn-names/", atDefault, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const CUrl address = Exact(c.address);
        EXPECT_EQ(KeyPort(address), c.keyPort);
        EXPECT_EQ(ServerFolder(address, c.naming), c.folder);
    }
}

TEST(QuerySuffix, ReadableWhenShortAndPlainElseAStableHash) {
    EXPECT_EQ(QuerySuffix("", ""), "");
    EXPECT_EQ(QuerySuffix("", "title=Main_Page&action=edit"), "@title=Main_Page&action=edit");
    EXPECT_EQ(QuerySuffix("", "a-b_c.d,e+f~g"), "@a-b_c.d,e+f~g");
    EXPECT_EQ(QuerySuffix("", std::string(64, 'q')), "@" + std::string(64, 'q'));

    // Pinned values of FNV-1a over the whole part, computed apart from this code.
    EXPECT_EQ(QuerySuffix("", "a b"), "@8acc0b248b0a");
    EXPECT_EQ(QuerySuffix("", "q/1"), "@153e6c24d96a");
    EXPECT_EQ(QuerySuffix("v=1", "x=2"), "@7a78e632f37b");
    EXPECT_EQ(QuerySuffix("jsessionid=42", ""), "@aabeeb3b4f3e");

    const std::string longQuery(65, 'q');
    const std::string hashed = QuerySuffix("", longQuery);
    EXPECT_EQ(hashed.size(), 13u);
    EXPECT_EQ(hashed.find_first_not_of("0123456789abcdef", 1), std::string::npos);
    EXPECT_EQ(QuerySuffix("", longQuery), hashed);
    EXPECT_NE(QuerySuffix("", "a%20b"), QuerySuffix("", "a b"));
    // Parameters are part of what is hashed, so they cannot pass for a query.
    EXPECT_NE(QuerySuffix("x=1", ""), QuerySuffix("", "x=1"));
    EXPECT_NE(QuerySuffix("x=1", ""), QuerySuffix("", ";x=1"));
}

TEST(ExactLocalName, AppendsTheTypeExtensionOnlyWhenTheNameDoesNotSayIt) {
    const struct {
        std::string_view address;
        TypedExtension type;
        int unique;
        const char* name;
    } cases[] = {
        {"http://h/about", kHtml, 0, "h/about.html"},
        {"http://h/Collections.abc", kHtml, 0, "h/Collections.abc.html"},
        {"http://h/index.php?title=Main_Page", kHtml, 0, "h/index.php@title=Main_Page.html"},
        {"http://h/s/style.css", kCss, 0, "h/s/style.css"},
        {"http://h/page.htm", kHtml, 0, "h/page.htm"},
        {"http://h/pic.png", {FileType::Image, ".jpg"}, 0, "h/pic.png"},
        {"http://h/pic.png", {FileType::Image, ""}, 0, "h/pic.png"},
        {"http://h/LICENSE", kUnknown, 0, "h/LICENSE"},
        {"http://h/w/load.php;x?y", kCss, 0, "h/w/load.php@ddacf342f571.css"},
        {"http://h/style.css?v=1.2", kCss, 0, "h/style.css@v=1.2.css"},
        {"http://h/wiki/", kHtml, 0, "h/wiki/index.html"},
        {"http://h", kUnknown, 0, "h/index.html"},
        {"http://h/.htaccess", kHtml, 0, "h/.htaccess.html"},
        {"http://H/A/B.HTML", kHtml, 0, "h/A/B.HTML"},
        // unique goes before the appended extension, else before the leaf's own.
        {"http://h/about", kHtml, 2, "h/about~2.html"},
        {"http://h/x.html", kHtml, 2, "h/x~2.html"},
        {"http://h/LICENSE", kUnknown, 3, "h/LICENSE~3"},
        {"http://h/a.tar.gz", kUnknown, 2, "h/a.tar~2.gz"},
        {"http://h/about", kHtml, 1, "h/about.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(NameOf(c.address, c.type, c.unique), c.name);
    }
}

TEST(ExactLocalName, LongLeavesAreCutOnACharacterAndKeptApartByAHash) {
    const std::string x79(79, 'x');
    // Byte 80 is inside "é", so the cut backs up to 79 bytes.
    const std::string one = NameOf("http://h/" + x79 + "\xC3\xA9" + std::string(50, 'y'), kHtml);
    const std::string two =
        NameOf("http://h/" + x79 + "\xC3\xA9" + std::string(49, 'y') + "z", kHtml);
    EXPECT_EQ(one, "h/" + x79 + "@c4bc23c5154a.html");
    EXPECT_EQ(two, "h/" + x79 + "@c4bc20c5154a.html");

    const std::string a120(120, 'a');
    EXPECT_EQ(NameOf("http://h/" + a120, kUnknown), "h/" + a120);
    const std::string cut = NameOf("http://h/" + a120 + "?q", kUnknown, 2);
    EXPECT_EQ(cut.size(), 2 + 80 + 13 + 2u);
    EXPECT_TRUE(cut.starts_with("h/" + std::string(80, 'a') + "@")) << cut;
    EXPECT_TRUE(cut.ends_with("~2")) << cut;
}

std::string Repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// File systems hold names of up to 255 bytes: a longer folder or server folder is cut as a
// long leaf is, on a character, with a hash of the whole (pinned values of FNV-1a computed
// apart from this code); a name that fits is kept as it is, so existing copies keep theirs.
TEST(ExactLocalName, FoldersAndServerFoldersOverWhatFileSystemsHoldAreCut) {
    const std::string f255(255, 'f');
    const std::string f256(256, 'f');
    const std::string a251(251, 'a');
    const std::string a255(255, 'a');
    const std::string cutF256 = std::string(80, 'f') + "@1cd6bcef62d1";
    const struct {
        std::string address;
        std::string name;
    } cases[] = {
        {"http://h/" + f255 + "/x", "h/" + f255 + "/x.html"},
        {"http://" + a255 + "/x", a255 + "/x.html"},
        {"http://h/" + f256 + "/x", "h/" + cutF256 + "/x.html"},
        {"http://h/" + f256 + "/", "h/" + cutF256 + "/index.html"},
        {"http://h/a/" + f256 + "/b/" + f256 + "/x?q=1",
         "h/a/" + cutF256 + "/b/" + cutF256 + "/x@q=1.html"},
        // The port written after the host makes the folder too long.
        {"http://" + a251 + "/x", a251 + "/x.html"},
        {"http://" + a251 + ":8080/x", std::string(80, 'a') + "@f038a58d2caa/x.html"},
        // Byte 80 inside a two-, three- or four-byte character: the cut backs up to it.
        {"http://h/" + std::string(79, 'x') + Repeated("\xC3\xA9", 111) + "/x",
         "h/" + std::string(79, 'x') + "@c44e2a9504fe/x.html"},
        {"http://h/" + std::string(78, 'x') + Repeated("\xE2\x82\xAC", 80) + "/x",
         "h/" + std::string(78, 'x') + "@6d612e8850e4/x.html"},
        {"http://h/" + std::string(77, 'x') + Repeated("\xF0\x9F\x98\x80", 60) + "/x",
         "h/" + std::string(77, 'x') + "@05a9e78e8839/x.html"},
        {"http://" + Repeated("\xC3\xA9", 130) + "/x",
         Repeated("\xC3\xA9", 40) + "@1d8a8b870cb7/x.html"},
        // A long folder and a long leaf: each is cut by its own rule.
        {"http://h/" + f256 + "/" + std::string(130, 'l'),
         "h/" + cutF256 + "/" + std::string(80, 'l') + "@c4553128d879.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.substr(0, 40));
        const std::string name = NameOf(c.address, kHtml);
        EXPECT_EQ(name, c.name);
        std::string_view rest = name;
        for (auto slash = rest.find('/'); slash != std::string_view::npos; slash = rest.find('/')) {
            EXPECT_LE(slash, 255u);
            rest.remove_prefix(slash + 1);
        }
    }
}

// Long folders that share their first 240 bytes land in different folders; one long
// folder is always cut the same way, so a page's siblings stay beside it and the links
// between them are plain names.
TEST(ExactLocalName, LongFoldersStayApartAndSiblingsStayTogether) {
    const std::string common(240, 'p');
    const std::string one = "http://h/" + common + std::string(60, 'a') + "/";
    const std::string two = "http://h/" + common + std::string(59, 'a') + "b/";
    const std::string oneFolder = NameOf(one + "x", kHtml);
    const std::string twoFolder = NameOf(two + "x", kHtml);
    EXPECT_NE(oneFolder.substr(0, oneFolder.rfind('/')), twoFolder.substr(0, twoFolder.rfind('/')));

    const std::string page = NameOf(one + "page", kHtml);
    const std::string sibling = NameOf(one + "sibling?v=2", kCss);
    EXPECT_EQ(page.substr(0, page.rfind('/')), sibling.substr(0, sibling.rfind('/')));
    EXPECT_EQ(RelativeLink(page, sibling), "sibling@v=2.css");
    EXPECT_EQ(RelativeLink(page, NameOf("http://h/top", kHtml)), "../top.html");
    EXPECT_EQ(RelativeLink(NameOf("http://h/top", kHtml), page), page.substr(2));
}

TEST(ExactLocalName, DistinctAddressesGetDistinctNames) {
    const std::string prefix = "http://h/" + std::string(90, 'p');
    const std::vector<std::string> addresses = {
        "http://h/a?x=1",
        "http://h/a?x=2",
        "http://h/a?X=1",
        "http://h/a",
        "http://h/a.b",
        "http://h/A",
        "http://h/a/",
        "http://h/a.htm",
        "http://h/a;x=1",
        "http://h/a;x=1?y",
        "http://h/a?x%3D1",
        "http://h/a?x 1",
        "http://h/a?x+1",
        "http://h:8080/a",
        "http://h:8081/a",
        "http://g/a",
        "http://g:8080/a",
        "http://h/b/a",
        "http://h/B/a",
        "http://h/index",
        "http://h/index.php",
        "http://h/index.php?p=1",
        "http://h/index.php?p=1&q=2",
        "http://h/index.php?q=2&p=1",
        prefix + std::string(40, 'q'),
        prefix + std::string(39, 'q') + "r",
        prefix + "?" + std::string(40, 'q'),
        prefix + std::string(40, 'q') + ".html",
    };
    for (const TypedExtension type : {kUnknown, kHtml}) {
        std::set<std::string> names;
        for (const auto& address : addresses) {
            const std::string name = NameOf(address, type);
            ASSERT_FALSE(name.empty()) << address;
            EXPECT_TRUE(names.insert(name).second) << address << " gives " << name;
        }
    }
    // "/index.php?" and "/index.php" are the same request, as the parser drops an empty query.
    EXPECT_EQ(NameOf("http://h/index.php?", kHtml), NameOf("http://h/index.php", kHtml));
}

TEST(ExactLocalName, ADotlessPageAndItsHtmlNameClashUntilUniqueSetsOneApart) {
    const std::string dotless = NameOf("http://h/x", kHtml);
    EXPECT_EQ(dotless, "h/x.html");
    EXPECT_EQ(NameOf("http://h/x.html", kHtml), dotless);
    EXPECT_EQ(NameOf("http://h/x", kHtml, 2), "h/x~2.html");
    EXPECT_EQ(NameOf("http://h/x.html", kHtml, 2), "h/x~2.html");
    EXPECT_NE(NameOf("http://h/x", kHtml, 2), NameOf("http://h/x.html", kHtml));
}

TEST(ExactLocalName, RefusesWhatCannotBeStoredSafely) {
    const CExactNaming naming{"h", 0, "index.html"};
    for (const auto address : {"/x"sv, "x"sv, "http:///x"sv, "http://../x"sv, "http://h:99999/x"sv,
                               "http://h/a\\b"sv, "http://h/a\\..\\..\\x"sv, "http://h/a\0b"sv}) {
        SCOPED_TRACE(std::string(address));
        EXPECT_EQ(ExactLocalName(Exact(address), naming, kHtml), "");
    }
    CUrl byHand = Exact("http://h/a/b");
    for (const char* path : {"/a//", "/../", "/./", "a/", "/a", ""}) {
        SCOPED_TRACE(path);
        byHand.path = path;
        EXPECT_EQ(ExactLocalName(byHand, naming, kUnknown), "");
    }
    byHand.path = "/";
    byHand.file = "..";
    EXPECT_EQ(ExactLocalName(byHand, naming, kHtml), "");
    // The default document stands in only when safe.
    EXPECT_EQ(ExactLocalName(Exact("http://h/d/"), {"h", 0, "../x.html"}, kHtml), "");
    EXPECT_EQ(ExactLocalName(Exact("http://h/d/"), {"h", 0, ""}, kHtml), "");
    EXPECT_EQ(ExactLocalName(Exact("http://h/d/f"), {"h", 0, ""}, kHtml), "h/d/f.html");
    // Dot segments are resolved before naming, so they never reach the name.
    EXPECT_EQ(NameOf("http://h/a/../../b/./c", kUnknown), "h/b/c");
}

TEST(RelativeLink, LeadsFromOneLocalFileToAnother) {
    const struct {
        std::string_view from;
        std::string_view to;
        std::string_view fragment;
        const char* link;
    } cases[] = {
        {"h/a/b.html", "h/a/c.html", "", "c.html"},
        {"h/a/b.html", "h/x/y.css", "", "../x/y.css"},
        {"h/p.html", "g_8080/q.html", "", "../g_8080/q.html"},
        {"h/a/b.html", "h/a/b.html", "top", "b.html#top"},
        {"h/a/b.html", "h/a/b/c.html", "", "b/c.html"},
        {"h/a/b/c.html", "h/a", "", "../../a"},
        {"h/ab/x.html", "h/a/y.html", "", "../a/y.html"},
        {"h/x.html", "h/index.php@title=A&b=c~2.html", "", "index.php@title=A&b=c~2.html"},
        {"h/x.html", "h/50%/a b#?.html", "x y", "50%25/a%20b%23%3F.html#x y"},
        {"h/x.html", "h/b:c.html", "", "./b:c.html"},
        {"h/x.html", "g;1/b.html", "", "../g%3B1/b.html"},
        {"h/x.html", "h/caf\xC3\xA9.html", "", "caf%C3%A9.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + std::string(c.to));
        EXPECT_EQ(RelativeLink(c.from, c.to, c.fragment), c.link);
    }
}

TEST(RelativeLink, LinksBetweenPagesNamedFromTheirAddresses) {
    const CExactNaming naming{"h", 0, "index.html"};
    const CUrl page = Exact("http://h/wiki/Main_Page");
    const CUrl other = Exact("Other#History", &page);
    const CUrl style = Exact("/w/load.php?lang=en&only=styles", &page);
    const CUrl elsewhere = Exact("http://g:8080/about/", &page);
    const std::string from = ExactLocalName(page, naming, kHtml);
    EXPECT_EQ(RelativeLink(from, ExactLocalName(other, naming, kHtml), other.fragment),
              "Other.html#History");
    EXPECT_EQ(RelativeLink(from, ExactLocalName(style, naming, kCss)),
              "../w/load.php@lang=en&only=styles.css");
    EXPECT_EQ(RelativeLink(from, ExactLocalName(elsewhere, naming, kHtml)),
              "../../g_8080/about/index.html");
}

} // namespace
