// Any page a server may send: scanning never crashes, a page without "<" comes out as it
// went in, and every queued address can be stored inside the site's folder.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/link_scanner.h"
#include "model/shared_text.h"
#include "model/site.h"
#include "web/url.h"

namespace {
void Require(bool condition) {
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Paths are only computed, never written: nothing touches the disk.
    g_strSitesDir.Set("/nonexistent-sites");
    std::string page(reinterpret_cast<const char*>(data), size);
    const std::string original = page;
    CSite site("Site");
    site.m_removeLinks = size % 2 == 1;
    const CUrl address(nullptr, "http://h/a/b.htm", kLinkFollowed);
    for (const PageSource source : {PageSource::Server, PageSource::LocalCopy}) {
        CLinkScanner scanner(site, address, source);
        scanner.ScanPage(page);
        if (original.find('<') == std::string::npos)
            Require(page == original);
    }
    while (const std::unique_ptr<CUrl> queued = site.NextPending()) {
        const std::string local = site.GetLocalPath(*queued);
        Require(local.rfind("/nonexistent-sites/Site/", 0) == 0);
        site.MarkDone(*queued);
    }
    return 0;
}
