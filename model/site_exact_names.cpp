// A site's addresses under exact names: which local file each address holds, the links
// between those files, and what the copy keeps of them across crawls.

#include <algorithm>
#include <charconv>

#include "model/file_path.h"
#include "model/shared_text.h"
#include "model/site.h"

namespace {
// The pieces of an address's key, in order.
template <typename Sink>
void KeyPieces(const CUrl& address, std::string_view defaultDocument, Sink&& sink) {
    char port[12];
    const auto portEnd = std::to_chars(port, port + sizeof port, KeyPort(address)).ptr;
    sink(address.host);
    sink(":");
    sink(std::string_view(port, static_cast<std::size_t>(portEnd - port)));
    sink(address.path);
    // A folder and its default document are one file.
    sink(address.file.empty() ? defaultDocument : std::string_view(address.file));
    if (!address.params.empty()) {
        sink(";");
        sink(address.params);
    }
    if (!address.query.empty()) {
        sink("?");
        sink(address.query);
    }
}

std::string KeyOf(const CUrl& address, std::string_view defaultDocument) {
    std::string key;
    key.reserve(address.host.size() + address.path.size() + address.file.size() +
                address.params.size() + address.query.size() + 16);
    KeyPieces(address, defaultDocument, [&key](std::string_view piece) { key += piece; });
    return key;
}

// The hash of KeyOf without making the text: most addresses are only looked up.
std::uint64_t KeyHashOf(const CUrl& address, std::string_view defaultDocument) {
    CKeyHasher hasher;
    KeyPieces(address, defaultDocument, [&hasher](std::string_view piece) { hasher.Add(piece); });
    return hasher.Value();
}
} // namespace

std::string CSite::ExactKey(const CUrl& address) const {
    return KeyOf(address, m_keysDefaultDocument);
}

std::uint64_t CSite::ExactKeyHash(const CUrl& address) const {
    return KeyHashOf(address, m_keysDefaultDocument);
}

std::string CSite::ExactPath(std::string_view name) const {
    // The folder a crawl writes to is the one fixed when it began.
    const std::string folder = m_recordsFolder.empty() ? GetSiteFolder() : m_recordsFolder;
    if (folder.empty() || name.empty())
        return {};
    return folder + kPathSeparator + NameToPath(name);
}

CExactNaming CSite::Naming() const {
    return CExactNaming{m_namingHost, m_namingPort, m_keysDefaultDocument};
}

std::string CSite::StoredUrl(const CUrl& address) {
    CUrl stored = address;
    // Credentials come from the site's settings, never from the copy's files.
    stored.user.clear();
    stored.password.clear();
    stored.fragment.clear();
    return stored.GetURL();
}

