// A site's addresses under exact names: which local file each address holds, the links
// between those files, and what the copy keeps of them across crawls.

#include <algorithm>

#include "model/file_path.h"
#include "model/shared_text.h"
#include "model/site.h"

namespace {
// A redirect to a redirect is followed this far; a loop ends there too.
constexpr int kLongestRedirectChain = 8;

std::string KeyOf(const CUrl& address, std::string_view defaultDocument) {
    std::string key;
    key.reserve(address.host.size() + address.path.size() + address.file.size() +
                address.params.size() + address.query.size() + 12);
    key += address.host;
    key += ':';
    key += std::to_string(KeyPort(address));
    key += address.path;
    // A folder and its default document are one file.
    key += address.file.empty() ? defaultDocument : std::string_view(address.file);
    if (!address.params.empty()) {
        key += ';';
        key += address.params;
    }
    if (!address.query.empty()) {
        key += '?';
        key += address.query;
    }
    return key;
}

// The key hash of the address that an address's redirects end at; the same when it
// does not redirect, 0 when the chain is broken or goes round.
std::uint64_t RedirectEnd(const CNameTable& table, std::uint64_t hash) {
    for (int step = 0; step < kLongestRedirectChain; ++step) {
        const auto entry = table.Find(hash);
        if (!entry || entry->redirect == 0)
            return hash;
        hash = entry->redirect;
    }
    return 0;
}

// The name an address's redirects lead to; empty when it has none (yet).
std::string FollowRedirects(const CNameTable& table, std::uint64_t hash) {
    for (int step = 0; step < kLongestRedirectChain; ++step) {
        const auto entry = table.Find(hash);
        if (!entry)
            return {};
        if (entry->redirect == 0)
            return entry->name;
        hash = entry->redirect;
    }
    return {};
}
} // namespace

std::string CSite::ExactKey(const CUrl& address) const {
    return KeyOf(address, m_keysDefaultDocument);
}

