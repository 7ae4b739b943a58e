#include "model/wildcard.h"

#include "web/byte_text.h"

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
        text = SkipLeading(text, ',');

        const auto equals = item.find('=');
        const std::string_view pattern = item.substr(0, equals);
        const std::string_view flag = equals == std::string_view::npos
                                          ? std::string_view{}
                                          : SkipLeading(item.substr(equals), '=');
        if (flag != "1")
            continue;

        auto wildcard = std::make_unique<CWildcard>();
        if (wildcard->Compile(pattern))
            list.push_back(std::move(wildcard));
    }
}
