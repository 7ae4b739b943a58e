#pragma once
// CSite: one mirroring job. Its settings are plain members that the site dialog edits
// on the user-interface thread; its crawl state (pending and in-progress addresses,
// errors, log) sits behind one re-entrant lock, because the controller, every worker
// and the views use it at once. Counters that workers bump without the lock are atomic.
//
// Ownership: the site owns its pending addresses. NextPending hands the head to a
// worker, which owns it from then on; the in-progress list only points at it until
// MarkDone. The worker gives it back with Requeue (a retry) or deletes it.

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/address_pattern.h"
#include "model/copy_records.h"
#include "model/crawl_changes.h"
#include "model/error_entry.h"
#include "model/key_set.h"
#include "model/link_index.h"
#include "model/login_guard.h"
#include "model/name_table.h"
#include "model/offline_check.h"
#include "model/packed_address.h"
#include "model/script_queue.h"
#include "model/site_item.h"
#include "model/speed_history.h"
#include "model/wildcard.h"
#include "web/exact_name.h"
#include "web/robots_rules.h"
#include "web/url.h"

class CSiteGroup;
class CXMLElement;

// Site states, as stored in the state field.
inline constexpr int kSiteAborted = 1;
inline constexpr int kSiteDone = 2;
inline constexpr int kSiteQuarning = 3;
inline constexpr int kSiteQueued = 4;
inline constexpr int kSiteReady = 5;
// Ended with no file stored and at least one address failed: nothing was reached.
inline constexpr int kSiteFailed = 6;

// Images of a site in the sites tree.
inline constexpr int kImageSiteNew = 0;
inline constexpr int kImageSiteDone = 5;
inline constexpr int kImageSiteCrawled = 8;
inline constexpr int kImageSiteAborted = 10;
inline constexpr int kImageSiteFailed = 13;

// What SCRIPT_TIME may hold, in seconds.
inline constexpr int kMinScriptSeconds = 1;
inline constexpr int kMaxScriptSeconds = 600;

// The word the status list shows for a state ("Paused" for a crawling site while the
// controller is paused).
std::string SiteStateText(int state, bool paused);

class CSite : public CSiteItem {
public:
    explicit CSite(std::string name);
    ~CSite() override;

    // The settings a site made now starts with, where they differ from what a project
    // file without them means.
    void UseNewSiteDefaults();

    // --- Settings: the project file's keys, in camel case (NAME is m_name). ---
    std::string m_url;
    std::string m_id;
    std::string m_password;
    std::string m_defaultDocument = "index.htm";
    std::string m_contentDirectory;
    // Whether the copy goes to CONTENT_DIRECTORY; otherwise to the sites directory and
    // the name, as in projects saved before the folder could be chosen.
    bool m_useContentDirectory = false;
    bool m_downloadChanges = true;
    bool m_new = true;
    int m_workers = 1;
    int m_connectionTimeout = 30; // seconds
    int m_requestTimeout = 30;    // seconds
    int m_retries = 3;
    bool m_useLevels = false;
    int m_levels = 1;
    bool m_useServers = false;
    bool m_includeServers = true;
    std::string m_servers;
    bool m_useDirectory = false;
    bool m_includeDirectories = true;
    std::string m_directories;
    bool m_useTypes = false;
    bool m_includeFiles = true;
    std::string m_files;
    // Addresses left out by a pattern over their whole text, query included; unlike the
    // lists above, always an exclude list.
    bool m_useUrls = false;
    std::string m_urls;
    bool m_useSizes = false;
    int m_fileMin = 0;   // bytes
    int m_fileMax = 256; // bytes
    bool m_useSpace = false;
    std::int64_t m_spaceMax = 100; // bytes
    bool m_useTime = false;
    int m_timeMax = 60;
    bool m_removeLinks = false;
    std::string m_userAgent;
    // Fetch what pages need to display (scripts, style sheets and what they load,
    // frames, responsive images, media). Off when a project file does not say, so that
    // sites saved before crawl as they did.
    bool m_pageRequisites = false;
    // With m_pageRequisites: a page's embedded files come from any server, even when
    // the site is restricted to its own.
    bool m_requisitesAnyServer = true;
    // Ask HEAD before every GET, and decide on its answer whether to transfer, instead of
    // one (conditional) GET per file; for servers that mishandle conditional requests.
    bool m_headProbe = false;
    // Read each server's robots.txt and keep off what it disallows, at its Crawl-delay.
    // Off when a project file does not say, so that sites saved before crawl as they did.
    bool m_obeyRobots = false;
    // Keep every address apart: the query, a last name without a dot, the port and letter
    // case each make another file, and names get the extension of what they hold. Off
    // when a project file does not say, so that sites saved before keep their layout.
    bool m_exactNames = false;
    // The window logs in with its browser pane and hands that pane's cookies to the crawl.
    // Off when a project file does not say; the model only keeps it.
    bool m_useBrowserCookies = false;
    // Run each stored page's scripts in a browser and fetch what they load (search
    // indexes, fetched data, lazy images, modules, workers). Off unless a project says.
    bool m_runScripts = false;
    // Store a page as the browser shows it once its scripts ran, instead of the server's
    // HTML; it runs the scripts too.
    bool m_snapshotPages = false;
    // How long one page's scripts may run, in seconds (kMinScriptSeconds to kMaxScriptSeconds).
    int m_scriptTime = 5;
    bool RunsScripts() const { return m_runScripts || m_snapshotPages; }