std::uint64_t CSite::ExactKeyHash(const CUrl& address) const {
    return CNameTable::KeyHash(ExactKey(address));
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

std::string CSite::ExactNameOf(const CUrl& address, LinkContext context) const {
    const CExactNaming naming = Naming();
    const TypedExtension predicted = PredictedType(address, context, m_keysDefaultDocument);
    if (!m_nameTable.IsOpen())
        return ExactLocalName(address, naming, predicted);
    const std::string key = ExactKey(address);
    const std::uint64_t hash = CNameTable::KeyHash(key);
    if (const auto entry = m_nameTable.Find(hash)) {
        if (entry->redirect == 0 && !entry->name.empty())
            return entry->name;
        if (entry->redirect != 0)
            return FollowRedirects(m_nameTable, hash);
    }
    // The table gives the address back from its text: one that would read as another
    // (a server name holding "@" reads its first part as a user) gets no file.
    const std::string url = StoredUrl(address);
    const CUrl again(nullptr, url, kLinkFollowed, UrlReading::Exact);
    if (KeyOf(again, m_keysDefaultDocument) != key)
        return {};
    return m_nameTable.Reserve(
        key, url, [&](int unique) { return ExactLocalName(address, naming, predicted, unique); });
}

std::string CSite::ExactLink(const CUrl& page, const CUrl& target, LinkContext context) const {
    const std::string from = ExactNameOf(page, LinkContext::Page);
    const std::string to = ExactNameOf(target, context);
    if (from.empty() || to.empty())
        return {};
    return RelativeLink(from, to, target.fragment);
}

std::string CSite::FetchPath(const CUrl& address) const {
    if (!m_keysExact || !m_nameTable.IsOpen())
        return GetLocalPath(address);
    const auto entry = m_nameTable.Find(ExactKeyHash(address));
    if (!entry || entry->redirect == 0)
        return GetLocalPath(address);
    // It redirected last time: it has no file of its own until it answers with one.
    const std::string folder = GetSiteFolder();
    const std::string name = ExactLocalName(
        address, Naming(), PredictedType(address, LinkContext::Other, m_keysDefaultDocument));
    return folder.empty() || name.empty() ? std::string()
                                          : folder + kPathSeparator + NameToPath(name);
}

std::string CSite::LocalPathForAnswer(const CUrl& address, std::string_view contentType) {
    const std::string folder = GetSiteFolder();
    if (folder.empty())
        return {};
    // Without a type the answer says nothing against the name the links were given.
    if (contentType.empty() || !m_nameTable.IsOpen())
        return GetLocalPath(address);
    const CExactNaming naming = Naming();
    const TypedExtension type = TypeOfContent(contentType);
    const std::string name =
        m_nameTable.Rename(ExactKey(address), StoredUrl(address), [&](int unique) {
            return ExactLocalName(address, naming, type, unique);
        });
    return name.empty() ? std::string() : folder + kPathSeparator + NameToPath(name);
}

bool CSite::NoteRedirect(const CUrl& from, const CUrl& to) {
    const std::uint64_t target = ExactKeyHash(to);
    if (!m_nameTable.IsOpen() || target == ExactKeyHash(from) ||
        ExactNameOf(to, LinkContext::Other).empty())
        return false;
    m_nameTable.SetRedirect(ExactKey(from), StoredUrl(from), target);
    // A loop of redirects leads nowhere: the address is stored as a stub instead.
    if (RedirectEnd(m_nameTable, target) == 0) {
        m_nameTable.Rename(ExactKey(from), StoredUrl(from), [&](int unique) {
            return ExactLocalName(from, Naming(), TypeOfContent("text/html"), unique);
        });
        return false;
    }
    return true;
}

bool CSite::LeadsToStoredFile(const CUrl& address) const {
    const std::uint64_t end = RedirectEnd(m_nameTable, ExactKeyHash(address));
    return end != 0 && m_nameTable.IsStored(end);
}

bool CSite::NeedsMending(const CIndexedLink& link) const {
    std::uint64_t hash = link.target;
    for (int step = 0; step < kLongestRedirectChain; ++step) {
        if (m_nameTable.WasRenamed(hash))
            return true;
        const auto entry = m_nameTable.Find(hash);
        if (!entry)
            return false;
        if (entry->redirect == 0)
            return link.absolute && entry->stored;
        hash = entry->redirect;
    }
    return false;
}

void CSite::NoteStored(const CUrl& address) {
    if (m_nameTable.IsOpen())
        m_nameTable.MarkStored(ExactKey(address));
}

void CSite::IndexLinks(const CUrl& page, std::span<const CIndexedLink> links) {
    m_linkIndex.Put(ExactKeyHash(page), links);
}

std::size_t CSite::RequeueRedirectsOf(const CUrl& page, std::vector<CIndexedLink>& links) {
    std::size_t queued = 0;
    for (const CIndexedLink& link : m_linkIndex.Get(ExactKeyHash(page))) {
        if (link.absolute)
            continue;
        const auto entry = m_nameTable.Find(link.target);
        if (!entry || entry->redirect == 0)
            continue;
        links.push_back(link);
        auto address = std::make_unique<CUrl>(
            &page, entry->url, link.followed ? kLinkFollowed : kLinkEmbedded, UrlReading::Exact);
        if (IsAllowed(*address, !link.followed) && AddPending(address))
            ++queued;
    }
    return queued;
}

std::unique_ptr<CUrl> CSite::AddressOfName(std::string_view name, const CUrl& base,
                                           int kind) const {
    const auto holder = m_nameTable.HolderOf(name);
    if (!holder)
        return nullptr;
    const auto entry = m_nameTable.Find(*holder);
    if (!entry)
        return nullptr;
    return std::make_unique<CUrl>(&base, entry->url, kind, UrlReading::Exact);
}

std::string CSite::StartPagePath() const {
    const std::string sitesDir = g_strSitesDir.Get();
    const std::string folder = GetSiteFolder();
    if (sitesDir.empty() || folder.empty())
        return {};
    if (!m_exactNames)
        return CUrl(nullptr, m_url, kLinkFollowed)
            .GetLocalPath(CLocalNaming{sitesDir, m_name, m_defaultDocument});
    const CUrl start(nullptr, m_url, kLinkFollowed, UrlReading::Exact);
    CNameTable table;
    table.Open(ToFsPath(folder) / kNameTableFile, true);
    const std::string name =
        FollowRedirects(table, CNameTable::KeyHash(KeyOf(start, m_defaultDocument)));
    return name.empty() ? std::string() : folder + kPathSeparator + NameToPath(name);
}
