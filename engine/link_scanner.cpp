#include "engine/link_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <tuple>

#include "engine/embedded_links.h"
#include "engine/markup_text.h"
#include "engine/splicer.h"
#include "engine/tag_reading.h"
#include "model/site.h"
#include "web/byte_text.h"
#include "web/long_name.h"
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
    "stylesheet", "icon",    "shortcut",      "apple-touch-icon", "apple-touch-icon-precomposed",
    "mask-icon",  "preload", "modulepreload", "prefetch",         "manifest",
};

// Undoes the escaping the relative links of a stored page carry; the fragment was
// written unescaped and stays as it is. A "%" without two hex digits is kept.
std::string DecodeBeforeFragment(std::string_view link) {
    const auto hash = link.find('#');
    const std::string_view name = link.substr(0, hash);
    std::string decoded;
    decoded.reserve(link.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size() && HexDigitValue(name[i + 1]) >= 0 &&
            HexDigitValue(name[i + 2]) >= 0) {
            decoded.push_back(
                static_cast<char>(HexDigitValue(name[i + 1]) * 16 + HexDigitValue(name[i + 2])));
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

template <typename Entry, std::size_t N> constexpr bool SortedByTag(const Entry (&table)[N]) {
    for (std::size_t i = 1; i < N; ++i) {
        if (table[i].tag < table[i - 1].tag)
            return false;
    }
    return true;
}
static_assert(SortedByTag(kLinkTable) && SortedByTag(kRequisiteTable));

// A tag either table names, with where its entries lie in each.
struct KnownTag {
    std::string_view name;
    std::size_t linkBegin = 0;
    std::size_t linkEnd = 0;
    std::size_t requisiteBegin = 0;
    std::size_t requisiteEnd = 0;
};

// The tags of both tables, merged in order, and where each first letter's tags lie;
// finding a tag compares only the names that could match.
struct KnownTags {
    std::array<KnownTag, std::size(kLinkTable) + std::size(kRequisiteTable)> tags{};
    std::array<std::size_t, 27> letterStart{}; // tags of letter L: [start[L], start[L + 1])
};

constexpr KnownTags IndexKnownTags() {
    KnownTags index;
    constexpr std::size_t links = std::size(kLinkTable);
    constexpr std::size_t requisites = std::size(kRequisiteTable);
    std::size_t count = 0;
    std::size_t l = 0;
    std::size_t r = 0;
    while (l < links || r < requisites) {
        const bool linkFirst =
            r == requisites || (l < links && kLinkTable[l].tag <= kRequisiteTable[r].tag);
        KnownTag tag;
        tag.name = linkFirst ? kLinkTable[l].tag : kRequisiteTable[r].tag;
        tag.linkBegin = l;
        while (l < links && kLinkTable[l].tag == tag.name)
            ++l;
        tag.linkEnd = l;
        tag.requisiteBegin = r;
        while (r < requisites && kRequisiteTable[r].tag == tag.name)
            ++r;
        tag.requisiteEnd = r;
        index.tags[count++] = tag;
    }
    std::size_t at = 0;
    for (std::size_t letter = 0; letter < 26; ++letter) {
        index.letterStart[letter] = at;
        while (at < count && static_cast<std::size_t>(index.tags[at].name[0] - 'a') == letter)
            ++at;
    }
    index.letterStart[26] = at;
    return index;
}

constexpr KnownTags kKnownTags = IndexKnownTags();

// The tables' entry for tag, in any letter case; null when neither table names it.
const KnownTag* FindKnownTag(std::string_view tag) {
    if (tag.empty() || !IsAsciiLetter(tag[0]))
        return nullptr;
    const auto letter = static_cast<std::size_t>(ToLowerAscii(tag[0]) - 'a');
    for (std::size_t at = kKnownTags.letterStart[letter]; at < kKnownTags.letterStart[letter + 1];
         ++at) {
        if (EqualsIgnoringAsciiCase(tag, kKnownTags.tags[at].name))
            return &kKnownTags.tags[at];
    }
    return nullptr;
}

// The end of a tag's name in its normalised text: its first space, or "/" as well for
// browsers' reading; npos when the name runs to the end.
std::size_t TagNameEnd(std::string_view text, bool asBrowsers) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' || (asBrowsers && text[i] == '/'))
            return i;
    }
    return npos;
}

// A link's path ends at its first "?", "#" or ";".
std::size_t PathEnd(std::string_view link) {
    std::size_t i = 0;
    while (i < link.size() && link[i] != '?' && link[i] != '#' && link[i] != ';')
        ++i;
    return i;
}

// Whether a name of a stored page's link was cut to fit the file system: it cannot be read
// back as the address it stands for.
bool HoldsCutName(std::string_view link) {
    const std::string_view written = link.substr(0, PathEnd(link));
    if (written.find('@') == npos)
        return false;
    const std::string path = DecodeBeforeFragment(written);
    std::string_view rest = path;
    for (;;) {
        const auto slash = rest.find('/');
        if (IsCutName(rest.substr(0, slash)))
            return true;
        if (slash == npos)
            return false;
        rest.remove_prefix(slash + 1);
    }
}

} // namespace

