#pragma once
// Filter patterns of the crawl rules: text with at most one "*", matched exactly and
// case-sensitively against a host, a directory path or a file name.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CWildcard {
public:
    virtual ~CWildcard() = default;

    // False for a pattern with more than one "*", which is then not used.
    bool Compile(std::string_view text);
    bool Match(std::string_view subject) const;

    std::string m_prefix; // the whole pattern without "*", else the text before it
    std::string m_suffix; // the text after the "*"
    bool m_hasWildcard = false;
};

using CWildcardList = std::vector<std::unique_ptr<CWildcard>>;

// Replaces the list with the active patterns of a list text such as "srv1=1,*.b=0":
// items separated by ",", each a pattern, "=" and a flag; only flag "1" is active.
void CompileList(CWildcardList& list, std::string_view text);
