#pragma once
// What the server said about each file of a local copy when it was stored: its
// Last-Modified and ETag, which make the next update's requests conditional, and whether
// it is a page or a style sheet, which a "304 Not Modified" answer does not repeat.
//
// Records are keyed by a hash of the file's path inside the site's folder and carry the
// file's modification time when recorded: a file changed since by anyone else no longer
// matches its record, and is then fetched as if there were none. An ETag is kept only for
// a file without a Last-Modified, which is enough for a conditional request.
//
// A crawl reads the records an earlier crawl left and appends one line per stored file
// as it goes, so a crawl's records take no memory and survive a crash; Close compacts the
// file. Find answers from what Open read: a file stored in this crawl is not asked about
// again in it.
//
// Thread-safe: every worker records the files it stores.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

enum class CopyKind : char { Other = 'o', Page = 'h', StyleSheet = 'c' };

struct CCopyRecord {
    std::int64_t fileTicks = 0;    // the local file's modification time, file-clock ticks
    std::int64_t lastModified = 0; // seconds since 1970; 0 when the server sent none
    std::string etag;
    CopyKind kind = CopyKind::Other;
};

class CCopyRecords {
public:
    CCopyRecords() = default;
    ~CCopyRecords();
    CCopyRecords(const CCopyRecords&) = delete;
    CCopyRecords& operator=(const CCopyRecords&) = delete;

    // Reads the records of file (a missing file means none; lines that cannot be read are
    // skipped) and appends new ones to it from now on.
    void Open(const std::filesystem::path& file);
    // Stops appending and rewrites the file with one line per file, when records were
    // added since Open.
    std::error_code Close();

    // key: the file's path inside the site's folder.
    std::optional<CCopyRecord> Find(std::string_view key) const;
    void Put(std::string_view key, const CCopyRecord& record);
    // Records read by Open.
    std::size_t Size() const;

private:
    // 32 bytes a file: a site of 100,000 files keeps about 3 MB while it is updated.
    struct Entry {
        std::uint64_t hash = 0;
        std::int64_t fileTicks = 0;
        std::int64_t lastModified = 0;
        CopyKind kind = CopyKind::Other;
    };
    // Reads file into the sorted entries, the latest line of each hash winning.
    void Read(const std::filesystem::path& file);
    void CloseJournal();

    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries; // sorted by hash, one entry a hash
    std::unordered_map<std::uint64_t, std::string> m_etags;
    std::filesystem::path m_file;
    std::FILE* m_journal = nullptr;
    bool m_added = false;
};

// The name of the records file in a site's folder.
inline constexpr const char* kCopyRecordsFile = ".quarn-records";
