#include "engine/link_scanner.h"

#include <algorithm>
#include <optional>

#include "engine/embedded_links.h"
#include "engine/markup_text.h"
#include "engine/splicer.h"
#include "engine/tag_reading.h"
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

// What a value holds when the site fetches what pages need.
enum class ValueKind { None, Link, Srcset, Refresh, Style, Base };

struct RequisiteAttribute {
    std::string_view tag;
    std::string_view attribute;
    int linkClass;
    ValueKind kind;
};

// Looked up before the table above; link href depends on rel, and style on any tag
// holds CSS.
constexpr RequisiteAttribute kRequisiteTable[] = {
    {"audio", "src", kLinkClassEmbedded, ValueKind::Link},
    {"base", "href", 0, ValueKind::Base},
    {"iframe", "src", kLinkClassFollowed, ValueKind::Link},
    {"iframe", "data-src", kLinkClassEmbedded, ValueKind::Link},
    {"iframe", "data-srcset", kLinkClassEmbedded, ValueKind::Srcset},
    {"image", "href", kLinkClassEmbedded, ValueKind::Link},
    {"image", "xlink:href", kLinkClassEmbedded, ValueKind::Link},
    {"img", "srcset", kLinkClassEmbedded, ValueKind::Srcset},
    {"img", "data-src", kLinkClassEmbedded, ValueKind::Link},
    {"img", "data-srcset", kLinkClassEmbedded, ValueKind::Srcset},
    {"link", "imagesrcset", kLinkClassEmbedded, ValueKind::Srcset},
    {"meta", "content", kLinkClassFollowed, ValueKind::Refresh},
    {"script", "src", kLinkClassEmbedded, ValueKind::Link},
    {"source", "src", kLinkClassEmbedded, ValueKind::Link},
    {"source", "srcset", kLinkClassEmbedded, ValueKind::Srcset},
    {"source", "data-src", kLinkClassEmbedded, ValueKind::Link},
    {"source", "data-srcset", kLinkClassEmbedded, ValueKind::Srcset},
    {"track", "src", kLinkClassEmbedded, ValueKind::Link},
    {"use", "href", kLinkClassEmbedded, ValueKind::Link},
    {"use", "xlink:href", kLinkClassEmbedded, ValueKind::Link},
    {"video", "src", kLinkClassEmbedded, ValueKind::Link},
    {"video", "poster", kLinkClassEmbedded, ValueKind::Link},
};

// rel words that make a link element's target part of the page.
constexpr std::string_view kEmbeddedRelations[] = {
    "stylesheet", "icon",     "shortcut", "apple-touch-icon", "apple-touch-icon-precomposed",
    "mask-icon",  "preload",  "modulepreload", "prefetch",    "manifest",
};

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

