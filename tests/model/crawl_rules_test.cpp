#include <gtest/gtest.h>

#include "model/site.h"
#include "model/wildcard.h"

namespace {
struct MatchCase {
    const char* pattern;
    const char* subject;
    bool matches;
};

std::vector<std::string> Patterns(const CWildcardList& list) {
    std::vector<std::string> out;
    for (const auto& pattern : list)
        out.push_back(pattern->m_prefix + (pattern->m_hasWildcard ? "*" : "") + pattern->m_suffix);
    return out;
}

CUrl Address(const std::string& text, int level = 1) {
    CUrl url(nullptr, text, kLinkFollowed);
    url.level = level;
    return url;
}
} // namespace

TEST(Wildcard, MatchesExactlyWithAtMostOneStar) {
    const MatchCase cases[] = {
        {"srv", "srv", true},
        {"srv", "srv2", false},
        {"srv", "SRV", false},
        {"*", "", true},
        {"*", "anything", true},
        {"*.htm", "a.htm", true},
        {"*.htm", "a.html", false},
        {"/docs/*", "/docs/", true},
        {"/docs/*", "/docs/a/", true},
        {"docs", "/docs/", false},
        {"ab*ba", "aba", true},
        {"ab*ba", "abba", true},
        {"ab*ba", "ab", false},
        {"www.*", "www.h", true},
        {"", "", true},
        {"", "x", false},
        {"WWW.H", "www.h", false},
    };
    for (const auto& c : cases) {
        CWildcard wildcard;
        ASSERT_TRUE(wildcard.Compile(c.pattern)) << c.pattern;
        EXPECT_EQ(wildcard.Match(c.subject), c.matches) << c.pattern << " vs " << c.subject;
    }
    CWildcard twoStars;
    EXPECT_FALSE(twoStars.Compile("a*b*c"));
}

TEST(Wildcard, ListTextKeepsOnlyActiveUsablePatterns) {
    CWildcardList list;
    CompileList(list, "srv1=1,*.b=0");
    EXPECT_EQ(Patterns(list), std::vector<std::string>{"srv1"});

    CompileList(list, ",,a=1,b=0,=1");
    EXPECT_EQ(Patterns(list), (std::vector<std::string>{"a", ""}));

    CompileList(list, "a*b*c=1,x*=1");
    EXPECT_EQ(Patterns(list), std::vector<std::string>{"x*"});

    CompileList(list, "a=1, b=1");
    EXPECT_EQ(Patterns(list), (std::vector<std::string>{"a", " b"})) << "spaces are kept";

    CompileList(list, "p==1,q=11,r");
    EXPECT_EQ(Patterns(list), std::vector<std::string>{"p"}) << "all leading '=' go";

    CompileList(list, "");
    EXPECT_TRUE(list.empty());
}

TEST(AdmissionTest, RulesAreOffByDefault) {
    CSite site("s");
    EXPECT_TRUE(site.IsAllowed(Address("http://anywhere/any/thing.bin", 99)));
}

TEST(AdmissionTest, DepthRule) {
    CSite site("s");
    site.m_useLevels = true;
    site.m_levels = 1;
    EXPECT_TRUE(site.IsAllowed(Address("http://h/a.htm", 1)));
    EXPECT_FALSE(site.IsAllowed(Address("http://h/a.htm", 2)));
}

TEST(AdmissionTest, IncludeListsRefuseEverythingWhenEmpty) {
    CSite site("s");
    site.m_useServers = true;
    site.m_servers = "h=0";
    site.CompilePatterns();
    EXPECT_FALSE(site.IsAllowed(Address("http://h/")));
    site.m_includeServers = false;
    EXPECT_TRUE(site.IsAllowed(Address("http://h/"))) << "an empty exclude list passes";
}

TEST(AdmissionTest, ServerDirectoryAndFileRules) {
    CSite site("s");
    site.m_useServers = true;
    site.m_servers = "h=1,*.example.org=1,WWW.H=1";
    site.m_useDirectory = true;
    site.m_includeDirectories = false;
    site.m_directories = "/private/*=1";
    site.m_useTypes = true;
    site.m_files = "*.htm=1";
    site.CompilePatterns();

    EXPECT_TRUE(site.IsAllowed(Address("http://h/dir/a.htm")));
    EXPECT_TRUE(site.IsAllowed(Address("http://www.example.org/a.htm")));
    EXPECT_FALSE(site.IsAllowed(Address("http://www.h/a.htm"))) << "hosts are lower case";
    EXPECT_FALSE(site.IsAllowed(Address("http://h/private/a.htm")));
    EXPECT_FALSE(site.IsAllowed(Address("http://h/dir/"))) << "a directory has no file name";
    EXPECT_FALSE(site.IsAllowed(Address("http://h/dir/a.gif")));

    site.m_files = "*=1";
    site.CompilePatterns();
    EXPECT_TRUE(site.IsAllowed(Address("http://h/dir/")));
}

TEST(AdmissionTest, AddressesThatWouldLeaveTheSiteFolderAreRefused) {
    CSite site("s");
    EXPECT_FALSE(site.IsAllowed(Address("http://h/a\\..\\..\\x.htm")));
    EXPECT_FALSE(site.IsAllowed(Address("http://../x.htm")));
}

TEST(AdmissionTest, AddressRuleExcludesMatchesQueryIncludedWhenOn) {
    CSite site("s");
    site.m_urls = "*action=edit*=1,*returnto=*=0";
    site.CompilePatterns();
    const CUrl edit = Address("http://w/index.php?title=A&action=edit");
    EXPECT_EQ(site.RefusalOf(edit), LinkRefusal::None) << "the rule is off";

    site.m_useUrls = true;
    site.CompilePatterns();
    EXPECT_EQ(site.RefusalOf(edit), LinkRefusal::Excluded);
    EXPECT_EQ(site.RefusalOf(edit, true), LinkRefusal::Excluded) << "requisites too";
    EXPECT_TRUE(site.IsAllowed(Address("http://w/index.php?title=A")));
    EXPECT_TRUE(site.IsAllowed(Address("http://w/Login?returnto=Main"))) << "not in force";
    EXPECT_FALSE(site.IsAllowed(Address("http://joe@w/index.php?action=edit#x")));

    // The file-name rule is asked first, and the depth rule after.
    site.m_useTypes = true;
    site.m_files = "*.htm=1";
    site.m_useLevels = true;
    site.m_levels = 1;
    site.CompilePatterns();
    EXPECT_EQ(site.RefusalOf(edit), LinkRefusal::FileName);
    site.m_files = "*=1";
    site.CompilePatterns();
    EXPECT_EQ(site.RefusalOf(Address("http://w/index.php?action=edit", 5)), LinkRefusal::Excluded);
}
