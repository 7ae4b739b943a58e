#include "engine/link_mending.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/file_store.h"
#include "engine/link_scanner.h"
#include "engine/worker.h"
#include "model/file_path.h"
#include "model/site.h"
#include "web/exact_name.h"
#include "web/local_naming.h"

namespace {
// The texts the page's links that need mending were written with; nothing when one of
// them was written as an address, which only reading every link finds.
std::optional<std::unordered_set<std::string>> StaleLinks(CSite& site, const CNamedAddress& page,
                                                          std::span<const CIndexedLink> mending) {
    std::unordered_set<std::string> stale;
    for (const CIndexedLink& link : mending) {
        if (link.absolute)
            return std::nullopt;
        for (const std::string& name : site.NameTable().FormerNames(link.target))
            stale.insert(RelativeLink(page.name, name, {}));
    }
    return stale;
}

// Rewrites one stored page or style sheet; true when its file changed.
bool MendFile(CSite& site, const CNamedAddress& stored,
              std::optional<std::unordered_set<std::string>> staleLinks) {
    const std::string folder = site.GetSiteFolder();
    if (folder.empty() || stored.name.empty())
        return false;
    const std::string path = folder + kPathSeparator + CSite::NameToPath(stored.name);
    const auto modified = FileModified(path);
    std::string text;
    if (!modified || ReadWholeFile(path, text, kMaxScannedPageBytes))
        return false;
    const CUrl address(nullptr, stored.url, kLinkFollowed, UrlReading::Exact);
    CLinkScanner scanner(site, address, PageSource::LocalCopy);
    scanner.MendOnly(std::move(staleLinks));
    if (TypeOfExtension(NameExtension(stored.name)).type == FileType::StyleSheet)
        scanner.ScanStyleSheet(text);
    else
        scanner.ScanPage(text);
    if (!scanner.Rewrote())
        return false;
    if (SaveContent(text, path))
        return false;
    // The file keeps its time, so that its record still says what the server said of it
    // and the next update asks about it as before.
    std::error_code ignored;
    std::filesystem::last_write_time(ToFsPath(path), *modified, ignored);
    return true;
}
} // namespace

int MendStoredLinks(CSite& site) {
    if (!site.ExactNames() || !site.NameTable().IsOpen())
        return 0;
    int mended = 0;
    std::vector<CIndexedLink> mending;
    site.LinkIndex().ForEachPage([&](std::uint64_t page, std::uint64_t written,
                                     std::span<const CIndexedLink> links) {
        mending.clear();
        std::copy_if(links.begin(), links.end(), std::back_inserter(mending),
                     [&](const CIndexedLink& link) { return site.NeedsMending(link, written); });
        if (mending.empty())
            return;
        const auto stored = site.NameTable().Find(page);
        if (stored && stored->redirect == 0 &&
            MendFile(site, *stored, StaleLinks(site, *stored, mending)))
            ++mended;
    });
    site.SetLinksMended();
    if (mended != 0)
        site.AddLog("Mended the links of " + std::to_string(mended) +
                    (mended == 1 ? " stored file" : " stored files"));
    return mended;
}
