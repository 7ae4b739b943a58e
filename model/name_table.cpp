#include "model/name_table.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <fstream>

#include "model/journal_file.h"
#include "web/byte_text.h"

namespace {

// Names and addresses may hold any byte; these would break the line apart.
void AppendField(std::string& line, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    // Mostly there is nothing to escape: the text goes in runs.
    for (;;) {
        const auto special = text.find_first_of("%\t\n\r");
        line.append(text.substr(0, special));
        if (special == std::string_view::npos)
            return;
        const auto c = static_cast<unsigned char>(text[special]);
        line.push_back('%');
        line.push_back(kHex[c >> 4]);
        line.push_back(kHex[c & 15]);
        text.remove_prefix(special + 1);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> ReadField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

std::optional<std::uint64_t> ReadHash(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The line's fields, split at tabs.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// N hash name url: the address's name (an earlier one becomes a former name);
// R hash target url: it redirects; S hash: its file was written; F 0: every former name
// before it is forgotten.
std::string JournalLine(char tag, std::uint64_t keyHash, std::string_view name,
                        std::uint64_t redirect, std::string_view url) {
    std::string line;
    line.push_back(tag);
    char hex[17];
    line.push_back('\t');
    line.append(hex, std::to_chars(hex, hex + sizeof hex, keyHash, 16).ptr);
    if (tag == 'N' || tag == 'R') {
        line.push_back('\t');
        if (tag == 'N')
            AppendField(line, name);
        else
            line.append(hex, std::to_chars(hex, hex + sizeof hex, redirect, 16).ptr);
        line.push_back('\t');
        AppendField(line, url);
    }
    line.push_back('\n');
    return line;
}

} // namespace

// Every lock, in the order workers take them: entry shards, then holder shards.
class CNameTable::CWholeTable {
public:
    explicit CWholeTable(CNameTable& table) {
        for (EntryShard& shard : table.m_shards)
            m_entryLocks.emplace_back(shard.mutex);
        for (HolderShard& shard : table.m_holders)
            m_holderLocks.emplace_back(shard.mutex);
    }

private:
    std::vector<std::unique_lock<std::shared_mutex>> m_entryLocks;
    std::vector<std::unique_lock<std::mutex>> m_holderLocks;
};

CNameTable::~CNameTable() {
    CloseJournal();
}

std::uint64_t CNameTable::KeyHash(std::string_view key) {
    CKeyHasher hasher;
    hasher.Add(key);
    return hasher.Value();
}

std::size_t CNameTable::ShardIndex(std::uint64_t hash) {
    static_assert(std::has_single_bit(kShards));
    // The maps pick buckets by the low bits: shards go by the top ones, into which the
    // multiplication mixes every bit.
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >>
                                    (64 - std::countr_zero(kShards)));
}

void CNameTable::CloseJournal() {
    std::lock_guard journalLock(m_journalMutex);
    if (m_journal != nullptr)
        std::fclose(m_journal);
    m_journal = nullptr;
}

void CNameTable::Clear() {
    for (EntryShard& shard : m_shards)
        shard.entries.clear();
    for (HolderShard& shard : m_holders)
        shard.holders.clear();
    std::lock_guard redirectLock(m_redirectMutex);
    m_redirectSources.clear();
    m_renamed = 0;
}

void CNameTable::Open(const std::filesystem::path& file, bool readOnly) {
    CWholeTable lock(*this);
    CloseJournal();
    Clear();
    m_epoch = 1;
    m_lines = 0;
    m_file = readOnly ? std::filesystem::path() : file;
    m_open = true;
    if (!file.empty())
        Read(file);
}

bool CNameTable::IsOpen() const {
    return m_open.load(std::memory_order_acquire);
}

void CNameTable::Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool cut = false;
    while (std::getline(in, line)) {
        cut = in.eof(); // no line end: a crash cut it, and it is skipped
        if (!cut)
            Replay(line);
        ++m_lines;
    }
    // Appending starts on a line of its own.
    if (cut && !m_file.empty()) {
        if (std::FILE* out = OpenJournalFile(m_file, "ab")) {
            std::fputc('\n', out);
            std::fclose(out);
        }
    }
    // What the replay retired counts once an address, as a crawl's renames would.
    std::size_t renamed = 0;
    for (EntryShard& shard : m_shards) {
        for (auto& [hash, entry] : shard.entries) {
            renamed += entry.renamed ? 1 : 0;
            entry.renamedAt = 0;
        }
    }
    m_renamed = renamed;
    m_epoch = 1;
}

// A line as JournalLine writes it.
void CNameTable::Replay(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 2 || fields[0].size() != 1)
        return;
    const auto hash = ReadHash(fields[1]);
    if (!hash)
        return;
    const char tag = fields[0][0];
    if (tag == 'F' && fields.size() == 2 && *hash == 0) {
        ForgetFormerNames();
        return;
    }
    auto& entries = ShardOf(*hash).entries;
    if (tag == 'S' && fields.size() == 2) {
        if (const auto entry = entries.find(*hash); entry != entries.end())
            entry->second.stored = true;
        return;
    }
    if (fields.size() != 4)
        return;
    auto url = ReadField(fields[3]);
    if (!url)
        return;
    if (tag == 'N') {
        auto name = ReadField(fields[2]);
        if (!name || name->empty())
            return;
        // A name another address holds now is not taken twice.
        const std::uint64_t nameHash = Fnv1a(*name);
        auto& holders = HoldersOf(nameHash).holders;
        if (const auto holder = holders.find(nameHash);
            holder != holders.end() && holder->second != *hash)
            return;
        Entry& entry = entries[*hash];
        entry.url = std::move(*url);
        if (entry.name != *name || entry.redirect != 0) {
            holders[nameHash] = *hash;
            Give(*hash, entry, std::move(*name));
        }
    } else if (tag == 'R') {
        const auto target = ReadHash(fields[2]);
        if (!target || *target == 0 || *target == *hash)
            return;
        Entry& entry = entries[*hash];
        entry.url = std::move(*url);
        PointAt(*hash, entry, *target);
    }
}