// What a tag's other attributes say about its values.
struct CLinkScanner::TagContext {
    int linkHrefClass = kLinkClassFollowed; // from a link element's rel
    bool styleSheet = false;                // a link element with rel=stylesheet
    bool refresh = false;                   // a meta element with http-equiv=refresh
};

// The table entries of one tag, looked up once for all its attributes.
struct CLinkScanner::TagTables {
    TagTables(std::string_view name, bool requisites) {
        const KnownTag* known = FindKnownTag(name);
        if (known == nullptr)
            return;
        links = {kLinkTable + known->linkBegin, known->linkEnd - known->linkBegin};
        if (requisites) {
            this->requisites = {kRequisiteTable + known->requisiteBegin,
                                known->requisiteEnd - known->requisiteBegin};
        }
        name = known->name;
        link = known->name == "link";
        meta = known->name == "meta";
    }

    // What the element's link most likely leads to, for naming it before it is fetched.
    LinkContext TargetContext(std::string_view attribute, const TagContext& context) const {
        if (link)
            return context.styleSheet ? LinkContext::StyleSheet : LinkContext::Other;
        if (name == "script")
            return LinkContext::Script;
        const bool pageTag = name == "a" || name == "area" || name == "frame" || name == "iframe";
        return pageTag && (EqualsIgnoringAsciiCase(attribute, "href") ||
                           EqualsIgnoringAsciiCase(attribute, "src"))
                   ? LinkContext::Page
                   : LinkContext::Other;
    }

    // kTagNotListed, kAttributeNotLink or the attribute's link class.
    int Classify(std::string_view attribute) const {
        for (const LinkAttribute& entry : links) {
            if (EqualsIgnoringAsciiCase(attribute, entry.attribute))
                return entry.linkClass;
        }
        return links.empty() ? kTagNotListed : kAttributeNotLink;
    }

    std::span<const LinkAttribute> links;
    std::span<const RequisiteAttribute> requisites;
    std::string_view name;
    bool link = false;
    bool meta = false;
};

// RewriteLink's answers during one scan: open addressing over a table of a power of two
// slots, with keys and answers in blocks that never move, so that an answer handed out
// stays valid and a lookup touches one slot and one stretch of text.
struct CLinkScanner::LinkMemo {
    // A hostile page of endless distinct links keeps only this much, and a key is looked
    // for in only so many slots, so that keys made to collide cost no more than a few
    // probes each; the rest are worked out each time, as without the memo.
    static constexpr std::size_t kMaxAnswers = 1 << 16;
    static constexpr std::size_t kMaxProbes = 32;
    static constexpr std::size_t kMaxText = std::size_t{32} << 20;
    static constexpr std::size_t kBlockSize = std::size_t{64} << 10;

    struct Slot {
        std::uint64_t hash = 0;
        const char* text = nullptr; // the key, then the answer; null for a free slot
        std::uint32_t keyLength = 0;
        std::uint32_t answerLength = 0;
    };

    // Eight bytes at a time; variant (the link class and removability) is mixed in first,
    // and every later step can be undone, so one key's variants never share a hash.
    static std::uint64_t Hash(std::string_view key, unsigned variant) {
        std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ (key.size() * 64 + variant);
        std::size_t i = 0;
        for (; i + 8 <= key.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, key.data() + i, 8);
            hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
            hash ^= hash >> 32;
        }
        if (i < key.size()) {
            // The last eight bytes, overlapping those already taken, when there are eight.
            std::uint64_t tail = 0;
            if (key.size() >= 8) {
                std::memcpy(&tail, key.data() + key.size() - 8, 8);
            } else {
                for (; i < key.size(); ++i)
                    tail = tail << 8 | static_cast<unsigned char>(key[i]);
            }
            hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ull;
        }
        hash ^= hash >> 33;
        hash *= 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 33;
        return hash;
    }

    // The answer for key, or nothing.
    std::optional<std::string_view> Find(std::string_view key, unsigned variant) const {
        if (slots.empty())
            return std::nullopt;
        const std::uint64_t hash = Hash(key, variant);
        const std::size_t mask = slots.size() - 1;
        for (std::size_t probe = 0, at = hash & mask; probe < kMaxProbes;
             ++probe, at = (at + 1) & mask) {
            const Slot& slot = slots[at];
            if (slot.text == nullptr)
                return std::nullopt;
            if (slot.hash == hash && std::string_view(slot.text, slot.keyLength) == key)
                return std::string_view(slot.text + slot.keyLength, slot.answerLength);
        }
        return std::nullopt;
    }

    // The answer as kept; nothing when there is no room for it.
    std::optional<std::string_view> Keep(std::string_view key, unsigned variant,
                                         std::string_view answer) {
        const std::size_t length = key.size() + answer.size();
        if (count == kMaxAnswers || textSize + length > kMaxText)
            return std::nullopt;
        if ((count + 1) * 2 > slots.size())
            Grow();
        if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < length) {
            blocks.emplace_back();
            blocks.back().reserve(std::max(kBlockSize, length));
        }
        std::string& block = blocks.back();
        const std::size_t at = block.size();
        block.append(key).append(answer);
        textSize += length;
        Slot slot;
        slot.hash = Hash(key, variant);
        slot.text = block.data() + at;
        slot.keyLength = static_cast<std::uint32_t>(key.size());
        slot.answerLength = static_cast<std::uint32_t>(answer.size());
        if (!Place(slot))
            return std::nullopt;
        ++count;
        return std::string_view(slot.text + slot.keyLength, slot.answerLength);
    }

    void Grow() {
        std::vector<Slot> old(std::max<std::size_t>(1024, slots.size() * 2));
        old.swap(slots);
        count = 0;
        for (const Slot& slot : old) {
            if (slot.text != nullptr && Place(slot))
                ++count;
        }
    }

    // Whether a free slot was found among the first probes; a slot that finds none is
    // dropped, which only costs working its answer out again.
    bool Place(const Slot& slot) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t probe = 0, at = slot.hash & mask; probe < kMaxProbes;
             ++probe, at = (at + 1) & mask) {
            if (slots[at].text == nullptr) {
                slots[at] = slot;
                return true;
            }
        }
        return false;
    }

    std::vector<Slot> slots;
    // Each block keeps the capacity it was given, so its bytes never move.
    std::vector<std::string> blocks;
    std::size_t count = 0;
    std::size_t textSize = 0;
};

