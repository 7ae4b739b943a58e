#include "web/url.h"

#include <cstdlib>

#include "web/byte_text.h"
#include "web/long_name.h"

#include <array>

namespace {

constexpr auto npos = std::string_view::npos;

constexpr bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '.' || c == '-' || c == ':';
}

// Moves what follows the first `mark` into `tail` and cuts it, with the mark, off `rest`.
void SplitOffAfter(std::string_view& rest, char mark, std::string& tail) {
    const auto at = rest.find(mark);
    if (at != npos) {
        tail.assign(rest.substr(at + 1));
        rest = rest.substr(0, at);
    }
}

void AssignCollapsingSlashes(std::string& out, std::string_view text) {
    if (text.find("//") == npos) {
        out.assign(text);
        return;
    }
    out.clear();
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '/' && !out.empty() && out.back() == '/') {
            continue;
        }
        out.push_back(c);
    }
}

// Splits text into the fields of a fresh url. Every field is assigned at most once and
// the text is walked as a view, so an address costs few allocations.
void Parse(CUrl& url, std::string_view rest, UrlReading reading) {
    rest = TrimSpaces(rest);

    SplitOffAfter(rest, '#', url.fragment);

    // The whole run goes, not only the scheme: "news:comp.x" leaves nothing behind.
    std::size_t run = 0;
    while (run < rest.size() && IsSchemeChar(rest[run])) {
        ++run;
    }
    const auto colon = rest.substr(0, run).find(':');
    if (colon != npos && colon > 0) {
        AppendLowerAscii(url.scheme, rest.substr(0, colon));
        rest.remove_prefix(run);
    }

    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        std::string_view authority;
        const auto slash = rest.find('/');
        if (slash != npos) {
            authority = rest.substr(0, slash);
            rest.remove_prefix(slash);
            // User information is only split off when a path follows the authority.
            const auto at = authority.find('@');
            if (at != npos) {
                const auto userInfo = authority.substr(0, at);
                authority.remove_prefix(at + 1);
                const auto userEnd = userInfo.find(':');
                url.user.assign(userInfo.substr(0, userEnd));
                if (userEnd != npos) {
                    url.password.assign(SkipLeading(userInfo.substr(userEnd), ':'));
                }
            }
        } else {
            authority = rest;
            rest = {};
        }
        const auto hostEnd = authority.find(':');
        AppendLowerAscii(url.host, authority.substr(0, hostEnd));
        if (hostEnd != npos) {
            url.port.assign(SkipLeading(authority.substr(hostEnd), ':'));
        }
    }

    SplitOffAfter(rest, '?', url.query);
    SplitOffAfter(rest, ';', url.params);

    // Collapsing "//" never moves the last "/", so the last segment can be cut off first.
    std::string_view segment = rest;
    const auto lastSlash = rest.rfind('/');
    if (lastSlash != npos) {
        AssignCollapsingSlashes(url.path, rest.substr(0, lastSlash + 1));
        segment = rest.substr(lastSlash + 1);
    }
    if (!segment.empty()) {
        // Read exactly, "." and ".." stay folders for dot-segment removal to resolve.
        const bool isFile = reading == UrlReading::Exact ? segment != "." && segment != ".."
                                                         : segment.find('.') != npos;
        if (isFile) {
            url.file.assign(segment);
        } else {
            url.path.append(segment); // path is empty or ends with "/" here
        }
    }
    if (!url.path.empty() && url.path.back() != '/') {
        url.path.push_back('/');
    }
}

void RemoveDotSegments(std::string& path) {
    if (path.find("./") == npos) {
        return; // every rule below needs "./"
    }
    for (auto at = path.find("/./"); at != npos; at = path.find("/./", at)) {
        path.erase(at + 1, 2);
    }
    if (path.starts_with("./")) {
        path.erase(0, 2);
    }
    // A leading "../" is never searched for, so a relative path keeps it.
    for (auto dots = path.find("../", 1); dots != npos; dots = path.find("../", 1)) {
        const auto end = dots + 3;
        const auto parentEnd = path.rfind('/', dots - 1);
        if (parentEnd == npos) {
            path.erase(dots, 3);
            continue;
        }
        const auto parentStart = parentEnd == 0 ? npos : path.rfind('/', parentEnd - 1);
        if (parentStart != npos) {
            path.erase(parentStart + 1, end - (parentStart + 1));
        } else if (path.front() == '/') {
            path.erase(1, end - 1); // ".." above the root: drop it, keep the root
        } else {
            path.erase(0, end);
        }
    }
}

// Path, file, parameters and query: what both the full address and the request name hold.
void AppendObjectName(std::string& out, const CUrl& url) {
    out += url.path;
    out += url.file;
    if (!url.params.empty()) {
        out += ';';
        out += url.params;
    }
    if (!url.query.empty()) {
        out += '?';
        out += url.query;
    }
}

void AppendUpDirs(std::string& out, int count) {
    for (; count > 0; --count) {
        out += "../";
    }
}

// Bytes a browser takes literally in a link's path: letters, digits, the unreserved
// marks, the sub-delimiters, ":", "@" and "/".
constexpr auto kLiteralPathBytes = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view("-._~!$&'()*+,;=:@/")) {
        table[static_cast<unsigned char>(c)] = true;
    }
    for (int c = 0; c < 26; ++c) {
        table['a' + c] = table['A' + c] = true;
    }
    for (int c = 0; c < 10; ++c) {
        table['0' + c] = true;
    }
    return table;
}();

} // namespace

// Local names are stored byte for byte as the address writes them, but a browser
// percent-decodes a link before it looks for the file: "a%20b.htm" must be linked as
// "a%2520b.htm", and a space, "#" or "?" must not end the name early.
void AppendEscapedPath(std::string& out, std::string_view text) {
    AppendPercentEscaped(out, text, [](unsigned char byte) { return kLiteralPathBytes[byte]; });
}

