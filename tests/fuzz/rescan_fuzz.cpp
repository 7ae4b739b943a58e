// A stored page is read back and scanned again on every update: that scan must change
// no byte of it and queue the same files as the scan of the page from the server did
// (but for those under a name cut to fit the file system, which cannot be read back),
// with and without page requisites, with links refused or removed, with links into
// other hosts' folders, and with a default document with or without a dot. Under exact
// names the stored page's links are read back through the copy's name table: the scan
// again must change no byte and lead to the same addresses.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link_scanner.h"
#include "model/shared_text.h"
#include "model/site.h"
#include "web/long_name.h"
#include "web/url.h"

namespace {
void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool HoldsCutName(std::string_view path) {
    for (;;) {
        const auto slash = path.find('/');
        if (IsCutName(path.substr(0, slash)))
            return true;
        if (slash == std::string_view::npos)
            return false;
        path.remove_prefix(slash + 1);
    }
}

struct Scanned {
    std::string text;
    std::set<std::string> files; // the local paths of the queued addresses
};

// Settings come from the input's length, so that one input always takes one path.
std::unique_ptr<CSite> MakeSite(std::size_t size) {
    auto site = std::make_unique<CSite>("Site");
    site->m_pageRequisites = size % 2 == 0;
    site->m_removeLinks = size % 3 == 0;
    static constexpr const char* kDocuments[] = {"index.htm", "index", "b.htm"};
    site->m_defaultDocument = kDocuments[size / 7 % 3];
    // Two servers, or every server, each with a folder of its own.
    site->m_useServers = size % 5 != 0;
    site->m_servers = "h=1,g=1";
    site->m_requisitesAnyServer = size % 4 == 0;
    site->CompilePatterns();
    // As a crawl queues it: which addresses count as one file is fixed here.
    site->ResetForQueue();
    return site;
}

Scanned Scan(std::size_t size, const CUrl& address, std::string text, PageSource source,
             bool styleSheet) {
    const auto site = MakeSite(size);
    CLinkScanner scanner(*site, address, source);
    if (styleSheet)
        scanner.ScanStyleSheet(text);
    else
        scanner.ScanPage(text);
    Scanned scanned{std::move(text), {}};
    while (const std::unique_ptr<CUrl> queued = site->NextPending()) {
        const std::string local = site->GetLocalPath(*queued);
        Require(local.rfind("/nonexistent-sites/Site/", 0) == 0);
        scanned.files.insert(local);
        site->MarkDone(*queued);
    }
    return scanned;
}
} // namespace

// Both scans on one site, whose name table (kept in memory) knows what the first named.
void CheckExactRescan(std::size_t size, const std::string& input, bool styleSheet) {
    auto site = MakeSite(size);
    site->m_exactNames = true;
    site->ResetForQueue();
    site->NameTable().Open({});
    static constexpr const char* kPages[] = {"http://h/a/b", "http://h:8080/w/index.php?t=X",
                                             "https://h/a/c/"};
    const CUrl address(nullptr, styleSheet ? "http://h/a/s.css?v=1" : kPages[size / 21 % 3],
                       kLinkFollowed, UrlReading::Exact);
    // The local links, which the copy reads back through the table; a refused link is
    // written whole and stays so.
    const auto scan = [&](std::string& text, PageSource source) {
        CLinkScanner scanner(*site, address, source);
        if (styleSheet)
            scanner.ScanStyleSheet(text);
        else
            scanner.ScanPage(text);
        std::vector<CIndexedLink> local = scanner.IndexedLinks();
        std::erase_if(local, [](const CIndexedLink& link) { return link.absolute; });
        return local;
    };
    std::string text = input;
    const auto first = scan(text, PageSource::Server);
    std::string again = text;
    const auto second = scan(again, PageSource::LocalCopy);
    Require(again == text);
    Require(second == first);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Paths are only computed, never written: nothing touches the disk.
    g_strSitesDir.Set("/nonexistent-sites");
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool styleSheet = size % 7 == 3;
    // A page deep in one server, one at the root of another behind a port, and a folder.
    static constexpr const char* kPages[] = {"http://h/a/b.htm", "http://g:8080/b.htm",
                                             "https://h/a/c/"};
    const CUrl address(nullptr, styleSheet ? "http://h/a/s.css" : kPages[size / 21 % 3],
                       kLinkFollowed);
    const Scanned first = Scan(size, address, input, PageSource::Server, styleSheet);
    const Scanned again = Scan(size, address, first.text, PageSource::LocalCopy, styleSheet);
    Require(again.text == first.text);
    // A name cut to fit the file system cannot be read back: its link stays as written.
    for (const std::string& file : first.files)
        Require(again.files.contains(file) || HoldsCutName(file));
    for (const std::string& file : again.files)
        Require(first.files.contains(file));
    CheckExactRescan(size, input, styleSheet);
    return 0;
}
