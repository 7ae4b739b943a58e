// A site's addresses under exact names: which local file each address holds, the links
// between those files, and what the copy keeps of them across crawls.

#include <algorithm>

#include "model/file_path.h"
#include "model/shared_text.h"
#include "model/site.h"

namespace {
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

std::string CSite::ExactNameOf(const CUrl& address, LinkContext context,
                               std::uint64_t* keyHash) const {
    const CExactNaming naming = Naming();
    const TypedExtension predicted = PredictedType(address, context, m_keysDefaultDocument);
    if (!m_nameTable.IsOpen())
        return ExactLocalName(address, naming, predicted);
    const std::string key = ExactKey(address);
    const std::uint64_t hash = CNameTable::KeyHash(key);
    if (keyHash != nullptr)
        *keyHash = hash;
    if (auto name = m_nameTable.LinkedName(hash))
        return std::move(*name);
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
    return ExactLinkFrom(ExactNameOf(page, LinkContext::Page), target, context);
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

bool CSite::NeedsMending(const CIndexedLink& link) const {
    return m_nameTable.NeedsMending(link.target, link.absolute);
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
        table.LinkedName(CNameTable::KeyHash(KeyOf(start, m_defaultDocument))).value_or("");
    return name.empty() ? std::string() : folder + kPathSeparator + NameToPath(name);
}
