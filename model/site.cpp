#include "model/site.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "model/clock.h"
#include "model/delete_tree.h"
#include "model/file_path.h"
#include "model/leftover_files.h"
#include "model/shared_text.h"
#include "model/site_folder.h"
#include "model/site_group.h"
#include "model/status_bar.h"
#include "web/byte_text.h"
#include "web/site_name.h"

namespace {
template <typename T> void RaisePeak(std::atomic<T>& peak, T value) {
    T seen = peak.load(std::memory_order_relaxed);
    while (value > seen && !peak.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

template <typename T>
void Count(std::atomic<T>& interval, std::atomic<T>& peak, std::atomic<T>& total, T amount) {
    RaisePeak(peak, interval.fetch_add(amount, std::memory_order_relaxed) + amount);
    total.fetch_add(amount, std::memory_order_relaxed);
}

} // namespace

std::string SiteStateText(int state, bool paused) {
    switch (state) {
    case kSiteAborted:
        return "Aborted";
    case kSiteDone:
        return "Done";
    case kSiteQuarning:
        return paused ? "Paused" : "Quarning";
    case kSiteQueued:
        return "Queued";
    case kSiteReady:
        return "Ready";
    case kSiteFailed:
        return "Failed";
    default:
        return {};
    }
}

CSite::CSite(std::string name) : CSiteItem(std::move(name), kItemSite) {}

CSite::~CSite() = default;

void CSite::UseNewSiteDefaults() {
    m_exactNames = true;
    m_obeyRobots = true;
    m_pageRequisites = true;
    m_requisitesAnyServer = true;
    m_useBrowserCookies = true;
}

void CSite::OfferFreshCookies(std::string netscapeLines) {
    std::lock_guard lock(m_lock);
    m_freshCookies = std::move(netscapeLines);
}

void CSite::NoteLogoutNotFollowed(const std::string& address) {
    if (m_loginGuard.FirstLogoutNote(address))
        AddLog("Not following a logout link: " + address);
}

std::string CSite::TakeFreshCookies() {
    std::lock_guard lock(m_lock);
    return std::exchange(m_freshCookies, {});
}

void CSite::SetEndCookies(std::string netscapeLines) {
    std::lock_guard lock(m_lock);
    m_endCookies = std::move(netscapeLines);
}

std::string CSite::EndCookies() const {
    std::lock_guard lock(m_lock);
    return m_endCookies;
}

CSite::KnownKeyOf CSite::KnownKey(const CUrl& address, std::uint64_t exactKeyHash) const {
    if (m_keysExact)
        return {exactKeyHash != 0 ? exactKeyHash : ExactKeyHash(address), {}};
    KnownKeyOf known;
    std::string& key = known.text;
    key.reserve(address.host.size() + address.path.size() + address.file.size() + 2);
    if (m_keysNameHost) {
        key += address.host;
        key.push_back('\0');
    }
    AppendLowerAscii(key, address.path);
    key.push_back('\0');
    // A folder and its default document are one local file.
    AppendLowerAscii(key, address.file.empty() ? m_keysDefaultDocument : address.file);
    known.active = std::hash<std::string>{}(key);
    return known;
}

void CSite::FixKeyRules() {
    m_keysNameHost = m_pageRequisites;
    m_keysDefaultDocument = m_defaultDocument;
    m_keysExact = m_exactNames;
    const CUrl start(nullptr, m_url, kLinkFollowed, Reading());
    m_namingHost = start.host;
    m_namingPort = KeyPort(start);
}

void CSite::ForgetKnown(std::uint64_t active) {
    const auto entry = m_activeKeys.find(active);
    if (entry != m_activeKeys.end() && --entry->second == 0)
        m_activeKeys.erase(entry);
}

bool CSite::AddPending(std::unique_ptr<CUrl>& address, std::uint64_t exactKeyHash) {
    if (!address)
        return false;
    // The cheap test first: most links of a page name addresses already queued.
    const KnownKeyOf key = KnownKey(*address, exactKeyHash);
    const std::uint64_t active = key.active;
    {
        std::lock_guard lock(m_lock);
        if (m_activeKeys.contains(active) || HasEnded(*address, key))
            return false;
    }
    if (m_keysExact) {
        // No two addresses share a file, so the keys alone tell. One its caller hashed
        // has its name already: the caller wrote a link to it.
        if (exactKeyHash == 0 && GetLocalPath(*address).empty())
            return false;
    } else {
        // The file test runs without the lock, so that workers queueing links do not wait
        // on each other's disk access; the second look catches an address queued meanwhile.
        const std::string local = GetLocalPath(*address);
        if (local.empty() || StoredDuringCrawl(local))
            return false;
    }
    std::lock_guard lock(m_lock);
    if (m_activeKeys.contains(active) || HasEnded(*address, key))
        return false;
    ++m_activeKeys[active];
    m_pending.emplace_back(*address);
    address.reset();
    return true;
}

std::unique_ptr<CUrl> CSite::NextPending() {
    std::lock_guard lock(m_lock);
    if (m_pending.empty())
        return nullptr;
    std::unique_ptr<CUrl> head = m_pending.front().Unpack();
    m_pending.pop_front();
    m_inProgress.push_back(head.get());
    return head;
}

void CSite::MarkDone(const CUrl& address, bool ended, bool stored) {
    // Made before the lock is taken: the other workers need not wait for it.
    const KnownKeyOf key = KnownKey(address);
    {
        std::lock_guard lock(m_lock);
        // Known as ended before it stops being active, so that no other worker queues it
        // in between.
        if (ended)
            m_endedKeys.Insert(EndedKey(address, key));
        if (LeaveProgress(address))
            ForgetKnown(key.active);
        // The figures count files, not tries: a failure or a retry adds none.
        if (stored)
            Count(m_filesInterval, m_filesPeak, m_filesTotal, 1);
    }
    SetStatusBarText(address.GetURL());
}

bool CSite::LeaveProgress(const CUrl& address) {
    const auto entry = std::find(m_inProgress.begin(), m_inProgress.end(), &address);
    if (entry == m_inProgress.end())
        return false;
    m_inProgress.erase(entry);
    return true;
}

void CSite::Requeue(std::unique_ptr<CUrl> address, bool first) {
    const std::string shown = address->GetURL();
    bool requeued = false;
    {
        std::lock_guard lock(m_lock);
        if (LeaveProgress(*address)) {
            // Its active key stays counted.
            if (first)
                m_pending.emplace_front(*address);
            else
                m_pending.emplace_back(*address);
            requeued = true;
        }
    }
    if (requeued) {
        SetStatusBarText(shown);
        return;
    }
    // Not handed out by NextPending: it has to pass the usual test.
    MarkDone(*address);
    AddPending(address);
}

void CSite::AddError(const CUrl& address, int code, std::string reason) {
    std::string url = address.GetURL();
    m_changes.Count(FileChange::Failed, url, GetLocalPath(address));
    std::lock_guard lock(m_lock);
    m_errors.push_back(CErrorEntry{code, NowSeconds(), std::move(url), std::move(reason)});
    if (!m_firstError)
        m_firstError = m_errors.back();
    Count(m_errorsInterval, m_errorsPeak, m_errorsTotal, 1);
}

void CSite::AddLog(const std::string& text) {
    std::lock_guard lock(m_lock);
    if (!m_log.empty())
        m_log += "\r\r\n";
    m_log += FormatTimeOfDay(NowSeconds());
    m_log += "   ";
    m_log += text;
}

bool CSite::IsKnown(const CUrl& address) const {
    {
        const KnownKeyOf key = KnownKey(address);
        std::lock_guard lock(m_lock);
        if (m_activeKeys.contains(key.active) || HasEnded(address, key))
            return true;
    }
    if (m_keysExact)
        return false;
    const std::string local = GetLocalPath(address);
    return !local.empty() && StoredDuringCrawl(local);
}

std::uint64_t CSite::EndedKey(const CUrl& address, const KnownKeyOf& key) const {
    if (m_keysExact)
        return key.active;
    std::string text;
    text.reserve(address.host.size() + key.text.size() + 1);
    AppendLowerAscii(text, address.host);
    text.push_back('\0');
    text += key.text;
    return std::hash<std::string>{}(text);
}

bool CSite::HasEnded(const CUrl& address, const KnownKeyOf& key) const {
    return m_endedKeys.Size() != 0 && m_endedKeys.Contains(EndedKey(address, key));
}

bool CSite::StoredDuringCrawl(const std::string& local) const {
    std::error_code error;
    const auto modified = std::filesystem::last_write_time(ToFsPath(local), error);
    return !error && modified >= GetStartFileTime();
}

std::size_t CSite::PendingCount() const {
    std::lock_guard lock(m_lock);
    return m_pending.size();
}

std::size_t CSite::InProgressCount() const {
    std::lock_guard lock(m_lock);
    return m_inProgress.size();
}

std::vector<CErrorEntry> CSite::GetErrors() const {
    std::lock_guard lock(m_lock);
    return m_errors;
}

void CSite::ClearErrors() {
    std::lock_guard lock(m_lock);
    m_errors.clear();
}

std::string CSite::GetLog() const {
    std::lock_guard lock(m_lock);
    return m_log;
}

void CSite::ClearLog() {
    std::lock_guard lock(m_lock);
    m_log.clear();
}

void CSite::CompilePatterns() {
    CompileList(m_directoryPatterns, m_directories);
    CompileList(m_filePatterns, m_files);
    CompileList(m_serverPatterns, m_servers);
    m_urlPatterns.Compile(m_urls);
}

namespace {
// Include on: some pattern must match (an empty list refuses everything).
// Include off: no pattern may match.
bool PassesList(const CWildcardList& patterns, bool include, std::string_view subject) {
    const bool matched = std::any_of(patterns.begin(), patterns.end(),
                                     [&](const auto& pattern) { return pattern->Match(subject); });
    return include ? matched : !matched;
}
} // namespace

bool CSite::IsAllowed(const CUrl& address, bool requisite) const {
    return RefusalOf(address, requisite) == LinkRefusal::None;
}

// The depth rule comes after the rules about the address itself: the same refusal, but
// the reason does not then depend on which page the link was found on first.
LinkRefusal CSite::RefusalOf(const CUrl& address, bool requisite) const {
    const bool anyServer = requisite && m_pageRequisites && m_requisitesAnyServer;
    if (m_useServers && !(anyServer && m_includeServers) &&
        !PassesList(m_serverPatterns, m_includeServers, address.host))
        return LinkRefusal::OtherServer;
    if (m_useDirectory && !PassesList(m_directoryPatterns, m_includeDirectories, address.path))
        return LinkRefusal::Directory;
    if (m_useTypes && !PassesList(m_filePatterns, m_includeFiles, address.file))
        return LinkRefusal::FileName;
    if (m_useUrls && m_urlPatterns.Matches(address))
        return LinkRefusal::Excluded;
    // An address that cannot be stored inside the site's folder is never fetched.
    if (!address.HasSafeLocalPath())
        return LinkRefusal::Unstorable;
    if (m_useLevels && address.level > m_levels)
        return LinkRefusal::Depth;
    return RobotsAllow(address) ? LinkRefusal::None : LinkRefusal::Robots;
}

// Without a sites directory nothing is stored (unless the site has a folder of its own):
// the folder would otherwise land in the file system's root or the working directory.
std::string CSite::GetLocalPath(const CUrl& address) const {
    if (m_keysExact)
        return ExactPath(ExactNameOf(address, LinkContext::Other));
    return ClassicPathIn(GetSiteFolder(), address);
}

std::string CSite::ClassicPathIn(std::string_view folder, const CUrl& address) const {
    // The namer takes the folder as the one it sits in and its own name, and checks both.
    const auto separator = folder.find_last_of(kPathSeparator);
    if (folder.empty() || separator == std::string_view::npos)
        return {};
    const std::string_view parent = folder.substr(0, separator == 0 ? 1 : separator);
    return address.GetLocalPath(
        CLocalNaming{parent, folder.substr(separator + 1), m_defaultDocument});
}

int CSite::TreeImage() const {
    switch (m_state.load()) {
    case kSiteDone:
        return kImageSiteDone;
    case kSiteAborted:
        return kImageSiteAborted;
    case kSiteFailed:
        return kImageSiteFailed;
    default:
        return m_image;
    }
}

std::string CSite::GetSiteFolder() const {
    return SiteFolderOf(g_strSitesDir.Get(), m_name, m_useContentDirectory, m_contentDirectory);
}

void CSite::ForgetCrawlFolder() {
    std::lock_guard lock(m_lock);
    m_recordsFolder.clear();
}

void CSite::EraseContent() {
    const std::string folder = GetSiteFolder();
    if (!folder.empty())
        DeleteTree(ToFsPath(folder));
}

namespace {
// Why files cannot be stored in folder (made first when missing); empty when they can.
// A file is made and removed, since permissions alone do not tell (a read-only mount, a
// full quota, an ACL).
std::string UnwritableFolderReason(const std::string& folder) {
    if (folder.empty())
        return {};
    const std::filesystem::path path = ToFsPath(folder);
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        return error.message();
    const std::filesystem::path probe = path / ".quarn-write-test";
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        if (!out)
            return std::error_code(errno, std::generic_category()).message();
    }
    std::filesystem::remove(probe, error);
    return {};
}

// A local path's key in the records: its part inside the site's folder, so that a copy
// moved with its folder keeps its records.
std::string_view RecordKey(std::string_view localPath, std::string_view folder) {
    if (localPath.size() > folder.size() && localPath.starts_with(folder))
        localPath.remove_prefix(folder.size());
    return localPath;
}
} // namespace

std::optional<CCopyRecord> CSite::FindCopyRecord(const std::string& localPath,
                                                 std::filesystem::file_time_type modified) const {
    auto record = m_copyRecords.Find(RecordKey(localPath, m_recordsFolder));
    if (!record || modified.time_since_epoch().count() != record->fileTicks)
        return std::nullopt;
    return record;
}

void CSite::RecordCopy(const std::string& localPath, CCopyRecord record) {
    m_copyRecords.Put(RecordKey(localPath, m_recordsFolder), std::move(record));
}

std::string CSite::ServerKey(const CUrl& address) {
    return address.host + ":" + std::to_string(PortOf(address));
}

bool CSite::RobotsKnown(const std::string& server) const {
    std::lock_guard lock(m_lock);
    const auto entry = m_robots.find(server);
    return entry != m_robots.end() && entry->second.has_value();
}

bool CSite::ClaimRobots(const std::string& server) {
    std::lock_guard lock(m_lock);
    return m_robots.try_emplace(server).second;
}

void CSite::SetRobots(const std::string& server, CRobotsRules rules) {
    std::lock_guard lock(m_lock);
    m_robots[server] = std::move(rules);
}

void CSite::ReleaseRobots(const std::string& server) {
    std::lock_guard lock(m_lock);
    const auto entry = m_robots.find(server);
    if (entry != m_robots.end() && !entry->second)
        m_robots.erase(entry);
}

bool CSite::RobotsAllow(const CUrl& address) const {
    if (!m_obeyRobots || (address.scheme != "http" && address.scheme != "https"))
        return true;
    std::lock_guard lock(m_lock);
    const auto rules = m_robots.find(ServerKey(address));
    if (rules == m_robots.end() || !rules->second ||
        rules->second->Allows("/" + address.GetObjectName()))
        return true;
    m_robotsRefused += 1;
    return false;
}

void CSite::NoteHeadRefused(const std::string& server) {
    std::lock_guard lock(m_lock);
    if (std::find(m_headRefused.begin(), m_headRefused.end(), server) == m_headRefused.end())
        m_headRefused.push_back(server);
}

bool CSite::HeadRefused(const std::string& server) const {
    std::lock_guard lock(m_lock);
    return std::find(m_headRefused.begin(), m_headRefused.end(), server) != m_headRefused.end();
}

bool CSite::RequestStop(const std::string& reason) {
    std::lock_guard lock(m_lock);
    if (!m_stopRequest.empty())
        return false;
    m_stopRequest = reason;
    return true;
}

std::string CSite::StopRequest() const {
    std::lock_guard lock(m_lock);
    return m_stopRequest;
}

std::string CSite::FolderProblem() const {
    const std::string reason = UnwritableFolderReason(m_recordsFolder);
    return reason.empty() ? std::string() : "Cannot write to " + m_recordsFolder + ": " + reason;
}

void CSite::ResetForQueue(bool fetchMissingOnly) {
    m_fetchMissingOnly = fetchMissingOnly;
    m_offlineCheck.Clear();
    m_scriptQueue.Clear();
    {
        std::lock_guard lock(m_lock);
        m_pending.clear();
        m_inProgress.clear();
        m_activeKeys.clear();
        m_endedKeys.Clear();
        FixKeyRules();
        m_errors.clear();
        m_firstError.reset();
        m_log.clear();
    }
    for (auto* counter : {&m_errorsInterval, &m_filesInterval, &m_errorsTotal, &m_filesTotal})
        counter->store(0);
    m_bytesInterval = 0;
    m_bytesTotal = 0;
    // A chart scaled by the peak starts with a range of 5.
    m_bytesPeak = 5;
    m_errorsPeak = 5;
    m_filesPeak = 5;
    m_speedHistory.Clear();
    m_startTime = 0;
    m_startFileTicks = 0;
    m_endTime = 0;
    m_pausedSeconds = 0;
    m_pausedSince = 0;
    m_state = kSiteQueued;
}

void CSite::SetStartTime(std::filesystem::file_time_type start) {
    m_startFileTicks = start.time_since_epoch().count();
    m_startTime = FileTimeSeconds(start);
}

std::filesystem::file_time_type CSite::GetStartFileTime() const {
    return std::filesystem::file_time_type(
        std::filesystem::file_time_type::duration(m_startFileTicks.load()));
}

void CSite::StartCrawl() {
    CompilePatterns();
    m_image = kImageSiteCrawled;
    SetStartTime(FileClockCrawlStart());
    {
        std::lock_guard lock(m_lock);
        if (m_activeKeys.empty())
            FixKeyRules();
    }
    m_endTime = 0;
    m_pausedSeconds = 0;
    m_pausedSince = 0;
    m_state = kSiteQuarning;
    // Fetching what is missing works on the copy there is.
    if (!m_downloadChanges && !m_fetchMissingOnly) {
        AddLog("Erasing existing content...");
        EraseContent();
    }
    {
        std::lock_guard lock(m_lock);
        m_endedKeys.Clear();
        m_headRefused.clear();
        m_robots.clear();
        m_robotsRefused = 0;
        m_stopRequest.clear();
        m_firstError.reset();
        m_recordsFolder = GetSiteFolder();
        m_endCookies.clear();
    }
    m_loginGuard.Begin(!m_startCookies.empty());
    // The start page's host holds the login, whatever hosts the cookies name.
    m_loginGuard.AddLoginDomain(CUrl(nullptr, m_url, kLinkFollowed).host, false);
    m_stopReason.clear();
    if (const std::string unsafe = UnsafeSiteNameReason(m_name);
        FolderFollowsName() && !unsafe.empty()) {
        // Its files would have no folder: the crawl would end Done with nothing stored.
        m_stopReason = "Cannot store the site: " + unsafe;
    } else if (m_useContentDirectory && m_recordsFolder.empty()) {
        m_stopReason = "Cannot store the site: " + m_contentDirectory + " cannot hold a copy";
    } else if (const std::string reason = UnwritableFolderReason(m_recordsFolder);
               !reason.empty()) {
        m_stopReason = "Cannot write to " + m_recordsFolder + ": " + reason;
    }
    if (!m_stopReason.empty()) {
        AddLog(m_stopReason);
        AddError(CUrl(nullptr, m_url, kLinkFollowed), kErrorNotStored, m_stopReason);
        SetStatusBarText(m_stopReason);
        m_copyRecords.Open({});
        m_changes.Begin({});
        return;
    }
    m_linksMended = false;
    if (m_keysExact) {
        m_nameTable.Open(ToFsPath(m_recordsFolder) / kNameTableFile);
        m_linkIndex.Open(ToFsPath(m_recordsFolder) / kLinkIndexFile);
    }
    if (!m_recordsFolder.empty())
        BeginCrawlMark(ToFsPath(m_recordsFolder));
    m_copyRecords.Open(m_recordsFolder.empty() ? std::filesystem::path()
                                               : ToFsPath(m_recordsFolder) / kCopyRecordsFile);
    m_changes.Begin(m_recordsFolder.empty() ? std::filesystem::path()
                                            : ToFsPath(m_recordsFolder) / kCrawlChangesFile);
    auto start = std::make_unique<CUrl>(nullptr, m_url, kLinkFollowed, Reading());
    start->user = m_id;
    start->password = m_password;
    AddPending(start);
    AddLog("Started");
    if (m_fetchMissingOnly)
        AddLog("Fetching only the files the copy lacks; the others are read from disk");
    SetStatusBarText("Quarning " + m_name);
}

void CSite::FinishCrawl() {
    CloseCrawl(false);
}

void CSite::CloseCrawl(bool stopped) {
    // Without its records the next update still works, only with more requests.
    m_copyRecords.Close();
    if (const int refused = m_robotsRefused.load())
        AddLog("Refused by robots.txt: " + std::to_string(refused) + " links");
    m_changes.End();
    AddLog(FormatChangeTally(m_changes.Tally()));
    if (!m_recordsFolder.empty() && m_stopReason.empty())
        EndCrawlMark(ToFsPath(m_recordsFolder));
    if (m_stopReason.empty())
        ReportOfflineCheck();
    if (m_nameTable.IsOpen()) {
        m_linkIndex.Close();
        // Names the links may still use stay until a crawl has mended them.
        m_nameTable.Close(m_linksMended.load());
    }
    const std::int64_t now = NowSeconds();
    EndPause(now);
    m_endTime = now;
    // Every request failing (no server, a wrong address) must not read as success.
    const bool failed = !stopped && m_filesTotal.load() == 0 && m_errorsTotal.load() > 0;
    m_image = kImageSiteCrawled;
    m_state = stopped ? kSiteAborted : failed ? kSiteFailed : kSiteDone;
    AddLog("Finished");
    if (failed)
        SetStatusBarText(FailureText());
}

std::string CSite::FailureText() const {
    std::lock_guard lock(m_lock);
    if (!m_firstError)
        return {};
    const CErrorEntry& entry = *m_firstError;
    std::string what = ErrorDescription(entry);
    if (entry.code > 0 && entry.reason.empty())
        what = std::to_string(entry.code) + " " + what;
    const CUrl address(nullptr, entry.address, kLinkFollowed);
    const std::string server = address.host.empty() ? std::string() : ServerKey(address);
    // Whatever was asked first (robots.txt, say), nobody listening is the one thing to say.
    if (entry.code == kErrorCannotConnect && !server.empty())
        return "Failed: Cannot connect to " + server;
    return "Failed: " + what + (server.empty() ? std::string() : " (" + server + ")");
}

void CSite::BeginPause(std::int64_t now) {
    std::int64_t none = 0;
    m_pausedSince.compare_exchange_strong(none, std::max<std::int64_t>(now, 1));
}

void CSite::EndPause(std::int64_t now) {
    const std::int64_t since = m_pausedSince.exchange(0);
    if (since != 0)
        m_pausedSeconds += std::max<std::int64_t>(0, now - since);
}

std::int64_t CSite::PausedSeconds(std::int64_t now) const {
    const std::int64_t since = m_pausedSince.load();
    return m_pausedSeconds.load() + (since != 0 ? std::max<std::int64_t>(0, now - since) : 0);
}

void CSite::ReportOfflineCheck() {
    {
        // Only a stop leaves addresses here; a copy from an earlier crawl still serves
        // their links.
        std::lock_guard lock(m_lock);
        for (const CPackedAddress& packed : m_pending) {
            const std::unique_ptr<CUrl> address = packed.Unpack();
            const std::string local = GetLocalPath(*address);
            std::error_code error;
            if (local.empty() || !std::filesystem::exists(ToFsPath(local), error))
                m_offlineCheck.NoteMissing(MissingReason::Stopped, address->GetURL());
        }
    }
    for (const std::string& line : m_offlineCheck.ReportLines())
        AddLog(line);
}

void CSite::Stop() {
    CloseCrawl(true);
    const std::string request = StopRequest();
    SetStatusBarText(!m_stopReason.empty() ? m_stopReason
                     : !request.empty()    ? request
                                           : "Stopped " + m_name);
}

void CSite::AddBytes(std::int64_t count) {
    Count(m_bytesInterval, m_bytesPeak, m_bytesTotal, count);
}

void CSite::TakeBackBytes(std::int64_t count) {
    m_bytesTotal.fetch_sub(count, std::memory_order_relaxed);
}

void CSite::SampleSpeed() {
    const std::int64_t bytes = m_bytesInterval.exchange(0);
    m_speedHistory.Add(static_cast<int>((bytes * 1000 / 500) >> 10));
    m_errorsInterval = 0;
    m_filesInterval = 0;
}
