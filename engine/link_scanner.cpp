#include "engine/link_scanner.h"

#include <optional>

#include "engine/embedded_links.h"
#include "engine/markup_text.h"
#include "engine/splicer.h"
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

constexpr bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the bytes of text at `at` are lower, in any letter case.
bool HasWordAt(std::string_view text, std::size_t at, std::string_view lower) {
    return at <= text.size() && EqualsIgnoringAsciiCase(text.substr(at, lower.size()), lower);
}

// The first place from `from` where lower (which begins with "<") stands in any case.
std::size_t FindTagWord(std::string_view text, std::string_view lower, std::size_t from) {
    for (auto at = text.find('<', from); at != npos; at = text.find('<', at + 1)) {
        if (HasWordAt(text, at, lower))
            return at;
    }
    return npos;
}

// Where the raw text of a script or style element ends: at "</name" followed by a
// space, "/" or ">", as browsers end it; the page's end when there is none.
std::size_t RawTextEnd(std::string_view page, std::string_view endTag, std::size_t from) {
    for (auto at = FindTagWord(page, endTag, from); at != npos;
         at = FindTagWord(page, endTag, at + 1)) {
        const std::size_t after = at + endTag.size();
        if (after >= page.size() || IsSpace(page[after]) || page[after] == '/' ||
            page[after] == '>')
            return at;
    }
    return page.size();
}

