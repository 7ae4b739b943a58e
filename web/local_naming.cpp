#include "web/local_naming.h"

#include "web/byte_text.h"
#include "web/long_name.h"
#include "web/site_name.h"
#include "web/url.h"

#include <array>

namespace {

constexpr auto npos = std::string_view::npos;

// Where "\" is not a separator it is an ordinary file-name byte of the sites directory.
constexpr bool IsSeparator(char c) {
    return c == '/' || (kPathSeparator == '\\' && c == '\\');
}

// Windows opens the device whatever extension follows the name, and ignores spaces
// before the extension ("CON .txt").
bool IsWindowsDeviceName(std::string_view segment) {
    std::string_view stem = segment.substr(0, segment.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                                 "NUL", "CONIN$", "CONOUT$"};
    for (const auto device : kDevices) {
        if (EqualsIgnoringAsciiCase(stem, device)) {
            return true;
        }
    }
    if (stem.size() < 4 || !(EqualsIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
                             EqualsIgnoringAsciiCase(stem.substr(0, 3), "LPT"))) {
        return false;
    }
    const std::string_view number = stem.substr(3);
    if (number.size() == 1) {
        return number[0] >= '0' && number[0] <= '9';
    }
    // Superscript one to three in UTF-8 count as port numbers too.
    return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

bool IsSafeWindowsName(std::string_view segment) {
    for (const char c : segment) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != npos) {
            return false;
        }
    }
    // Windows drops a trailing dot or space, so "a." would be the same file as "a".
    if (segment.back() == '.' || segment.back() == ' ') {
        return false;
    }
    return !IsWindowsDeviceName(segment);
}

} // namespace

bool IsSafeNameSegment(std::string_view segment, bool windowsRules) {
    if (segment.empty() || segment == "." || segment == "..") {
        return false;
    }
    // "\" is refused everywhere: the local path turns it into a separator on Windows.
    if (segment.find_first_of(std::string_view("/\\\0", 3)) != npos) {
        return false;
    }
    return !windowsRules || IsSafeWindowsName(segment);
}

bool CUrl::HasSafeLocalPath() const {
    if (!IsSafeNameSegment(host)) {
        return false;
    }
    // A relative path (no base to resolve it) has no defined place under the host.
    if (!path.starts_with('/')) {
        return false;
    }
    std::string_view rest = path;
    rest.remove_prefix(1);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        if (!IsSafeNameSegment(rest.substr(0, slash))) {
            return false;
        }
        if (slash == npos) {
            break;
        }
        rest.remove_prefix(slash + 1);
    }
    return file.empty() || IsSafeNameSegment(file);
}

std::string CUrl::GetLocalPath(const CLocalNaming& naming) const {
    const std::string_view leaf = file.empty() ? naming.defaultDocument : std::string_view(file);
    if (!HasSafeLocalPath() || !IsSafeSiteName(naming.siteName) ||
        (file.empty() && !IsSafeNameSegment(leaf))) {
        return {};
    }
    // Names longer than file systems allow are cut; mostly none is, and nothing is copied.
    std::string shortHost;
    std::string shortFolders;
    std::string shortLeaf;
    // A file keeps its extension, so that it opens as what it is.
    const std::array<std::string_view, 5> pieces = {
        naming.sitesDir, naming.siteName, FitName(host, shortHost), FitFolders(path, shortFolders),
        FitName(leaf, shortLeaf, true)};
    std::size_t size = pieces.size();
    for (const auto piece : pieces) {
        size += piece.size();
    }
    std::string local;
    local.reserve(size);
    auto append = [&local](std::string_view piece) {
        while (!piece.empty()) {
            std::size_t run = 0;
            while (run < piece.size() && !IsSeparator(piece[run])) {
                ++run;
            }
            local.append(piece.substr(0, run));
            if (run == piece.size()) {
                break;
            }
            if (local.empty() || local.back() != kPathSeparator) {
                local.push_back(kPathSeparator); // never doubled
            }
            piece.remove_prefix(run + 1);
        }
    };
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            append("/");
        }
        append(pieces[i]);
    }
    return local;
}
