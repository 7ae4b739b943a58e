#include "model/crawl_changes.h"

#include <fstream>

#include "model/json_text.h"

namespace {

std::FILE* OpenList(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

std::string Counted(int count, std::string_view words) {
    return std::to_string(count) + " " + std::string(words);
}

} // namespace

CCrawlChanges::~CCrawlChanges() {
    End();
}

void CCrawlChanges::Begin(const std::filesystem::path& file) {
    std::lock_guard lock(m_mutex);
    if (m_list != nullptr)
        std::fclose(m_list);
    m_list = file.empty() ? nullptr : OpenList(file);
    m_file = m_list != nullptr ? file : std::filesystem::path();
    m_skipped.Clear();
    for (auto& count : m_counts)
        count = 0;
}

void CCrawlChanges::End() {
    std::lock_guard lock(m_mutex);
    if (m_list != nullptr)
        std::fclose(m_list);
    m_list = nullptr;
}

void CCrawlChanges::Count(FileChange change, std::string_view url, std::string_view localPath) {
    m_counts[static_cast<int>(change)] += 1;
    if (change == FileChange::Unchanged)
        return;
    const std::string line =
        ChangeLine({change, std::string(url), std::string(localPath)}) + "\n";
    std::lock_guard lock(m_mutex);
    if (m_list != nullptr)
        std::fwrite(line.data(), 1, line.size(), m_list);
}

void CCrawlChanges::CountSkipped(std::string_view url) {
    const std::uint64_t key = std::hash<std::string_view>{}(url);
    std::lock_guard lock(m_mutex);
    m_skipped.Insert(key);
}

CChangeTally CCrawlChanges::Tally() const {
    CChangeTally tally;
    tally.newFiles = m_counts[static_cast<int>(FileChange::New)];
    tally.changed = m_counts[static_cast<int>(FileChange::Changed)];
    tally.unchanged = m_counts[static_cast<int>(FileChange::Unchanged)];
    tally.failed = m_counts[static_cast<int>(FileChange::Failed)];
    std::lock_guard lock(m_mutex);
    tally.skipped = static_cast<int>(m_skipped.Size());
    return tally;
}

std::filesystem::path CCrawlChanges::ListFile() const {
    std::lock_guard lock(m_mutex);
    return m_file;
}

void CCrawlChanges::Flush() {
    std::lock_guard lock(m_mutex);
    if (m_list != nullptr)
        std::fflush(m_list);
}

std::string FormatChangeTally(const CChangeTally& tally) {
    return "Files: " + Counted(tally.newFiles, "new") + ", " + Counted(tally.changed, "changed") +
           ", " + Counted(tally.unchanged, "unchanged") + ", " + Counted(tally.failed, "failed") +
           ", " + Counted(tally.skipped, "skipped by rules");
}

std::string_view FileChangeWord(FileChange change) {
    switch (change) {
    case FileChange::New:
        return "new";
    case FileChange::Changed:
        return "changed";
    case FileChange::Unchanged:
        return "unchanged";
    case FileChange::Failed:
        return "failed";
    }
    return {};
}

std::string ChangeLine(const CListedChange& entry) {
    std::string line = "{\"url\":";
    AppendJsonString(line, entry.url);
    line += ",\"local_path\":";
    AppendJsonString(line, entry.localPath);
    line += ",\"status\":";
    AppendJsonString(line, FileChangeWord(entry.change));
    line += "}";
    return line;
}

bool ReadChangeList(const std::filesystem::path& file,
                    const std::function<void(CListedChange&&)>& take) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    while (std::getline(in, text)) {
        auto members = ReadJsonStringObject(text);
        if (!members)
            continue;
        CListedChange entry;
        const std::string& status = (*members)["status"];
        bool known = false;
        for (FileChange change : {FileChange::New, FileChange::Changed, FileChange::Unchanged,
                                  FileChange::Failed}) {
            if (status == FileChangeWord(change)) {
                entry.change = change;
                known = true;
            }
        }
        if (!known)
            continue;
        entry.url = std::move((*members)["url"]);
        entry.localPath = std::move((*members)["local_path"]);
        take(std::move(entry));
    }
    return true;
}
