// Address exclusion patterns: any number of "*", anchored at both ends, matched against the
// address with its query but without its login and fragment.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/address_pattern.h"
#include "web/url.h"

namespace {
CUrl Address(const std::string& text) {
    return CUrl(nullptr, text, kLinkFollowed);
}
} // namespace

TEST(AddressPattern, StarsMatchAnyRunAndEverythingElseExactly) {
    struct Case {
        const char* pattern;
        const char* subject;
        bool matches;
    };
    const Case cases[] = {
        {"*action=edit*", "http://w/index.php?title=A&action=edit", true},
        {"*action=edit*", "http://w/index.php?title=A&action=history", false},
        {"*action=edit*", "http://w/index.php?title=A&ACTION=EDIT", false},
        {"*returnto=*", "http://w/Special:Login?returnto=Main", true},
        {"*?*&*=*", "http://w/a?x=1&y=2", true},
        {"*?*&*=*", "http://w/a?x=1", false},
        // Anchored at both ends: without a star at an end, that end must match.
        {"http://w/a", "http://w/a", true},
        {"http://w/a", "http://w/ab", false},
        {"http://w/*.php", "http://w/x.php?q", false},
        {"*.php", "http://w/x.phpx.php", true},
        {"x*", "http://w/x", false},
        // A run may be empty, and stars may follow each other.
        {"a**b", "ab", true},
        {"a*b*c", "abc", true},
        {"a*b*c", "acb", false},
        {"*", "", true},
        {"", "", true},
        {"", "x", false},
        // The star is the only special byte.
        {"*?p=1", "http://w/l.php?p=1", true},
        {"*.ph?", "http://w/l.php", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchAddressPattern(c.pattern, c.subject), c.matches)
            << c.pattern << " vs " << c.subject;
}

TEST(AddressPattern, AHostilePatternEndsWithTheRightAnswer) {
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*b";
    const std::string as(50'000, 'a');
    EXPECT_FALSE(MatchAddressPattern(pattern, as));
    EXPECT_TRUE(MatchAddressPattern(pattern, as + "b"));
    // Each start in the subject tried against the long literal: the worst this matcher meets.
    EXPECT_FALSE(MatchAddressPattern("*" + std::string(200, 'a') + "b", as));
}

TEST(AddressPattern, TheSubjectIsTheAddressWithoutLoginOrFragment) {
    EXPECT_EQ(AddressPatternSubject(Address("http://joe:secret@h:8080/a/b.php;s=1?x=1&y=2#top")),
              "http://h:8080/a/b.php;s=1?x=1&y=2");
    EXPECT_EQ(AddressPatternSubject(Address("http://joe@h/x.htm")), "http://h/x.htm");
    // Without login or fragment it is the address as written back.
    for (const char* text : {"http://h/", "https://h:444/a/b/c.htm",
                             "http://h/l.php?p=1&action=edit", "http://h/a;p?q", "http://h/dir"}) {
        const CUrl address = Address(text);
        EXPECT_EQ(AddressPatternSubject(address), address.GetURL()) << text;
    }
}

TEST(AddressPattern, OnlyEntriesEndingInEqualsOneAreInForce) {
    CAddressPatterns patterns;
    patterns.Compile("*action=edit*=1,*returnto=*=0,,=1,plain,*page=1=1,*x=10");
    EXPECT_EQ(patterns.Patterns(), (std::vector<std::string>{"*action=edit*", "*page=1"}));
    EXPECT_TRUE(patterns.Matches(Address("http://w/i.php?page=1")));
    EXPECT_FALSE(patterns.Matches(Address("http://w/i.php?page=10")));
    EXPECT_FALSE(patterns.Matches(Address("http://w/Login?returnto=Main")));

    patterns.Compile("");
    EXPECT_TRUE(patterns.Patterns().empty());
    EXPECT_FALSE(patterns.Matches(Address("http://w/")));
}
