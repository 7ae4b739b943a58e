#pragma once
// The whole content of a file, for checking what the code under test stored; empty when
// the file cannot be read.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
