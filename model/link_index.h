#pragma once
// Which addresses each stored page of a copy with exact names links to. When an address
// is renamed by its answer, or stored after a page wrote it as an absolute address, the
// index tells which pages to mend, without reading every stored page.
//
// The index lives in the site's folder across crawls, one line a page, appended as pages
// are stored; only where each page's latest line lies, and when its links were written,
// is kept in memory (24 bytes a page), and the lines are read back one at a time: "page target
// target! target^", "!" after a link written as an address, "^" after one to follow. Close compacts
// the file to the latest line of each page. Thread-safe: every worker indexes the pages it stores.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

struct CIndexedLink {
    std::uint64_t target = 0; // the key hash of the linked address
    bool absolute = false;    // written as an absolute address, not to a local file
    bool followed = false;    // a link to follow (one level deeper), not a part of the page
    bool operator==(const CIndexedLink&) const = default;
};

// written: the name table's epoch when the page's links were written; 0 for a page
// indexed by an earlier crawl.
using PageLinksVisitor = std::function<void(std::uint64_t page, std::uint64_t written,
                                            std::span<const CIndexedLink> links)>;

class CLinkIndex {
public:
    CLinkIndex() = default;
    ~CLinkIndex();
    CLinkIndex(const CLinkIndex&) = delete;
    CLinkIndex& operator=(const CLinkIndex&) = delete;

    // Notes the pages file holds (a missing file holds none) and appends to it from now
    // on. An empty path indexes nothing.
    void Open(const std::filesystem::path& file);
    // Stops appending and rewrites the file with the latest line of each page.
    std::error_code Close();

    // The links of a page as it was stored now, written at the name table's epoch
    // written; they replace what the index held of it.
    void Put(std::uint64_t page, std::span<const CIndexedLink> links, std::uint64_t written = 0);
    // Every indexed page with its latest links, in the file's order. Pages put while it
    // runs are not visited.
    void ForEachPage(const PageLinksVisitor& visit);
    // The latest links of one page; nothing when the index has no line for it.
    std::optional<std::vector<CIndexedLink>> Get(std::uint64_t page);

private:
    void CloseJournal();
    // (offset, written) of each page's latest line, by offset.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> SortedLines() const;

    struct Line {
        std::uint64_t offset = 0;
        std::uint64_t written = 0;
    };

    mutable std::mutex m_mutex;
    std::unordered_map<std::uint64_t, Line> m_latest; // page -> its latest line
    std::filesystem::path m_file;
    std::FILE* m_journal = nullptr;
    std::ifstream m_reader; // for Get, opened at its first call
    char m_readerBuffer[1024];
    std::uint64_t m_size = 0; // bytes in the file
    std::size_t m_lines = 0;  // lines in the file; more than pages once some are superseded
    bool m_added = false;
};

// The name of the index's file in a site's folder.
inline constexpr const char* kLinkIndexFile = ".quarn-links";