    CSiteGroup* m_group = nullptr;

    // --- Login (runtime only, never saved) ---
    // Cookies the next crawl starts with, as Netscape cookies.txt text (domain, subdomains
    // TRUE/FALSE, path, secure TRUE/FALSE, expiry, name, value, tab-separated; a
    // "#HttpOnly_" prefix allowed). Text that is not empty, even a comment alone, gives
    // the crawl a cookie jar that keeps what servers set; empty text sends no cookies.
    // Set before the site is started.
    void SetStartCookies(std::string netscapeLines) { m_startCookies = std::move(netscapeLines); }
    const std::string& StartCookies() const { return m_startCookies; }
    // Cookies of a new login, given while the crawl is paused for an expired one; the
    // crawl takes them when it resumes (locked).
    void OfferFreshCookies(std::string netscapeLines);
    std::string TakeFreshCookies();
    // The jar as the latest crawl left it, in the same form; empty without a jar.
    void SetEndCookies(std::string netscapeLines);
    std::string EndCookies() const;
    // Header lines ("Name: value") every request of the next crawl carries.
    void SetRequestHeaders(std::vector<std::string> headers) {
        m_requestHeaders = std::move(headers);
    }
    const std::vector<std::string>& RequestHeaders() const { return m_requestHeaders; }
    // Whether the crawl sends cookies, and whether its login expired; when it did, the
    // crawl stopped with StopRequest() saying so.
    CLoginGuard& LoginGuard() { return m_loginGuard; }
    const CLoginGuard& LoginGuard() const { return m_loginGuard; }
    // Logs, the first time in this crawl, that a logout address is not followed.
    void NoteLogoutNotFollowed(const std::string& address);

    // The image the sites tree shows: how the latest crawl ended for a site at rest, else
    // the site's own image (a blink phase while it runs).
    int TreeImage() const;

    // --- Project file ---
    // A new SITE element holding every setting, in the file's order.
    std::unique_ptr<CXMLElement> WriteSettings() const;
    // Takes the settings a SITE element holds; missing keys keep their values.
    void ReadSettings(const CXMLElement& element);
    // How the latest crawl ended (state, times and totals), added to a SITE element of the
    // project file so that a reopened project shows it; nothing for a site never crawled.
    void WriteLastCrawl(CXMLElement& element) const;
    // Takes what WriteLastCrawl stored. A crawl that was still running when saved reads as
    // stopped; without the keys the site stays as never crawled.
    void ReadLastCrawl(const CXMLElement& element);