void CNameTable::Append(char tag, std::uint64_t keyHash, const Entry& entry) {
    Append(tag, keyHash, entry.name, entry.redirect, entry.url);
}

void CNameTable::Append(char tag, std::uint64_t keyHash, std::string_view name,
                        std::uint64_t redirect, std::string_view url) {
    if (m_file.empty())
        return;
    const std::string line = JournalLine(tag, keyHash, name, redirect, url);
    // The caller holds the entry's shard lock: an address's lines go in the order of its
    // changes. A name is never handed from one address to another while workers run
    // (former names stay held until Close), so lines of different addresses need no
    // order among them.
    std::lock_guard journalLock(m_journalMutex);
    // Opened at the first change, so that a crawl that names nothing new writes nothing.
    if (m_journal == nullptr && (m_journal = OpenJournalFile(m_file, "ab")) == nullptr)
        return;
    // A line a crash cuts in half is skipped when read.
    std::fwrite(line.data(), 1, line.size(), m_journal);
    ++m_lines;
}

void CNameTable::Flush() {
    // The stream locks itself: the write need not keep every other worker waiting. The
    // journal stays open until Close, which runs when no worker does.
    std::FILE* journal = nullptr;
    {
        std::lock_guard journalLock(m_journalMutex);
        journal = m_journal;
    }
    if (journal != nullptr)
        std::fflush(journal);
}

std::error_code CNameTable::Close(bool forgetFormerNames) {
    CWholeTable lock(*this);
    std::error_code error;
    if (!m_file.empty() && !Compact(forgetFormerNames)) {
        // A file that holds little more than it must is kept, and only told to forget.
        if (forgetFormerNames && m_renamed != 0)
            Append('F', 0, {}, 0, {});
        CloseJournal();
    } else if (!m_file.empty()) {
        CloseJournal();
        error = RewriteJournalFile(m_file, [&](std::FILE* out) {
            const auto put = [out](const std::string& line) {
                std::fwrite(line.data(), 1, line.size(), out);
            };
            for (const EntryShard& shard : m_shards) {
                for (const auto& [hash, entry] : shard.entries) {
                    if (!forgetFormerNames) {
                        for (const std::string& name : entry.former)
                            put(JournalLine('N', hash, name, 0, entry.url));
                    }
                    if (entry.redirect != 0 || !entry.name.empty())
                        put(JournalLine(entry.redirect != 0 ? 'R' : 'N', hash, entry.name,
                                        entry.redirect, entry.url));
                    if (entry.stored)
                        put(JournalLine('S', hash, {}, 0, {}));
                }
            }
        });
    }
    CloseJournal();
    m_open = false;
    Clear();
    return error;
}

bool CNameTable::Compact(bool forgetFormerNames) const {
    std::size_t needed = 0;
    for (const EntryShard& shard : m_shards) {
        for (const auto& [hash, entry] : shard.entries) {
            needed += forgetFormerNames ? 0 : entry.former.size();
            needed += entry.redirect != 0 || !entry.name.empty() ? 1 : 0;
            needed += entry.stored ? 1 : 0;
        }
    }
    std::lock_guard journalLock(m_journalMutex);
    // Rewriting costs as much as the crawl wrote: only worth it for a quarter saved.
    return m_lines > needed + needed / 4;
}

