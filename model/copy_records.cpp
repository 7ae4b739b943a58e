#include "model/copy_records.h"

#include <algorithm>
#include <charconv>
#include <fstream>

namespace {

// FNV-1a: stable across builds and platforms, unlike std::hash, since keys are stored.
std::uint64_t KeyHash(std::string_view key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

template <typename Number>
bool ReadField(std::string_view& line, Number& value, int base = 10) {
    const auto end = std::min(line.find(' '), line.size());
    const auto [stop, error] = std::from_chars(line.data(), line.data() + end, value, base);
    if (error != std::errc{} || stop != line.data() + end)
        return false;
    line.remove_prefix(std::min(end + 1, line.size()));
    return true;
}

bool IsKind(char c) {
    return c == static_cast<char>(CopyKind::Other) || c == static_cast<char>(CopyKind::Page) ||
           c == static_cast<char>(CopyKind::StyleSheet);
}

// An ETag goes on one line; anything with a control byte is not kept.
bool IsStorableTag(std::string_view etag) {
    for (const char c : etag) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

} // namespace

// Entries put since the last merge that Find looks through one by one.
constexpr std::size_t kUnsortedEntries = 1024;

// One line per file: hash (hex), kind, file ticks, Last-Modified, ETag (rest of the line).
void CCopyRecords::Load(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_sorted = 0;
    m_etags.clear();
    std::ifstream in(file, std::ios::binary);
    std::string text;
    while (std::getline(in, text)) {
        std::string_view line(text);
        std::uint64_t hash = 0;
        CCopyRecord record;
        if (!ReadField(line, hash, 16) || line.size() < 2 || !IsKind(line[0]) || line[1] != ' ')
            continue;
        record.kind = static_cast<CopyKind>(line[0]);
        line.remove_prefix(2);
        if (!ReadField(line, record.fileTicks) || !ReadField(line, record.lastModified))
            continue;
        record.etag = line;
        m_entries.push_back({hash, record.fileTicks, record.lastModified, record.kind});
        if (record.lastModified == 0 && !record.etag.empty() && IsStorableTag(record.etag))
            m_etags[hash] = std::move(record.etag);
    }
    Merge();
    m_changed = false;
}

std::error_code CCopyRecords::Save(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    if (!m_changed)
        return {};
    Merge();
    std::error_code error;
    std::filesystem::path temporary = file;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        char hex[17];
        for (const Entry& entry : m_entries) {
            const auto end = std::to_chars(hex, hex + 16, entry.hash, 16).ptr;
            out.write(hex, end - hex);
            out << ' ' << static_cast<char>(entry.kind) << ' ' << entry.fileTicks << ' '
                << entry.lastModified << ' ';
            if (const auto etag = m_etags.find(entry.hash); etag != m_etags.end())
                out << etag->second;
            out << '\n';
        }
        out.flush();
        if (!out)
            error = std::make_error_code(std::errc::io_error);
    }
    if (!error)
        std::filesystem::rename(temporary, file, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return error;
    }
    m_changed = false;
    return {};
}

void CCopyRecords::Clear() {
    std::lock_guard lock(m_mutex);
    m_changed = m_changed || !m_entries.empty();
    m_entries.clear();
    m_sorted = 0;
    m_etags.clear();
}

std::optional<CCopyRecord> CCopyRecords::Find(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const std::uint64_t hash = KeyHash(key);
    const Entry* entry = const_cast<CCopyRecords*>(this)->FindLocked(hash);
    if (entry == nullptr)
        return std::nullopt;
    CCopyRecord record;
    record.fileTicks = entry->fileTicks;
    record.lastModified = entry->lastModified;
    record.kind = entry->kind;
    if (const auto etag = m_etags.find(hash); etag != m_etags.end())
        record.etag = etag->second;
    return record;
}

void CCopyRecords::Put(std::string_view key, CCopyRecord record) {
    std::lock_guard lock(m_mutex);
    PutLocked(KeyHash(key), std::move(record));
    m_changed = true;
}

std::size_t CCopyRecords::Size() const {
    std::lock_guard lock(m_mutex);
    const_cast<CCopyRecords*>(this)->Merge();
    return m_entries.size();
}

CCopyRecords::Entry* CCopyRecords::FindLocked(std::uint64_t hash) {
    // The newest entry of a hash wins: the unsorted ones from the end, then the sorted.
    for (auto entry = m_entries.rbegin(); entry != m_entries.rend() - m_sorted; ++entry) {
        if (entry->hash == hash)
            return &*entry;
    }
    const auto sortedEnd = m_entries.begin() + static_cast<std::ptrdiff_t>(m_sorted);
    const auto found = std::lower_bound(
        m_entries.begin(), sortedEnd, hash,
        [](const Entry& entry, std::uint64_t value) { return entry.hash < value; });
    return found != sortedEnd && found->hash == hash ? &*found : nullptr;
}

void CCopyRecords::PutLocked(std::uint64_t hash, CCopyRecord record) {
    const Entry entry{hash, record.fileTicks, record.lastModified, record.kind};
    if (Entry* existing = FindLocked(hash)) {
        *existing = entry;
    } else {
        m_entries.push_back(entry);
        if (m_entries.size() - m_sorted > kUnsortedEntries)
            Merge();
    }
    if (record.lastModified == 0 && !record.etag.empty() && IsStorableTag(record.etag))
        m_etags[hash] = std::move(record.etag);
    else
        m_etags.erase(hash);
}

void CCopyRecords::Merge() {
    const auto byHash = [](const Entry& a, const Entry& b) { return a.hash < b.hash; };
    const auto middle = m_entries.begin() + static_cast<std::ptrdiff_t>(m_sorted);
    std::stable_sort(middle, m_entries.end(), byHash);
    std::inplace_merge(m_entries.begin(), middle, m_entries.end(), byHash);
    // Of entries with one hash, the last (the latest put) stays.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (i + 1 < m_entries.size() && m_entries[i + 1].hash == m_entries[i].hash)
            continue;
        m_entries[kept++] = m_entries[i];
    }
    m_entries.resize(kept);
    m_sorted = kept;
}
