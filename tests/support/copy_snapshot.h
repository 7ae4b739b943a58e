#pragma once
// A stored copy as a test reads it: every file but the program's own, and links as a
// browser decodes them.

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "support/file_text.h"

using Files = std::map<std::string, std::string>; // path inside the site's folder -> bytes

// Every file of the copy but the program's own records.
inline Files Snapshot(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.starts_with(".quarn"))
            files[std::filesystem::relative(entry.path(), folder).generic_string()] =
                ReadFileText(entry.path());
    }
    return files;
}

inline std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}
