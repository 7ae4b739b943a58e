#include "model/served_file.h"

#include <algorithm>
#include <system_error>

#include "model/file_path.h"

namespace fs = std::filesystem;

namespace {
constexpr std::string_view kIndexNames[] = {"index.htm", "index.html"};

// The one folder in root (a copy of one server keeps everything below its host's name),
// leaving out the program's records; empty when there is none or more than one.
std::string OnlyFolderIn(const fs::path& root) {
    std::string only;
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const std::string name = FromFsPath(it->path().filename());
        if (name.starts_with(".quarn-"))
            continue;
        if (!only.empty() || !it->is_directory(error))
            return {};
        only = name;
    }
    return only;
}

bool IsInside(const fs::path& root, const fs::path& path) {
    const auto [rootEnd, pathAt] =
        std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    (void)pathAt;
    return rootEnd == root.end();
}

// The file itself when it is a regular file inside root, after symbolic links.
bool IsServable(const fs::path& root, const fs::path& path) {
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    return !error && IsInside(root, real) && fs::is_regular_file(real, error);
}
} // namespace

CServedFile FindServedFile(const fs::path& root, std::string_view urlPath) {
    if (!urlPath.starts_with('/') || urlPath.find('\0') != std::string_view::npos ||
        urlPath.find('\\') != std::string_view::npos)
        return {};
    fs::path path = root;
    std::string_view rest = urlPath.substr(1);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        // The program's records (".quarn-names", ...) are not part of the copy.
        if (segment == ".." || segment.starts_with(".quarn-"))
            return {};
        if (!segment.empty() && segment != ".")
            path /= ToFsPath(segment);
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    std::error_code error;
    if (fs::is_directory(path, error)) {
        if (!urlPath.ends_with('/'))
            return IsInside(root, fs::canonical(path, error)) && !error
                       ? CServedFile{CServedFile::Kind::Redirect,
                                     ToFsPath(std::string(urlPath) + "/")}
                       : CServedFile{};
        for (const std::string_view index : kIndexNames)
            if (IsServable(root, path / index))
                return {CServedFile::Kind::File, path / index};
        if (urlPath == "/")
            if (const std::string only = OnlyFolderIn(root); !only.empty())
                return {CServedFile::Kind::Redirect, ToFsPath("/" + only + "/")};
        return {};
    }
    if (IsServable(root, path))
        return {CServedFile::Kind::File, path};
    return {};
}
