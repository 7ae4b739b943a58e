#include "web/url.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// Every text field a row does not name must come out empty.
struct ParseCase {
    const char* text;
    const char* base = nullptr;
    const char* scheme = "";
    const char* user = "";
    const char* password = "";
    const char* host = "";
    const char* port = "";
    const char* path = "";
    const char* file = "";
    const char* params = "";
    const char* query = "";
    const char* fragment = "";
};

std::ostream& operator<<(std::ostream& out, const ParseCase& c) {
    return out << '"' << c.text << "\" against " << (c.base ? c.base : "no base");
}

class UrlParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(UrlParseTest, SplitsAndResolvesIntoFields) {
    const ParseCase& c = GetParam();
    const CUrl base(nullptr, c.base ? c.base : "", kLinkEmbedded);
    const CUrl url(c.base ? &base : nullptr, c.text, kLinkEmbedded);
    EXPECT_EQ(url.scheme, c.scheme);
    EXPECT_EQ(url.user, c.user);
    EXPECT_EQ(url.password, c.password);
    EXPECT_EQ(url.host, c.host);
    EXPECT_EQ(url.port, c.port);
    EXPECT_EQ(url.path, c.path);
    EXPECT_EQ(url.file, c.file);
    EXPECT_EQ(url.params, c.params);
    EXPECT_EQ(url.query, c.query);
    EXPECT_EQ(url.fragment, c.fragment);
}

INSTANTIATE_TEST_SUITE_P(
    Documented, UrlParseTest,
    ::testing::Values(
        ParseCase{"HTTP://WWW.H/Dir/Page.HTM", nullptr, "http", "", "", "www.h", "", "/Dir/",
                  "Page.HTM"},
        ParseCase{"http://host", nullptr, "http", "", "", "host", "", "/"},
        ParseCase{"http://host/dir", nullptr, "http", "", "", "host", "", "/dir/"},
        ParseCase{"mailto:a@b.c", nullptr, "mailto", "", "", "", "", "/", "@b.c"},
        ParseCase{"news:comp.x", nullptr, "news", "", "", "", "", "/"},
        ParseCase{"localhost:8080/x.htm", nullptr, "localhost", "", "", "", "", "/", "x.htm"},
        ParseCase{"http://usr:pw@srv/x.htm", nullptr, "http", "usr", "pw", "srv", "", "/", "x.htm"},
        ParseCase{"http://usr:pw@srv", nullptr, "http", "", "", "usr", "pw@srv", "/"},
        ParseCase{"http://h:8080/a;p?q#f", nullptr, "http", "", "", "h", "8080", "/a/", "", "p",
                  "q", "f"},
        ParseCase{"page.htm", "http://h/a/b.htm", "http", "", "", "h", "", "/a/", "page.htm"},
        ParseCase{"sub", "http://h/a/b.htm", "http", "", "", "h", "", "/a/sub/"},
        ParseCase{"/x.htm", "http://h/a/b.htm", "http", "", "", "h", "", "/", "x.htm"},
        ParseCase{"http://h", "http://h/a/b.htm", "http", "", "", "h", "", "/a/"},
        ParseCase{"//g/x.htm", "http://h/a.htm", "", "", "", "g", "", "/", "x.htm"},
        ParseCase{"#top", "http://h/a/b.htm", "http", "", "", "h", "", "/a/", "b.htm", "", "",
                  "top"},
        ParseCase{"../../x.htm", "http://h/a/b.htm", "http", "", "", "h", "", "/", "x.htm"},
        ParseCase{"/a/./b/./../c/", nullptr, "", "", "", "", "", "/a/c/"},
        ParseCase{"dir/x.htm", nullptr, "", "", "", "", "", "dir/", "x.htm"},
        ParseCase{"c:\\dir\\f.htm", nullptr, "c", "", "", "", "", "/", "\\dir\\f.htm"}));

