#include "model/wildcard.h"

#include <algorithm>

bool CWildcard::Compile(std::string_view text) {
    const auto star = text.find('*');
    if (star == std::string_view::npos) {
        m_prefix.assign(text);
        return true;
    }
    m_hasWildcard = true;
    m_prefix.assign(text.substr(0, star));
    const std::string_view rest = text.substr(star + 1);
    if (rest.find('*') != std::string_view::npos)
        return false;
    m_suffix.assign(rest);
    return true;
}

bool CWildcard::Match(std::string_view subject) const {
    if (!m_hasWildcard)
        return subject == m_prefix;
    if (!m_prefix.empty() && !subject.starts_with(m_prefix))
        return false;
    // Prefix and suffix may overlap: ab*ba matches aba.
    return m_suffix.empty() || subject.ends_with(m_suffix);
}

void CompileList(CWildcardList& list, std::string_view text) {
    list.clear();
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma);
        text.remove_prefix(std::min(text.find_first_not_of(','), text.size()));

        const auto equals = item.find('=');
        const std::string_view pattern = item.substr(0, equals);
        std::string_view flag =
            equals == std::string_view::npos ? std::string_view{} : item.substr(equals);
        flag.remove_prefix(std::min(flag.find_first_not_of('='), flag.size()));
        if (flag != "1")
            continue;

        auto wildcard = std::make_unique<CWildcard>();
        if (wildcard->Compile(pattern))
            list.push_back(std::move(wildcard));
    }
}
