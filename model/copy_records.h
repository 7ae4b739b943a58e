#pragma once
// What the server said about each file of a local copy when it was stored: its
// Last-Modified and ETag, which make the next update's requests conditional, and whether
// it is a page or a style sheet, which a "304 Not Modified" answer does not repeat.
//
// Records are keyed by a hash of the file's path inside the site's folder and carry the
// file's modification time when recorded: a file changed since by anyone else no longer
// matches its record, and is then fetched as if there were none. An ETag is kept only for
// a file without a Last-Modified, which is enough for a conditional request and keeps a
// record at a few dozen bytes.
//
// Thread-safe: every worker records the files it stores.

#include <cstdint>
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
    // Replaces the records with those of file; a missing file means none. Lines that
    // cannot be read are skipped.
    void Load(const std::filesystem::path& file);
    // Writes the records when they changed since Load, through a temporary file.
    std::error_code Save(const std::filesystem::path& file);
    void Clear();

    // key: the file's path inside the site's folder.
    std::optional<CCopyRecord> Find(std::string_view key) const;
    void Put(std::string_view key, CCopyRecord record);
    std::size_t Size() const;

private:
    // 32 bytes a file: a site of 100,000 files keeps about 3 MB.
    struct Entry {
        std::uint64_t hash = 0;
        std::int64_t fileTicks = 0;
        std::int64_t lastModified = 0;
        CopyKind kind = CopyKind::Other;
    };
    void PutLocked(std::uint64_t hash, CCopyRecord record);
    Entry* FindLocked(std::uint64_t hash);
    // Sorts the entries put since the last merge into the rest; a later entry replaces
    // an earlier one of the same hash.
    void Merge();

    mutable std::mutex m_mutex;
    // [0, m_sorted) sorted by hash, one entry a hash; after it, entries in the order put.
    std::vector<Entry> m_entries;
    std::size_t m_sorted = 0;
    std::unordered_map<std::uint64_t, std::string> m_etags;
    bool m_changed = false;
};

// The name of the records file in a site's folder.
inline constexpr const char* kCopyRecordsFile = ".quarn-records";
