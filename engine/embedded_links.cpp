#include "engine/embedded_links.h"

#include <algorithm>

#include "engine/markup_text.h"
#include "engine/splicer.h"
#include "web/byte_text.h"

namespace {

constexpr auto npos = std::string_view::npos;

std::size_t SkipSpaces(std::string_view text, std::size_t at) {
    while (at < text.size() && IsAsciiWhitespace(text[at]))
        ++at;
    return at;
}

// A byte that continues a CSS name, so that "my-url(" is no url().
constexpr bool IsNameByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || byte >= 0x80;
}

// The end of the CSS string that opens at `at`, past its closing quote; npos when it
// never closes (a line break ends it unclosed).
std::size_t StringEnd(std::string_view css, std::size_t at) {
    const char quote = css[at];
    for (std::size_t i = at + 1; i < css.size(); ++i) {
        if (css[i] == '\\')
            ++i;
        else if (css[i] == quote)
            return i + 1;
        else if (css[i] == '\n' || css[i] == '\r' || css[i] == '\f')
            return npos;
    }
    return npos;
}

// A quoted CSS address as it can be written back: the old quote when the new text
// allows it, else double quotes. A fragment has the bytes a string cannot hold
// percent-escaped; before it, only a refused address written out whole can hold them,
// and those take CSS escapes, which are never read again as addresses: such an address
// is queued by neither scan.
std::string QuotedCssAddress(std::string_view address, char quote) {
    // "<" too: in a page's style element, "</style" would end it.
    if (address.find_first_of(std::string{quote, '\\', '\n', '\r', '\f', '<'}) == npos)
        return quote + std::string(address) + quote;
    const auto hash = std::min(address.find('#'), address.size());
    std::string out = "\"";
    for (const char c : address.substr(0, hash)) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n' || c == '\r' || c == '\f' || c == '<') {
            out += c == '\n' ? "\\a " : c == '\r' ? "\\d " : c == '\f' ? "\\c " : "\\3c ";
        } else {
            out.push_back(c);
        }
    }
    out += PercentEscapeBytes(std::string(address.substr(hash)), "\"\\\n\r\f<");
    out.push_back('"');
    return out;
}

class StyleSheetRewriter {
public:
    StyleSheetRewriter(std::string_view css, const LinkRewriter& rewrite)
        : m_css(css), m_rewrite(rewrite), m_splicer(css) {}

    bool Run(std::string& out) {
        std::size_t i = 0;
        while (i < m_css.size()) {
            const char c = m_css[i];
            if (c == '/' && i + 1 < m_css.size() && m_css[i + 1] == '*') {
                const auto end = m_css.find("*/", i + 2);
                i = end == npos ? m_css.size() : end + 2;
            } else if (c == '"' || c == '\'') {
                const auto end = StringEnd(m_css, i);
                i = end == npos ? SkipLine(i) : end;
            } else if (c == '\\') {
                i += 2;
            } else if ((c == 'u' || c == 'U') && (i == 0 || !IsNameByte(m_css[i - 1])) &&
                       HasWordAt(m_css, i, "url(")) {
                i = UrlToken(i + 4);
            } else if (c == '@' && HasWordAt(m_css, i, "@import") &&
                       (i + 7 >= m_css.size() || !IsNameByte(m_css[i + 7]))) {
                i = ImportRule(i + 7);
            } else {
                ++i;
            }
        }
        if (!m_splicer.Changed())
            return false;
        out = m_splicer.Finish();
        return true;
    }

private:
    std::size_t SkipLine(std::size_t at) const {
        const auto end = m_css.find_first_of("\n\r\f", at);
        return end == npos ? m_css.size() : end;
    }

    void Rewrite(std::size_t start, std::size_t end, char quote) {
        const std::string_view address = m_css.substr(start, end - start);
        const std::string rewritten = m_rewrite(address);
        if (rewritten == address)
            return;
        if (quote != 0) {
            m_splicer.Replace(start - 1, end + 1, QuotedCssAddress(rewritten, quote));
        } else if (!rewritten.empty() && rewritten.find_first_of(" \t\n\r\f\"'()\\<") == npos) {
            m_splicer.Replace(start, end, rewritten);
        } else {
            m_splicer.Replace(start, end, QuotedCssAddress(rewritten, '"'));
        }
    }

