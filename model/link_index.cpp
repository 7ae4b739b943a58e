#include "model/link_index.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "model/journal_file.h"

namespace {

// "page target target! ...": hex hashes, "!" after one written absolute. False for a line
// that cannot be read, as a crash may leave the last one.
bool ParseLine(std::string_view line, std::uint64_t& page, std::vector<CIndexedLink>& links) {
    links.clear();
    bool first = true;
    while (!line.empty()) {
        const auto end = std::min(line.find(' '), line.size());
        std::string_view word = line.substr(0, end);
        line.remove_prefix(std::min(end + 1, line.size()));
        CIndexedLink link;
        if (!first && word.ends_with('^')) {
            link.followed = true;
            word.remove_suffix(1);
        }
        if (!first && word.ends_with('!')) {
            link.absolute = true;
            word.remove_suffix(1);
        }
        std::uint64_t value = 0;
        const auto [stop, error] =
            std::from_chars(word.data(), word.data() + word.size(), value, 16);
        if (word.empty() || error != std::errc{} || stop != word.data() + word.size())
            return false;
        if (first) {
            page = value;
            first = false;
        } else {
            link.target = value;
            links.push_back(link);
        }
    }
    return !first;
}

void AppendHex(std::string& line, std::uint64_t value) {
    char hex[17];
    const auto end = std::to_chars(hex, hex + sizeof hex, value, 16).ptr;
    line.append(hex, end);
}

} // namespace

CLinkIndex::~CLinkIndex() {
    CloseJournal();
}

void CLinkIndex::CloseJournal() {
    if (m_journal != nullptr)
        std::fclose(m_journal);
    m_journal = nullptr;
}

void CLinkIndex::Open(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    CloseJournal();
    m_reader.close();
    m_latest.clear();
    m_file = file;
    m_size = 0;
    m_lines = 0;
    m_added = false;
    if (file.empty())
        return;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::vector<CIndexedLink> links;
    bool cut = false;
    while (std::getline(in, line)) {
        if (in.eof()) { // no line end: a crash cut it
            m_size += line.size();
            cut = true;
            break;
        }
        std::uint64_t page = 0;
        if (ParseLine(line, page, links))
            m_latest[page] = {m_size, 0};
        m_size += line.size() + 1;
        ++m_lines;
    }
    // Appending starts on a line of its own.
    if (cut) {
        if (std::FILE* out = OpenJournalFile(file, "ab")) {
            std::fputc('\n', out);
            std::fclose(out);
            m_size += 1;
            ++m_lines;
        }
    }
}

void CLinkIndex::Put(std::uint64_t page, std::span<const CIndexedLink> links,
                     std::uint64_t written) {
    std::string line;
    line.reserve(17 + links.size() * 19);
    AppendHex(line, page);
    for (const CIndexedLink& link : links) {
        line.push_back(' ');
        AppendHex(line, link.target);
        if (link.absolute)
            line.push_back('!');
        if (link.followed)
            line.push_back('^');
    }
    line.push_back('\n');
    std::lock_guard lock(m_mutex);
    if (m_file.empty())
        return;
    if (m_journal == nullptr && (m_journal = OpenJournalFile(m_file, "ab")) == nullptr)
        return;
    if (std::fwrite(line.data(), 1, line.size(), m_journal) != line.size()) {
        // Whatever part was written is a line that cannot be read; nothing points at it.
        m_size += line.size();
        ++m_lines;
        m_added = true;
        return;
    }
    // A line a crash loses only costs its page a mending: the next crawl indexes it again.
    m_latest[page] = {m_size, written};
    m_size += line.size();
    ++m_lines;
    m_added = true;
}

// Calls take(line, written) for the line at each offset, reading the file once from its
// start: the lines, sorted by offset, are where the latest line of each page begins.
template <typename Take>
void ReadLinesAt(const std::filesystem::path& file,
                 const std::vector<std::pair<std::uint64_t, std::uint64_t>>& lines, Take&& take) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::uint64_t at = 0;
    auto next = lines.begin();
    while (next != lines.end() && std::getline(in, line)) {
        if (at == next->first) {
            take(line, next->second);
            ++next;
        }
        at += line.size() + 1;
    }
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> CLinkIndex::SortedLines() const {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lines;
    lines.reserve(m_latest.size());
    for (const auto& [page, latest] : m_latest)
        lines.emplace_back(latest.offset, latest.written);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void CLinkIndex::ForEachPage(const PageLinksVisitor& visit) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lines;
    std::filesystem::path file;
    {
        std::lock_guard lock(m_mutex);
        if (m_journal != nullptr)
            std::fflush(m_journal);
        lines = SortedLines();
        file = m_file;
    }
    std::vector<CIndexedLink> links;
    ReadLinesAt(file, lines, [&](const std::string& line, std::uint64_t written) {
        std::uint64_t page = 0;
        if (ParseLine(line, page, links))
            visit(page, written, links);
    });
}

std::optional<std::vector<CIndexedLink>> CLinkIndex::Get(std::uint64_t page) {
    std::lock_guard lock(m_mutex);
    const auto found = m_latest.find(page);
    if (found == m_latest.end())
        return std::nullopt;
    if (m_journal != nullptr)
        std::fflush(m_journal);
    if (!m_reader.is_open()) {
        // Lines are read one at a time, each after a seek: a small buffer reads little
        // more than the line.
        m_reader.rdbuf()->pubsetbuf(m_readerBuffer, sizeof m_readerBuffer);
        m_reader.open(m_file, std::ios::binary);
    }
    m_reader.clear();
    m_reader.seekg(static_cast<std::streamoff>(found->second.offset));
    std::string line;
    std::vector<CIndexedLink> links;
    std::uint64_t read = 0;
    if (!std::getline(m_reader, line) || !ParseLine(line, read, links) || read != page)
        return std::nullopt;
    return links;
}

std::error_code CLinkIndex::Close() {
    std::lock_guard lock(m_mutex);
    CloseJournal();
    m_reader.close();
    std::error_code error;
    // A file that holds one line a page has nothing to drop: a first crawl's, mostly.
    if (m_file.empty() || !m_added || m_lines == m_latest.size()) {
        m_latest.clear();
        m_added = false;
        return error;
    }
    m_added = false;
    const auto lines = SortedLines();
    m_latest.clear();
    error = RewriteJournalFile(m_file, [&](std::FILE* out) {
        ReadLinesAt(m_file, lines, [out](std::string line, std::uint64_t) {
            line.push_back('\n');
            std::fwrite(line.data(), 1, line.size(), out);
        });
    });
    return error;
}
