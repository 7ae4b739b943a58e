#include "web/exact_name.h"

#include "web/byte_text.h"
#include "web/local_naming.h"
#include "web/long_name.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr auto npos = std::string_view::npos;

// Past this a leaf is cut, so that a name stays well within the 255 bytes file systems
// allow with a mark and an extension added.
constexpr std::size_t kLongLeafBytes = 120;
// A query up to this long and of plain bytes is kept readable in the name.
constexpr std::size_t kReadableQueryBytes = 64;

constexpr TypedExtension kHtml{FileType::Html, ".html"};
constexpr TypedExtension kStyleSheet{FileType::StyleSheet, ".css"};
constexpr TypedExtension kScript{FileType::Script, ".js"};
constexpr TypedExtension kJson{FileType::Json, ".json"};
constexpr TypedExtension kXml{FileType::Xml, ".xml"};

struct NamedType {
    std::string_view name;
    TypedExtension type;
};

constexpr NamedType kContentTypes[] = {
    {"text/html", kHtml},
    {"application/xhtml+xml", kHtml},
    {"text/css", kStyleSheet},
    {"text/javascript", kScript},
    {"application/javascript", kScript},
    {"application/x-javascript", kScript},
    {"application/ecmascript", kScript},
    {"text/ecmascript", kScript},
    {"application/json", kJson},
    {"text/xml", kXml},
    {"application/xml", kXml},
    {"image/svg+xml", {FileType::Svg, ".svg"}},
    {"image/png", {FileType::Image, ".png"}},
    {"image/jpeg", {FileType::Image, ".jpg"}},
    {"image/pjpeg", {FileType::Image, ".jpg"}},
    {"image/gif", {FileType::Image, ".gif"}},
    {"image/webp", {FileType::Image, ".webp"}},
    {"image/avif", {FileType::Image, ".avif"}},
    {"image/bmp", {FileType::Image, ".bmp"}},
    {"image/x-icon", {FileType::Image, ".ico"}},
    {"image/vnd.microsoft.icon", {FileType::Image, ".ico"}},
    {"font/woff", {FileType::Font, ".woff"}},
    {"font/woff2", {FileType::Font, ".woff2"}},
    {"font/ttf", {FileType::Font, ".ttf"}},
    {"application/x-font-ttf", {FileType::Font, ".ttf"}},
    {"font/otf", {FileType::Font, ".otf"}},
    {"application/font-woff", {FileType::Font, ".woff"}},
    {"application/font-woff2", {FileType::Font, ".woff2"}},
    {"application/vnd.ms-fontobject", {FileType::Font, ".eot"}},
};

// Each entry's extension is its own name, so a lookup hands back static lower-case text.
constexpr TypedExtension kTypedExtensions[] = {
    {FileType::Html, ".html"},  {FileType::Html, ".htm"},       {FileType::Html, ".xhtml"},
    {FileType::Html, ".shtml"}, {FileType::StyleSheet, ".css"}, {FileType::Script, ".js"},
    {FileType::Script, ".mjs"}, {FileType::Json, ".json"},      {FileType::Xml, ".xml"},
    {FileType::Xml, ".rss"},    {FileType::Xml, ".atom"},       {FileType::Svg, ".svg"},
    {FileType::Image, ".png"},  {FileType::Image, ".jpg"},      {FileType::Image, ".jpeg"},
    {FileType::Image, ".jpe"},  {FileType::Image, ".gif"},      {FileType::Image, ".webp"},
    {FileType::Image, ".avif"}, {FileType::Image, ".bmp"},      {FileType::Image, ".ico"},
    {FileType::Font, ".woff"},  {FileType::Font, ".woff2"},     {FileType::Font, ".ttf"},
    {FileType::Font, ".otf"},   {FileType::Font, ".eot"},
};