    // --- Crawl lists (locked) ---
    // Takes the address unless it is already known or cannot be stored safely; on
    // refusal the pointer is left with the caller.
    // exactKeyHash: the address's ExactKeyHash when the caller has named it already (it
    // wrote a link to it), else 0.
    bool AddPending(std::unique_ptr<CUrl>& address, std::uint64_t exactKeyHash = 0);
    // The head of pending, now in progress and owned by the caller; null when empty.
    std::unique_ptr<CUrl> NextPending();
    // Takes the address out of progress; shows it in the status bar. An address that
    // ended (stored, refused, or failed for the last time) stays known for the rest of
    // the crawl; one that is to be tried again does not. stored: it ended with its file
    // in the copy, and counts among the files.
    void MarkDone(const CUrl& address, bool ended = false, bool stored = false);
    // MarkDone and back to the end of pending (to the front with first), to be tried
    // again, in one step: the address stays known throughout, so no worker queues a fresh
    // copy of it meanwhile (which would try it more often than the retries allow).
    void Requeue(std::unique_ptr<CUrl> address, bool first = false);
    // reason: what happened, when the code alone does not say (see CErrorEntry). The
    // address also counts as failed in the crawl's changes.
    void AddError(const CUrl& address, int code, std::string reason = {});
    void AddLog(const std::string& text);
    // Pending, in progress, ended, or stored during this crawl (path and file compared
    // without regard to letter case).
    bool IsKnown(const CUrl& address) const;

    std::size_t PendingCount() const;
    std::size_t InProgressCount() const;
    std::vector<CErrorEntry> GetErrors() const;
    void ClearErrors();
    std::string GetLog() const;
    void ClearLog();

    // --- Crawl rules ---
    // Rebuilds the pattern lists from SERVERS, DIRECTORIES, FILES and URLS.
    void CompilePatterns();
    // The admission test for a link found on a page. A requisite (a file the page embeds)
    // may come from a server outside the site's list when the site fetches requisites
    // from any server; a server the list excludes stays excluded.
    bool IsAllowed(const CUrl& address, bool requisite = false) const;
    // The same test, saying which rule refused; LinkRefusal::None when admitted.
    LinkRefusal RefusalOf(const CUrl& address, bool requisite = false) const;

    // --- Local copy ---
    // The local file of an address of this site; empty when it would leave the site's
    // folder or when no sites directory is set.
    std::string GetLocalPath(const CUrl& address) const;
    // The chosen content directory, or sites directory / name; empty when the name
    // cannot be a folder name or when no sites directory is set.
    std::string GetSiteFolder() const;
    // Whether the folder follows the name (and moves when the site is renamed).
    bool FolderFollowsName() const { return !m_useContentDirectory; }
    // The local file of an address with classic names, in the given site folder.
    std::string ClassicPathIn(std::string_view folder, const CUrl& address) const;
    // Called when the site's folder changed (a rename, a new directory) after a crawl, so
    // that nothing goes on using the folder the last crawl wrote to.
    void ForgetCrawlFolder();
    // Deletes the site's folder with everything below it.
    void EraseContent();
    // What the server said of a local file when it was stored (kept across crawls in the
    // site's folder); nothing when the file, whose time is modified, has no record or
    // changed since.
    std::optional<CCopyRecord> FindCopyRecord(const std::string& localPath,
                                              std::filesystem::file_time_type modified) const;
    void RecordCopy(const std::string& localPath, CCopyRecord record);