INSTANTIATE_TEST_SUITE_P(
    Quirks, UrlParseTest,
    ::testing::Values(
        // Only spaces are trimmed.
        ParseCase{"  http://h/x.htm  ", nullptr, "http", "", "", "h", "", "/", "x.htm"},
        ParseCase{"\thttp://h/x.htm", nullptr, "", "", "", "", "", "\thttp:/h/", "x.htm"},
        // The fragment is cut first, then the query, then the parameters.
        ParseCase{"http://h/x.htm#a?b;c", nullptr, "http", "", "", "h", "", "/", "x.htm", "", "",
                  "a?b;c"},
        ParseCase{"http://h/x.cgi?a;b", nullptr, "http", "", "", "h", "", "/", "x.cgi", "", "a;b"},
        ParseCase{"http://h/a;v=1/b.htm", nullptr, "http", "", "", "h", "", "/a/", "", "v=1/b.htm"},
        // Every leading colon goes before the password and the port.
        ParseCase{"http://u::pw@H::81/", nullptr, "http", "u", "pw", "h", "81", "/"},
        ParseCase{"http://:pw@h/", nullptr, "http", "", "pw", "h", "", "/"},
        // A colon at the start is no scheme.
        ParseCase{":x/y.htm", nullptr, "", "", "", "", "", ":x/", "y.htm"},
        ParseCase{"http://h//a///b//x.htm", nullptr, "http", "", "", "h", "", "/a/b/", "x.htm"},
        ParseCase{"/././x/", nullptr, "", "", "", "", "", "/x/"},
        ParseCase{"/a/b/../../../x/", nullptr, "", "", "", "", "", "/x/"},
        ParseCase{"./x/", nullptr, "", "", "", "", "", "x/"},
        ParseCase{"a/../x/", nullptr, "", "", "", "", "", "x/"},
        ParseCase{"../x/", nullptr, "", "", "", "", "", "../x/"},
        ParseCase{"http://h/..x/", nullptr, "http", "", "", "h", "", "/..x/"},
        ParseCase{"http://h/a/..", nullptr, "http", "", "", "h", "", "/a/", ".."},
        ParseCase{"   ", nullptr, "", "", "", "", "", "/"},
        // Only a fragment borrows the base's file; a bare query does not.
        ParseCase{"?q", "http://h/a/b.htm", "http", "", "", "h", "", "/a/", "", "", "q"},
        ParseCase{"#top", "http://h/a/", "http", "", "", "h", "", "/a/", "", "", "", "top"},
        // A folder with a fragment is that folder, not the base document.
        ParseCase{"d/#top", "http://h/a/b.htm", "http", "", "", "h", "", "/a/d/", "", "", "",
                  "top"},
        ParseCase{"http://g/d/#t", "http://h/a/b.htm", "http", "", "", "g", "", "/d/", "", "", "",
                  "t"},
        ParseCase{"x.htm", "http://u:p@h:81/a/b.htm", "http", "u", "p", "h", "81", "/a/", "x.htm"},
        // Another server inherits nothing.
        ParseCase{"//g/y/", "http://u:p@h:81/a/b.htm", "", "", "", "g", "", "/y/"},
        ParseCase{"HTTP://H/z/", "https://h/a/b.htm", "http", "", "", "h", "", "/z/"}));

