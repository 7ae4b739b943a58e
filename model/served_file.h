#pragma once
// Which file of a stored copy answers an address path, when the copy is served to a
// browser (the command line's server, the window's local origin). Only files inside the
// copy's folder answer: no dot-dot, no symbolic link out of it, no folder listing, and
// none of the program's own record files.

#include <filesystem>
#include <string_view>

struct CServedFile {
    enum class Kind {
        File,     // path is the file to send
        Redirect, // send the browser to path's text: a folder asked for without its "/",
                  // or the copy's one server folder for the copy's root
        NotFound,
    };
    Kind kind = Kind::NotFound;
    std::filesystem::path path;
};

// root: the copy's folder, made canonical by the caller. urlPath: the decoded path of
// the address, beginning with "/". A folder answers with its index.htm or index.html; the
// root of a copy of one server, which has none, sends the browser to that server's folder.
CServedFile FindServedFile(const std::filesystem::path& root, std::string_view urlPath);