void AppendEscapedHost(std::string& out, std::string_view host) {
    AppendPercentEscaped(out, host,
                         [](unsigned char byte) { return byte != ';' && kLiteralPathBytes[byte]; });
}

CUrl::CUrl(const CUrl* base, std::string_view text, int linkKind, UrlReading reading) {
    if (text.empty()) {
        return;
    }
    Parse(*this, text, reading);
    // Only a link that names neither a server nor a folder points into the base document.
    const bool namesNoPlace = host.empty() && path.empty();
    if (base != nullptr) {
        if (host.empty()) {
            host = base->host;
        }
        // Scheme and credentials are only borrowed from a page on the same server.
        const bool sameHost = host == base->host;
        if (sameHost) {
            if (scheme.empty()) {
                scheme = base->scheme;
            }
            if (user.empty()) {
                user = base->user;
            }
            if (password.empty()) {
                password = base->password;
            }
            if (port.empty()) {
                port = base->port;
            }
        }
        level = base->level + (linkKind == kLinkFollowed ? 1 : 0);
        if (sameHost) {
            if (path.empty()) {
                path = base->path;
            } else if (path.front() != '/' && !base->path.empty()) {
                path.insert(0, base->path);
            }
        }
    }
    if (path.empty()) {
        path = "/";
    }
    RemoveDotSegments(path);
    // A bare fragment link points into the page it was found on; read exactly, as browsers
    // read it, so does a bare query ("?action=edit" asks the page itself).
    const bool namesTheBase = !fragment.empty() || (reading == UrlReading::Exact && !query.empty());
    if (base != nullptr && namesNoPlace && file.empty() && namesTheBase && !base->file.empty()) {
        file = base->file;
    }
}

std::string CUrl::GetURL() const {
    std::string url;
    url.reserve(scheme.size() + user.size() + password.size() + host.size() + port.size() +
                path.size() + file.size() + params.size() + query.size() + fragment.size() + 10);
    // A one-letter scheme is a drive letter, not a protocol.
    if (scheme.size() > 1) {
        url += scheme;
        url += "://";
    }
    url += user;
    if (!user.empty() && password.empty()) {
        url += '@';
    }
    if (!password.empty()) {
        if (!user.empty()) {
            url += ':';
        }
        url += password;
        url += '@';
    }
    url += host;
    if (!port.empty()) {
        url += ':';
        url += port;
    }
    AppendObjectName(url, *this);
    if (!fragment.empty()) {
        url += '#';
        url += fragment;
    }
    return url;
}

std::string CUrl::GetObjectName() const {
    std::string name;
    name.reserve(path.size() + file.size() + params.size() + query.size() + 2);
    AppendObjectName(name, *this);
    if (name.starts_with('/')) {
        name.erase(0, 1);
    }
    return name;
}

std::string CUrl::MakeRelative(const CUrl& base, std::string_view defaultDocument) const {
    std::string link;
    std::string cut;
    if (host == base.host) {
        if (path != base.path) {
            std::string_view target = path;
            std::string_view from = base.path;
            for (auto slash = from.find('/'); slash != npos; slash = from.find('/')) {
                if (target.substr(0, slash + 1) != from.substr(0, slash + 1)) {
                    break;
                }
                target.remove_prefix(slash + 1);
                from.remove_prefix(slash + 1);
            }
            AppendUpDirs(link, CountSlashes(from));
            AppendEscapedPath(link, FitFolders(target, cut));
        }
    } else {
        // The extra step climbs out of the base's host folder; every host has its own.
        AppendUpDirs(link, CountSlashes(base.path) + 1);
        AppendEscapedHost(link, FitName(host, cut));
        AppendEscapedPath(link, FitFolders(path, cut));
    }
    // Names are cut as GetLocalPath cuts them.
    AppendEscapedPath(link,
                      FitName(file.empty() ? defaultDocument : std::string_view(file), cut, true));
    FinishLocalLink(link, fragment);
    return link;
}

void FinishLocalLink(std::string& link, std::string_view fragment) {
    // A browser would read "a:b.htm" as the scheme "a"; "./" keeps it a path.
    if (!SchemeNameOf(link).empty()) {
        link.insert(0, "./");
    }
    if (!fragment.empty()) {
        link += '#';
        link += fragment;
    }
}

std::string CUrl::HostOf(std::string_view text) {
    CUrl url;
    Parse(url, text, UrlReading::Classic);
    return url.host;
}

std::string CUrl::SchemeOf(std::string_view text) {
    CUrl url;
    Parse(url, text, UrlReading::Classic);
    return url.scheme;
}

std::string_view SchemeNameOf(std::string_view text) {
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (text.empty() || !isLetter(text.front())) {
        return {};
    }
    // "/", "?" and "#" are no scheme characters, so meeting one first ends the search too.
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':') {
            return text.substr(0, i);
        }
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return {};
        }
    }
    return {};
}

int CountSlashes(std::string_view text) {
    if (text.starts_with('/')) {
        text.remove_prefix(1);
    }
    int count = 0;
    for (const char c : text) {
        count += c == '/' ? 1 : 0;
    }
    return count;
}

int PortOf(const CUrl& address) {
    if (address.scheme != "http" && address.scheme != "https")
        return 0;
    if (address.port.empty())
        return address.scheme == "https" ? 443 : 80;
    // Every link's key asks for its port: digits are read by hand, not through strtol.
    if (address.port.size() > 5)
        return 0;
    int port = 0;
    for (const char c : address.port) {
        if (c < '0' || c > '9')
            return 0;
        port = port * 10 + (c - '0');
    }
    return port > 0 && port <= 65535 ? port : 0;
}
