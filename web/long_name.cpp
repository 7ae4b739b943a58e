#include "web/long_name.h"

#include "web/byte_text.h"

#include <algorithm>

namespace {

constexpr std::size_t kCutNameBytes = 80;
// A UTF-8 sequence has at most three continuation bytes, so a cut backs up no further.
constexpr std::size_t kLongestBackUp = 3;
constexpr std::size_t kHashMarkBytes = 13;
constexpr std::size_t kLongestKeptExtension = 16;

constexpr bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

constexpr bool IsLowerHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

std::string_view KeptExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kLongestKeptExtension)
        return {};
    return name.substr(dot);
}

} // namespace

void AppendHashMark(std::string& out, std::uint64_t hash) {
    static constexpr char kHex[] = "0123456789abcdef";
    // FNV-1a mixes its high bits best.
    out += '@';
    for (int shift = 60; shift >= 16; shift -= 4)
        out += kHex[(hash >> shift) & 0xF];
}

bool CutLongName(std::string& name, std::size_t longest, bool keepExtension) {
    if (name.size() <= longest)
        return false;
    const std::uint64_t hash = Fnv1a(name);
    const std::string extension(keepExtension ? KeptExtension(name) : std::string_view());
    std::size_t cut = std::min(kCutNameBytes, name.size() - 1);
    for (std::size_t back = 0; back < kLongestBackUp && IsContinuationByte(name[cut]); ++back)
        --cut;
    name.resize(cut);
    AppendHashMark(name, hash);
    name += extension;
    return true;
}

bool IsCutName(std::string_view name) {
    // The cut part may hold "@" too: each place the mark can start at is tried.
    for (std::size_t mark = kCutNameBytes - kLongestBackUp; mark <= kCutNameBytes; ++mark) {
        if (name.size() < mark + kHashMarkBytes || name[mark] != '@')
            continue;
        const std::string_view digits = name.substr(mark + 1, kHashMarkBytes - 1);
        const std::string_view rest = name.substr(mark + kHashMarkBytes);
        if (std::all_of(digits.begin(), digits.end(), IsLowerHexDigit) &&
            (rest.empty() || (rest.starts_with('.') && rest.size() <= kLongestKeptExtension)))
            return true;
    }
    return false;
}

std::string_view FitName(std::string_view name, std::string& storage, bool keepExtension) {
    if (name.size() <= kLongestNameBytes)
        return name;
    storage.assign(name);
    CutLongName(storage, kLongestNameBytes, keepExtension);
    return storage;
}

std::string_view FitFolders(std::string_view path, std::string& storage) {
    // Mostly the whole path is shorter than one name may be.
    if (path.size() <= kLongestNameBytes)
        return path;
    storage.clear();
    storage.reserve(path.size());
    std::string cut;
    for (;;) {
        const auto slash = path.find('/');
        storage += FitName(path.substr(0, slash), cut);
        if (slash == std::string_view::npos)
            return storage;
        storage += '/';
        path.remove_prefix(slash + 1);
    }
}
