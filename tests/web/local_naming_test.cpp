#include "web/byte_text.h"
#include "web/local_naming.h"
#include "web/site_name.h"
#include "web/url.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace {

using namespace std::string_view_literals;

// Expected paths are written with "/"; the code uses the platform's separator.
std::string Native(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

std::string LocalPathOf(std::string_view address, std::string_view sitesDir = "/s",
                        std::string_view siteName = "Alpha",
                        std::string_view defaultDocument = "index.htm") {
    return CUrl(nullptr, address, kLinkEmbedded)
        .GetLocalPath({sitesDir, siteName, defaultDocument});
}

TEST(GetLocalPath, MapsAddressesUnderSiteAndHostFolders) {
    const struct {
        std::string_view address;
        std::string_view sitesDir;
        const char* local;
    } cases[] = {
        {"http://h/a/b/?x=1", "/s", "/s/Alpha/h/a/b/index.htm"},
        {"http://h/a/p.htm;v", "/s", "/s/Alpha/h/a/p.htm"},
        {"http://h/a/b/?x=1", "/s/", "/s/Alpha/h/a/b/index.htm"},
        {"http://h/a/b/?x=1", "/s//", "/s/Alpha/h/a/b/index.htm"},
        {"http://h/a/p.htm?x=2#f", "/s", "/s/Alpha/h/a/p.htm"},
        {"http://h:8080/x.htm", "/s", "/s/Alpha/h/x.htm"},
        {"http://u:p@h/x.htm", "/s", "/s/Alpha/h/x.htm"},
        {"http://h/dir", "/s", "/s/Alpha/h/dir/index.htm"},
        {"http://h", "/s", "/s/Alpha/h/index.htm"},
        {"HTTP://WWW.H/Dir/Page.HTM", "/s", "/s/Alpha/www.h/Dir/Page.HTM"},
        // Dot segments are resolved before mapping, so they stay inside the host folder.
        {"http://h/a/../../../etc/x.htm", "/s", "/s/Alpha/h/etc/x.htm"},
        // Names that merely look odd are still ordinary names.
        {"http://h/..x/...htm", "/s", "/s/Alpha/h/..x/...htm"},
        {"http://h/%2e%2e/%2e%2e/x.htm", "/s", "/s/Alpha/h/%2e%2e/%2e%2e/x.htm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(LocalPathOf(c.address, c.sitesDir), Native(c.local));
    }
}

// The local path a relative link of the file at fromPath leads to, its escapes undone.
std::string Followed(const std::string& fromPath, std::string_view link) {
    std::string path = fromPath.substr(0, fromPath.rfind('/'));
    for (;;) {
        const auto slash = link.find('/');
        const std::string_view part = link.substr(0, slash);
        if (part == "..") {
            path.erase(path.rfind('/'));
        } else if (part != ".") {
            path += '/';
            for (std::size_t i = 0; i < part.size(); ++i) {
                if (part[i] == '%' && i + 2 < part.size()) {
                    path += static_cast<char>(HexDigitValue(part[i + 1]) * 16 +
                                              HexDigitValue(part[i + 2]));
                    i += 2;
                } else {
                    path += part[i];
                }
            }
        }
        if (slash == std::string_view::npos)
            return path;
        link.remove_prefix(slash + 1);
    }
}

// A host, folder or file name over the 255 bytes file systems hold is cut and marked
// with a hash of the whole (pinned values of FNV-1a computed apart from this code); a file
// keeps its extension. Names that fit are kept, and links between files lead to the
// names as cut.
TEST(GetLocalPath, NamesOverWhatFileSystemsHoldAreCutAndLinksLeadToThem) {
    const std::string f255(255, 'f');
    const std::string f256(256, 'f');
    const std::string cutF256 = std::string(80, 'f') + "@1cd6bcef62d1";
    const struct {
        std::string address;
        std::string local;
    } cases[] = {
        {"http://h/" + f255 + "/x.htm", "/s/Alpha/h/" + f255 + "/x.htm"},
        {"http://h/" + f256 + "/x.htm", "/s/Alpha/h/" + cutF256 + "/x.htm"},
        {"http://h/" + f256 + "/", "/s/Alpha/h/" + cutF256 + "/index.htm"},
        {"http://h/a/" + f256 + "/b%20c/" + f256 + "/x.htm",
         "/s/Alpha/h/a/" + cutF256 + "/b%20c/" + cutF256 + "/x.htm"},
        {"http://" + std::string(256, 'a') + "/x.htm",
         "/s/Alpha/" + std::string(80, 'a') + "@fd2916200943/x.htm"},
        {"http://h/" + std::string(300, 'l') + ".htm",
         "/s/Alpha/h/" + std::string(80, 'l') + "@03330ccadd07.htm"},
        {"http://h/" + std::string(255, 'l'), "/s/Alpha/h/" + std::string(255, 'l') + "/index.htm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.substr(0, 40));
        EXPECT_EQ(LocalPathOf(c.address), Native(c.local));
    }
    for (const auto& from : cases) {
        for (const auto& to : cases) {
            const CUrl base(nullptr, from.address, kLinkEmbedded);
            const CUrl target(nullptr, to.address, kLinkEmbedded);
            EXPECT_EQ(Followed(from.local, target.MakeRelative(base, "index.htm")), to.local)
                << from.address.substr(0, 40) << " to " << to.address.substr(0, 40);
        }
    }
}

TEST(GetLocalPath, DefaultDocumentIsCheckedOnlyWhenItStandsIn) {
    EXPECT_EQ(LocalPathOf("http://h/a/p.htm", "/s", "Alpha", ".."), Native("/s/Alpha/h/a/p.htm"));
    EXPECT_EQ(LocalPathOf("http://h/a/", "/s", "Alpha", ".."), "");
    EXPECT_EQ(LocalPathOf("http://h/a/", "/s", "Alpha", "../../x.htm"), "");
    EXPECT_EQ(LocalPathOf("http://h/a/", "/s", "Alpha", ""), "");
}

TEST(GetLocalPath, RefusesSiteNamesThatLeaveTheSitesDirectory) {
    for (const std::string_view name :
         {""sv, "."sv, ".."sv, "a/b"sv, "../x"sv, "a\\..\\.."sv, "a\0b"sv}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LocalPathOf("http://h/x.htm", "/s", name), "");
    }
}

TEST(GetLocalPath, RefusesAddressesThatWouldLeaveTheSiteFolder) {
    for (const std::string_view address : {
             "http://h/a\\..\\..\\x.htm"sv,
             "http://h/x/..\\y.htm"sv,
             "http://h/a\\b/x.htm"sv,
             "http://h/a/.."sv,
             "http://h/."sv,
             "http://../x.htm"sv,
             "http://./x.htm"sv,
             "http://h\\..\\..\\/x.htm"sv,
             "http://h/a\0b.htm"sv,
             "http://h\0x/y.htm"sv,
             "http:///x.htm"sv,
             "/x.htm"sv,
             "dir/x.htm"sv,
             "c:\\dir\\f.htm"sv,
             ""sv,
         }) {
        SCOPED_TRACE(std::string(address));
        const CUrl url(nullptr, address, kLinkEmbedded);
        EXPECT_FALSE(url.HasSafeLocalPath());
        EXPECT_EQ(url.GetLocalPath({"/s", "Alpha", "index.htm"}), "");
    }
}

TEST(HasSafeLocalPath, ChecksEverySegmentOfFieldsSetByHand) {
    CUrl url(nullptr, "http://h/a/b/x.htm", kLinkEmbedded);
    ASSERT_TRUE(url.HasSafeLocalPath());
    for (const char* path : {"dir/", "/a//b/", "/a/../", "/a/./", "/..", ""}) {
        SCOPED_TRACE(path);
        url.path = path;
        EXPECT_FALSE(url.HasSafeLocalPath());
    }
    url.path = "/";
    EXPECT_TRUE(url.HasSafeLocalPath());
    url.host = "";
    EXPECT_FALSE(url.HasSafeLocalPath());
}

struct SegmentCase {
    std::string_view segment;
    bool portable;
    bool windows;
};

TEST(IsSafeNameSegment, RefusesTraversalEverywhereAndWindowsTrapsUnderWindowsRules) {
    const SegmentCase cases[] = {
        {"a", true, true},
        {"index.htm", true, true},
        {" a", true, true},
        {"caf\xC3\xA9.htm", true, true},
        {"x.con", true, true},
        {"CONSOLE", true, true},
        {"COM10", true, true},
        {"LPT", true, true},
        {"", false, false},
        {".", false, false},
        {"..", false, false},
        {"a/b", false, false},
        {"a\\b", false, false},
        {"a\0b"sv, false, false},
        {"\0"sv, false, false},
        {"...", true, false},
        {"a.", true, false},
        {"a ", true, false},
        {"a:b", true, false},
        {"a:stream", true, false},
        {"a<b", true, false},
        {"a>b", true, false},
        {"a\"b", true, false},
        {"a|b", true, false},
        {"a?b", true, false},
        {"a*b", true, false},
        {"a\x01z", true, false},
        {"a\x1f", true, false},
        {"CON", true, false},
        {"con", true, false},
        {"con.txt", true, false},
        {"Con.tar.gz", true, false},
        {"CON .txt", true, false},
        {"PRN", true, false},
        {"aux.htm", true, false},
        {"NUL", true, false},
        {"nul.htm", true, false},
        {"COM1", true, false},
        {"com9.log", true, false},
        {"LPT1", true, false},
        {"lpt9", true, false},
        {"LPT0.txt", true, false},
        {"COM\xC2\xB9", true, false},
        {"CONIN$", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.segment));
        EXPECT_EQ(IsSafeNameSegment(c.segment, false), c.portable);
        EXPECT_EQ(IsSafeNameSegment(c.segment, true), c.windows);
    }
}

} // namespace