CLinkScanner::CLinkScanner(CSite& site, const CUrl& page, PageSource source)
    : m_site(site), m_page(page), m_source(source), m_requisites(site.m_pageRequisites),
      m_guardLogout(site.LoginGuard().Active()) {}

CLinkScanner::~CLinkScanner() = default;

// Nothing a scan reads to rewrite a link changes while it runs: the site's settings are
// fixed for a crawl, and the base is found before the first link. A link met again is
// known to the site already, so queueing it a second time would be refused anyway.
void CLinkScanner::BeginScan() {
    m_memo = std::make_unique<LinkMemo>();
}

void CLinkScanner::EndScan() {
    m_memo.reset();
}

void CLinkScanner::ScanPage(std::string& buffer) {
    const std::string_view page = buffer;
    // The page is copied span by span only once a tag changes, so a large page costs one
    // pass however many tags are replaced.
    CSplicer splicer(page);
    if (m_requisites)
        FindBase(page);
    BeginScan();
    if (m_requisites)
        ScanTagsAsBrowsers(page, splicer);
    else
        ScanTagsToFirstClose(page, splicer);
    EndScan();
    if (splicer.Changed()) {
        std::string out = splicer.Finish();
        buffer.swap(out);
        m_rewrote = true;
    }
}

void CLinkScanner::ScanStyleSheet(std::string& buffer) {
    std::string out;
    BeginScan();
    const bool changed = RewriteStyle(buffer, out);
    EndScan();
    if (changed) {
        buffer.swap(out);
        m_rewrote = true;
    }
}

// Only an anchor's text is read, and only a short stretch of it: a logout button says
// so in a word or two.
bool CLinkScanner::AnchorTextReadsAsLogout(std::string_view page, std::size_t start,
                                           std::size_t end) {
    constexpr std::size_t kLongestText = 256;
    if (end - start < 3 || !HasWordAt(page, start, "<a") || !IsAsciiWhitespace(page[start + 2]))
        return false;
    std::string_view text = page.substr(end, kLongestText);
    text = text.substr(0, FindTagWord(text, "</a", 0));
    return ReadsAsLogoutText(text);
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
            // A tag without "=" holds no value to rewrite; the same search notes one.
            bool equals = false;
            std::size_t close = FindFirstOfBytes<'<', '>', '='>(page, i + 1);
            while (close < page.size() && page[close] == '=') {
                equals = true;
                close = FindFirstOfBytes<'<', '>'>(page, close + 1);
            }
            if (close == page.size())
                break;
            if (page[close] == '<') {
                i = close;
                continue;
            }
            if (equals)
                ReplaceTag(page, i, close + 1, splicer);
            i = page.find('<', close + 1);
        }
    }
}