std::string CSite::NameToPath(std::string_view name) {
    std::string path(name);
    if (kPathSeparator != '/')
        std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

std::string CSite::ExactNameOf(const CUrl& address, LinkContext context,
                               std::uint64_t* keyHash) const {
    const CExactNaming naming = Naming();
    if (!m_nameTable.IsOpen())
        return ExactLocalName(address, naming,
                              PredictedType(address, context, m_keysDefaultDocument));
    const std::uint64_t hash = ExactKeyHash(address);
    if (keyHash != nullptr)
        *keyHash = hash;
    if (auto name = m_nameTable.LinkedName(hash))
        return std::move(*name);
    // The table gives the address back from its text: one that would read as another
    // (a server name holding "@" reads its first part as a user) gets no file.
    const std::string key = ExactKey(address);
    const std::string url = StoredUrl(address);
    const CUrl again(nullptr, url, kLinkFollowed, UrlReading::Exact);
    if (KeyOf(again, m_keysDefaultDocument) != key)
        return {};
    const TypedExtension predicted = PredictedType(address, context, m_keysDefaultDocument);
    return m_nameTable.Reserve(
        key, url, [&](int unique) { return ExactLocalName(address, naming, predicted, unique); });
}

std::string CSite::ExactLinkFrom(std::string_view pageName, const CUrl& target, LinkContext context,
                                 std::uint64_t* keyHash) const {
    const std::string to = ExactNameOf(target, context, keyHash);
    if (pageName.empty() || to.empty())
        return {};
    return RelativeLink(pageName, to, target.fragment);
}

std::string CSite::FetchPath(const CUrl& address) const {
    if (!m_keysExact || !m_nameTable.IsOpen())
        return GetLocalPath(address);
    const std::uint64_t hash = ExactKeyHash(address);
    if (m_nameTable.RedirectEnd(hash) == hash)
        return GetLocalPath(address);
    // It redirected last time: it has no file of its own until it answers with one.
    return ExactPath(ExactLocalName(
        address, Naming(), PredictedType(address, LinkContext::Other, m_keysDefaultDocument)));
}

std::string CSite::LocalPathForAnswer(const CUrl& address, std::string_view contentType) {
    // Without a type the answer says nothing against the name the links were given.
    if (contentType.empty() || !m_nameTable.IsOpen())
        return GetLocalPath(address);
    const CExactNaming naming = Naming();
    const TypedExtension type = TypeOfContent(contentType);
    // Mostly the answer is what the name says: then nothing changes.
    const std::string wanted = ExactLocalName(address, naming, type);
    const auto own = m_nameTable.Find(ExactKeyHash(address));
    if (own && own->redirect == 0 && own->name == wanted)
        return ExactPath(wanted);
    return ExactPath(m_nameTable.Rename(ExactKey(address), StoredUrl(address), [&](int unique) {
        return unique == 0 ? wanted : ExactLocalName(address, naming, type, unique);
    }));
}

bool CSite::NoteRedirect(const CUrl& from, const CUrl& to) {
    const std::uint64_t target = ExactKeyHash(to);
    if (!m_nameTable.IsOpen() || target == ExactKeyHash(from) ||
        ExactNameOf(to, LinkContext::Other).empty())
        return false;
    m_nameTable.SetRedirect(ExactKey(from), StoredUrl(from), target);
    // A loop of redirects leads nowhere: the address is stored as a stub instead.
    if (m_nameTable.RedirectEnd(target) == 0) {
        m_nameTable.Rename(ExactKey(from), StoredUrl(from), [&](int unique) {
            return ExactLocalName(from, Naming(), TypeOfContent("text/html"), unique);
        });
        return false;
    }
    return true;
}

bool CSite::LeadsToStoredFile(const CUrl& address) const {
    const std::uint64_t end = m_nameTable.RedirectEnd(ExactKeyHash(address));
    return end != 0 && m_nameTable.IsStored(end);
}

bool CSite::NeedsMending(const CIndexedLink& link, std::uint64_t written) const {
    return m_nameTable.NeedsMending(link.target, link.absolute, written);
}

void CSite::NoteStored(const CUrl& address) {
    if (m_nameTable.IsOpen())
        m_nameTable.MarkStored(ExactKey(address));
}

void CSite::IndexLinks(const CUrl& page, std::span<const CIndexedLink> links,
                       std::uint64_t written) {
    m_linkIndex.Put(ExactKeyHash(page), links, written);
}

bool CSite::QueueIndexedLinks(const CUrl& page, std::size_t& queued) {
    // A crawl that sends cookies reads each page's links itself: a logout link is known
    // by its text too, which the index does not keep.
    if (m_loginGuard.Active())
        return false;
    const auto links = m_linkIndex.Get(ExactKeyHash(page));
    if (!links)
        return false;
    std::vector<std::unique_ptr<CUrl>> addresses;
    addresses.reserve(links->size());
    for (const CIndexedLink& link : *links) {
        if (link.absolute)
            return false;
        const auto entry = m_nameTable.Find(link.target);
        if (!entry)
            return false;
        auto address = std::make_unique<CUrl>(
            &page, entry->url, link.followed ? kLinkFollowed : kLinkEmbedded, UrlReading::Exact);
        // Such a link is written out whole now: only a scan can write it so.
        if (RefusalOf(*address, m_pageRequisites && !link.followed) != LinkRefusal::None)
            return false;
        addresses.push_back(std::move(address));
    }
    for (auto& address : addresses)
        queued += AddPending(address) ? 1 : 0;
    return true;
}

std::size_t CSite::RequeueRedirectsOf(const CUrl& page, std::vector<CIndexedLink>& links) {
    if (!m_nameTable.AnyRedirect())
        return 0;
    std::size_t queued = 0;
    const std::size_t read = links.size();
    for (std::size_t i = 0; i < read; ++i) {
        const CIndexedLink link = links[i];
        if (link.absolute)
            continue;
        // Which of them the page named is not kept: each is asked about, once a crawl.
        for (const std::uint64_t source : m_nameTable.RedirectsTo(link.target)) {
            const auto entry = m_nameTable.Find(source);
            if (!entry)
                continue;
            links.push_back({source, false, link.followed});
            auto address = std::make_unique<CUrl>(&page, entry->url,
                                                  link.followed ? kLinkFollowed : kLinkEmbedded,
                                                  UrlReading::Exact);
            if (IsAllowed(*address, !link.followed) && AddPending(address))
                ++queued;
        }
    }
    return queued;
}

std::unique_ptr<CUrl> CSite::AddressOfName(std::string_view name, const CUrl& base,
                                           int kind) const {
    const auto url = m_nameTable.UrlOfName(name);
    if (!url)
        return nullptr;
    return std::make_unique<CUrl>(&base, *url, kind, UrlReading::Exact);
}

std::string CSite::StartPagePath() const {
    const std::string folder = GetSiteFolder();
    if (folder.empty())
        return {};
    if (!m_exactNames)
        return ClassicPathIn(folder, CUrl(nullptr, m_url, kLinkFollowed));
    const CUrl start(nullptr, m_url, kLinkFollowed, UrlReading::Exact);
    CNameTable table;
    table.Open(ToFsPath(folder) / kNameTableFile, true);
    const std::string name =
        table.LinkedName(CNameTable::KeyHash(KeyOf(start, m_defaultDocument))).value_or("");
    return name.empty() ? std::string() : folder + kPathSeparator + NameToPath(name);
}
