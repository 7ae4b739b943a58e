#pragma once
// The program's own files in a site's folder (the copy records, the name table, the link
// index) are journals: appended to as a crawl goes, so that a crash loses little, and
// rewritten compactly when it ends.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

// fopen with a path that may hold any character; mode "ab" or "wb".
std::FILE* OpenJournalFile(const std::filesystem::path& path, const char* mode);

// Writes the file anew through a temporary file beside it, renamed over it only when
// every byte was written: a failure leaves the old file as it was.
std::error_code RewriteJournalFile(const std::filesystem::path& file,
                                   const std::function<void(std::FILE*)>& write);
