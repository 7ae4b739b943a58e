#pragma once
// Address exclusion patterns: a "*" stands for any run of bytes, none included; every other
// byte must be there as it is, letter case too. A pattern is matched against an address's
// whole text, its query included, so that it can single out the views of a page that only
// a query tells apart (a wiki's edit form, a login page's return address).

#include <string>
#include <string_view>
#include <vector>

class CUrl;

// scheme://host[:port]/path/file;params?query: the address as GetURL writes it, without
// the user and password, which are no part of what is asked for, and without the fragment,
// which only names a place in the page.
std::string AddressPatternSubject(const CUrl& address);

// Whether pattern matches the whole of subject. Greedy, going back only to the last "*":
// at worst the product of the two lengths in steps, whatever the pattern holds.
bool MatchAddressPattern(std::string_view pattern, std::string_view subject);

class CAddressPatterns {
public:
    // Replaces the patterns with the entries in force of a list text such as
    // "*action=edit*=1,*returnto=*=0": entries separated by ",", each a pattern, "=" and
    // a flag. Patterns hold "=" themselves (queries do), so the flag is read from the end:
    // an entry is in force when it ends in "=1". Empty patterns are dropped.
    void Compile(std::string_view text);
    bool Matches(const CUrl& address) const;
    const std::vector<std::string>& Patterns() const { return m_patterns; }

private:
    std::vector<std::string> m_patterns;
};