// Whether a list of words parted by white space holds lower, in any letter case.
bool HoldsWord(std::string_view words, std::string_view lower) {
    std::size_t start = 0;
    while (start < words.size()) {
        std::size_t end = start;
        while (end < words.size() && !IsAsciiWhitespace(words[end]))
            ++end;
        if (EqualsIgnoringAsciiCase(words.substr(start, end - start), lower))
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

// What a tag's other attributes say about its values.
struct CLinkScanner::TagContext {
    int linkHrefClass = kLinkClassFollowed; // from a link element's rel
    bool refresh = false;                   // a meta element with http-equiv=refresh
};

CLinkScanner::CLinkScanner(CSite& site, const CUrl& page, PageSource source)
    : m_site(site), m_page(page), m_source(source), m_requisites(site.m_pageRequisites) {}

CLinkScanner::~CLinkScanner() = default;

void CLinkScanner::ScanPage(std::string& buffer) {
    const std::string_view page = buffer;
    // The page is copied span by span only once a tag changes, so a large page costs one
    // pass however many tags are replaced.
    CSplicer splicer(page);
    if (m_requisites) {
        FindBase(page);
        ScanTagsAsBrowsers(page, splicer);
    } else {
        ScanTagsToFirstClose(page, splicer);
    }
    if (splicer.Changed()) {
        std::string out = splicer.Finish();
        buffer.swap(out);
        m_rewrote = true;
    }
}

void CLinkScanner::ScanStyleSheet(std::string& buffer) {
    std::string out;
    if (RewriteStyle(buffer, out)) {
        buffer.swap(out);
        m_rewrote = true;
    }
}

// A tag runs from "<" to the first ">"; a "<" before it starts a new tag and leaves the
// unfinished one as it is. A comment or script hides everything up to its end.
void CLinkScanner::ScanTagsToFirstClose(std::string_view page, CSplicer& splicer) {
    for (std::size_t i = page.find('<'); i != npos;) {
        if (HasWordAt(page, i, "<!--")) {
            const auto end = page.find("-->", i + 2);
            i = end == npos ? npos : page.find('<', end + 3);
        } else if (HasWordAt(page, i, "<script")) {
            const auto end = FindTagWord(page, "</script>", i + 1);
            i = end == npos ? npos : page.find('<', end + 9);
        } else {
            std::size_t close = i + 1;
            while (close < page.size() && page[close] != '<' && page[close] != '>')
                ++close;
            if (close == page.size())
                break;
            if (page[close] == '<') {
                i = close;
                continue;
            }
            ReplaceTag(page, i, close + 1, splicer);
            i = page.find('<', close + 1);
        }
    }
}

void CLinkScanner::ScanTagsAsBrowsers(std::string_view page, CSplicer& splicer) {
    WalkTagsAsBrowsers(
        page,
        [&](std::size_t start, std::size_t end, std::string_view) {
            ReplaceTag(page, start, end, splicer);
            return true;
        },
        [&](std::size_t start, std::size_t end) {
            std::string rewritten;
            if (RewriteStyle(page.substr(start, end - start), rewritten))
                splicer.Replace(start, end, rewritten);
        });
}

void CLinkScanner::FindBase(std::string_view page) {
    if (FindTagWord(page, "<base", 0) == npos)
        return;
    WalkTagsAsBrowsers(
        page,
        [&](std::size_t start, std::size_t end, std::string_view name) {
            if (!EqualsIgnoringAsciiCase(name, "base"))
                return true;
            const std::string text =
                NormaliseSpacingAsBrowsers(page.substr(start + 1, end - start - 2));
            const std::string_view attributes = std::string_view(text).substr(name.size());
            ReadAttributes(attributes, true, m_spans);
            for (const CTagAttribute& span : m_spans) {
                const auto spanName = attributes.substr(span.start, span.nameEnd - span.start);
                if (!span.hasValue || !EqualsIgnoringAsciiCase(spanName, "href"))
                    continue;
                const std::string href = DecodeCharacterReferences(
                    attributes.substr(span.valueStart, span.valueEnd - span.valueStart));
                if (TrimSpaces(href).empty())
                    return true;
                // Browsers take the first base with an address.
                m_base = Resolve(TrimSpaces(href), kLinkEmbedded);
                return false;
            }
            return true;
        },
        [](std::size_t, std::size_t) {});
}

void CLinkScanner::ReplaceTag(std::string_view page, std::size_t start, std::size_t end,
                              CSplicer& splicer) {
    const std::string_view tag = page.substr(start, end - start);
    if (tag.find('=') == npos)
        return;
    const std::string newTag = RewriteTag(tag);
    // Read to its first ">", "<  script" normalised would open a script, or "< !--" a
    // comment, when the stored page is scanned again and hide what follows; such a tag
    // stays as written.
    if (!m_requisites && (HasWordAt(newTag, 0, "<script") || HasWordAt(newTag, 0, "<!--")))
        return;
    if (!EqualsIgnoringAsciiCase(newTag, tag))
        splicer.Replace(start, end, newTag);
}

std::string CLinkScanner::RewriteTag(std::string_view tag) {
    tag = SkipLeading(tag, '<');
    while (!tag.empty() && tag.back() == '>') {
        tag.remove_suffix(1);
    }
    // Spaces are trimmed once tabs and line breaks are spaces too; a tag that began with
    // a line break would otherwise lose its name here and find it on the next scan.
    const std::string text = m_requisites ? NormaliseSpacingAsBrowsers(tag) : NormaliseSpacing(tag);
    const std::string_view whole = TrimSpaces(text);
    // Browsers end a tag's name at "/" too; the page scan of a site without requisites
    // reads names as it always has.
    const auto nameEnd = m_requisites ? whole.find_first_of(" /") : whole.find(' ');
    const std::string_view name = whole.substr(0, nameEnd);
    const std::string_view attributes =
        nameEnd == npos ? std::string_view() : SkipLeading(whole.substr(nameEnd), ' ');

    if (!m_requisites && ClassifyAttribute(name, {}) == kTagNotListed) {
        std::string result;
        result.reserve(name.size() + attributes.size() + 3);
        result.append("<").append(name).append(" ").append(attributes).append(">");
        return result;
    }

    ReadAttributes(attributes, m_requisites, m_spans);
    // Nothing below reads attributes again while these are in use.
    const std::vector<CTagAttribute>& spans = m_spans;
    TagContext context;
    const bool link = m_requisites && EqualsIgnoringAsciiCase(name, "link");
    const bool meta = m_requisites && EqualsIgnoringAsciiCase(name, "meta");
    if (link || meta) {
        for (const CTagAttribute& span : spans) {
            const auto spanName = attributes.substr(span.start, span.nameEnd - span.start);
            const std::string value = DecodeCharacterReferences(
                attributes.substr(span.valueStart, span.valueEnd - span.valueStart));
            if (link && EqualsIgnoringAsciiCase(spanName, "rel")) {
                for (const std::string_view relation : kEmbeddedRelations) {
                    if (HoldsWord(value, relation))
                        context.linkHrefClass = kLinkClassEmbedded;
                }
            } else if (meta && EqualsIgnoringAsciiCase(spanName, "http-equiv")) {
                context.refresh = EqualsIgnoringAsciiCase(TrimSpaces(value), "refresh");
            }
        }
    }

    CSplicer splicer(attributes);
    for (const CTagAttribute& span : spans) {
        if (!span.hasValue)
            continue;
        const std::string_view attribute = attributes.substr(span.start, span.end - span.start);
        // An attribute followed by one whose name begins with "=" stays: without it that
        // "=" would join the name before it when the page is scanned again.
        const auto next = attributes.find_first_not_of(' ', span.end);
        const bool mayRemove = next == npos || attributes[next] != '=';
        const std::optional<std::string> newAttribute =
            RewriteValue(name, attributes, span, context, mayRemove);
        if (!newAttribute) {
            continue;
        } else if (newAttribute->empty()) {
            // The space after a removed attribute goes with it: two spaces in a row would
            // be collapsed when the stored page is scanned again.
            const bool spaceFollows = span.end < attributes.size() && attributes[span.end] == ' ';
            splicer.Replace(span.start, span.end + (spaceFollows ? 1 : 0), {});
        } else if (!EqualsIgnoringAsciiCase(*newAttribute, attribute)) {
            splicer.Replace(span.start, span.end, *newAttribute);
        }
    }
    std::string rewritten = splicer.Finish();
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
    ReadAttributes(attribute, false, m_spans);
    if (m_spans.empty() || !m_spans.front().hasValue)
        return std::string(attribute);
    const CTagAttribute span = m_spans.front();
    const std::optional<std::string> rewritten =
        RewriteValue(tagName, attribute, span, TagContext{}, true);
    if (!rewritten)
        return std::string(attribute);
    return rewritten->empty() ? *rewritten : *rewritten + std::string(attribute.substr(span.end));
}

std::optional<std::string> CLinkScanner::RewriteValue(std::string_view tagName,
                                                      std::string_view attributes,
                                                      const CTagAttribute& span,
                                                      const TagContext& context, bool mayRemove) {
    const std::string_view name = attributes.substr(span.start, span.nameEnd - span.start);
    const std::string_view value =
        attributes.substr(span.valueStart, span.valueEnd - span.valueStart);
    const std::string_view attribute = attributes.substr(span.start, span.end - span.start);
    // alt="" and href="" say something as written; only a link that rewriting emptied
    // takes its attribute with it.
    if (TrimSpaces(value).empty())
        return std::nullopt;

    ValueKind kind = ValueKind::None;
    int linkClass = ClassifyAttribute(tagName, name);
    if (linkClass == kLinkClassEmbedded || linkClass == kLinkClassFollowed)
        kind = ValueKind::Link;
    if (m_requisites) {
        if (EqualsIgnoringAsciiCase(name, "style")) {
            kind = ValueKind::Style;
        } else if (EqualsIgnoringAsciiCase(tagName, "link") &&
                   EqualsIgnoringAsciiCase(name, "href")) {
            linkClass = context.linkHrefClass;
        } else {
            for (const RequisiteAttribute& entry : kRequisiteTable) {
                if (EqualsIgnoringAsciiCase(tagName, entry.tag) &&
                    EqualsIgnoringAsciiCase(name, entry.attribute)) {
                    kind = entry.kind;
                    linkClass = entry.linkClass;
                    break;
                }
            }
        }
        if (kind == ValueKind::Refresh && !context.refresh)
            kind = ValueKind::None;
    }

    // An unchanged value is written back as name=value, which drops only a second "="
    // that the reading passed over.
    const auto unchanged = [&]() -> std::optional<std::string> {
        if (span.valueStart == span.nameEnd + 1 + (span.quote != 0 ? 1 : 0))
            return std::nullopt;
        std::string rebuilt;
        rebuilt.reserve(attribute.size());
        rebuilt.append(name).append("=");
        if (span.quote != 0)
            rebuilt.push_back(span.quote);
        rebuilt.append(value);
        if (span.quote != 0)
            rebuilt.push_back(span.quote);
        return rebuilt;
    };
    if (kind == ValueKind::None)
        return unchanged();
    // The stored page resolves its links against its own place: without the base, or
    // with one that names the page itself.
    if (kind == ValueKind::Base && mayRemove)
        return std::string();
    if (kind == ValueKind::Base)
        return WriteAttribute(name, m_page.MakeRelative(m_page, m_site.m_defaultDocument),
                              span.quote);

    const std::string decoded =
        m_requisites ? DecodeCharacterReferences(value) : std::string(value);
    const auto inList = [this, linkClass](std::string_view address) {
        return RewriteLink(address, linkClass, false);
    };
    std::string newValue;
    switch (kind) {
    case ValueKind::Link:
        newValue = RewriteLink(decoded, linkClass, mayRemove);
        if (newValue.empty())
            return std::string();
        break;
    case ValueKind::Srcset:
        newValue = RewriteSrcset(decoded, inList);
        break;
    case ValueKind::Refresh:
        newValue = RewriteRefresh(decoded, inList);
        break;
    case ValueKind::Style:
        if (!RewriteStyle(decoded, newValue))
            newValue = decoded;
        break;
    default:
        break;
    }
    if (newValue == decoded)
        return unchanged();
    return WriteAttribute(name, newValue, span.quote);
}

// A new value in the quote it reads back the same in, with the bytes it cannot hold
// escaped.
std::string CLinkScanner::WriteAttribute(std::string_view name, const std::string& value,
                                         char quote) const {
    std::string text;
    char newQuote = 0;
    if (m_requisites) {
        newQuote = QuoteForValue(value, quote);
        text = EncodeAttributeValue(value, newQuote);
    } else {
        // Read back, "<" and ">" would end or restart the tag.
        text = PercentEscapeBytes(value, "<>");
        newQuote = QuoteForValue(text, quote);
        if (newQuote != 0)
            text = PercentEscapeBytes(std::move(text), std::string_view(&newQuote, 1));
    }
    std::string result;
    result.reserve(name.size() + text.size() + 3);
    result.append(name).append("=");
    if (newQuote != 0)
        result.push_back(newQuote);
    result.append(text);
    if (newQuote != 0)
        result.push_back(newQuote);
    return result;
}

bool CLinkScanner::RewriteStyle(std::string_view css, std::string& out) {
    const LinkRewriter rewrite = [this](std::string_view value) {
        return RewriteLink(value, kLinkClassEmbedded, false);
    };
    return RewriteStyleSheet(css, rewrite, out);
}

std::string CLinkScanner::InBaseScheme(std::string_view serverAndPath) const {
    const CUrl& base = m_base ? *m_base : m_page;
    return (base.scheme.empty() ? std::string("http") : base.scheme) + ":" +
           std::string(serverAndPath);
}

std::unique_ptr<CUrl> CLinkScanner::Resolve(std::string_view link, int kind) const {
    // A path that ends in "." or ".." names a folder, as browsers read it; the address
    // parser would take it for a file of that name.
    std::string dotted;
    const auto pathEnd = std::min(link.find_first_of("?#;"), link.size());
    const std::string_view path = link.substr(0, pathEnd);
    if (path == "." || path == ".." || path.ends_with("/.") || path.ends_with("/..")) {
        dotted.assign(link).insert(pathEnd, "/");
        link = dotted;
    }
    const std::string_view text = link;
    std::string resolvable;
    const CUrl& base = m_base ? *m_base : m_page;
    const std::string_view scheme = SchemeNameOf(text);
    const bool relative = scheme.empty() && !text.starts_with("//");
    if (scheme.empty() && !relative) {
        // Another server, in the page's scheme, as browsers read it; written back as an
        // absolute address when refused, never as a path under this page.
        resolvable = InBaseScheme(text);
    } else if (!scheme.empty()) {
        // Only web addresses are mirrored: data:, tel:, ftp: and the like stay as written.
        if (!EqualsIgnoringAsciiCase(scheme, "http") && !EqualsIgnoringAsciiCase(scheme, "https")) {
            return nullptr;
        }
        resolvable.assign(text);
    } else {
        resolvable =
            m_source == PageSource::LocalCopy ? DecodeBeforeFragment(text) : std::string(text);
        // The address parser takes a run such as "12:" for a scheme, where a browser
        // reads a relative path; "./" keeps it one. It also trims spaces that a stored
        // link carries escaped at either end of a name; "./" and an empty fragment
        // keep them.
        if (!CUrl::SchemeOf(resolvable).empty() || resolvable.starts_with(' ')) {
            resolvable.insert(0, "./");
        }
        if (resolvable.ends_with(' ')) {
            resolvable.push_back('#');
        }
    }

    auto address = std::make_unique<CUrl>(&base, resolvable, kind);
    // The parser keeps user information in the server name when no path follows it; such
    // an address, written out whole and read again, would name another server.
    if (!relative) {
        const CUrl again(nullptr, address->GetURL(), kind);
        // Without a server of its own it would borrow the page's.
        if (CUrl::HostOf(resolvable).empty() || again.host != address->host ||
            again.port != address->port || again.user != address->user ||
            again.password != address->password) {
            return nullptr;
        }
    }
    // A folder link was written out as the folder's default document; read back, it
    // names the folder again, as the server knows it.
    if (m_source == PageSource::LocalCopy && relative && !m_site.m_defaultDocument.empty() &&
        address->file == m_site.m_defaultDocument) {
        address->file.clear();
    }
    return address;
}

std::string CLinkScanner::RewriteLink(std::string_view value, int kind, bool removable) {
    // With requisites only the scheme counts, as for browsers: a path resolved against a
    // base may hold these words and must be read the same way again.
    if (!m_requisites && (value.find("javascript:") != npos || value.find("mailto:") != npos)) {
        return std::string(value);
    }
    const std::string_view text = TrimSpaces(value);
    // "#" alone means this page; resolved, it would lose the file and name the folder.
    // Any fragment alone points into this document, wherever it is stored.
    if (text.empty() || text == "#" || (m_requisites && text.starts_with('#'))) {
        return std::string(value);
    }
    auto address = Resolve(text, kind);
    if (!address) {
        return std::string(value);
    }
    if (!m_site.IsAllowed(*address, m_requisites && kind == kLinkClassEmbedded)) {
        if (removable && m_site.m_removeLinks) {
            return {};
        }
        // An address written whole stays as written: the parser's reading of it (a last
        // name without a dot is a folder, "//" in a path is "/") names another address.
        // One that names only the server takes the page's scheme.
        if (!SchemeNameOf(text).empty()) {
            return std::string(value);
        }
        if (text.starts_with("//")) {
            return InBaseScheme(text);
        }
        // A relative one is resolved. One the parser would read back as another (spaces
        // at its end, which it trims) has its spaces escaped, or is left as written where
        // no base changes what it means, so that the stored page reads the same the next
        // time.
        std::string url = address->GetURL();
        const auto readsBack = [kind](const std::string& text) {
            return CUrl(nullptr, text, kind).GetURL() == text;
        };
        if (!readsBack(url)) {
            url = PercentEscapeBytes(std::move(url), " \t\n\r\f");
            if (!readsBack(url) && !m_base) {
                return std::string(value);
            }
        }
        return url;
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