// One past the ">" that ends the start tag opening at `at`, read as browsers read it
// (a ">" inside a quoted value does not end it); npos when the tag never ends.
std::size_t StartTagEnd(std::string_view page, std::size_t at) {
    const std::size_t size = page.size();
    std::size_t i = at + 1;
    while (i < size && !IsSpace(page[i]) && page[i] != '/' && page[i] != '>')
        ++i;
    while (true) {
        while (i < size && (IsSpace(page[i]) || page[i] == '/'))
            ++i;
        if (i >= size)
            return npos;
        if (page[i] == '>')
            return i + 1;
        ++i; // a name may begin with "="
        while (i < size && !IsSpace(page[i]) && page[i] != '/' && page[i] != '>' &&
               page[i] != '=')
            ++i;
        while (i < size && IsSpace(page[i]))
            ++i;
        if (i >= size || page[i] != '=')
            continue;
        ++i;
        while (i < size && IsSpace(page[i]))
            ++i;
        if (i < size && (page[i] == '"' || page[i] == '\'')) {
            const auto close = page.find(page[i], i + 1);
            if (close == npos)
                return npos;
            i = close + 1;
        } else {
            while (i < size && !IsSpace(page[i]) && page[i] != '>')
                ++i;
        }
    }
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

// The spacing rules for a tag read as browsers read it: spaces go around the "=" that
// joins a name to its value and collapse between attributes, while values stay byte for
// byte (so that a value ending in "=" keeps the space that ends it, and what a page
// shows in a value is not changed). "/" between attributes is kept where it stands.
std::string NormaliseSpacingAsBrowsers(std::string_view tag) {
    std::string text;
    text.reserve(tag.size());
    const std::size_t size = tag.size();
    std::size_t i = 0;
    bool space = false; // a separator is due before the next piece
    const auto emit = [&](std::string_view piece) {
        if (space && !text.empty())
            text.push_back(' ');
        space = false;
        text.append(piece);
    };
    const auto skipSpaces = [&](std::size_t at) {
        while (at < size && IsSpace(tag[at]))
            ++at;
        return at;
    };
    i = skipSpaces(i);
    std::size_t nameEnd = i;
    while (nameEnd < size && !IsSpace(tag[nameEnd]) && tag[nameEnd] != '/')
        ++nameEnd;
    emit(tag.substr(i, nameEnd - i));
    i = nameEnd;
    while (i < size) {
        if (IsSpace(tag[i])) {
            space = true;
            ++i;
            continue;
        }
        if (tag[i] == '/') {
            emit("/");
            ++i;
            continue;
        }
        const std::size_t start = i++;
        while (i < size && !IsSpace(tag[i]) && tag[i] != '/' && tag[i] != '=')
            ++i;
        emit(tag.substr(start, i - start));
        const std::size_t equals = skipSpaces(i);
        if (equals >= size || tag[equals] != '=')
            continue;
        text.push_back('=');
        i = skipSpaces(equals + 1);
        if (i < size && (tag[i] == '"' || tag[i] == '\'')) {
            const auto close = tag.find(tag[i], i + 1);
            if (close == npos) {
                text.append(tag.substr(i));
                break;
            }
            text.append(tag.substr(i, close + 1 - i));
            i = close + 1;
        } else {
            const std::size_t valueStart = i;
            while (i < size && !IsSpace(tag[i]))
                ++i;
            text.append(tag.substr(valueStart, i - valueStart));
        }
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
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

// Escapes the bytes listed in `unsafe` in a link value.
std::string EscapeLinkBytes(std::string value, std::string_view unsafe) {
    if (value.find_first_of(unsafe) == std::string::npos)
        return value;
    std::string out;
    AppendPercentEscaped(out, value,
                         [unsafe](unsigned char byte) { return unsafe.find(char(byte)) == npos; });
    return out;
}

bool HoldsWord(std::string_view words, std::string_view lower) {
    while (!words.empty()) {
        const auto space = words.find(' ');
        if (EqualsIgnoringAsciiCase(words.substr(0, space), lower))
            return true;
        words = space == npos ? std::string_view() : words.substr(space + 1);
    }
    return false;
}


// Walks a page's start tags as browsers read them: comments, end tags and declarations
// are passed over, and the raw text of a script is skipped. onTag(start, end, name) sees
// every start tag and returns false to stop; onStyleText(start, end) sees the text
// inside each style element.
template <typename OnTag, typename OnStyleText>
void WalkTagsAsBrowsers(std::string_view page, OnTag onTag, OnStyleText onStyleText) {
    for (std::size_t i = page.find('<'); i != npos && i + 1 < page.size();) {
        const char next = page[i + 1];
        if (HasWordAt(page, i, "<!--")) {
            const auto end = page.find("-->", i + 2);
            i = end == npos ? npos : page.find('<', end + 3);
            continue;
        }
        if (!IsAsciiLetter(next)) {
            // End tags, declarations and processing instructions carry no links.
            const auto end =
                next == '/' || next == '!' || next == '?' ? page.find('>', i + 1) : i;
            i = end == npos ? npos : page.find('<', end + 1);
            continue;
        }
        const std::size_t end = StartTagEnd(page, i);
        if (end == npos)
            break;
        std::size_t nameEnd = i + 1;
        while (nameEnd < end && !IsSpace(page[nameEnd]) && page[nameEnd] != '/' &&
               page[nameEnd] != '>')
            ++nameEnd;
        const std::string_view name = page.substr(i + 1, nameEnd - i - 1);
        if (!onTag(i, end, name))
            return;
        i = end;
        if (EqualsIgnoringAsciiCase(name, "script")) {
            i = RawTextEnd(page, "</script", end);
        } else if (EqualsIgnoringAsciiCase(name, "style")) {
            i = RawTextEnd(page, "</style", end);
            onStyleText(end, i);
        }
        i = page.find('<', i);
    }
}

} // namespace

// What a tag's other attributes say about its values.
struct CLinkScanner::TagContext {
    int linkHrefClass = kLinkClassFollowed; // from a link element's rel
    bool refresh = false;                   // a meta element with http-equiv=refresh
};

void ReadAttributes(std::string_view text, bool asBrowsers,
                    std::vector<CLinkScanner::AttributeSpan>& spans) {
    spans.clear();
    const std::size_t size = text.size();
    const auto separates = [&](char c) { return c == ' ' || (asBrowsers && c == '/'); };
    std::size_t i = 0;
    while (i < size) {
        if (separates(text[i])) {
            ++i;
            continue;
        }
        CLinkScanner::AttributeSpan span;
        span.start = i;
        ++i; // a name may begin with "="
        while (i < size && !separates(text[i]) && text[i] != '=')
            ++i;
        span.nameEnd = i;
        if (i < size && text[i] == '=') {
            span.hasValue = true;
            ++i;
            // Browsers take a second "=" as the value's first byte.
            while (!asBrowsers && i < size && text[i] == '=')
                ++i;
            if (i < size && (text[i] == '"' || text[i] == '\'')) {
                span.quote = text[i];
                const auto close = text.find(span.quote, i + 1);
                if (close == npos)
                    return; // with its opening quote, the rest of the tag stays as written
                span.valueStart = i + 1;
                span.valueEnd = close;
                i = close + 1; // what follows the quote, even a name, is a new attribute
            } else {
                span.valueStart = i;
                while (i < size && text[i] != ' ')
                    ++i;
                span.valueEnd = i;
            }
        } else {
            span.valueStart = span.valueEnd = i;
        }
        span.end = i;
        spans.push_back(span);
    }
}

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
    const LinkRewriter rewrite = [this](std::string_view value) {
        return RewriteLink(value, kLinkClassEmbedded);
    };
    if (RewriteStyleSheet(buffer, rewrite, out)) {
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
            for (const AttributeSpan& span : m_spans) {
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
    const std::vector<AttributeSpan>& spans = m_spans;
    TagContext context;
    if (m_requisites) {
        const bool link = EqualsIgnoringAsciiCase(name, "link");
        const bool meta = EqualsIgnoringAsciiCase(name, "meta");
        for (const AttributeSpan& span : link || meta ? spans : std::vector<AttributeSpan>{}) {
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
    for (std::size_t index = 0; index < spans.size(); ++index) {
        const AttributeSpan& span = spans[index];
        if (!span.hasValue)
            continue;
        const std::string_view attribute = attributes.substr(span.start, span.end - span.start);
        // An attribute followed by one whose name begins with "=" stays: without it that
        // "=" would join the name before it when the page is scanned again.
        const bool mayRemove =
            index + 1 >= spans.size() || attributes[spans[index + 1].start] != '=';
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
    const AttributeSpan span = m_spans.front();
    const std::optional<std::string> rewritten =
        RewriteValue(tagName, attribute, span, TagContext{}, true);
    if (!rewritten)
        return std::string(attribute);
    return rewritten->empty() ? *rewritten : *rewritten + std::string(attribute.substr(span.end));
}

std::optional<std::string> CLinkScanner::RewriteValue(std::string_view tagName,
                                                      std::string_view attributes,
                                                      const AttributeSpan& span,
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
        return RewriteLinkTo(address, linkClass, false);
    };
    std::string newValue;
    switch (kind) {
    case ValueKind::Link:
        newValue = RewriteLinkTo(decoded, linkClass, mayRemove);
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
        text = EscapeLinkBytes(value, "<>");
        newQuote = QuoteForValue(text, quote);
        if (newQuote != 0)
            text = EscapeLinkBytes(std::move(text), std::string_view(&newQuote, 1));
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
        return RewriteLinkTo(value, kLinkClassEmbedded, false);
    };
    return RewriteStyleSheet(css, rewrite, out);
}

std::string CLinkScanner::RewriteLink(std::string_view value, int kind) {
    return RewriteLinkTo(value, kind, true);
}

std::unique_ptr<CUrl> CLinkScanner::Resolve(std::string_view text, int kind) const {
    std::string resolvable;
    const CUrl& base = m_base ? *m_base : m_page;
    const std::string_view scheme = SchemeNameOf(text);
    const bool relative = scheme.empty() && !text.starts_with("//");
    if (scheme.empty() && !relative) {
        // Another server, in the page's scheme, as browsers read it; written back as an
        // absolute address when refused, never as a path under this page.
        resolvable = (base.scheme.empty() ? std::string("http") : base.scheme) + ":";
        resolvable.append(text);
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
        if (address->host.empty() || again.host != address->host ||
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

std::string CLinkScanner::RewriteLinkTo(std::string_view value, int kind, bool removable) {
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
        return removable && m_site.m_removeLinks ? std::string() : address->GetURL();
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
