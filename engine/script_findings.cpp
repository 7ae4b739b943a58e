#include "engine/script_findings.h"

#include <memory>

#include "engine/file_store.h"
#include "engine/link_scanner.h"
#include "model/login_guard.h"
#include "model/site.h"
#include "web/url.h"

std::size_t QueueScriptRequests(CSite& site, const CUrl& page,
                                const std::vector<std::string>& requests) {
    std::size_t queued = 0;
    for (const std::string& request : requests) {
        auto address = std::make_unique<CUrl>(&page, request, kLinkEmbedded, site.Reading());
        if (PortOf(*address) == 0)
            continue;
        if (site.LoginGuard().Active() && ReadsAsLogoutAddress(address->GetObjectName())) {
            site.NoteLogoutNotFollowed(address->GetURL());
            continue;
        }
        if (!site.IsAllowed(*address, true))
            continue;
        if (site.AddPending(address))
            ++queued;
    }
    return queued;
}

std::size_t StoreSnapshot(CSite& site, const CUrl& page, const std::string& localPath,
                          CCopyRecord record, std::string document) {
    // A page whose file is gone (the copy was moved or erased meanwhile) is not made again.
    if (!FileModified(localPath))
        return 0;
    const std::uint64_t linksWritten = site.ExactNames() ? site.NameTable().Epoch() : 0;
    CLinkScanner scanner(site, page, PageSource::Server);
    scanner.ScanPage(document);
    std::vector<CIndexedLink> links;
    if (site.ExactNames()) {
        links = scanner.IndexedLinks();
        // The names the page's links use reach the disk before the page does.
        site.NameTable().Flush();
    }
    if (const auto error = SaveContent(document, localPath)) {
        site.AddLog("Could not store the page as shown: " + localPath + ": " +
                    SaveErrorText(error));
        return scanner.QueuedCount();
    }
    // The server's answer still describes the page, so the next update can ask whether it
    // changed instead of taking it again.
    if (const auto renewed = FileModified(localPath)) {
        record.fileTicks = renewed->time_since_epoch().count();
        site.RecordCopy(localPath, std::move(record));
    }
    if (site.ExactNames())
        site.IndexLinks(page, links, linksWritten);
    return scanner.QueuedCount();
}
