#pragma once
// CUrl: one parsed web address with its crawl depth and failed-attempt count.
//
// The parser is lenient and never fails: it lowers the scheme and the host, does no
// percent-decoding or encoding, and passes everything else through byte for byte.
// Its rules differ from the generic URI syntax on purpose; they decide which local
// file a link maps to. A CUrl is used by one thread at a time.

#include <string>
#include <string_view>

// Link kinds given to the constructor: a followed link is one level deeper than the
// page it was found on; anything else (embedded resources) keeps the page's level.
inline constexpr int kLinkEmbedded = 1;
inline constexpr int kLinkFollowed = 2;

// Where the local copy of an address lives: sites directory / site name / host / path / file.
struct CLocalNaming {
    std::string_view sitesDir;
    std::string_view siteName;
    std::string_view defaultDocument; // stands in for an empty file name
};

// How the last path segment is read. Classic takes a segment without a dot for a folder
// ("/about" is "/about/"); Exact takes every segment but "." and ".." for a file, so that
// each address the server tells apart has a name of its own.
enum class UrlReading { Classic, Exact };

class CUrl {
public:
    // Scratch object for HostOf and SchemeOf; every text field empty.
    CUrl() = default;
    // Parses text and resolves it against base (may be null).
    CUrl(const CUrl* base, std::string_view text, int linkKind,
         UrlReading reading = UrlReading::Classic);
    virtual ~CUrl() = default;
    CUrl(const CUrl&) = default;
    CUrl& operator=(const CUrl&) = default;

    // The full address rebuilt from the parts.
    std::string GetURL() const;
    // Path, file, parameters and query for the request, without the leading "/".
    std::string GetObjectName() const;
    // The local file of this address, with the platform's separators; empty when the
    // address or the site name could reach outside the site's folder (see HasSafeLocalPath).
    // A host, folder or file name over 255 bytes is cut (FitName; a file keeps its
    // extension), which the copy cannot read back as the address.
    std::string GetLocalPath(const CLocalNaming& naming) const;
    // The link from base's local file (the page holding the link) to this address's
    // local file; defaultDocument stands in for an empty file name. Bytes of the names
    // that a browser would decode or stop at ("%", space, "#", "?", non-ASCII...) are
    // percent-escaped, so the browser finds the file stored under the literal name; the
    // fragment is appended as it is.
    std::string MakeRelative(const CUrl& base, std::string_view defaultDocument) const;
    // Whether host, path and file can be stored without leaving the site's folder.
    bool HasSafeLocalPath() const;

    static std::string HostOf(std::string_view text);
    static std::string SchemeOf(std::string_view text);

    int attempts = 0;
    // How often a busy server (429, 503) turned the address away; that uses up no try.
    int turnedAway = 0;
    std::string file;
    std::string fragment;
    std::string host;
    std::string user;
    int level = 1;
    std::string query;
    std::string password;
    std::string path;
    std::string port;
    std::string scheme;
    std::string params;
};

// The scheme a browser reads at the start of a link: a letter, then letters, digits,
// "+", "-" or ".", up to a ":" that comes before any "/", "?" or "#". Empty when the
// link is relative. Unlike SchemeOf, it does not trim, lower or accept a leading digit.
std::string_view SchemeNameOf(std::string_view text);

// The port a request for address goes to: its own, or 80 / 443 by scheme; 0 when it
// cannot be fetched (no usable port, or a scheme other than http and https).
int PortOf(const CUrl& address);

// Appends a local name as a link's path: every byte a browser would decode or stop at
// ("%", space, "#", "?", non-ASCII...) is percent-escaped, so that the browser finds the
// file stored under the literal name. "/" stays a separator.
void AppendEscapedPath(std::string& out, std::string_view text);
// The same for a host's folder, which may hold ";": a path never does, and a link read
// back would start its parameters there.
void AppendEscapedHost(std::string& out, std::string_view host);
// Ends a relative link to a local file: "./" in front where a browser would read a scheme
// ("a:b.htm"), and "#" with the fragment, as it is, when there is one.
void FinishLocalLink(std::string& link, std::string_view fragment);

// Removes one leading "/" and counts the "/" characters that remain.
int CountSlashes(std::string_view text);
