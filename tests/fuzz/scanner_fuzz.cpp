// Any page or style sheet a server may send: scanning never crashes, a page without "<"
// and a sheet without url() or @import come out as they went in, and every queued
// address can be stored inside the site's folder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/link_scanner.h"
#include "model/shared_text.h"
#include "model/site.h"
#include "web/byte_text.h"
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
    site.m_pageRequisites = size % 3 != 0;
    const CUrl address(nullptr, "http://h/a/b.htm", kLinkFollowed);
    for (const PageSource source : {PageSource::Server, PageSource::LocalCopy}) {
        CLinkScanner scanner(site, address, source);
        scanner.ScanPage(page);
        if (original.find('<') == std::string::npos)
            Require(page == original);
    }
    // The same bytes as a style sheet: only the inside of url() and @import strings
    // changes, so a sheet without either comes out as it went in.
    std::string sheet = original;
    CLinkScanner(site, address).ScanStyleSheet(sheet);
    const auto mentions = [&](const char* word) {
        return std::search(original.begin(), original.end(), word, word + std::strlen(word),
                           [](char a, char b) { return ToLowerAscii(a) == b; }) != original.end();
    };
    if (!mentions("url(") && !mentions("@import"))
        Require(sheet == original);
    while (const std::unique_ptr<CUrl> queued = site.NextPending()) {
        const std::string local = site.GetLocalPath(*queued);
        Require(local.rfind("/nonexistent-sites/Site/", 0) == 0);
        site.MarkDone(*queued);
    }
    return 0;
}
