#include "model/leftover_files.h"

#include <fstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kMarker = ".quarn-crawling";

bool IsTemporaryName(const std::string& name) {
    return name.starts_with(".quarn-") && name.ends_with(".part");
}

void RemoveTemporaries(const fs::path& folder) {
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied,
                                           error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_regular_file(ignored) && !entry->is_symlink(ignored) &&
            IsTemporaryName(entry->path().filename().string()))
            fs::remove(entry->path(), ignored);
    }
}

} // namespace

void BeginCrawlMark(const fs::path& folder) {
    std::error_code error;
    const fs::path marker = folder / kMarker;
    if (fs::exists(marker, error))
        RemoveTemporaries(folder);
    std::ofstream(marker, std::ios::trunc);
}

void EndCrawlMark(const fs::path& folder) {
    std::error_code ignored;
    fs::remove(folder / kMarker, ignored);
}
