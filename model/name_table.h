#pragma once
// Which local file each address of a copy with exact names lives in.
//
// An address is given a name when a link to it is first written, from what the link's
// place predicts (a style sheet, a script, a page), and renamed when its answer says
// otherwise. A renamed address keeps its former names until the links written with them
// have been mended, so that a stored page's local links can always be read back as the
// addresses they stand for. Two addresses never hold the same name.
//
// The table lives in the site's folder across crawls: a crawl reads what earlier crawls
// left and appends one line per change as it goes, so that a crash loses nothing that
// was stored; Close compacts the file.
//
// Addresses are known by a key (the caller's canonical text of the address) and kept as
// hashes of it. Thread-safe: every worker names the addresses it meets, and the entries
// are spread over shards with locks of their own so that workers seldom wait for each
// other.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "web/byte_text.h"

struct CNamedAddress {
    std::string url;            // the address to ask for, without fragment
    std::string name;           // relative to the site's folder; empty for a redirect
    std::uint64_t redirect = 0; // the key hash of the address it redirects to; 0 for none
    bool stored = false;        // its file was written, in this crawl or an earlier one
};

// An address key's hash, over pieces of its text; never 0, which stands for "no
// redirect".
class CKeyHasher {
public:
    void Add(std::string_view text) { m_hash.Add(text); }
    std::uint64_t Value() const { return m_hash.Value() == 0 ? 1 : m_hash.Value(); }

private:
    CFnv1a m_hash;
};

// The candidates of an address's name: 0 for the plain name, 2, 3... for distinct ones.
using NameMaker = std::function<std::string(int unique)>;

class CNameTable {
public:
    CNameTable() = default;
    ~CNameTable();
    CNameTable(const CNameTable&) = delete;
    CNameTable& operator=(const CNameTable&) = delete;

    static std::uint64_t KeyHash(std::string_view key);

    // Reads the table of file (a missing file means an empty table; lines that cannot be
    // read are skipped) and appends changes to it from now on. An empty path keeps the
    // table in memory only; readOnly reads the file and never writes it.
    void Open(const std::filesystem::path& file, bool readOnly = false);
    // Stops appending, and rewrites the file compactly when that saves enough.
    // forgetFormerNames: every link written with a former name has been mended, so those
    // names go.
    std::error_code Close(bool forgetFormerNames);
    bool IsOpen() const;

    std::optional<CNamedAddress> Find(std::uint64_t keyHash) const;
    // The name of the file links to the address lead to: its own, or that of the address
    // its redirects end at (empty when they go round or end without a name); nothing
    // when the table does not know the address.
    std::optional<std::string> LinkedName(std::uint64_t keyHash) const;
    // The key hash of the address an address's redirects end at: itself when it does not
    // redirect, 0 when they go round.
    std::uint64_t RedirectEnd(std::uint64_t keyHash) const;
    // Whether a link written to the address since epoch leads elsewhere than it did: the
    // address, or a step of its redirects, was renamed since; or the link was written as
    // an address (absolute) and the file it leads to is stored now.
    bool NeedsMending(std::uint64_t keyHash, bool absolute, std::uint64_t since = 0) const;
    // Grows with every rename: a page whose links were written at epoch e needs mending
    // only for renames at e or later. Links from earlier crawls count as written at 0.
    std::uint64_t Epoch() const { return m_epoch.load(std::memory_order_acquire); }
    // The former names of the address and of each step of its redirects: the names that
    // links written before a rename may still use.
    std::vector<std::string> FormerNames(std::uint64_t keyHash) const;
    // The key hashes of the addresses that redirect to target.
    std::vector<std::uint64_t> RedirectsTo(std::uint64_t target) const;
    bool AnyRedirect() const;
    // The address that holds name, now or formerly, as its url; nothing when none.
    std::optional<std::string> UrlOfName(std::string_view name) const;

    // The address's name; an address without one first takes the first of make(0),
    // make(2), make(3)... that no other address holds. Empty when make gives empty.
    std::string Reserve(std::string_view key, std::string_view url, const NameMaker& make);
    // The name the answer calls for: the first candidate that is the address's own name
    // or free. A new name leaves the old one as a former name.
    std::string Rename(std::string_view key, std::string_view url, const NameMaker& make);
    // The address answered with a redirect to target: links to it lead to the target's
    // file. Its own name, if any, becomes a former name.
    void SetRedirect(std::string_view key, std::string_view url, std::uint64_t target);
    void MarkStored(std::string_view key);

