#include "web/robots_rules.h"

#include <charconv>

#include "web/byte_text.h"

namespace {

// Whether all of text matches pattern, where "*" takes any run of bytes.
bool MatchesWhole(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// A rule matches the start of a path; a final "$" asks for the whole of it.
bool Matches(std::string_view pattern, std::string_view path) {
    if (pattern.ends_with('$')) {
        pattern.remove_suffix(1);
        return MatchesWhole(pattern, path);
    }
    if (pattern.find('*') == std::string_view::npos)
        return path.starts_with(pattern);
    return MatchesWhole(std::string(pattern) + "*", path);
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsAsciiWhitespace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiWhitespace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

CRobotsRules::CRobotsRules(std::string_view text, std::string_view agent) {
    // Groups start with User-agent lines; ours if it names us, else "*".
    std::vector<Rule> own, any;
    double ownDelay = 0, anyDelay = 0;
    bool inAgents = false, forOwn = false, forAny = false, ownSeen = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        line = line.substr(0, line.find('#'));
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view field = Trimmed(line.substr(0, colon));
        const std::string_view value = Trimmed(line.substr(colon + 1));
        if (EqualsIgnoringAsciiCase(field, "user-agent")) {
            if (!inAgents)
                forOwn = forAny = false;
            inAgents = true;
            std::string lowerValue, lowerAgent;
            AppendLowerAscii(lowerValue, value);
            AppendLowerAscii(lowerAgent, agent);
            if (value == "*")
                forAny = true;
            else if (!lowerValue.empty() && lowerAgent.find(lowerValue) != std::string::npos)
                forOwn = ownSeen = true;
            continue;
        }
        inAgents = false;
        const bool allow = EqualsIgnoringAsciiCase(field, "allow");
        if (allow || EqualsIgnoringAsciiCase(field, "disallow")) {
            if (value.empty())
                continue; // "Disallow:" with nothing allows everything
            if (forOwn)
                own.push_back({std::string(value), allow});
            if (forAny)
                any.push_back({std::string(value), allow});
        } else if (EqualsIgnoringAsciiCase(field, "crawl-delay")) {
            double seconds = 0;
            const auto [stop, error] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error == std::errc{} && seconds > 0) {
                if (forOwn)
                    ownDelay = seconds;
                if (forAny)
                    anyDelay = seconds;
            }
        }
    }
    m_rules = ownSeen ? std::move(own) : std::move(any);
    m_delay = ownSeen ? ownDelay : anyDelay;
}

bool CRobotsRules::Allows(std::string_view path) const {
    std::size_t longest = 0;
    bool allowed = true;
    bool matched = false;
    for (const Rule& rule : m_rules) {
        if (!Matches(rule.pattern, path))
            continue;
        const std::size_t length = rule.pattern.size();
        if (!matched || length > longest || (length == longest && rule.allow)) {
            allowed = rule.allow;
            longest = length;
            matched = true;
        }
    }
    return allowed;
}
