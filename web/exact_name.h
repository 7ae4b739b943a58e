#pragma once
// Exact names: every address the server tells apart is its own local file. The query is
// part of the name, another port of a host is another server, letter case is kept, and a
// stored name ends with an extension that says what the file holds, so that a browser
// opens the copy as what it is. All functions are pure and never fail: an address that
// cannot be stored safely gets an empty name.
//
// Names are distinct for distinct addresses except where a server's own names look like
// the ones made here ("x" stored as a page and "x.html" both become "x.html"; a file
// "x@a=1" and "x?a=1"; a host "h_8080" and h:8080; a folder named as a long one is cut)
// and where hashes collide. The caller keeps the address each name was given to and asks
// again with `unique` on a clash, which sets the leaf apart whatever folder it is in.

#include <cstdint>
#include <string>
#include <string_view>

#include "web/url.h"

// What a stored file holds, as far as its name should say it.
enum class FileType : std::uint8_t {
    Unknown,
    Html,
    StyleSheet,
    Script,
    Json,
    Xml,
    Svg,
    Image,
    Font
};

// A type with the extension a name is given for it (with its dot, lower case);
// {Unknown, ""} says nothing.
struct TypedExtension {
    FileType type = FileType::Unknown;
    std::string_view extension; // points at static text
    bool operator==(const TypedExtension&) const = default;
};

// The type a Content-Type value names ("text/html; charset=utf-8", any letter case,
// parameters ignored). Media types no name extension is kept for give {Unknown, ""};
// images and fonts of a kind without a usual extension give {Image, ""} and {Font, ""}.
TypedExtension TypeOfContent(std::string_view contentType);

// The type an extension (with its dot, any case: ".CSS") says, with the extension in
// lower case; {Unknown, ""} for an extension of no type named here.
TypedExtension TypeOfExtension(std::string_view extension);

// Whether a name's extension tells what the file is: every extension TypeOfExtension
// knows and well-known others (".pdf", ".zip", ".mp4"...). Server-side script extensions
// (".php", ".asp", ".cgi"...) say nothing about what the answer holds.
bool ExtensionSaysType(std::string_view extension);

// The extension of a file name: from its last "." when that dot is not the first byte
// (".htaccess" has none), else empty.
std::string_view NameExtension(std::string_view name);

// Where a link appears, which says what its target most likely is before its answer arrives.
enum class LinkContext : std::uint8_t { Other, Page, StyleSheet, Script };

// The type a link's target is predicted to have: what the file's extension says when it
// says anything (a ".pdf" is kept as it is: {Unknown, ""}), else what the context says.
// An empty file (a folder) is predicted by the default document's name the same way.
TypedExtension PredictedType(const CUrl& address, LinkContext context,
                             std::string_view defaultDocument);

// The port that tells servers apart: 0 for the scheme's default (none written, 80 for
// http, 443 for https), else the number; -1 when unusable (not digits, out of range, or a
// port on a scheme other than http and https).
int KeyPort(const CUrl& address);

struct CExactNaming {
    std::string_view startHost;       // lower case, as the parser leaves hosts
    int startKeyPort = 0;             // KeyPort of the start address
    std::string_view defaultDocument; // stands in for an empty file name
};

// The folder of a server inside the site's folder: the plain host for the start address's
// server and for any other host on its scheme's default port or on the start's; otherwise
// host, "_" and the port used ("h_8080", or "h_80" for the default port when the start is
// another port of h). A folder over 255 bytes is cut as CutLongName cuts it. Empty when
// the port is unusable, the host starts with "." (the site folder's own files do) or the
// folder would not be a safe name.
std::string ServerFolder(const CUrl& address, const CExactNaming& naming);

// The stable form of what tells an address apart beyond its file: "@" and the query when
// there are no parameters and the query is short and plain, else "@" and 12 hex digits of
// an FNV-1a hash of ";params?query". Empty when both are empty.
std::string QuerySuffix(std::string_view params, std::string_view query);

// The local name of an address relative to the site's folder, with "/" separators:
//   server folder / path without its leading "/" / leaf
// leaf = (file, or the default document for a folder) + QuerySuffix [+ "~" unique]
//        [+ type.extension when the leaf's own extension does not already say type.type]
// A leaf over 120 bytes, and a folder over 255, is cut to 80 bytes (never inside a UTF-8
// sequence) and given a hash of the whole (CutLongName), so that no name in the path is
// longer than file systems allow; names up to those lengths are kept as they are.
// unique (n >= 2; below is none) goes before the appended extension, else before the
// leaf's own extension, else at the end: "about~2.html", "LICENSE~2".
// Empty when the address cannot be stored safely; a name never has a leading "/", an
// empty segment, "." or "..".
std::string ExactLocalName(const CUrl& address, const CExactNaming& naming, TypedExtension type,
                           int unique = 0);

// The link from one local name to another (both as ExactLocalName gives them), relative
// to the first file's folder and escaped as CUrl::MakeRelative escapes names; the
// fragment is appended as it is. A link to the page itself is its own leaf name.
std::string RelativeLink(std::string_view fromName, std::string_view toName,
                         std::string_view fragment = {});
