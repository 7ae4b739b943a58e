// Reading robots.txt: whose group applies, which rule decides, and the delay.

#include <gtest/gtest.h>

#include "web/robots_rules.h"

TEST(RobotsRules, OurGroupOrElseTheCommonOneDecidesByTheLongestMatch) {
    const char* text = "# comment\n"
                       "User-agent: *\n"
                       "Disallow: /private/\n"
                       "Allow: /private/open$\n"
                       "Disallow: /*.pdf$\n"
                       "Crawl-delay: 2.5\n"
                       "\n"
                       "User-agent: OtherBot\n"
                       "Disallow: /\n";
    const CRobotsRules rules(text, "Quarn");
    EXPECT_TRUE(rules.Allows("/"));
    EXPECT_TRUE(rules.Allows("/docs/a.htm"));
    EXPECT_FALSE(rules.Allows("/private/x.htm"));
    EXPECT_TRUE(rules.Allows("/private/open")) << "the longer Allow wins";
    EXPECT_FALSE(rules.Allows("/private/open/more")) << "$ asks for the whole path";
    EXPECT_FALSE(rules.Allows("/a/b/c.pdf"));
    EXPECT_TRUE(rules.Allows("/a/b/c.pdf?x=1"));
    EXPECT_DOUBLE_EQ(rules.CrawlDelaySeconds(), 2.5);

    const CRobotsRules own("User-agent: *\nDisallow: /\n\nUser-agent: quarn\nUser-agent: x\n"
                           "Disallow: /tmp\nAllow: /tmp\n",
                           "Quarn");
    EXPECT_TRUE(own.Allows("/index.html")) << "our own group replaces the common one";
    EXPECT_TRUE(own.Allows("/tmp/a")) << "Allow wins a tie";
    EXPECT_DOUBLE_EQ(own.CrawlDelaySeconds(), 0);

    EXPECT_TRUE(CRobotsRules("User-agent: *\nDisallow:\n", "Quarn").Allows("/x"));
    EXPECT_TRUE(CRobotsRules().Allows("/x"));
}