    // From just after "url(" to just after its ")".
    std::size_t UrlToken(std::size_t at) {
        const std::size_t start = SkipSpaces(m_css, at);
        if (start >= m_css.size())
            return start;
        if (m_css[start] == '"' || m_css[start] == '\'') {
            const auto end = StringEnd(m_css, start);
            if (end == npos)
                return SkipLine(start);
            const std::size_t close = SkipSpaces(m_css, end);
            const std::string_view address = m_css.substr(start + 1, end - start - 2);
            if (close < m_css.size() && m_css[close] == ')' && address.find('\\') == npos)
                Rewrite(start + 1, end - 1, m_css[start]);
            return end;
        }
        std::size_t end = start;
        while (end < m_css.size() && !IsAsciiWhitespace(m_css[end]) &&
               std::string_view(")\"'(\\").find(m_css[end]) == npos)
            ++end;
        const std::size_t close = SkipSpaces(m_css, end);
        if (close < m_css.size() && m_css[close] == ')' && end > start)
            Rewrite(start, end, 0);
        return end;
    }

    // From just after "@import": a string address is rewritten here; url() is left to
    // the main walk.
    std::size_t ImportRule(std::size_t at) {
        const std::size_t start = SkipSpaces(m_css, at);
        if (start >= m_css.size() || (m_css[start] != '"' && m_css[start] != '\''))
            return start;
        const auto end = StringEnd(m_css, start);
        if (end == npos)
            return SkipLine(start);
        if (m_css.substr(start + 1, end - start - 2).find('\\') == npos)
            Rewrite(start + 1, end - 1, m_css[start]);
        return end;
    }

    std::string_view m_css;
    const LinkRewriter& m_rewrite;
    CSplicer m_splicer;
};

} // namespace

std::string RewriteSrcset(std::string_view value, const LinkRewriter& rewrite) {
    CSplicer splicer(value);
    std::size_t i = 0;
    while (true) {
        while (i < value.size() && (IsAsciiWhitespace(value[i]) || value[i] == ','))
            ++i;
        if (i >= value.size())
            break;
        const std::size_t start = i;
        while (i < value.size() && !IsAsciiWhitespace(value[i]))
            ++i;
        std::size_t end = i;
        // Commas that end the address separate candidates; one without descriptors ends there.
        const bool bare = value[end - 1] == ',';
        while (end > start && value[end - 1] == ',')
            --end;
        if (!bare) {
            int depth = 0; // a comma inside parentheses belongs to the descriptor
            for (; i < value.size() && (value[i] != ',' || depth > 0); ++i)
                depth += value[i] == '(' ? 1 : value[i] == ')' && depth > 0 ? -1 : 0;
        }
        if (end == start)
            continue;
        const std::string_view address = value.substr(start, end - start);
        std::string rewritten = rewrite(address);
        if (rewritten == address)
            continue;
        rewritten = PercentEscapeBytes(std::move(rewritten), " \t\n\r\f");
        // Commas at either end would be read as separators.
        if (rewritten.ends_with(','))
            rewritten.replace(rewritten.size() - 1, 1, "%2C");
        if (rewritten.starts_with(','))
            rewritten.insert(0, "./");
        splicer.Replace(start, end, rewritten);
    }
    return splicer.Finish();
}

std::string RewriteRefresh(std::string_view value, const LinkRewriter& rewrite) {
    std::size_t i = SkipSpaces(value, 0);
    while (i < value.size() && ((value[i] >= '0' && value[i] <= '9') || value[i] == '.'))
        ++i;
    i = SkipSpaces(value, i);
    if (i >= value.size() || (value[i] != ';' && value[i] != ','))
        return std::string(value);
    i = SkipSpaces(value, i + 1);
    const auto urlMarkerEnd = [](std::string_view text, std::size_t at) -> std::size_t {
        if (!HasWordAt(text, at, "url"))
            return npos;
        const std::size_t equals = SkipSpaces(text, at + 3);
        return equals < text.size() && text[equals] == '=' ? equals + 1 : npos;
    };
    const std::size_t markerEnd = urlMarkerEnd(value, i);
    const bool marked = markerEnd != npos;
    if (marked)
        i = SkipSpaces(value, markerEnd);
    std::size_t end = value.size();
    if (i < value.size() && (value[i] == '"' || value[i] == '\'')) {
        const auto close = value.find(value[i], i + 1);
        ++i;
        end = close == npos ? value.size() : close;
    }
    while (end > i && IsAsciiWhitespace(value[end - 1]))
        --end;
    if (end == i)
        return std::string(value);
    CSplicer splicer(value);
    const std::string_view address = value.substr(i, end - i);
    std::string rewritten = rewrite(address);
    // Without "url=" in front, a link that begins with those letters would read as the
    // marker the next time.
    if (!marked && rewritten != address && urlMarkerEnd(rewritten, 0) != npos)
        rewritten.insert(0, "./");
    if (rewritten != address)
        splicer.Replace(i, end, PercentEscapeBytes(rewritten, "\"' "));
    return splicer.Finish();
}

bool RewriteStyleSheet(std::string_view css, const LinkRewriter& rewrite, std::string& out) {
    return StyleSheetRewriter(css, rewrite).Run(out);
}
