#include "engine/link_scanner.h"

#include <memory>

#include "model/site.h"
#include "web/byte_text.h"
#include "web/url.h"

namespace {

constexpr auto npos = std::string_view::npos;

struct LinkAttribute {
    std::string_view tag;
    std::string_view attribute;
    int linkClass;
};

// Entries of one tag stay together: a tag is listed when any entry names it.
constexpr LinkAttribute kLinkTable[] = {
    {"a", "href", kLinkClassFollowed},
    {"applet", "archive", kLinkClassEmbedded},
    {"applet", "code", kLinkClassFollowed},
    {"applet", "codebase", kLinkClassFollowed},
    {"area", "href", kLinkClassFollowed},
    {"base", "href", kLinkClassFollowed},
    {"bgsound", "src", kLinkClassEmbedded},
    {"body", "background", kLinkClassEmbedded},
    {"embed", "src", kLinkClassEmbedded},
    {"embed", "pluginspage", kLinkClassFollowed},
    {"form", "action", kLinkClassFollowed},
    {"frame", "src", kLinkClassFollowed},
    {"ilayer", "background", kLinkClassEmbedded},
    {"ilayer", "src", kLinkClassFollowed},
    {"img", "src", kLinkClassEmbedded},
    {"img", "dynsrc", kLinkClassEmbedded},
    {"img", "lowsrc", kLinkClassEmbedded},
    {"img", "usemap", kLinkClassFollowed},
    {"input", "src", kLinkClassEmbedded},
    {"isindex", "action", kLinkClassFollowed},
    {"layer", "background", kLinkClassEmbedded},
    {"layer", "src", kLinkClassFollowed},
    {"link", "href", kLinkClassFollowed},
    {"object", "data", kLinkClassEmbedded},
    {"object", "classid", kLinkClassFollowed},
    {"object", "codebase", kLinkClassFollowed},
    {"object", "usemap", kLinkClassFollowed},
    {"table", "background", kLinkClassEmbedded},
    {"td", "background", kLinkClassEmbedded},
    {"th", "background", kLinkClassEmbedded},
};

// Whether the bytes of text at `at` are lower, in any letter case.
bool HasWordAt(std::string_view text, std::size_t at, std::string_view lower) {
    return at <= text.size() && EqualsIgnoringAsciiCase(text.substr(at, lower.size()), lower);
}

// Tabs and line breaks become spaces, runs of spaces become one, and spaces next to
// "=" go (inside quoted values too). One pass does what collapsing the runs and then
// replacing "= " and " =" would.
std::string NormaliseSpacing(std::string_view tag) {
    std::string text;
    text.reserve(tag.size());
    for (char c : tag) {
        if (c == '\f' || c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
        if (c == ' ') {
            if (!text.empty() && (text.back() == ' ' || text.back() == '=')) {
                continue;
            }
        } else if (c == '=' && !text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        text.push_back(c);
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Undoes the escaping the relative links of a stored page carry; the fragment was
// written unescaped and stays as it is. A "%" without two hex digits is kept.
std::string DecodeBeforeFragment(std::string_view link) {
    const auto hash = link.find('#');
    const std::string_view name = link.substr(0, hash);
    std::string decoded;
    decoded.reserve(link.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size() && HexValue(name[i + 1]) >= 0 &&
            HexValue(name[i + 2]) >= 0) {
            decoded.push_back(
                static_cast<char>(HexValue(name[i + 1]) * 16 + HexValue(name[i + 2])));
            i += 2;
        } else {
            decoded.push_back(name[i]);
        }
    }
    if (hash != npos) {
        decoded.append(link.substr(hash));
    }
    return decoded;
}

} // namespace

CLinkScanner::CLinkScanner(CSite& site, const CUrl& page, PageSource source)
    : m_site(site), m_page(page), m_source(source) {}

void CLinkScanner::ScanPage(std::string& buffer) {
    const std::string_view page = buffer;
    // The page is copied span by span into `out` only once a tag changes, so a large
    // page costs one pass however many tags are replaced.
    std::string out;
    std::size_t copied = 0;
    bool replaced = false;
    bool inComment = false;
    bool inScript = false;
    bool inTag = false;
    std::size_t tagStart = 0;

    for (std::size_t i = 0; i < page.size(); ++i) {
        const char c = page[i];
        if (c == '<') {
            if (inComment || inScript) {
                continue;
            }
            // A comment or script that opens inside an unfinished tag ends that tag
            // unchanged; its links would otherwise be taken from the comment.
            if (HasWordAt(page, i, "<!--")) {
                inComment = true;
                inTag = false;
            } else if (HasWordAt(page, i, "<script")) {
                inScript = true;
                inTag = false;
            } else {
                inTag = true; // an unfinished tag before this one stays as it is
                tagStart = i;
            }
        } else if (c == '>') {
            if (inComment) {
                inComment = !(i >= 2 && HasWordAt(page, i - 2, "-->"));
            } else if (inScript) {
                inScript = !(i >= 8 && HasWordAt(page, i - 8, "</script>"));
            } else if (inTag) {
                inTag = false;
                const std::string_view tag = page.substr(tagStart, i + 1 - tagStart);
                if (tag.find('=') == npos) {
                    continue;
                }
                const std::string newTag = RewriteTag(tag);
                if (EqualsIgnoringAsciiCase(newTag, tag)) {
                    continue;
                }
                if (!replaced) {
                    out.reserve(page.size() + page.size() / 8);
                    replaced = true;
                }
                out.append(page.substr(copied, tagStart - copied));
                out.append(newTag);
                copied = i + 1;
            }
        }
    }
    if (replaced) {
        out.append(page.substr(copied));
        buffer.swap(out);
        m_rewrote = true;
    }
}

std::string CLinkScanner::RewriteTag(std::string_view tag) {
    tag = SkipLeading(SkipLeading(tag, '<'), ' ');
    while (!tag.empty() && tag.back() == '>') {
        tag.remove_suffix(1);
    }
    while (!tag.empty() && tag.back() == ' ') {
        tag.remove_suffix(1);
    }
    const std::string text = NormaliseSpacing(tag);
    const std::string_view whole = text;
    const auto nameEnd = whole.find(' ');
    const std::string_view name = whole.substr(0, nameEnd);
    std::string attributes(nameEnd == npos ? std::string_view()
                                           : SkipLeading(whole.substr(nameEnd), ' '));

    if (ClassifyAttribute(name, {}) == kTagNotListed) {
        std::string result;
        result.reserve(name.size() + attributes.size() + 3);
        result.append("<").append(name).append(" ").append(attributes).append(">");
        return result;
    }

    // The trailing space completes the last attribute. With unbalanced quotes it never
    // completes, so nothing after the opening quote is rewritten.
    attributes.push_back(' ');
    std::string rewritten;
    rewritten.reserve(attributes.size());
    std::size_t copied = 0;
    std::size_t start = 0;
    bool collecting = false;
    bool inQuotes = false;
    char quote = 0;
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        const char c = attributes[i];
        if (c == ' ' && !inQuotes) {
            if (collecting) {
                const std::string_view attribute =
                    std::string_view(attributes).substr(start, i - start);
                if (attribute.find('=') != npos) {
                    const std::string newAttribute = RewriteAttribute(name, attribute);
                    if (!EqualsIgnoringAsciiCase(newAttribute, attribute)) {
                        rewritten.append(attributes, copied, start - copied);
                        rewritten.append(newAttribute);
                        copied = i;
                    }
                }
                collecting = false;
            }
            continue;
        }
        // The start is the first byte, whatever it is: an attribute may begin with a quote.
        if (!collecting) {
            start = i;
            collecting = true;
        }
        if (c == '"' || c == '\'') {
            if (!inQuotes) {
                inQuotes = true;
                quote = c;
            } else if (c == quote) {
                inQuotes = false;
            }
        }
    }
    rewritten.append(attributes, copied);
    while (!rewritten.empty() && rewritten.back() == ' ') {
        rewritten.pop_back();
    }

    std::string result;
    result.reserve(name.size() + rewritten.size() + 3);
    result.append("<").append(name);
    if (!rewritten.empty()) {
        result.append(" ").append(rewritten);
    }
    result.append(">");
    return result;
}

std::string CLinkScanner::RewriteAttribute(std::string_view tagName, std::string_view attribute) {
    const auto equals = attribute.find('=');
    if (equals == 0 || equals == npos) {
        return std::string(attribute);
    }
    const std::string_view name = attribute.substr(0, equals);
    std::string_view value = SkipLeading(attribute.substr(equals), '=');
    char quote = 0;
    if (value.starts_with('\'') || value.starts_with('"')) {
        quote = value.front();
        value = SkipLeading(value, quote);
        while (!value.empty() && value.back() == quote) {
            value.remove_suffix(1);
        }
    }
    // alt="" and href="" say something as written; only a link that rewriting emptied
    // takes its attribute with it.
    if (TrimSpaces(value).empty()) {
        return std::string(attribute);
    }
    std::string newValue(value);
    const int linkClass = ClassifyAttribute(tagName, name);
    if (linkClass == kLinkClassEmbedded || linkClass == kLinkClassFollowed) {
        newValue = RewriteLink(value, linkClass);
        if (newValue.empty()) {
            return {};
        }
    }
    std::string result;
    result.reserve(name.size() + newValue.size() + 3);
    result.append(name).append("=");
    if (quote != 0) {
        result.push_back(quote);
    }
    result.append(newValue);
    if (quote != 0) {
        result.push_back(quote);
    }
    return result;
}

std::string CLinkScanner::RewriteLink(std::string_view value, int kind) {
    if (value.find("javascript:") != npos || value.find("mailto:") != npos) {
        return std::string(value);
    }
    const std::string_view text = TrimSpaces(value);
    // "#" alone means this page; resolved, it would lose the file and name the folder.
    if (text.empty() || text == "#") {
        return std::string(value);
    }
    std::string resolvable;
    const std::string_view scheme = SchemeNameOf(text);
    if (!scheme.empty()) {
        // Only web addresses are mirrored: data:, tel:, ftp: and the like stay as written.
        if (!EqualsIgnoringAsciiCase(scheme, "http") && !EqualsIgnoringAsciiCase(scheme, "https")) {
            return std::string(value);
        }
        resolvable.assign(text);
    } else {
        resolvable =
            m_source == PageSource::LocalCopy ? DecodeBeforeFragment(text) : std::string(text);
        // The address parser takes a run such as "12:" for a scheme, where a browser
        // reads a relative path; "./" keeps it one.
        if (!CUrl::SchemeOf(resolvable).empty()) {
            resolvable.insert(0, "./");
        }
    }

    auto address = std::make_unique<CUrl>(&m_page, resolvable, kind);
    // A folder link was written out as the folder's default document; read back, it
    // names the folder again, as the server knows it.
    if (m_source == PageSource::LocalCopy && scheme.empty() && !m_site.m_defaultDocument.empty() &&
        address->file == m_site.m_defaultDocument) {
        address->file.clear();
    }
    if (!m_site.IsAllowed(*address)) {
        return m_site.m_removeLinks ? std::string() : address->GetURL();
    }
    std::string link = address->MakeRelative(m_page, m_site.m_defaultDocument);
    // The site refuses what it already knows; the link leads to that local copy all the same.
    if (m_site.AddPending(address)) {
        ++m_queued;
    }
    return link;
}

int CLinkScanner::ClassifyAttribute(std::string_view tagName, std::string_view attributeName) {
    bool listed = false;
    for (const LinkAttribute& entry : kLinkTable) {
        if (!EqualsIgnoringAsciiCase(tagName, entry.tag)) {
            continue;
        }
        listed = true;
        if (EqualsIgnoringAsciiCase(attributeName, entry.attribute)) {
            return entry.linkClass;
        }
    }
    return listed ? kAttributeNotLink : kTagNotListed;
}
