#pragma once
// What a server's robots.txt allows a crawler: the group for the crawler's own name, or
// else the one for "*"; its Allow and Disallow paths ("*" matches any run of bytes, a
// final "$" the end), the longest match deciding and Allow winning a tie; and the
// Crawl-delay between two requests.

#include <string>
#include <string_view>
#include <vector>

class CRobotsRules {
public:
    // Everything allowed, no delay: no robots.txt, or one that could not be read.
    CRobotsRules() = default;
    // agent: the crawler's product name ("Quarn"), compared without regard to case.
    CRobotsRules(std::string_view text, std::string_view agent);

    // path: the request's path and query, starting with "/".
    bool Allows(std::string_view path) const;
    double CrawlDelaySeconds() const { return m_delay; }

private:
    struct Rule {
        std::string pattern;
        bool allow = false;
    };
    std::vector<Rule> m_rules;
    double m_delay = 0;
};