    // --- Exact names (EXACT_NAMES), fixed for a crawl when it is queued ---
    bool ExactNames() const { return m_keysExact; }
    // How addresses are read: a last name without a dot is a file with exact names.
    UrlReading Reading() const { return m_keysExact ? UrlReading::Exact : UrlReading::Classic; }
    // An address's canonical text: server and key port, path, file (the default document
    // for a folder), parameters and query, letter case kept.
    std::string ExactKey(const CUrl& address) const;
    // The name of the address's file relative to the site's folder, given now (as the
    // context predicts) when it has none; a redirect's is its target's. Empty when the
    // address cannot be stored.
    // keyHash, when given, receives the address's key hash.
    std::string ExactNameOf(const CUrl& address, LinkContext context,
                            std::uint64_t* keyHash = nullptr) const;
    // The link from the file of a page, named pageName as ExactNameOf gives it, to
    // target's file.
    std::string ExactLinkFrom(std::string_view pageName, const CUrl& target, LinkContext context,
                              std::uint64_t* keyHash = nullptr) const;
    // The local path a fetch of the address starts from: its own file, never the one its
    // redirect leads to.
    std::string FetchPath(const CUrl& address) const;
    // The local path the answer's content type calls for; the address is renamed when its
    // name said otherwise, and the links written with the old name are mended at the end.
    std::string LocalPathForAnswer(const CUrl& address, std::string_view contentType);
    // Links to from lead to to's file from now on; false when they cannot (to cannot be
    // named, or is from itself).
    bool NoteRedirect(const CUrl& from, const CUrl& to);
    void NoteStored(const CUrl& address);
    // written: the name table's epoch when the scan that found the links began.
    void IndexLinks(const CUrl& page, std::span<const CIndexedLink> links, std::uint64_t written);
    // An unchanged page's links, queued from the link index instead of a scan of the
    // page; false, with nothing queued, when the index cannot stand for the scan: it has
    // no line for the page, or the page links an address written out whole, one the name
    // table cannot give back, or one the rules now refuse; always false in a crawl that
    // sends cookies, whose pages are scanned for logout links.
    bool QueueIndexedLinks(const CUrl& page, std::size_t& queued);
    // A page read back from the copy links the files its links lead to: the addresses
    // that redirect to those are queued again (a redirect may change) and added to links.
    // Returns how many were queued.
    std::size_t RequeueRedirectsOf(const CUrl& page, std::vector<CIndexedLink>& links);
    // The address a stored page's local link stands for, given the name of the file it
    // leads to; null when the copy knows no such name.
    std::unique_ptr<CUrl> AddressOfName(std::string_view name, const CUrl& base, int kind) const;
    std::uint64_t ExactKeyHash(const CUrl& address) const;
    // Whether the address, or what it redirects to, has a file in the copy.
    bool LeadsToStoredFile(const CUrl& address) const;
    // Whether a link the index holds, written at the name table's epoch written, leads
    // elsewhere than where it was written to: its target (or a step of its redirects) was
    // renamed since, or it was written as an address and the copy has the file now.
    bool NeedsMending(const CIndexedLink& link, std::uint64_t written) const;
    CNameTable& NameTable() { return m_nameTable; }
    CLinkIndex& LinkIndex() { return m_linkIndex; }
    // Every link the index knows leads where it should: former names can go.
    void SetLinksMended() { m_linksMended = true; }
    // The path of a name in the site's folder; empty for an empty name.
    std::string ExactPath(std::string_view name) const;
    // A name relative to the site's folder as a path with the platform's separators.
    static std::string NameToPath(std::string_view name);
    // The stored start page, for viewing the copy; empty when there is none.
    std::string StartPagePath() const;

    // "host:port" of an address, the port always as a number.
    static std::string ServerKey(const CUrl& address);
    // robots.txt, read once per server and crawl. ClaimRobots is true for the one caller
    // that is to read it; the others wait until SetRobots.
    bool RobotsKnown(const std::string& server) const;
    bool ClaimRobots(const std::string& server);
    void SetRobots(const std::string& server, CRobotsRules rules);
    // Gives up a claim whose reading failed: the next caller claims the file again.
    void ReleaseRobots(const std::string& server);
    // False when the site obeys robots.txt and the address's server, read already,
    // disallows it; every such answer counts in the log's tally.
    bool RobotsAllow(const CUrl& address) const;

    // Servers ("host:port") that refused a HEAD request during this crawl.
    void NoteHeadRefused(const std::string& server);
    bool HeadRefused(const std::string& server) const;