void CNameTable::ForgetFormerNames() {
    for (EntryShard& shard : m_shards) {
        for (auto& [hash, entry] : shard.entries) {
            for (const std::string& name : entry.former) {
                const std::uint64_t nameHash = Fnv1a(name);
                auto& holders = HoldersOf(nameHash).holders;
                const auto holder = holders.find(nameHash);
                if (holder != holders.end() && holder->second == hash && name != entry.name)
                    holders.erase(holder);
            }
            entry.former.clear();
            entry.renamed = false;
        }
    }
}

std::optional<CNamedAddress> CNameTable::Find(std::uint64_t keyHash) const {
    const EntryShard& shard = ShardOf(keyHash);
    std::shared_lock lock(shard.mutex);
    const auto found = shard.entries.find(keyHash);
    if (found == shard.entries.end())
        return std::nullopt;
    const Entry& entry = found->second;
    return CNamedAddress{entry.url, entry.name, entry.redirect, entry.stored.load()};
}

std::optional<std::string> CNameTable::UrlOfName(std::string_view name) const {
    const std::uint64_t nameHash = Fnv1a(name);
    std::uint64_t keyHash = 0;
    {
        const HolderShard& holders = HoldersOf(nameHash);
        std::lock_guard holderLock(holders.mutex);
        const auto holder = holders.holders.find(nameHash);
        if (holder == holders.holders.end())
            return std::nullopt;
        keyHash = holder->second;
    }
    const EntryShard& shard = ShardOf(keyHash);
    std::shared_lock lock(shard.mutex);
    const auto entry = shard.entries.find(keyHash);
    if (entry == shard.entries.end())
        return std::nullopt;
    return entry->second.url;
}

std::string CNameTable::TakeName(std::uint64_t keyHash, Entry& entry, const NameMaker& make) {
    // A hostile site cannot make this loop long: each taken candidate was named by an
    // address of its own.
    for (int unique = 0;; unique = unique == 0 ? 2 : unique + 1) {
        std::string name = make(unique);
        if (name.empty())
            return {};
        const std::uint64_t nameHash = Fnv1a(name);
        {
            // Looked at and claimed under one lock: two addresses that want one name at
            // once never both get it. Names are never given back while workers run, so a
            // claim needs no undoing.
            HolderShard& holders = HoldersOf(nameHash);
            std::lock_guard holderLock(holders.mutex);
            const auto [holder, added] = holders.holders.try_emplace(nameHash, keyHash);
            if (holder->second != keyHash)
                continue;
        }
        if (name == entry.name)
            return name;
        Give(keyHash, entry, name);
        Append('N', keyHash, entry);
        return name;
    }
}

std::string CNameTable::Reserve(std::string_view key, std::string_view url, const NameMaker& make) {
    return Name(key, url, make, true);
}

std::string CNameTable::Rename(std::string_view key, std::string_view url, const NameMaker& make) {
    return Name(key, url, make, false);
}

std::string CNameTable::Name(std::string_view key, std::string_view url, const NameMaker& make,
                             bool keepCurrent) {
    const std::uint64_t keyHash = KeyHash(key);
    // The plain name is made before the lock is taken: mostly it is the one taken.
    const std::string plain = make(0);
    const NameMaker candidates = [&](int unique) { return unique == 0 ? plain : make(unique); };
    EntryShard& shard = ShardOf(keyHash);
    std::unique_lock lock(shard.mutex);
    auto [found, added] = shard.entries.try_emplace(keyHash);
    Entry& entry = found->second;
    if (keepCurrent && (!entry.name.empty() || entry.redirect != 0))
        return entry.name;
    entry.url.assign(url);
    std::string name = TakeName(keyHash, entry, candidates);
    if (name.empty() && added)
        shard.entries.erase(found);
    return name;
}

void CNameTable::Retire(Entry& entry) {
    if (entry.name.empty() && entry.redirect == 0)
        return;
    if (!entry.name.empty())
        entry.former.push_back(std::move(entry.name));
    entry.name.clear();
    entry.renamed = true;
    entry.renamedAt = m_epoch.fetch_add(1, std::memory_order_acq_rel);
    entry.stored = false;
    m_renamed.fetch_add(1, std::memory_order_release);
}

void CNameTable::Give(std::uint64_t keyHash, Entry& entry, std::string name) {
    Retire(entry);
    entry.name = std::move(name);
    Redirect(keyHash, entry, 0);
}

