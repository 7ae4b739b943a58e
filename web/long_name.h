#pragma once
// Names the file system can hold. A folder or file name is at most 255 bytes on the usual
// file systems; a page may link to longer ones, which are cut and marked with a hash of
// the whole, so that names sharing their first bytes stay apart and one long name always
// becomes the same short one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The longest folder or file name file systems allow, in bytes.
inline constexpr std::size_t kLongestNameBytes = 255;

// Appends "@" and the top 48 bits of hash in lower-case hex (12 digits).
void AppendHashMark(std::string& out, std::uint64_t hash);

// Cuts a name longer than `longest` bytes to its first 80 (never inside a UTF-8
// sequence) and appends the hash mark of the whole name; with keepExtension, the name's
// extension (from its last dot, when not the first byte) follows, when it is at most 16
// bytes. A name no longer than `longest` is left as it is. Whether it was cut.
bool CutLongName(std::string& name, std::size_t longest = kLongestNameBytes,
                 bool keepExtension = false);

// Whether a name has the shape CutLongName gives a cut one: a name a server may also use,
// but rarely.
bool IsCutName(std::string_view name);

// The name itself when it fits, else its cut form (CutLongName with 255), kept in storage.
std::string_view FitName(std::string_view name, std::string& storage, bool keepExtension = false);

// A path ("/a/b/", "a/b") itself when no name between its slashes is over 255 bytes, else
// a copy with each such name cut, kept in storage.
std::string_view FitFolders(std::string_view path, std::string& storage);
