#pragma once
// A fresh directory under the system's temporary folder, removed with everything in it
// when the object goes.

#include <filesystem>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};
