#include "model/delete_tree.h"

#include <system_error>
#include <vector>

namespace fs = std::filesystem;

bool DeleteTree(const fs::path& directory) {
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(directory, error))) {
        fs::remove(directory, error);
        return true;
    }
    // Collect first: removing entries while iterating a directory is unspecified.
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);

    for (const auto& entry : entries) {
        std::error_code ignored;
        if (!entry.is_symlink(ignored) && entry.is_directory(ignored))
            DeleteTree(entry.path());
        else
            fs::remove(entry.path(), ignored);
    }
    fs::remove(directory, error);
    return true;
}
