#pragma once
// What a crawl that was killed leaves in a site's folder: the temporary files of the
// writes it was making (".quarn-N.part", beside their targets). A marker file says that a
// crawl is running; finding it at the next start means the last one never finished.

#include <filesystem>

// Creates the marker, first removing every leftover temporary file below folder when the
// marker is already there. Symbolic links are not followed.
void BeginCrawlMark(const std::filesystem::path& folder);
// Removes the marker.
void EndCrawlMark(const std::filesystem::path& folder);
