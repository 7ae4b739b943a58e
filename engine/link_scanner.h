#pragma once
// CLinkScanner: finds the links of one HTML page, rewrites each admitted link into a
// relative link to its local copy (queueing the target with the site) and each refused
// link into an absolute address (or removes it). It works byte by byte on the raw page
// with a fixed table of tags and link attributes; comments and scripts are skipped.
//
// Only the bytes of a changed tag, from its "<" to its ">", are replaced; everything else
// in the page is kept byte for byte. A tag still open when a comment or script begins is
// left as it is. Values that name a scheme other than http or https, and empty values,
// are never resolved nor queued; an attribute goes only when rewriting emptied its link.
//
// One scanner serves one page on the worker's thread. Workers of the same site scan at
// once: AddPending takes the site's lock, IsAllowed only reads settings fixed for a crawl.

#include <cstddef>
#include <string>
#include <string_view>

class CSite;
class CUrl;

// ClassifyAttribute results.
inline constexpr int kLinkClassEmbedded = 1; // an embedded resource (link kind 1)
inline constexpr int kLinkClassFollowed = 2; // a link (kind 2, one level deeper)
inline constexpr int kTagNotListed = 3;
inline constexpr int kAttributeNotLink = 4;

// Where the page text came from. A page read back from the local copy holds links this
// scanner wrote; their escapes are undone before they are resolved again.
enum class PageSource { Server, LocalCopy };

class CLinkScanner {
public:
    CLinkScanner(CSite& site, const CUrl& page, PageSource source = PageSource::Server);

    // Rewrites the page in place.
    void ScanPage(std::string& buffer);
    std::string RewriteTag(std::string_view tag);
    // Empty when the attribute is to be removed.
    std::string RewriteAttribute(std::string_view tagName, std::string_view attribute);
    // The new link value; may be empty. An admitted target is queued with the site.
    std::string RewriteLink(std::string_view value, int kind);
    static int ClassifyAttribute(std::string_view tagName, std::string_view attributeName);

    // Addresses this scanner added to the site's pending list.
    std::size_t QueuedCount() const { return m_queued; }
    // Whether ScanPage changed the page.
    bool Rewrote() const { return m_rewrote; }

private:
    CSite& m_site;
    const CUrl& m_page;
    PageSource m_source;
    std::size_t m_queued = 0;
    bool m_rewrote = false;
};