void CLinkScanner::ScanTagsAsBrowsers(std::string_view page, CSplicer& splicer) {
    WalkTagsAsBrowsers(
        page,
        [&](std::size_t start, std::size_t end, std::string_view) {
            // A tag without "=" holds no value to rewrite.
            const std::string_view tag = page.substr(start, end - start);
            if (FindFirstOfBytes<'='>(tag, 0) != tag.size())
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
            NormaliseSpacingAsBrowsers(page.substr(start + 1, end - start - 2), m_text, &m_spans);
            const std::string_view attributes = m_text;
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
    m_logoutText = m_guardLogout && AnchorTextReadsAsLogout(page, start, end);
    const bool same = RewriteTagInto(tag, m_tagOut);
    m_logoutText = false;
    if (same)
        return;
    // Read to its first ">", "<  script" normalised would open a script, or "< !--" a
    // comment, when the stored page is scanned again and hide what follows; such a tag
    // stays as written.
    if (!m_requisites && (HasWordAt(m_tagOut, 0, "<script") || HasWordAt(m_tagOut, 0, "<!--")))
        return;
    if (m_tagOut != tag && !EqualsIgnoringAsciiCase(m_tagOut, tag))
        splicer.Replace(start, end, m_tagOut);
}

bool CLinkScanner::RewriteTagInto(std::string_view tag, std::string& out) {
    const std::string_view written = tag;
    tag = SkipLeading(tag, '<');
    while (!tag.empty() && tag.back() == '>') {
        tag.remove_suffix(1);
    }
    // Spaces are trimmed once tabs and line breaks are spaces too; a tag that began with
    // a line break would otherwise lose its name here and find it on the next scan.
    if (m_requisites)
        NormaliseSpacingAsBrowsers(tag, m_text, &m_spans);
    else
        NormaliseSpacing(tag, m_text);
    const std::string_view whole = TrimSpaces(m_text);
    // Browsers end a tag's name at "/" too; the page scan of a site without requisites
    // reads names as it always has.
    const auto nameEnd = TagNameEnd(whole, m_requisites);
    const std::string_view name = whole.substr(0, nameEnd);
    const std::string_view attributes =
        SkipLeading(whole.substr(std::min(nameEnd, whole.size())), ' ');
    const TagTables tables(name, m_requisites);
    // Whether "<", the name, a space and the attributes as they stand, and ">" make the
    // tag as written: then a tag whose attributes all stay needs no new text.
    const bool asWritten =
        written.size() == tag.size() + 2 && m_text == tag && whole.size() == m_text.size() &&
        (nameEnd == npos ||
         (whole[nameEnd] == ' ' && attributes.data() == whole.data() + nameEnd + 1));

    if (!m_requisites && tables.links.empty()) {
        if (asWritten && nameEnd != npos)
            return true;
        out.clear();
        out.push_back('<');
        out.append(name);
        out.push_back(' ');
        out.append(attributes);
        out.push_back('>');
        return false;
    }

    if (m_requisites) {
        // The normalisation found them, as positions in the whole text.
        const std::size_t offset = static_cast<std::size_t>(attributes.data() - m_text.data());
        for (CTagAttribute& span : m_spans) {
            span.start -= offset;
            span.nameEnd -= offset;
            span.valueStart -= offset;
            span.valueEnd -= offset;
            span.end -= offset;
        }
    } else {
        ReadAttributes(attributes, false, m_spans);
    }
    // Nothing below reads attributes again while these are in use.
    const std::vector<CTagAttribute>& spans = m_spans;
    TagContext context;
    const bool link = m_requisites && tables.link;
    const bool meta = m_requisites && tables.meta;
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
                context.styleSheet = HoldsWord(value, "stylesheet");
            } else if (meta && EqualsIgnoringAsciiCase(spanName, "http-equiv")) {
                context.refresh = EqualsIgnoringAsciiCase(TrimSpaces(value), "refresh");
            }
        }
    }

    // The new text is begun at the first attribute that changes: "<", the name and a
    // space, then the attributes spliced as they are rewritten. The space goes again when
    // nothing but spaces follows it.
    std::size_t separator = 0;
    bool begun = false;
    const auto begin = [&] {
        if (begun)
            return;
        out.clear();
        out.push_back('<');
        out.append(name);
        separator = out.size();
        out.push_back(' ');
        begun = true;
    };
    std::size_t copied = 0;
    for (const CTagAttribute& span : spans) {
        if (!span.hasValue)
            continue;
        const std::string_view attribute = attributes.substr(span.start, span.end - span.start);
        // An attribute followed by one whose name begins with "=" stays: without it that
        // "=" would join the name before it when the page is scanned again.
        std::size_t next = span.end;
        while (next < attributes.size() && attributes[next] == ' ')
            ++next;
        const bool mayRemove = next == attributes.size() || attributes[next] != '=';
        switch (RewriteValue(tables, attributes, span, context, mayRemove, m_written)) {
        case ValueOutcome::Keep:
            break;
        case ValueOutcome::Remove: {
            // The space after a removed attribute goes with it: two spaces in a row would
            // be collapsed when the stored page is scanned again.
            const bool spaceFollows = span.end < attributes.size() && attributes[span.end] == ' ';
            begin();
            out.append(attributes.substr(copied, span.start - copied));
            copied = span.end + (spaceFollows ? 1 : 0);
            break;
        }
        case ValueOutcome::Write:
            if (!EqualsIgnoringAsciiCase(m_written, attribute)) {
                begin();
                out.append(attributes.substr(copied, span.start - copied));
                out.append(m_written);
                copied = span.end;
            }
            break;
        }
    }
    if (!begun && asWritten)
        return true;
    begin();
    out.append(attributes.substr(std::min(copied, attributes.size())));
    while (out.size() > separator + 1 && out.back() == ' ')
        out.pop_back();
    if (out.size() == separator + 1)
        out.pop_back();
    out.push_back('>');
    return false;
}

