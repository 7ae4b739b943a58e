#pragma once
// What one crawl did to a site's local copy: how many files came new, changed, stayed
// unchanged or failed, and how many addresses the crawl rules kept out; and the list of
// the new, changed and failed files.
//
// The list is a JSON lines file in the site's folder ({"url":...,"local_path":...,
// "status":"new"}), appended to as the crawl goes: it costs no memory however large the
// site, and the Log dialog and quarn-cli read it after the crawl. The refused addresses
// are kept as hashes (about 16 bytes each) so that a link on every page counts once.
//
// Thread-safe: every worker counts the files it ends, and the link scanner the links it
// refuses.

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "model/key_set.h"

enum class FileChange {
    New,       // stored where the local copy had no file
    Changed,   // a new body stored over an earlier crawl's file
    Unchanged, // the server's file is as old as the local one (or answered 304)
    Failed,    // ended in the error list
};

struct CChangeTally {
    int newFiles = 0;
    int changed = 0;
    int unchanged = 0;
    int failed = 0;
    int skipped = 0; // addresses the crawl rules refused
};

struct CListedChange {
    FileChange change = FileChange::New;
    std::string url;
    std::string localPath;
};

// The name of the list in a site's folder.
inline constexpr const char* kCrawlChangesFile = ".quarn-changes";

class CCrawlChanges {
public:
    CCrawlChanges() = default;
    ~CCrawlChanges();
    CCrawlChanges(const CCrawlChanges&) = delete;
    CCrawlChanges& operator=(const CCrawlChanges&) = delete;

    // Starts a crawl's tally; its list replaces file (no list when file is empty or
    // cannot be written).
    void Begin(const std::filesystem::path& file);
    // Closes the list; what is counted later (a fetch that outlived a stop) is tallied
    // but not listed.
    void End();
    // Unchanged files are only counted, the others listed as well.
    void Count(FileChange change, std::string_view url, std::string_view localPath);
    // An address the crawl rules refused; each address counts once per crawl.
    void CountSkipped(std::string_view url);

    CChangeTally Tally() const;
    // This crawl's list; empty when it has none.
    std::filesystem::path ListFile() const;
    // Writes what is buffered, so that the list can be read while the crawl runs.
    void Flush();

private:
    mutable std::mutex m_mutex;
    std::FILE* m_list = nullptr;
    std::filesystem::path m_file;
    CKeySet m_skipped;
    std::atomic<int> m_counts[4] = {};
};

// "Files: 3 new, 1 changed, 10 unchanged, 1 failed, 4 skipped by rules"
std::string FormatChangeTally(const CChangeTally& tally);

// "new", "changed", "unchanged" or "failed".
std::string_view FileChangeWord(FileChange change);

// One line of the list, without its line feed.
std::string ChangeLine(const CListedChange& entry);

// Calls take for each entry of a list file, in order; lines that cannot be read are
// skipped. Returns false when the file cannot be opened.
bool ReadChangeList(const std::filesystem::path& file,
                    const std::function<void(CListedChange&&)>& take);