void CNameTable::PointAt(std::uint64_t keyHash, Entry& entry, std::uint64_t target) {
    if (entry.redirect == target)
        return;
    Retire(entry);
    Redirect(keyHash, entry, target);
    entry.stored = false;
}

void CNameTable::SetRedirect(std::string_view key, std::string_view url, std::uint64_t target) {
    const std::uint64_t keyHash = KeyHash(key);
    if (target == keyHash || target == 0)
        return;
    EntryShard& shard = ShardOf(keyHash);
    std::unique_lock lock(shard.mutex);
    Entry& entry = shard.entries[keyHash];
    if (entry.redirect == target)
        return;
    entry.url.assign(url);
    PointAt(keyHash, entry, target);
    Append('R', keyHash, entry);
}

void CNameTable::MarkStored(std::string_view key) {
    const std::uint64_t keyHash = KeyHash(key);
    // Every file stored comes here: a shared lock keeps the others looking names up.
    EntryShard& shard = ShardOf(keyHash);
    std::shared_lock lock(shard.mutex);
    const auto found = shard.entries.find(keyHash);
    if (found == shard.entries.end() || found->second.stored.exchange(true))
        return;
    Append('S', keyHash, found->second);
}

bool CNameTable::IsStored(std::uint64_t keyHash) const {
    const EntryShard& shard = ShardOf(keyHash);
    std::shared_lock lock(shard.mutex);
    const auto found = shard.entries.find(keyHash);
    return found != shard.entries.end() && found->second.stored;
}

void CNameTable::Redirect(std::uint64_t keyHash, Entry& entry, std::uint64_t target) {
    if (entry.redirect == target)
        return;
    std::lock_guard redirectLock(m_redirectMutex);
    if (entry.redirect != 0) {
        auto& sources = m_redirectSources[entry.redirect];
        std::erase(sources, keyHash);
        if (sources.empty())
            m_redirectSources.erase(entry.redirect);
    }
    entry.redirect = target;
    if (target != 0)
        m_redirectSources[target].push_back(keyHash);
}

std::vector<std::uint64_t> CNameTable::RedirectsTo(std::uint64_t target) const {
    std::lock_guard redirectLock(m_redirectMutex);
    const auto found = m_redirectSources.find(target);
    return found == m_redirectSources.end() ? std::vector<std::uint64_t>() : found->second;
}

bool CNameTable::AnyRedirect() const {
    std::lock_guard redirectLock(m_redirectMutex);
    return !m_redirectSources.empty();
}

template <typename Visit>
std::uint64_t CNameTable::Follow(std::uint64_t keyHash, Visit&& visit) const {
    // A redirect to a redirect is followed this far; a loop ends there too.
    constexpr int kLongestChain = 8;
    for (int step = 0; step < kLongestChain; ++step) {
        const EntryShard& shard = ShardOf(keyHash);
        std::shared_lock lock(shard.mutex);
        const auto found = shard.entries.find(keyHash);
        const Entry* entry = found != shard.entries.end() ? &found->second : nullptr;
        if (!visit(entry) || entry == nullptr || entry->redirect == 0)
            return keyHash;
        keyHash = entry->redirect;
    }
    return 0;
}

std::optional<std::string> CNameTable::LinkedName(std::uint64_t keyHash) const {
    bool known = false;
    std::string name; // stays empty when the redirects go round or end without a name
    Follow(keyHash, [&](const Entry* entry) {
        known = known || entry != nullptr;
        if (entry != nullptr && entry->redirect == 0)
            name = entry->name;
        return true;
    });
    if (!known)
        return std::nullopt;
    return name;
}

std::vector<std::string> CNameTable::FormerNames(std::uint64_t keyHash) const {
    std::vector<std::string> names;
    Follow(keyHash, [&](const Entry* entry) {
        if (entry != nullptr)
            names.insert(names.end(), entry->former.begin(), entry->former.end());
        return true;
    });
    return names;
}

std::uint64_t CNameTable::RedirectEnd(std::uint64_t keyHash) const {
    return Follow(keyHash, [](const Entry*) { return true; });
}

bool CNameTable::NeedsMending(std::uint64_t keyHash, bool absolute, std::uint64_t since) const {
    if (m_renamed.load(std::memory_order_acquire) == 0 && !absolute)
        return false;
    bool needs = false;
    Follow(keyHash, [&](const Entry* entry) {
        if (entry == nullptr)
            return false;
        if (entry->renamed && entry->renamedAt >= since) {
            needs = true;
            return false;
        }
        if (entry->redirect == 0)
            needs = absolute && entry->stored;
        return true;
    });
    return needs;
}
