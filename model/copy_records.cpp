#include "model/copy_records.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>

#include "model/journal_file.h"
#include "web/byte_text.h"

namespace {

std::uint64_t KeyHash(std::string_view key) {
    return Fnv1a(key);
}

template <typename Number> bool ReadField(std::string_view& line, Number& value, int base = 10) {
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

// One line per file: hash (hex), kind, file ticks, Last-Modified, ETag (rest of the line).
void WriteLine(std::FILE* out, std::uint64_t hash, const CCopyRecord& record) {
    std::fprintf(out, "%llx %c %lld %lld %s\n", static_cast<unsigned long long>(hash),
                 static_cast<char>(record.kind), static_cast<long long>(record.fileTicks),
                 static_cast<long long>(record.lastModified), record.etag.c_str());
}

} // namespace

CCopyRecords::~CCopyRecords() {
    CloseJournal();
}

void CCopyRecords::Read(const std::filesystem::path& file) {
    m_entries.clear();
    m_etags.clear();
    std::ifstream in(file, std::ios::binary);
    std::string text;
    while (std::getline(in, text)) {
        std::string_view line(text);
        std::uint64_t hash = 0;
        Entry entry;
        if (!ReadField(line, hash, 16) || line.size() < 2 || !IsKind(line[0]) || line[1] != ' ')
            continue;
        entry.hash = hash;
        entry.kind = static_cast<CopyKind>(line[0]);
        line.remove_prefix(2);
        if (!ReadField(line, entry.fileTicks) || !ReadField(line, entry.lastModified))
            continue;
        m_entries.push_back(entry);
        if (entry.lastModified == 0 && !line.empty() && IsStorableTag(line))
            m_etags[hash] = line;
        else
            m_etags.erase(hash);
    }
    // Of the lines of one hash, the last (the latest put) stays.
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.hash < b.hash; });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (i + 1 < m_entries.size() && m_entries[i + 1].hash == m_entries[i].hash)
            continue;
        m_entries[kept++] = m_entries[i];
    }
    m_entries.resize(kept);
    m_entries.shrink_to_fit();
}

void CCopyRecords::Open(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    CloseJournal();
    m_file = file;
    m_added = false;
    Read(file);
}

void CCopyRecords::CloseJournal() {
    if (m_journal != nullptr)
        std::fclose(m_journal);
    m_journal = nullptr;
}

std::error_code CCopyRecords::Close() {
    std::lock_guard lock(m_mutex);
    CloseJournal();
    if (!m_added)
        return {};
    m_added = false;
    Read(m_file);
    const std::error_code error = RewriteJournalFile(m_file, [this](std::FILE* out) {
        CCopyRecord record;
        for (const Entry& entry : m_entries) {
            record.fileTicks = entry.fileTicks;
            record.lastModified = entry.lastModified;
            record.kind = entry.kind;
            const auto etag = m_etags.find(entry.hash);
            record.etag = etag != m_etags.end() ? etag->second : std::string();
            WriteLine(out, entry.hash, record);
        }
    });
    // The compacted records are not needed until the next Open.
    std::vector<Entry>().swap(m_entries);
    m_etags.clear();
    return error;
}

std::optional<CCopyRecord> CCopyRecords::Find(std::string_view key) const {
    const std::uint64_t hash = KeyHash(key);
    std::lock_guard lock(m_mutex);
    const auto found = std::lower_bound(
        m_entries.begin(), m_entries.end(), hash,
        [](const Entry& entry, std::uint64_t value) { return entry.hash < value; });
    if (found == m_entries.end() || found->hash != hash)
        return std::nullopt;
    CCopyRecord record;
    record.fileTicks = found->fileTicks;
    record.lastModified = found->lastModified;
    record.kind = found->kind;
    if (const auto etag = m_etags.find(hash); etag != m_etags.end())
        record.etag = etag->second;
    return record;
}

void CCopyRecords::Put(std::string_view key, const CCopyRecord& record) {
    const std::uint64_t hash = KeyHash(key);
    std::lock_guard lock(m_mutex);
    if (m_file.empty())
        return;
    // Opened at the first record, so that a crawl that stores nothing creates no file.
    if (m_journal == nullptr && (m_journal = OpenJournalFile(m_file, "ab")) == nullptr)
        return;
    CCopyRecord line = record;
    if (line.lastModified != 0 || !IsStorableTag(line.etag))
        line.etag.clear();
    WriteLine(m_journal, hash, line);
    m_added = true;
}

std::size_t CCopyRecords::Size() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}