    bool IsStored(std::uint64_t keyHash) const;
    // Writes out the changes appended so far; the names a stored page's links use must
    // be on disk before the page.
    void Flush();

private:
    struct Entry {
        std::string url;
        std::string name;
        std::uint64_t redirect = 0;
        std::vector<std::string> former; // names held before, until forgotten
        std::atomic<bool> stored{false};
        bool renamed = false;        // holds former names, or stood for itself before it redirected
        std::uint64_t renamedAt = 0; // the epoch of its latest rename; 0 when read from the file
    };

    // Shards of the entries and of the holders, by hash. Each is a cache line or more of
    // its own, so that workers locking neighbouring shards do not slow each other. Open
    // and Close hold every shard's lock, and ThreadSanitizer follows no more than 64 locks
    // held at once.
    static constexpr std::size_t kShards = 16;
    static constexpr std::size_t kCacheLine = 64;
    struct alignas(kCacheLine) EntryShard {
        // Workers mostly look names up: they share the lock; naming takes it alone.
        mutable std::shared_mutex mutex;
        std::unordered_map<std::uint64_t, Entry> entries;
    };
    struct alignas(kCacheLine) HolderShard {
        // Taken briefly, within an entry shard's lock or alone, never the other way round.
        mutable std::mutex mutex;
        // Every name held now or formerly, as hashes, with the key hash that holds it.
        std::unordered_map<std::uint64_t, std::uint64_t> holders;
    };
    // Entry shards, then holder shards, each in order: every lock for Open and Close,
    // which run when no worker uses the table.
    class CWholeTable;

    static std::size_t ShardIndex(std::uint64_t hash);
    EntryShard& ShardOf(std::uint64_t keyHash) { return m_shards[ShardIndex(keyHash)]; }
    const EntryShard& ShardOf(std::uint64_t keyHash) const { return m_shards[ShardIndex(keyHash)]; }
    HolderShard& HoldersOf(std::uint64_t nameHash) { return m_holders[ShardIndex(nameHash)]; }
    const HolderShard& HoldersOf(std::uint64_t nameHash) const {
        return m_holders[ShardIndex(nameHash)];
    }

    // Whole-table steps (these, Compact and ForgetFormerNames), under every lock.
    void Clear();
    void Read(const std::filesystem::path& file);
    void Replay(std::string_view line);
    // Takes the first free candidate for keyHash, under its shard's lock; empty when make
    // gives empty.
    std::string TakeName(std::uint64_t keyHash, Entry& entry, const NameMaker& make);
    void Append(char tag, std::uint64_t keyHash, const Entry& entry);
    void Append(char tag, std::uint64_t keyHash, std::string_view name, std::uint64_t redirect,
                std::string_view url);
    void CloseJournal();
    // Whether Close should rewrite the file rather than leave it as the crawl wrote it.
    bool Compact(bool forgetFormerNames) const;
    // Every link has been mended: former names are free again.
    void ForgetFormerNames();
    // Reserve and Rename: keepCurrent keeps a name the address holds already.
    std::string Name(std::string_view key, std::string_view url, const NameMaker& make,
                     bool keepCurrent);
    // The entry gives up its name, or the redirect it stood for: links written with the
    // old one need mending.
    void Retire(Entry& entry);
    // The entry takes name in place of what it had; the caller has made it its holder.
    void Give(std::uint64_t keyHash, Entry& entry, std::string name);
    // The entry redirects to target in place of what it had.
    void PointAt(std::uint64_t keyHash, Entry& entry, std::uint64_t target);
    // Sets where entry redirects (0: nowhere), keeping the sources of each target.
    void Redirect(std::uint64_t keyHash, Entry& entry, std::uint64_t target);
    // Calls visit(entry) for keyHash's entry, then for each step of its redirects, under
    // one shard's lock at a time: a chain that spans shards never holds two. Stops at an
    // unknown address (visit(nullptr)), at one that does not redirect, or when visit
    // says false. The key hash of the last address visited; 0 when the redirects go
    // round or run too far.
    template <typename Visit> std::uint64_t Follow(std::uint64_t keyHash, Visit&& visit) const;

    std::array<EntryShard, kShards> m_shards;
    std::array<HolderShard, kShards> m_holders;
    // Redirects are rare: one lock, taken within an entry shard's or alone.
    mutable std::mutex m_redirectMutex;
    std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> m_redirectSources;
    std::filesystem::path m_file;
    mutable std::mutex m_journalMutex; // after the shards' locks, when both are taken
    std::FILE* m_journal = nullptr;
    std::size_t m_lines = 0; // in the file, read or appended
    std::atomic<bool> m_open{false};
    std::atomic<std::size_t> m_renamed{0};
    std::atomic<std::uint64_t> m_epoch{1};
};

// The name of the table's file in a site's folder.
inline constexpr const char* kNameTableFile = ".quarn-names";
