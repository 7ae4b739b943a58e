#pragma once
// Deletes a directory with everything in it. Symbolic links are removed, never followed,
// so a link inside a site's folder cannot lead the deletion elsewhere.

#include <filesystem>

// Entries that cannot be deleted are skipped (and the directories holding them stay).
// Always returns true.
bool DeleteTree(const std::filesystem::path& directory);
