#pragma once
// Conversions between the byte texts that addresses and settings use and file-system
// paths. The bytes are taken as UTF-8, so the same text names the same file everywhere.

#include <filesystem>
#include <string>
#include <string_view>

#include "web/local_naming.h"

inline std::filesystem::path ToFsPath(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string FromFsPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