// Files whose extension says what they are, though no type above fits them.
constexpr std::string_view kOtherTellingExtensions[] = {
    ".pdf", ".zip", ".gz",   ".tgz",  ".bz2",  ".xz",  ".7z",   ".rar", ".tar",  ".txt",  ".csv",
    ".md",  ".doc", ".docx", ".xls",  ".xlsx", ".ppt", ".pptx", ".odt", ".ods",  ".odp",  ".epub",
    ".mp3", ".mp4", ".m4a",  ".webm", ".ogg",  ".ogv", ".oga",  ".wav", ".flac", ".avi",  ".mov",
    ".mkv", ".exe", ".msi",  ".dmg",  ".deb",  ".rpm", ".iso",  ".jar", ".apk",  ".wasm", ".map",
};

void AppendNumber(std::string& out, int number) {
    std::array<char, 16> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    out.append(digits.data(), end);
}

constexpr bool IsReadableQueryByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-_.=,+~&").find(c) != npos;
}

bool IsReadableQuery(std::string_view query) {
    if (query.empty() || query.size() > kReadableQueryBytes) {
        return false;
    }
    for (const char c : query) {
        if (!IsReadableQueryByte(c)) {
            return false;
        }
    }
    return true;
}

// Folders of a path as the parser leaves it ("/", "/a/b/"); false for anything else.
bool HasSafeFolders(std::string_view path) {
    if (!path.starts_with('/') || !path.ends_with('/')) {
        return false;
    }
    path.remove_prefix(1);
    for (auto slash = path.find('/'); slash != npos; slash = path.find('/')) {
        if (!IsSafeNameSegment(path.substr(0, slash))) {
            return false;
        }
        path.remove_prefix(slash + 1);
    }
    return true;
}

} // namespace

TypedExtension TypeOfContent(std::string_view contentType) {
    std::string_view media = contentType.substr(0, contentType.find(';'));
    while (!media.empty() && IsAsciiWhitespace(media.front())) {
        media.remove_prefix(1);
    }
    while (!media.empty() && IsAsciiWhitespace(media.back())) {
        media.remove_suffix(1);
    }
    for (const auto& entry : kContentTypes) {
        if (EqualsIgnoringAsciiCase(media, entry.name)) {
            return entry.type;
        }
    }
    // The top-level type says more than a structured suffix: "image/x+xml" is an image.
    if (HasWordAt(media, 0, "image/")) {
        return {FileType::Image, ""};
    }
    if (HasWordAt(media, 0, "font/")) {
        return {FileType::Font, ""};
    }
    if (media.find('/') != npos) {
        if (EndsWithIgnoringAsciiCase(media, "+json")) {
            return kJson;
        }
        if (EndsWithIgnoringAsciiCase(media, "+xml")) {
            return kXml;
        }
    }
    return {};
}

TypedExtension TypeOfExtension(std::string_view extension) {
    for (const auto& entry : kTypedExtensions) {
        if (EqualsIgnoringAsciiCase(extension, entry.extension)) {
            return entry;
        }
    }
    return {};
}

bool ExtensionSaysType(std::string_view extension) {
    if (TypeOfExtension(extension).type != FileType::Unknown) {
        return true;
    }
    for (const auto other : kOtherTellingExtensions) {
        if (EqualsIgnoringAsciiCase(extension, other)) {
            return true;
        }
    }
    return false;
}

std::string_view NameExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == npos || dot == 0 ? std::string_view{} : name.substr(dot);
}

TypedExtension PredictedType(const CUrl& address, LinkContext context,
                             std::string_view defaultDocument) {
    const std::string_view name =
        address.file.empty() ? defaultDocument : std::string_view(address.file);
    const std::string_view extension = NameExtension(name);
    if (ExtensionSaysType(extension)) {
        return TypeOfExtension(extension);
    }
    switch (context) {
    case LinkContext::Page:
        return kHtml;
    case LinkContext::StyleSheet:
        return kStyleSheet;
    case LinkContext::Script:
        return kScript;
    case LinkContext::Other:
        break;
    }
    return {};
}

