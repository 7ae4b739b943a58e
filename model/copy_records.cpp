#include "model/copy_records.h"

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

// One line per file: hash (hex), kind, file ticks, Last-Modified, ETag (rest of the line).
void CCopyRecords::Load(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    m_records.clear();
    m_changed = false;
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
        PutLocked(hash, std::move(record));
    }
}

std::error_code CCopyRecords::Save(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    if (!m_changed)
        return {};
    std::error_code error;
    std::filesystem::path temporary = file;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        char hex[17];
        for (const auto& [hash, entry] : m_records) {
            const auto end = std::to_chars(hex, hex + 16, hash, 16).ptr;
            out.write(hex, end - hex);
            out << ' ' << static_cast<char>(entry.kind) << ' ' << entry.fileTicks << ' '
                << entry.lastModified << ' ';
            if (const auto etag = m_etags.find(hash); etag != m_etags.end())
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
    m_changed = m_changed || !m_records.empty();
    m_records.clear();
    m_etags.clear();
}

std::optional<CCopyRecord> CCopyRecords::Find(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const std::uint64_t hash = KeyHash(key);
    const auto found = m_records.find(hash);
    if (found == m_records.end())
        return std::nullopt;
    CCopyRecord record;
    record.fileTicks = found->second.fileTicks;
    record.lastModified = found->second.lastModified;
    record.kind = found->second.kind;
    if (const auto etag = m_etags.find(hash); etag != m_etags.end())
        record.etag = etag->second;
    return record;
}

void CCopyRecords::Put(std::string_view key, CCopyRecord record) {
    std::lock_guard lock(m_mutex);
    PutLocked(KeyHash(key), std::move(record));
    m_changed = true;
}

void CCopyRecords::PutLocked(std::uint64_t hash, CCopyRecord record) {
    m_records[hash] = Entry{record.fileTicks, record.lastModified, record.kind};
    if (record.lastModified == 0 && !record.etag.empty() && IsStorableTag(record.etag))
        m_etags[hash] = std::move(record.etag);
    else
        m_etags.erase(hash);
}

std::size_t CCopyRecords::Size() const {
    std::lock_guard lock(m_mutex);
    return m_records.size();
}