std::string CLinkScanner::RewriteAttribute(std::string_view tagName, std::string_view attribute) {
    ReadAttributes(attribute, false, m_spans);
    if (m_spans.empty() || !m_spans.front().hasValue)
        return std::string(attribute);
    const CTagAttribute span = m_spans.front();
    std::string written;
    switch (RewriteValue(TagTables(tagName, m_requisites), attribute, span, TagContext{}, true,
                         written)) {
    case ValueOutcome::Keep:
        return std::string(attribute);
    case ValueOutcome::Remove:
        return {};
    case ValueOutcome::Write:
        break;
    }
    return written + std::string(attribute.substr(span.end));
}

CLinkScanner::ValueOutcome CLinkScanner::RewriteValue(const TagTables& tag,
                                                      std::string_view attributes,
                                                      const CTagAttribute& span,
                                                      const TagContext& context, bool mayRemove,
                                                      std::string& written) {
    const std::string_view name = attributes.substr(span.start, span.nameEnd - span.start);
    const std::string_view value =
        attributes.substr(span.valueStart, span.valueEnd - span.valueStart);
    // alt="" and href="" say something as written; only a link that rewriting emptied
    // takes its attribute with it.
    if (TrimSpaces(value).empty())
        return ValueOutcome::Keep;

    ValueKind kind = ValueKind::None;
    int linkClass = tag.Classify(name);
    if (linkClass == kLinkClassEmbedded || linkClass == kLinkClassFollowed)
        kind = ValueKind::Link;
    if (m_requisites) {
        if (EqualsIgnoringAsciiCase(name, "style")) {
            kind = ValueKind::Style;
        } else if (tag.link && EqualsIgnoringAsciiCase(name, "href")) {
            linkClass = context.linkHrefClass;
        } else {
            for (const RequisiteAttribute& entry : tag.requisites) {
                if (EqualsIgnoringAsciiCase(name, entry.attribute)) {
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
    const auto unchanged = [&] {
        if (span.valueStart == span.nameEnd + 1 + (span.quote != 0 ? 1 : 0))
            return ValueOutcome::Keep;
        written.clear();
        written.append(name).push_back('=');
        if (span.quote != 0)
            written.push_back(span.quote);
        written.append(value);
        if (span.quote != 0)
            written.push_back(span.quote);
        return ValueOutcome::Write;
    };
    if (kind == ValueKind::None)
        return unchanged();
    // The stored page resolves its links against its own place: without the base, or
    // with one that names the page itself.
    if (kind == ValueKind::Base && mayRemove)
        return ValueOutcome::Remove;
    if (kind == ValueKind::Base) {
        written.clear();
        AppendAttribute(written, name, OwnLink(), span.quote);
        return ValueOutcome::Write;
    }

    std::string decodedText;
    std::string_view decoded = value;
    if (m_requisites && FindFirstOfBytes<'&'>(value, 0) != value.size()) {
        decodedText = DecodeCharacterReferences(value);
        decoded = decodedText;
    }
    const LinkContext target = tag.TargetContext(name, context);
    const auto inList = [this, linkClass, target](std::string_view address) {
        return std::string(LinkFor(address, linkClass, false, target));
    };
    std::string newText;
    std::string_view newValue;
    switch (kind) {
    case ValueKind::Link:
        newValue = LinkFor(decoded, linkClass, mayRemove, target);
        if (newValue.empty())
            return ValueOutcome::Remove;
        break;
    case ValueKind::Srcset:
        newText = RewriteSrcset(decoded, inList);
        newValue = newText;
        break;
    case ValueKind::Refresh:
        newText = RewriteRefresh(decoded, inList);
        newValue = newText;
        break;
    case ValueKind::Style:
        newValue = RewriteStyle(decoded, newText) ? std::string_view(newText) : decoded;
        break;
    default:
        break;
    }
    if (newValue == decoded)
        return unchanged();
    written.clear();
    AppendAttribute(written, name, newValue, span.quote);
    return ValueOutcome::Write;
}

// A new value in the quote it reads back the same in, with the bytes it cannot hold
// escaped.
void CLinkScanner::AppendAttribute(std::string& out, std::string_view name, std::string_view value,
                                   char quote) const {
    out.append(name).push_back('=');
    if (m_requisites) {
        const char newQuote = QuoteForValue(value, quote);
        if (newQuote != 0)
            out.push_back(newQuote);
        AppendAttributeValue(out, value, newQuote);
        if (newQuote != 0)
            out.push_back(newQuote);
        return;
    }
    // Read back, "<" and ">" would end or restart the tag.
    std::string escaped;
    std::string_view text = value;
    if (std::any_of(value.begin(), value.end(), [](char c) { return c == '<' || c == '>'; })) {
        escaped = PercentEscapeBytes(std::string(value), "<>");
        text = escaped;
    }
    const char newQuote = QuoteForValue(text, quote);
    if (newQuote == 0) {
        out.append(text);
        return;
    }
    out.push_back(newQuote);
    if (text.find(newQuote) == npos) {
        out.append(text);
    } else {
        AppendPercentEscaped(out, text, [newQuote](unsigned char byte) {
            return byte != static_cast<unsigned char>(newQuote);
        });
    }
    out.push_back(newQuote);
}

bool CLinkScanner::RewriteStyle(std::string_view css, std::string& out) {
    const LinkRewriter rewrite = [this](std::string_view value) {
        return std::string(LinkFor(value, kLinkClassEmbedded, false));
    };
    return RewriteStyleSheet(css, rewrite, out);
}

std::string CLinkScanner::InBaseScheme(std::string_view serverAndPath) const {
    const CUrl& base = m_base ? *m_base : m_page;
    return (base.scheme.empty() ? std::string("http") : base.scheme) + ":" +
           std::string(serverAndPath);
}

std::unique_ptr<CUrl> CLinkScanner::Resolve(std::string_view link, int kind,
                                            std::string* unchecked) const {
    // A path that ends in "." or ".." names a folder, as browsers read it; the address
    // parser would take it for a file of that name.
    std::string dotted;
    const auto pathEnd = PathEnd(link);
    const std::string_view path = link.substr(0, pathEnd);
    if (path == "." || path == ".." || path.ends_with("/.") || path.ends_with("/..")) {
        dotted.append(path).append("/").append(link.substr(pathEnd));
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
    } else if (m_source == PageSource::LocalCopy) {
        return ResolveInCopy(text, kind);
    } else {
        resolvable.assign(text);
        // The address parser takes a run such as "12:" for a scheme, where a browser
        // reads a relative path; "./" keeps it one. It also trims spaces that a stored
        // link carries escaped at either end of a name; "./" and an empty fragment
        // keep them. Without a ":" there is no scheme to find.
        if ((resolvable.find(':') != npos && !CUrl::SchemeOf(resolvable).empty()) ||
            resolvable.starts_with(' ')) {
            resolvable.insert(0, "./");
        }
        if (resolvable.ends_with(' ')) {
            resolvable.push_back('#');
        }
    }

    auto address = std::make_unique<CUrl>(&base, resolvable, kind, m_site.Reading());
    if (!relative) {
        if (unchecked != nullptr && !scheme.empty())
            *unchecked = std::move(resolvable);
        else if (!ServerReadsBack(*address, resolvable, kind))
            return nullptr;
    }
    return address;
}

std::unique_ptr<CUrl> CLinkScanner::ResolveInCopy(std::string_view text, int kind) const {
    if (m_site.ExactNames())
        return ResolveInExactCopy(text, kind);
    // Without a name table a cut name stays as it is: its file is kept, and updated when
    // a page fetched anew links to it.
    if (HoldsCutName(text))
        return nullptr;
    // The escapes are undone once the link is taken apart: an escaped "?", ";" or "#" is
    // part of a name, not where the name ends.
    const auto decoded = [](std::unique_ptr<CUrl> address) {
        for (std::string* field :
             {&address->path, &address->file, &address->params, &address->query}) {
            if (field->find('%') != npos)
                *field = DecodeBeforeFragment(*field);
        }
        return address;
    };
    std::string link;
    // The parser takes a run such as "12:" for a scheme, where a browser reads a relative
    // path; "./" keeps it one.
    if (text.find(':') != npos && !CUrl::SchemeOf(text).empty())
        link = "./";
    link.append(text);
    // A folder link was written out as the folder's default document; read back, it
    // names the folder again, as the server knows it. Without a dot the parser would
    // take that name for one more folder.
    const std::string& document = m_site.m_defaultDocument;
    const std::string_view path = std::string_view(link).substr(0, PathEnd(link));
    const auto slash = path.rfind('/');
    const std::size_t nameStart = slash == npos ? 0 : slash + 1;
    const std::string_view name = path.substr(nameStart);
    if (!document.empty() &&
        (name.find('%') == npos ? name == document : DecodeBeforeFragment(name) == document)) {
        link.erase(nameStart, path.size() - nameStart);
        if (nameStart == 0)
            link.insert(0, "./");
    }

    // One "../" more than the page lies deep in its host's folder leads into the site's
    // folder, where the next name is a host's folder.
    std::string_view rest = link;
    int ups = 0;
    while (rest.starts_with("./") || rest.starts_with("../")) {
        ups += rest.starts_with("../") ? 1 : 0;
        rest.remove_prefix(rest.find('/') + 1);
    }
    const bool placed = !m_page.host.empty() && m_page.path.starts_with('/');
    const auto hostEnd = rest.find('/');
    if (!placed || ups != CountSlashes(m_page.path) + 1 || hostEnd == npos ||
        hostEnd > PathEnd(rest))
        return decoded(std::make_unique<CUrl>(m_base ? m_base.get() : &m_page, link, kind));

    const std::string host = DecodeBeforeFragment(rest.substr(0, hostEnd));
    auto address = decoded(std::make_unique<CUrl>(&m_page, rest.substr(hostEnd), kind));
    if (host != m_page.host) {
        // Only a folder named as the parser names hosts can be one: it lowers them and
        // ends them at ":" (the port) or "#".
        if (host.empty() || host.find_first_of(":#ABCDEFGHIJKLMNOPQRSTUVWXYZ") != npos)
            return nullptr;
        address->host = host;
        // The copy keeps no scheme nor port: those of the page are the likeliest, as
        // for two ports of one host, which share its folder. Credentials stay with the
        // page's server.
        address->user.clear();
        address->password.clear();
    }
    return address;
}

// The parser keeps user information in the server name when no path follows it; such an
// address, written out whole and read again, would name another server. Without a server
// of its own it would borrow the page's.
bool CLinkScanner::ServerReadsBack(const CUrl& address, const std::string& resolvable, int kind) {
    // The server part reads the same whichever way the path is read.
    const CUrl again(nullptr, address.GetURL(), kind);
    return !CUrl::HostOf(resolvable).empty() && again.host == address.host &&
           again.port == address.port && again.user == address.user &&
           again.password == address.password;
}

std::string CLinkScanner::RewriteLink(std::string_view value, int kind, bool removable,
                                      LinkContext target) {
    return std::string(LinkFor(value, kind, removable, target));
}

std::string_view CLinkScanner::LinkFor(std::string_view value, int kind, bool removable,
                                       LinkContext target) {
    const bool classed = kind == kLinkClassEmbedded || kind == kLinkClassFollowed;
    // The memo knows links by their value alone, not by their text.
    if (!m_memo || !classed || m_logoutText) {
        m_link = RewriteLinkAnew(value, kind, removable, target);
        return m_link;
    }
    const unsigned variant = (kind == kLinkClassFollowed ? 2 : 0) + (removable ? 1 : 0) +
                             static_cast<unsigned>(target) * 4;
    if (const auto known = m_memo->Find(value, variant))
        return *known;
    m_link = RewriteLinkAnew(value, kind, removable, target);
    if (const auto kept = m_memo->Keep(value, variant, m_link))
        return *kept;
    return m_link;
}

std::string CLinkScanner::RewriteLinkAnew(std::string_view value, int kind, bool removable,
                                          LinkContext target) {
    std::uint64_t refusedKey = 0;
    std::string written = RewriteLinkOnce(value, kind, removable, target, refusedKey);
    // Written out as an address, the link is mended should the crawl store it after all.
    if (refusedKey != 0 && (!SchemeNameOf(written).empty() || written.starts_with("//")))
        m_indexed.push_back({refusedKey, true, kind == kLinkClassFollowed});
    return written;
}

std::string CLinkScanner::RewriteLinkOnce(std::string_view value, int kind, bool removable,
                                          LinkContext target, std::uint64_t& refusedKey) {
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
    if (m_mending && !MayBeStale(text)) {
        return std::string(value);
    }
    // A refused address written with its scheme stays as written, as does one whose
    // server would not read back; only an admitted one needs that check.
    bool removed = removable && m_site.m_removeLinks;
    std::string unchecked;
    auto address = Resolve(text, kind, removed ? nullptr : &unchecked);
    if (!address) {
        return std::string(value);
    }
    if (m_mending)
        return MendLink(*address, !SchemeNameOf(text).empty() || text.starts_with("//"), value,
                        target);
    LinkRefusal refusal = m_site.RefusalOf(*address, m_requisites && kind == kLinkClassEmbedded);
    if (refusal == LinkRefusal::None && m_guardLogout &&
        (m_logoutText || ReadsAsLogoutAddress(address->GetObjectName()))) {
        refusal = LinkRefusal::Logout;
        // Written whole, so that the stored page still shows where it led.
        removed = false;
        m_site.NoteLogoutNotFollowed(address->GetURL());
    }
    const bool allowed = refusal == LinkRefusal::None;
    // Whether the address text names the same address when it is read on its own.
    const UrlReading reading = m_site.Reading();
    const auto readsBack = [kind, reading](const std::string& text) {
        return CUrl(nullptr, text, kind, reading).GetURL() == text;
    };
    std::string url;
    if (!allowed) {
        url = address->GetURL();
        m_site.OfflineCheck().NoteRefused(refusal, url, removed);
        m_site.Changes().CountSkipped(url);
        if (m_site.ExactNames() && !removed)
            refusedKey = m_site.ExactKeyHash(*address);
    }
    // A stored page loses its base: a refused address that the page alone would read as
    // another (a server without a path takes the base's folder) is written whole.
    const bool hasScheme = !SchemeNameOf(text).empty();
    if (!allowed && !removed && (hasScheme || text.starts_with("//")) && m_base &&
        m_source == PageSource::Server) {
        const std::string written = text.starts_with("//") ? InBaseScheme(text) : std::string(text);
        if (CUrl(&m_page, written, kind, reading).GetURL() != url && readsBack(url))
            return url;
    }
    if (!allowed && hasScheme) {
        return removed ? std::string() : std::string(value);
    }
    if (!unchecked.empty() && !ServerReadsBack(*address, unchecked, kind)) {
        return std::string(value);
    }
    if (!allowed) {
        if (removed) {
            return {};
        }
        // An address written whole stays as written: the parser's reading of it (a last
        // name without a dot is a folder, "//" in a path is "/") names another address.
        // One that names only the server takes the page's scheme.
        if (text.starts_with("//")) {
            return InBaseScheme(text);
        }
        // A relative one is resolved. One the parser would read back as another (spaces
        // at its end, which it trims) has its spaces escaped, or is left as written where
        // no base changes what it means, so that the stored page reads the same the next
        // time.
        if (!readsBack(url)) {
            url = PercentEscapeBytes(std::move(url), " \t\n\r\f");
            if (!readsBack(url) && !m_base) {
                return std::string(value);
            }
        }
        return url;
    }
    std::string link;
    std::uint64_t keyHash = 0;
    if (m_site.ExactNames()) {
        link = m_site.ExactLinkFrom(PageName(), *address, target, &keyHash);
        if (link.empty())
            return address->GetURL();
        m_indexed.push_back({keyHash, false, kind == kLinkClassFollowed});
    } else {
        link = address->MakeRelative(m_page, m_site.m_defaultDocument);
    }
    // The site refuses what it already knows; the link leads to that local copy all the same.
    if (m_site.AddPending(address, keyHash)) {
        ++m_queued;
    }
    return link;
}

int CLinkScanner::ClassifyAttribute(std::string_view tagName, std::string_view attributeName) {
    return TagTables(tagName, false).Classify(attributeName);
}

std::vector<CIndexedLink> CLinkScanner::IndexedLinks() const {
    std::vector<CIndexedLink> links = m_indexed;
    std::sort(links.begin(), links.end(), [](const CIndexedLink& a, const CIndexedLink& b) {
        return std::tie(a.target, a.absolute, a.followed) <
               std::tie(b.target, b.absolute, b.followed);
    });
    links.erase(std::unique(links.begin(), links.end()), links.end());
    return links;
}

std::string CLinkScanner::OwnLink() const {
    if (!m_site.ExactNames())
        return m_page.MakeRelative(m_page, m_site.m_defaultDocument);
    CUrl page = m_page;
    page.fragment.clear();
    return m_site.ExactLinkFrom(PageName(), page, LinkContext::Page);
}

const std::string& CLinkScanner::PageName() const {
    if (!m_pageName) {
        CUrl page = m_page;
        page.fragment.clear();
        m_pageName = m_site.ExactNameOf(page, LinkContext::Page);
    }
    return *m_pageName;
}

bool CLinkScanner::MayBeStale(std::string_view text) const {
    if (!m_staleLinks)
        return true;
    // With stale texts known, no link written as an address needs mending.
    if (!SchemeNameOf(text).empty() || text.starts_with("//"))
        return false;
    text = text.substr(0, text.find('#'));
    // Text the scan may have escaped is read in full.
    if (text.find_first_of("&%:") != std::string_view::npos)
        return true;
    return m_staleLinks->contains(std::string(text));
}

std::string CLinkScanner::MendLink(const CUrl& address, bool absolute, std::string_view value,
                                   LinkContext target) const {
    // A link written as an address stays one unless the crawl stored what it names.
    if (absolute && !m_site.LeadsToStoredFile(address))
        return std::string(value);
    std::string link = m_site.ExactLinkFrom(PageName(), address, target);
    return link.empty() ? std::string(value) : link;
}

std::unique_ptr<CUrl> CLinkScanner::ResolveInExactCopy(std::string_view text, int kind) const {
    const std::string& pageName = PageName();
    if (pageName.empty())
        return nullptr;
    // Names are written escaped, with a raw "#" only before the fragment; a raw "?" would
    // not be part of a file's name.
    const auto hash = text.find('#');
    const std::string_view fragment = hash == npos ? std::string_view() : text.substr(hash + 1);
    std::string_view written = text.substr(0, std::min(hash, text.find('?')));
    const std::string path = DecodeBeforeFragment(written);

    std::vector<std::string_view> segments;
    std::string_view folder = pageName;
    folder = folder.substr(0, folder.rfind('/') == npos ? 0 : folder.rfind('/'));
    while (!folder.empty()) {
        const auto slash = folder.find('/');
        segments.push_back(folder.substr(0, slash));
        folder = slash == npos ? std::string_view() : folder.substr(slash + 1);
    }
    std::string_view rest = path;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            // Above the site's folder there is nothing of the copy.
            if (segments.empty())
                return nullptr;
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string name;
    for (const std::string_view segment : segments) {
        if (!name.empty())
            name.push_back('/');
        name.append(segment);
    }
    auto address = m_site.AddressOfName(name, m_page, kind);
    if (address)
        address->fragment.assign(fragment);
    return address;
}