int KeyPort(const CUrl& address) {
    if (address.port.empty()) {
        return 0;
    }
    const int port = PortOf(address); // 0 for a bad number or another scheme
    if (port == 0) {
        return -1;
    }
    return port == (address.scheme == "https" ? 443 : 80) ? 0 : port;
}

std::string ServerFolder(const CUrl& address, const CExactNaming& naming) {
    const int keyPort = KeyPort(address);
    // No host name starts with a dot, and refusing one keeps the site folder's own files
    // (".quarn-names") apart from every server's folder.
    if (keyPort < 0 || !IsSafeNameSegment(address.host) || address.host.starts_with('.')) {
        return {};
    }
    // Another host keeps its plain name on the port the start is on, too: a site served
    // on one port from several names keeps the layout a copy without exact names has.
    const bool sameHost = address.host == naming.startHost;
    std::string folder = address.host;
    if (keyPort != naming.startKeyPort && (sameHost || keyPort != 0)) {
        // The start server already holds the plain name, so the default port is written too.
        const int port = keyPort != 0 ? keyPort : PortOf(address);
        if (port == 0) {
            return {};
        }
        folder += '_';
        AppendNumber(folder, port);
    }
    CutLongName(folder);
    return folder;
}

std::string QuerySuffix(std::string_view params, std::string_view query) {
    if (params.empty() && IsReadableQuery(query)) {
        std::string suffix = "@";
        suffix += query;
        return suffix;
    }
    std::string part;
    if (!params.empty()) {
        part += ';';
        part += params;
    }
    if (!query.empty()) {
        part += '?';
        part += query;
    }
    if (part.empty()) {
        return {};
    }
    std::string suffix;
    AppendHashMark(suffix, Fnv1a(part));
    return suffix;
}

std::string ExactLocalName(const CUrl& address, const CExactNaming& naming, TypedExtension type,
                           int unique) {
    const std::string_view stem =
        address.file.empty() ? naming.defaultDocument : std::string_view(address.file);
    if (address.host.empty() || !HasSafeFolders(address.path) || !IsSafeNameSegment(stem)) {
        return {};
    }
    const std::string server = ServerFolder(address, naming);
    if (server.empty()) {
        return {};
    }

    std::string leaf(stem);
    leaf += QuerySuffix(address.params, address.query);
    CutLongName(leaf, kLongLeafBytes);
    const bool appendExtension = type.type != FileType::Unknown && !type.extension.empty() &&
                                 TypeOfExtension(NameExtension(leaf)).type != type.type;
    if (unique >= 2) {
        std::string mark = "~";
        AppendNumber(mark, unique);
        const std::string_view ownExtension = appendExtension ? "" : NameExtension(leaf);
        leaf.insert(leaf.size() - ownExtension.size(), mark);
    }
    if (appendExtension) {
        leaf += type.extension;
    }
    if (!IsSafeNameSegment(leaf)) {
        return {};
    }

    std::string name;
    name.reserve(server.size() + address.path.size() + leaf.size());
    name += server;
    std::string shortFolders;
    name += FitFolders(address.path, shortFolders); // starts and ends with "/"
    name += leaf;
    return name;
}

std::string RelativeLink(std::string_view fromName, std::string_view toName,
                         std::string_view fragment) {
    std::string_view from = fromName.substr(0, fromName.rfind('/') + 1); // its folder
    std::string_view target = toName;
    bool sameServer = false;
    for (auto slash = from.find('/'); slash != npos; slash = from.find('/')) {
        if (target.substr(0, slash + 1) != from.substr(0, slash + 1)) {
            break;
        }
        target.remove_prefix(slash + 1);
        from.remove_prefix(slash + 1);
        sameServer = true;
    }
    std::string link;
    for (const char c : from) {
        if (c == '/') {
            link += "../";
        }
    }
    if (!sameServer) {
        const auto serverEnd = std::min(target.find('/'), target.size());
        AppendEscapedHost(link, target.substr(0, serverEnd));
        target.remove_prefix(serverEnd);
    }
    AppendEscapedPath(link, target);
    FinishLocalLink(link, fragment);
    return link;
}