    // The stored pages whose scripts wait to be run in this crawl.
    CScriptQueue& ScriptQueue() { return m_scriptQueue; }
    const CScriptQueue& ScriptQueue() const { return m_scriptQueue; }

    // What this crawl changed in the local copy (the latest crawl's, once it ended).
    CCrawlChanges& Changes() { return m_changes; }
    const CCrawlChanges& Changes() const { return m_changes; }

    // --- Lifecycle and statistics ---
    // Clears the crawl lists for a new crawl; fetchMissingOnly makes it one that asks the
    // server only for files the copy lacks and reads the others back from disk.
    void ResetForQueue(bool fetchMissingOnly = false);
    bool FetchesMissingOnly() const { return m_fetchMissingOnly.load(); }
    // How complete the crawl leaves the offline copy; reported in the log at its end.
    COfflineCheck& OfflineCheck() { return m_offlineCheck; }
    // Begins a crawl: compiles the patterns, stamps the start, erases the stored copy when
    // DOWNLOAD_CHANGES is off, queues the start address and logs "Started". When the
    // site's folder cannot be made or written, or its name cannot be a folder's, nothing
    // is queued, StopReason says why and the start address is entered as an error.
    void StartCrawl();
    // "Cannot write to <folder>: <reason>" or "Cannot store the site: <why>" when the
    // crawl could not begin; else empty.
    const std::string& StopReason() const { return m_stopReason; }
    // Asks for the crawl to be stopped (a worker found it cannot go on: a server stayed
    // busy); the controller stops it at its next turn. The first reason holds; true for
    // the call that set it.
    bool RequestStop(const std::string& reason);
    std::string StopRequest() const;
    // The same text when the site's folder cannot be written now (made again when it
    // vanished); empty when it can.
    std::string FolderProblem() const;
    // Sets the crawl's start moment (seconds for display, file-clock precision for the
    // file tests).
    void SetStartTime(std::filesystem::file_time_type start);
    std::filesystem::file_time_type GetStartFileTime() const;
    // Ends the crawl as Done, or as Failed when it stored nothing and some address failed;
    // a failed crawl shows FailureText in the status bar.
    void FinishCrawl();
    void Stop();
    // "Failed: <what went wrong first> (<host:port>)", or "Failed: Cannot connect to
    // <host:port>" when nobody listened there; empty when no address failed.
    std::string FailureText() const;
    // The controller's pause, as it covers this site's crawl; now is calendar seconds.
    // Paused time does not count as the crawl's running time.
    void BeginPause(std::int64_t now);
    void EndPause(std::int64_t now);
    // Seconds the crawl has spent paused up to now (or up to its end, once it ended).
    std::int64_t PausedSeconds(std::int64_t now) const;
    // The crawl's byte figures count the decoded bytes of the files it stores, as they
    // arrive. Not locked: workers call it per received piece.
    void AddBytes(std::int64_t count);
    // Takes back from the total the bytes of a body that was not kept after all (it
    // failed, was cut, or a limit refused it); the speed figures keep them, as they
    // did arrive.
    void TakeBackBytes(std::int64_t count);
    // Adds a speed sample (kilobytes per second over a 500 ms interval) and clears the
    // interval counters. Runs on the user-interface thread.
    void SampleSpeed();

    std::atomic<int> m_state{kSiteReady};
    std::atomic<std::int64_t> m_startTime{0}; // calendar seconds; 0 = never
    std::atomic<std::int64_t> m_endTime{0};
    std::atomic<std::int64_t> m_bytesTotal{0};
    std::atomic<int> m_errorsTotal{0};
    std::atomic<int> m_filesTotal{0};
    std::atomic<std::int64_t> m_bytesInterval{0};
    std::atomic<int> m_errorsInterval{0};
    std::atomic<int> m_filesInterval{0};
    std::atomic<std::int64_t> m_bytesPeak{0};
    std::atomic<int> m_errorsPeak{0};
    std::atomic<int> m_filesPeak{0};
    CSpeedHistory m_speedHistory;

private:
    // The start on the file clock, as ticks; files stamped at or after it were stored
    // during this crawl.
    std::atomic<std::filesystem::file_time_type::rep> m_startFileTicks{0};

