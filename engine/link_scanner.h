#pragma once
// CLinkScanner: finds the links of one HTML page or style sheet, rewrites each admitted
// link into a relative link to its local copy (queueing the target with the site) and
// each refused link into an absolute address (or removes it). It works on the raw bytes
// with tables of tags and link attributes; comments and scripts are skipped.
//
// Only the bytes of a changed tag, from its "<" to its ">", are replaced; everything else
// in the page is kept byte for byte. Values that name a scheme other than http or https,
// and empty values, are never resolved nor queued; an attribute goes only when
// rewriting emptied its link. Attribute values are read as browsers read them, and
// rewritten values are written so that scanning the stored page again changes nothing.
//
// When the site fetches what pages need (PAGE_REQUISITES), tags end where browsers end
// them, scripts, frames, responsive images, media, style sheets and the addresses inside
// them count as links too, and a <base href> sets what the page's links resolve against.
//
// One scanner serves one page on the worker's thread. Workers of the same site scan at
// once: AddPending takes the site's lock, IsAllowed only reads settings fixed for a crawl.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/tag_reading.h"
#include "model/link_index.h"
#include "web/exact_name.h"

class CSite;
class CUrl;

// ClassifyAttribute results.
inline constexpr int kLinkClassEmbedded = 1; // an embedded resource (link kind 1)
inline constexpr int kLinkClassFollowed = 2; // a link (kind 2, one level deeper)
inline constexpr int kTagNotListed = 3;
inline constexpr int kAttributeNotLink = 4;

// Where the page text came from. A page read back from the local copy holds links this
// scanner wrote: their escapes are undone, and a relative one is resolved among the
// copy's files, from the page's own file, before it is read as an address again.
enum class PageSource { Server, LocalCopy };

class CLinkScanner {
public:
    CLinkScanner(CSite& site, const CUrl& page, PageSource source = PageSource::Server);
    ~CLinkScanner();

    // Rewrite the page or style sheet in place.
    void ScanPage(std::string& buffer);
    void ScanStyleSheet(std::string& buffer);
    // Empty when the attribute is to be removed.
    std::string RewriteAttribute(std::string_view tagName, std::string_view attribute);
    // The new link value; may be empty. An admitted target is queued with the site.
    // removable: whether REMOVE_LINKS may empty it (not inside a list or a style sheet).
    // target: what the link's place says its target is, which names it under exact names.
    std::string RewriteLink(std::string_view value, int kind, bool removable = true,
                            LinkContext target = LinkContext::Other);
    static int ClassifyAttribute(std::string_view tagName, std::string_view attributeName);

    // Addresses this scanner added to the site's pending list.
    std::size_t QueuedCount() const { return m_queued; }
    // Whether the scan changed the text.
    bool Rewrote() const { return m_rewrote; }
    // Under exact names: the addresses the page links, once each, for the site's index.
    std::vector<CIndexedLink> IndexedLinks() const;
    // Under exact names, for a stored page: rewrite only the links whose target was
    // renamed, or was written as an address and has a file now; queue nothing.
    // staleLinks, when given, are the texts the page's links to renamed files can have:
    // any other local link is left alone without being resolved.
    void MendOnly(std::optional<std::unordered_set<std::string>> staleLinks = std::nullopt) {
        m_mending = true;
        m_staleLinks = std::move(staleLinks);
    }

private:
    struct TagContext;
    struct TagTables;
    struct LinkMemo;
    // What rewriting did to one attribute.
    enum class ValueOutcome { Keep, Remove, Write };

