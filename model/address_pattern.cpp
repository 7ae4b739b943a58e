#include "model/address_pattern.h"

#include <algorithm>

#include "web/url.h"

std::string AddressPatternSubject(const CUrl& address) {
    std::string text;
    text.reserve(address.scheme.size() + address.host.size() + address.port.size() +
                 address.path.size() + address.file.size() + address.params.size() +
                 address.query.size() + 8);
    // A one-letter scheme is a drive letter, which GetURL leaves out too.
    if (address.scheme.size() > 1) {
        text += address.scheme;
        text += "://";
    }
    text += address.host;
    if (!address.port.empty()) {
        text += ':';
        text += address.port;
    }
    text += address.path;
    text += address.file;
    if (!address.params.empty()) {
        text += ';';
        text += address.params;
    }
    if (!address.query.empty()) {
        text += '?';
        text += address.query;
    }
    return text;
}

bool MatchAddressPattern(std::string_view pattern, std::string_view subject) {
    constexpr auto npos = std::string_view::npos;
    std::size_t p = 0;
    std::size_t s = 0;
    // The last "*" seen, and where in the subject the run it stands for now ends. A later
    // "*" makes every earlier one's run final: whatever failed after it can only be mended
    // by lengthening the latest run.
    std::size_t star = npos;
    std::size_t runEnd = 0;
    while (s < subject.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            runEnd = s;
        } else if (p < pattern.size() && pattern[p] == subject[s]) {
            ++p;
            ++s;
        } else if (star != npos) {
            p = star + 1;
            s = ++runEnd;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

void CAddressPatterns::Compile(std::string_view text) {
    m_patterns.clear();
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.size() > 2 && item.ends_with("=1"))
            m_patterns.emplace_back(item.substr(0, item.size() - 2));
    }
}

bool CAddressPatterns::Matches(const CUrl& address) const {
    if (m_patterns.empty())
        return false;
    const std::string subject = AddressPatternSubject(address);
    return std::any_of(m_patterns.begin(), m_patterns.end(), [&](const std::string& pattern) {
        return MatchAddressPattern(pattern, subject);
    });
}