    // What the known test compares. Classic keys: path and file (a folder's file is its
    // default document); with requisites, which come from many servers, the host too.
    // Exact keys: the address's key hash, which is all either test needs.
    struct KnownKeyOf {
        std::uint64_t active = 0;
        std::string text; // the classic key; empty for an exact one
    };
    KnownKeyOf KnownKey(const CUrl& address, std::uint64_t exactKeyHash = 0) const;
    // The key of an address that ended. Classic: the hash of the host and the key, as
    // ports and the host's letter case share one local folder.
    std::uint64_t EndedKey(const CUrl& address, const KnownKeyOf& key) const;
    bool HasEnded(const CUrl& address, const KnownKeyOf& key) const;
    // Whether the local file was written since the crawl began.
    bool StoredDuringCrawl(const std::string& localPath) const;
    void ForgetKnown(std::uint64_t active);
    // Takes address off the in-progress list, under the lock; false when it was not on it.
    bool LeaveProgress(const CUrl& address);
    // Takes the settings keys depend on; only while no address is pending or in progress.
    void FixKeyRules();
    // Ends the crawl: closes its files, stamps the end and logs the tally. stopped: the
    // site is Aborted, whatever it stored.
    void CloseCrawl(bool stopped);
    // Notes the pending addresses whose file is missing, and logs the offline check.
    void ReportOfflineCheck();

    mutable std::recursive_mutex m_lock;
    std::deque<CPackedAddress> m_pending;
    std::vector<const CUrl*> m_inProgress;
    // Hashes of the keys of every pending and in-progress address, counted, so that
    // IsKnown does not walk the lists of a large site.
    std::unordered_map<std::uint64_t, int> m_activeKeys;
    // Every address that ended in this crawl, as hashes.
    CKeySet m_endedKeys;
    // How keys are made, fixed for a crawl when it is queued.
    bool m_keysNameHost = false;
    bool m_keysExact = false;
    // The start address's server, which keeps its plain host folder.
    std::string m_namingHost;
    int m_namingPort = 0;
    CExactNaming Naming() const;
    // The address as the name table keeps it: no user information, no fragment.
    static std::string StoredUrl(const CUrl& address);
    std::string m_keysDefaultDocument = "index.htm";
    std::vector<CErrorEntry> m_errors;
    std::string m_log;

    // The site's folder when the crawl began, and its files' records.
    std::string m_recordsFolder;
    std::string m_stopReason;
    std::string m_stopRequest; // locked
    std::optional<CErrorEntry> m_firstError; // locked; kept when the user clears the list
    std::atomic<std::int64_t> m_pausedSeconds{0};
    std::atomic<std::int64_t> m_pausedSince{0}; // 0 while not paused
    CCopyRecords m_copyRecords;
    mutable CNameTable m_nameTable; // names are given as links are read
    CLinkIndex m_linkIndex;
    std::atomic<bool> m_linksMended{false};
    CCrawlChanges m_changes;
    std::vector<std::string> m_headRefused;
    // A server's entry stands from its claim; its rules from when they were read.
    std::map<std::string, std::optional<CRobotsRules>> m_robots;
    mutable std::atomic<int> m_robotsRefused{0};
    std::atomic<bool> m_fetchMissingOnly{false};
    COfflineCheck m_offlineCheck;
    CScriptQueue m_scriptQueue;

    std::string m_startCookies;
    std::string m_freshCookies; // locked
    std::string m_endCookies; // locked
    std::vector<std::string> m_requestHeaders;
    CLoginGuard m_loginGuard;

    CWildcardList m_serverPatterns;
    CWildcardList m_directoryPatterns;
    CWildcardList m_filePatterns;
    CAddressPatterns m_urlPatterns;
};