    void ScanTagsToFirstClose(std::string_view page, class CSplicer& splicer);
    void ScanTagsAsBrowsers(std::string_view page, CSplicer& splicer);
    // For a tag that holds an "=": callers pass over the others, which have no value.
    void ReplaceTag(std::string_view page, std::size_t start, std::size_t end, CSplicer& splicer);
    void FindBase(std::string_view page);
    // Whether the tag from start to end opens an anchor whose text reads as logging out.
    static bool AnchorTextReadsAsLogout(std::string_view page, std::size_t start, std::size_t end);
    // Writes the rewritten tag into out, replacing what it held; true, with out left as
    // it was, when the rewritten tag is the tag itself byte for byte.
    bool RewriteTagInto(std::string_view tag, std::string& out);
    // mayRemove: whether the attribute may go (a link refused while REMOVE_LINKS is on, a
    // base); otherwise it is rewritten in place. On Write, written holds the new
    // attribute.
    ValueOutcome RewriteValue(const TagTables& tag, std::string_view attributes,
                              const CTagAttribute& span, const TagContext& context, bool mayRemove,
                              std::string& written);
    void AppendAttribute(std::string& out, std::string_view name, std::string_view value,
                         char quote) const;
    bool RewriteStyle(std::string_view css, std::string& out);
    // RewriteLink's answer. During a scan it is worked out once per value and kept, as
    // pages repeat their links; otherwise it lasts until the next call.
    std::string_view LinkFor(std::string_view value, int kind, bool removable,
                             LinkContext target = LinkContext::Other);
    std::string RewriteLinkAnew(std::string_view value, int kind, bool removable,
                                LinkContext target);
    // refusedKey: set, under exact names, to the key hash of a refused address.
    std::string RewriteLinkOnce(std::string_view value, int kind, bool removable,
                                LinkContext target, std::uint64_t& refusedKey);
    std::string MendLink(const CUrl& address, bool absolute, std::string_view value,
                         LinkContext target) const;
    // The link a page's base is rewritten to: the page's own file.
    std::string OwnLink() const;
    // Under exact names, the name of the page's own file, worked out once.
    const std::string& PageName() const;
    // The address a link names, resolved against the base; null for a scheme other than
    // http and https, and for a server name that could not be written out and read back.
    // Given unchecked, an address written with its scheme skips that last check, and
    // the text it was read from is left there for ServerReadsBack.
    std::unique_ptr<CUrl> Resolve(std::string_view text, int kind,
                                  std::string* unchecked = nullptr) const;
    static bool ServerReadsBack(const CUrl& address, const std::string& resolvable, int kind);
    // A relative link of a stored page: the address whose local file it leads to; null
    // for a folder that can name no host.
    std::unique_ptr<CUrl> ResolveInCopy(std::string_view text, int kind) const;
    // The same under exact names, where the copy's name table says which address a local
    // name stands for.
    std::unique_ptr<CUrl> ResolveInExactCopy(std::string_view text, int kind) const;
    // "//server/path" in the scheme of the base the page's links resolve against.
    std::string InBaseScheme(std::string_view serverAndPath) const;
    // Remembers RewriteLink's answers until the scan ends.
    void BeginScan();
    void EndScan();

    CSite& m_site;
    const CUrl& m_page;
    PageSource m_source;
    bool m_requisites;
    std::unique_ptr<CUrl> m_base; // from <base href>; links resolve against it
    std::vector<CTagAttribute> m_spans;
    // Buffers kept from tag to tag: the tag normalised, the tag rewritten, one attribute
    // rewritten, and a link rewritten outside a scan.
    std::string m_text;
    std::string m_tagOut;
    std::string m_written;
    std::string m_link;
    std::unique_ptr<LinkMemo> m_memo;
    std::size_t m_queued = 0;
    bool m_rewrote = false;
    bool m_mending = false;
    std::optional<std::unordered_set<std::string>> m_staleLinks;
    // Whether a link's text may be one of m_staleLinks.
    bool MayBeStale(std::string_view text) const;
    mutable std::optional<std::string> m_pageName;
    std::vector<CIndexedLink> m_indexed;
    // The crawl sends cookies: links that would log out are refused.
    bool m_guardLogout = false;
    // The anchor being rewritten has a text that reads as logging out.
    bool m_logoutText = false;
};