// Read exactly, a last segment is a file with or without a dot; only "." and ".." stay
// folders. Everything else reads as in the classic reading.
TEST(Url, ExactReadingTakesEveryLastSegmentForAFile) {
    const struct {
        const char* text;
        const char* base;
        const char* path;
        const char* file;
        const char* url;
    } cases[] = {
        {"http://h/wiki/Main_Page", nullptr, "/wiki/", "Main_Page", "http://h/wiki/Main_Page"},
        {"http://h/about/", nullptr, "/about/", "", "http://h/about/"},
        {"http://h", nullptr, "/", "", "http://h/"},
        {"HTTP://H/LICENSE", nullptr, "/", "LICENSE", "http://h/LICENSE"},
        {"http://h/a/b/..", nullptr, "/a/", "", "http://h/a/"},
        {"http://h/a/.", nullptr, "/a/", "", "http://h/a/"},
        {"http://h/a/...", nullptr, "/a/", "...", "http://h/a/..."},
        {"http://h/w/index.php?title=X#s", nullptr, "/w/", "index.php",
         "http://h/w/index.php?title=X#s"},
        {"Other", "http://h/wiki/Main_Page", "/wiki/", "Other", "http://h/wiki/Other"},
        {"../x", "http://h/a/b/c", "/a/", "x", "http://h/a/x"},
        {"..", "http://h/a/b/c", "/a/", "", "http://h/a/"},
        {"#top", "http://h/wiki/Main_Page", "/wiki/", "Main_Page", "http://h/wiki/Main_Page#top"},
        {"?q", "http://h/wiki/Main_Page", "/wiki/", "Main_Page", "http://h/wiki/Main_Page?q"},
        {"?q", "http://h/wiki/", "/wiki/", "", "http://h/wiki/?q"},
        {"x;p?q", "http://h:81/a/b", "/a/", "x", "http://h:81/a/x;p?q"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CUrl base(nullptr, c.base ? c.base : "", kLinkFollowed, UrlReading::Exact);
        const CUrl url(c.base ? &base : nullptr, c.text, kLinkFollowed, UrlReading::Exact);
        EXPECT_EQ(url.path, c.path);
        EXPECT_EQ(url.file, c.file);
        EXPECT_EQ(url.GetURL(), c.url);
    }
    // The classic reading of the same texts is unchanged.
    EXPECT_EQ(CUrl(nullptr, "http://h/wiki/Main_Page", kLinkFollowed).path, "/wiki/Main_Page/");
    EXPECT_EQ(CUrl(nullptr, "http://h/a/b/..", kLinkFollowed).file, "..");
}

TEST(Url, LevelGrowsOnlyAlongFollowedLinks) {
    const CUrl start(nullptr, "http://h/a/b.htm", kLinkFollowed);
    EXPECT_EQ(start.level, 1);
    EXPECT_EQ(start.attempts, 0);
    const CUrl followed(&start, "page.htm", kLinkFollowed);
    EXPECT_EQ(followed.level, 2);
    EXPECT_EQ(CUrl(&followed, "img.gif", kLinkEmbedded).level, 2);
    EXPECT_EQ(CUrl(&followed, "http://other/x.htm", kLinkFollowed).level, 3);
    EXPECT_EQ(CUrl(&followed, "page.htm", 7).level, 2);
}

TEST(Url, EmptyTextGivesEmptyAddressEvenWithBase) {
    const CUrl base(nullptr, "http://h/a/b.htm", kLinkEmbedded);
    const CUrl url(&base, "", kLinkFollowed);
    EXPECT_EQ(url.path, "");
    EXPECT_EQ(url.host, "");
    EXPECT_EQ(url.level, 1);
    EXPECT_EQ(url.GetURL(), "");
}

TEST(Url, GetUrlRebuildsTheAddress) {
    const CUrl base(nullptr, "http://h/a/b.htm", kLinkEmbedded);
    const struct {
        const CUrl* base;
        const char* text;
        const char* url;
    } cases[] = {
        {&base, "http://h", "http://h/a/"},
        {&base, "//g/x.htm", "g/x.htm"},
        {&base, "#top", "http://h/a/b.htm#top"},
        {nullptr, "c:\\dir\\f.htm", "/\\dir\\f.htm"},
        {nullptr, "HTTP://U:P@WWW.H:81/D/x.htm;p?q=1#f", "http://U:P@www.h:81/D/x.htm;p?q=1#f"},
        {nullptr, "http://u@h/", "http://u@h/"},
        {nullptr, "http://:pw@h/", "http://pw@h/"},
        {nullptr, "mailto:a@b.c", "mailto:///@b.c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CUrl(c.base, c.text, kLinkEmbedded).GetURL(), c.url);
    }
}

TEST(Url, ObjectNameHasNoLeadingSlashNorFragment) {
    const struct {
        const char* text;
        const char* objectName;
    } cases[] = {
        {"http://h/", ""},
        {"http://h/x.htm?a=1", "x.htm?a=1"},
        {"http://h/a/x.cgi?n=1#top", "a/x.cgi?n=1"},
        {"http://h/a/x.cgi;p?n", "a/x.cgi;p?n"},
        {"http://h:81/a/b", "a/b/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CUrl(nullptr, c.text, kLinkEmbedded).GetObjectName(), c.objectName);
    }
}

TEST(Url, CountSlashesIgnoresOneLeadingSlash) {
    EXPECT_EQ(CountSlashes("/a/b/"), 2);
    EXPECT_EQ(CountSlashes("a/b"), 1);
    EXPECT_EQ(CountSlashes(""), 0);
    EXPECT_EQ(CountSlashes("/"), 0);
    EXPECT_EQ(CountSlashes("//"), 1);
}

TEST(Url, HostAndSchemeOfNeedNoBase) {
    EXPECT_EQ(CUrl::HostOf("HTTP://WWW.H:80/x.htm"), "www.h");
    EXPECT_EQ(CUrl::SchemeOf("HTTP://WWW.H:80/x.htm"), "http");
    EXPECT_EQ(CUrl::HostOf("www.h/x.htm"), "");
    EXPECT_EQ(CUrl::SchemeOf("www.h/x.htm"), "");
    EXPECT_EQ(CUrl::HostOf("//g"), "g");
}

struct RelativeCase {
    const char* target;
    const char* base;
    const char* link;
};

class MakeRelativeTest : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(MakeRelativeTest, LinksLocalFileToLocalFile) {
    const RelativeCase& c = GetParam();
    const CUrl base(nullptr, c.base, kLinkEmbedded);
    const CUrl target(&base, c.target, kLinkFollowed);
    EXPECT_EQ(target.MakeRelative(base, "index.htm"), c.link) << c.target << " from " << c.base;
}

INSTANTIATE_TEST_SUITE_P(
    Documented, MakeRelativeTest,
    ::testing::Values(RelativeCase{"http://h/a/c/p.htm", "http://h/a/b/q.htm", "../c/p.htm"},
                      RelativeCase{"http://h/a/b/", "http://h/a/b/q.htm", "index.htm"},
                      RelativeCase{"http://h/a/b/r.htm#n", "http://h/a/b/q.htm", "r.htm#n"},
                      RelativeCase{"http://h/x.htm?id=3", "http://h/a/b/q.htm", "../../x.htm"},
                      RelativeCase{"http://g/x/y.htm#n", "http://h/a/b/q.htm",
                                   "../../../g/x/y.htm#n"},
                      RelativeCase{"http://g/x/y.htm", "http://h/q.htm", "../g/x/y.htm"}));

INSTANTIATE_TEST_SUITE_P(
    MoreShapes, MakeRelativeTest,
    ::testing::Values(RelativeCase{"http://h/a/b/c/d.htm", "http://h/a/b/q.htm", "c/d.htm"},
                      RelativeCase{"http://h/a/x.htm", "http://h/q.htm", "a/x.htm"},
                      RelativeCase{"http://h/x/", "http://h/q.htm", "x/index.htm"},
                      RelativeCase{"http://h/ab/x.htm", "http://h/a/q.htm", "../ab/x.htm"},
                      RelativeCase{"http://h/a/b/q.htm;p?x=1", "http://h/a/b/q.htm", "q.htm"},
                      RelativeCase{"http://u:p@h:81/a/z.htm", "http://h/a/q.htm", "z.htm"},
                      RelativeCase{"https://g/", "http://h/", "../g/index.htm"}));

TEST(MakeRelative, QueryDoesNotChangeTheLink) {
    const CUrl base(nullptr, "http://h/a/b/q.htm", kLinkEmbedded);
    const CUrl one(&base, "/c/x.cgi?id=1", kLinkFollowed);
    const CUrl two(&base, "/c/x.cgi?id=2", kLinkFollowed);
    EXPECT_EQ(one.MakeRelative(base, "index.htm"), two.MakeRelative(base, "index.htm"));
    EXPECT_EQ(one.MakeRelative(base, "index.htm"), "../../c/x.cgi");
}

TEST(MakeRelative, DefaultDocumentStandsInOnlyForMissingFile) {
    const CUrl base(nullptr, "http://h/a/q.htm", kLinkEmbedded);
    EXPECT_EQ(CUrl(&base, "d/", kLinkFollowed).MakeRelative(base, "default.html"),
              "d/default.html");
    EXPECT_EQ(CUrl(&base, "d/f.htm", kLinkFollowed).MakeRelative(base, "default.html"), "d/f.htm");
}

INSTANTIATE_TEST_SUITE_P(
    EscapedNames, MakeRelativeTest,
    ::testing::Values(
        RelativeCase{"http://h/space%20page.html", "http://h/q.htm", "space%2520page.html"},
        RelativeCase{"http://h/caf%C3%A9.html", "http://h/q.htm", "caf%25C3%25A9.html"},
        RelativeCase{"http://h/a b.htm", "http://h/q.htm", "a%20b.htm"},
        RelativeCase{"http://h/caf\xC3\xA9.html", "http://h/q.htm", "caf%C3%A9.html"},
        RelativeCase{"http://h/d%41/x y/", "http://h/q.htm", "d%2541/x%20y/index.htm"},
        RelativeCase{"http://h/x\"<>\\^`{|}.htm", "http://h/q.htm",
                     "x%22%3C%3E%5C%5E%60%7B%7C%7D.htm"},
        RelativeCase{"http://h/c\x01\x7F.htm", "http://h/q.htm", "c%01%7F.htm"},
        RelativeCase{"http://g%25/a b/", "http://h/d/q.htm", "../../g%2525/a%20b/index.htm"},
        RelativeCase{"http://h/a/b c.htm#x y%20", "http://h/a/q.htm", "b%20c.htm#x y%20"},
        RelativeCase{"http://h/a/-._~!$&'()*+,=:@.htm", "http://h/a/q.htm",
                     "-._~!$&'()*+,=:@.htm"}));

// A first segment holding ":" would read as a scheme; later segments are safe.
INSTANTIATE_TEST_SUITE_P(
    ColonNames, MakeRelativeTest,
    ::testing::Values(RelativeCase{"http://h/a/b:c.htm", "http://h/a/q.htm", "./b:c.htm"},
                      RelativeCase{"http://h/a/x:y/", "http://h/a/q.htm", "./x:y/index.htm"},
                      RelativeCase{"http://h/a/d/b:c.htm", "http://h/a/q.htm", "d/b:c.htm"},
                      RelativeCase{"http://h/b:c.htm", "http://h/a/q.htm", "../b:c.htm"},
                      RelativeCase{"http://h/a/1:c.htm", "http://h/a/q.htm", "1:c.htm"},
                      RelativeCase{"http://h/a/b%:c.htm", "http://h/a/q.htm", "b%25:c.htm"}));

TEST(Url, SchemeNameOfReadsOnlyWhatABrowserTakesForAScheme) {
    EXPECT_EQ(SchemeNameOf("http://h/"), "http");
    EXPECT_EQ(SchemeNameOf("Data:text/plain,x"), "Data");
    EXPECT_EQ(SchemeNameOf("tel:+1-555"), "tel");
    EXPECT_EQ(SchemeNameOf("svn+ssh://h"), "svn+ssh");
    EXPECT_EQ(SchemeNameOf("localhost:8080/x.htm"), "localhost");
    EXPECT_EQ(SchemeNameOf("c:\\dir\\f.htm"), "c");
    EXPECT_EQ(SchemeNameOf("page.htm"), "");
    EXPECT_EQ(SchemeNameOf(":x"), "");
    EXPECT_EQ(SchemeNameOf("12:30.htm"), "");
    EXPECT_EQ(SchemeNameOf("a_b:c"), "");
    EXPECT_EQ(SchemeNameOf(" http://h/"), "");
    EXPECT_EQ(SchemeNameOf("dir/a:b.htm"), "");
    EXPECT_EQ(SchemeNameOf("x.cgi?t=1:2"), "");
    EXPECT_EQ(SchemeNameOf("#a:b"), "");
}

TEST(MakeRelative, EscapesHashAndQuestionMarkInNames) {
    const CUrl base(nullptr, "http://h/a/q.htm", kLinkEmbedded);
    CUrl target(&base, "d/f.htm", kLinkFollowed);
    target.path = "/a/50%?/";
    target.file = "x#1.htm";
    EXPECT_EQ(target.MakeRelative(base, "index.htm"), "50%25%3F/x%231.htm");
}

TEST(MakeRelative, EscapesTheDefaultDocument) {
    const CUrl base(nullptr, "http://h/a/q.htm", kLinkEmbedded);
    EXPECT_EQ(CUrl(&base, "d/", kLinkFollowed).MakeRelative(base, "start page.htm"),
              "d/start%20page.htm");
}

} // namespace
