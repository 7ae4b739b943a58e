#include "engine/worker.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>

#include "engine/engine_ui.h"
#include "engine/file_store.h"
#include "engine/http_session.h"
#include "engine/link_scanner.h"
#include "engine/messages.h"
#include "engine/off_web_redirect.h"
#include "engine/robots_fetch.h"
#include "engine/store_limits.h"
#include "engine/transfer_error.h"
#include "model/clock.h"
#include "model/file_path.h"
#include "model/login_guard.h"
#include "model/site.h"
#include "web/byte_text.h"
#include "web/url.h"

namespace {
// A fetch that ends before any status arrived records minus libcurl's error number;
// an address whose scheme or port cannot be fetched records this one.
constexpr int kNoStatusUnsupported = -1;

// Errors that concern one file's name only (it clashes with a folder, or the reverse, or
// is too long); the crawl goes on without it. Anything else (a full disk, a read-only
// folder) would fail for every file, so the crawl stops.
bool ConcernsOneFile(const std::error_code& error) {
    return error == std::errc::not_a_directory || error == std::errc::is_a_directory ||
           error == std::errc::file_exists || error == std::errc::filename_too_long ||
           error == std::errc::invalid_argument || error == std::errc::directory_not_empty;
}

int CodeOf(const CHttpAnswer& answer) {
    return answer.curlError != 0 ? -answer.curlError : answer.status;
}

std::string NotSavedText(const std::error_code& error) {
    return "Could not save the file: " + SaveErrorText(error);
}

std::string UnscannedText(const CUrl& address) {
    return "Stored without scanning its links (larger than " +
           std::to_string(kMaxScannedPageBytes >> 20) + " MB): " + address.GetURL();
}

// Escapes what a file address would read differently from the file's name.
std::string EscapeForFileUrl(const std::string& path) {
    std::string escaped;
    escaped.reserve(path.size());
    AppendPercentEscaped(escaped, path, [](unsigned char byte) {
        return byte >= 0x20 && byte != 0x7F && byte != '%' && byte != ' ' && byte != '#' &&
               byte != '?';
    });
    return escaped;
}
// The page a redirect is stored as, forwarding to url (escaped as it must stand).
std::string StubPage(const std::string& url) {
    return "<html>\r\n<head>\r\n<meta http-equiv=Refresh content=\"1;url=" + url +
           "\">\r\n</head>\r\n<body>\r\nRedirecting...\r\n</body>\r\n</html>\r\n";
}

// Whether the file is a redirect stub that forwards to a file address: it does not say
// which web address it stands for, so only the server can tell the target again.
bool ForwardsToFileAddress(const std::string& localPath) {
    const std::string stub = StubPage("file:///");
    const std::string start = stub.substr(0, stub.find("file:///") + 8);
    std::ifstream in(ToFsPath(localPath), std::ios::binary);
    std::string head(start.size(), '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    return in.gcount() == static_cast<std::streamsize>(start.size()) && head == start;
}
} // namespace

std::string RedirectTarget(const std::string& rawHeaders) {
    const auto found = rawHeaders.find("Location:");
    if (found == std::string::npos)
        return {};
    std::string_view rest(rawHeaders);
    rest.remove_prefix(found + 9);
    while (rest.starts_with(' '))
        rest.remove_prefix(1);
    rest = rest.substr(0, rest.find_first_of(" \f\n\r\t"));
    while (rest.ends_with('\\'))
        rest.remove_suffix(1);
    return std::string(rest);
}

std::string RelativeRedirectStub(const std::string& link) {
    std::string escaped;
    AppendPercentEscaped(escaped, link, [](unsigned char byte) {
        return byte >= 0x20 && byte != 0x7F && byte != '"' && byte != '<' && byte != '>' &&
               byte != '&';
    });
    return StubPage(escaped);
}

namespace {
// Why a site stops when a server stayed busy (or its robots.txt unreadable) for after.
std::string GiveUpText(std::chrono::steady_clock::duration after, const std::string& host,
                       bool robots) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(after).count();
    const std::string duration =
        seconds >= 60 && seconds % 60 == 0
            ? std::to_string(seconds / 60) + (seconds == 60 ? " minute" : " minutes")
            : std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
    if (robots)
        return "robots.txt unreadable for " + duration + ": " + host +
               " (turn off Obey robots.txt, or use --no-robots, to copy the site without it)";
    return "Server busy for " + duration + ": " + host;
}

bool IsBusy(int status) {
    return status == 429 || status == 503;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Whether the answer to address sends it to a login page. The login page itself may
// redirect elsewhere; only a page sent to one counts.
bool IsLoginRedirect(const CUrl& address, const CHttpAnswer& answer) {
    if (!IsRedirect(answer.status) || ReadsAsLoginAddress(address.GetObjectName()))
        return false;
    const std::string target = RedirectTarget(answer.rawHeaders);
    return !target.empty() &&
           ReadsAsLoginAddress(CUrl(&address, target, kLinkFollowed).GetObjectName());
}

bool RefusesHead(int status) {
    return status == 405 || status == 501 || status == 400;
}

CopyKind KindOf(const std::string& contentType, const CUrl& address) {
    if (contentType.find("text/html") != std::string::npos)
        return CopyKind::Page;
    return IsStyleSheet(contentType, address) ? CopyKind::StyleSheet : CopyKind::Other;
}

// A page or a style sheet by its first bytes or its name, for a 304 answer about a
// copy stored without a record.
CopyKind GuessKind(const std::string& localPath, const CUrl& address) {
    const auto& file = address.file;
    if (file.size() > 4 &&
        (EndsWithIgnoringAsciiCase(file, ".htm") || EndsWithIgnoringAsciiCase(file, ".html")))
        return CopyKind::Page;
    std::ifstream in(ToFsPath(localPath), std::ios::binary);
    char head[512];
    in.read(head, sizeof head);
    std::string_view text(head, static_cast<std::size_t>(in.gcount()));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty() && IsAsciiWhitespace(text.front()))
        text.remove_prefix(1);
    if (HasWordAt(text, 0, "<!doctype html") || HasWordAt(text, 0, "<html") ||
        HasWordAt(text, 0, "<head") || HasWordAt(text, 0, "<!--"))
        return CopyKind::Page;
    return IsStyleSheet({}, address) ? CopyKind::StyleSheet : CopyKind::Other;
}
} // namespace

bool IsStyleSheet(const std::string& contentType, const CUrl& address) {
    if (!contentType.empty())
        return contentType.find("text/css") != std::string::npos;
    return address.file.size() > 4 && EndsWithIgnoringAsciiCase(address.file, ".css");
}

std::string RedirectStub(const std::string& targetLocalPath) {
    // The file address has three slashes before a drive letter and before an absolute
    // path's own leading slash alike: file:///C:/... and file:///home/...
    std::string path = EscapeForFileUrl(targetLocalPath);
    if (path.starts_with('/'))
        path.erase(0, 1);
    return StubPage("file:///" + path);
}

// Everything one fetch works with.
struct CWorker::FetchState {
    FetchState(CSite& fetchSite, CUrl& fetchAddress) : site(fetchSite), address(fetchAddress) {}

    CSite& site;
    CUrl& address;
    int port = 0;
    std::string objectName; // the request's path and query
    int code = 0;           // the last HTTP status, or a negative code when none arrived
    std::string reason;     // what happened, where code does not say it
    std::string server;     // "host:port"
    // The leave to send the server a request.
    CServerGate::CPass pass;
    std::string localPath;
    std::optional<std::filesystem::file_time_type> local; // the local copy's time
    std::optional<CCopyRecord> record;                    // what an earlier crawl kept of the copy
    std::string buffer;                                   // the page, for HTML
    CFileWriter writer; // the body, for anything stored as it arrives
    // Decoded body bytes received, counted in the site's total as they came.
    std::uint64_t bodyBytes = 0;
    CStoreLimits limits; // set when the answer's headers say what the file is
    bool html = false;
    bool scan = false;
    bool save = false;
    bool download = false;
    bool fromLocalCopy = false;
    bool bodyStored = false; // the server's body, not the local copy, went to the file
    bool inCopy = false;     // the fetch left the address's file in the copy
    // The answer's headers have decided the fetch: decision is its result, 0 to go on.
    bool decided = false;
    int decision = 0;
    // What the server said of the file, kept with the local copy for the next update.
    CopyKind kind = CopyKind::Other;
    std::int64_t lastModified = 0;
    std::string etag;
};

CWorker::CWorker(CMessageThread& controller, CInternetSession& session, CEngineUi& ui)
    : m_controller(controller), m_session(session), m_ui(ui) {}

CWorker::~CWorker() {
    PostQuit();
    Join();
}

void CWorker::HandleMessage(const CMessage& message) {
    if (message.id != WM_FETCH)
        return;
    auto* site = reinterpret_cast<CSite*>(message.wParam);
    std::unique_ptr<CUrl> address(reinterpret_cast<CUrl*>(message.lParam));
    Fetch(*site, std::move(address));
}

void CWorker::Fetch(CSite& site, std::unique_ptr<CUrl> address) {
    FetchState state(site, *address);
    int result = kFetchFailed;
    try {
        result = FetchAddress(state);
    } catch (const std::exception& error) {
        result = kFetchFailed;
        state.reason = error.what();
    } catch (...) {
        result = kFetchFinished;
    }
    state.writer.Discard();
    state.pass.Release();
    // Only what the copy keeps counts as stored.
    if (result != kFetchDone && state.bodyBytes != 0)
        site.TakeBackBytes(static_cast<std::int64_t>(state.bodyBytes));
    Finish(site, std::move(address), result, state.code, state.reason,
           result == kFetchDone && state.inCopy);
    m_controller.Post(WM_WORKER_DONE, reinterpret_cast<MessageParam>(this),
                      reinterpret_cast<MessageParam>(&site));
}

CHttpConnection& CWorker::ConnectionFor(const CUrl& address, int port) {
    // A connection of an earlier crawl must not carry that crawl's cookies into this one.
    const std::shared_ptr<CCookieJar> jar = m_session.CookieJar();
    if (!m_connection || m_connection->Host() != address.host || m_connection->Port() != port ||
        m_connection->Jar() != jar.get()) {
        m_connection.reset();
        m_connection = std::make_unique<CHttpConnection>(m_session, address.host, port,
                                                         address.user, address.password);
    }
    return *m_connection;
}

int CWorker::FetchAddress(FetchState& state) {
    state.port = PortOf(state.address);
    if (state.port == 0) {
        state.code = kNoStatusUnsupported;
        state.reason = "Scheme or port not supported";
        return kFetchFailed;
    }
    if (state.site.FetchesMissingOnly()) {
        if (const int result = UseLocalCopy(state))
            return result;
    }
    CHttpConnection& connection = ConnectionFor(state.address, state.port);
    if (Aborted())
        return kFetchFinished;

    state.server = CSite::ServerKey(state.address);
    if (state.site.m_obeyRobots) {
        if (const int result = ReadRobots(state, connection))
            return result;
        if (!state.site.RobotsAllow(state.address))
            return kFetchRefusedByRobots;
    }
    state.pass = m_session.Gate().Enter(state.server, m_abort, state.address.turnedAway);
    if (!state.pass)
        return kFetchFinished;

    state.objectName = state.address.GetObjectName();
    state.localPath = state.site.FetchPath(state.address);
    if (!state.localPath.empty())
        state.local = FileModified(state.localPath);
    // A file stored earlier in this crawl is only rescanned, if it is a page; HEAD says
    // which without a transfer.
    const bool storedThisCrawl = state.local && *state.local >= state.site.GetStartFileTime();
    const std::string& server = state.server;
    if ((state.site.m_headProbe || storedThisCrawl) && !state.site.HeadRefused(server)) {
        const CHttpAnswer probe =
            connection.Request("HEAD", state.address.scheme, state.objectName, nullptr, m_abort);
        if (probe.aborted || Aborted())
            return kFetchFinished;
        if (const int result = CheckBusy(state, probe))
            return result;
        if (probe.curlError != 0 || !RefusesHead(probe.status))
            return FetchAfterProbe(state, probe);
        state.site.NoteHeadRefused(server);
        state.site.AddLog("HEAD refused with " + std::to_string(probe.status) + " by " + server +
                          "; asking with GET for the rest of the crawl");
    }
    return FetchWithGet(state);
}

int CWorker::UseLocalCopy(FetchState& state) {
    state.localPath = state.site.FetchPath(state.address);
    if (state.localPath.empty())
        return 0;
    const auto local = FileModified(state.localPath);
    if (!local || ForwardsToFileAddress(state.localPath))
        return 0;
    state.local = local;
    // Read back as an update reads a copy the server calls unchanged.
    state.record = state.site.FindCopyRecord(state.localPath, *state.local);
    NotModified(state, CHttpAnswer{});
    return ScanAndSave(state);
}

int CWorker::FetchAfterProbe(FetchState& state, const CHttpAnswer& probe) {
    NoteCode(state, probe);
    if (probe.curlError != 0)
        return kFetchFailed;
    if (const int result = CheckLogin(state, probe))
        return result;
    if (probe.status == 301 || probe.status == 302)
        return HandleRedirect(state, probe);
    if (probe.status != 200)
        return kFetchFailed;
    state.decided = true;
    if (const int result = Decide(state, probe, false))
        return result;
    if (state.download) {
        CHttpRequest request;
        request.scheme = state.address.scheme;
        request.objectName = state.objectName;
        if (const int result = Transfer(state, request))
            return result;
    }
    return ScanAndSave(state);
}

// One GET, conditional when an earlier crawl stored the file; every decision the probe
// would make is made on its headers before a body byte is stored.
int CWorker::FetchWithGet(FetchState& state) {
    CHttpRequest request;
    request.scheme = state.address.scheme;
    request.objectName = state.objectName;
    const bool earlierCopy = state.local && *state.local < state.site.GetStartFileTime();
    if (earlierCopy) {
        state.record = state.site.FindCopyRecord(state.localPath, *state.local);
        const auto& record = state.record;
        if (record && (record->lastModified > 0 || !record->etag.empty())) {
            request.ifModifiedSince = record->lastModified;
            request.ifNoneMatch = record->etag;
        } else {
            // A copy no newer than the server's Last-Modified (to the second) is
            // transferred again.
            request.ifModifiedSince = std::max<std::int64_t>(1, FileTimeSeconds(*state.local) - 1);
        }
    }
    request.onHeaders = [&](const CHttpAnswer& headers) {
        state.decided = true;
        state.decision = Decide(state, headers, earlierCopy);
        if (state.decision == 0 && state.download)
            return BodyUse::Keep;
        // A small unwanted body costs less to read than a new connection.
        constexpr std::int64_t kDrainedBytes = 64 * 1024;
        return headers.contentLength > 0 && headers.contentLength <= kDrainedBytes ? BodyUse::Drop
                                                                                   : BodyUse::Stop;
    };
    if (const int result = Transfer(state, request))
        return result;
    return ScanAndSave(state);
}

void CWorker::SetKind(FetchState& state, CopyKind kind) {
    state.kind = kind;
    state.html = kind == CopyKind::Page;
    // A style sheet is scanned like a page when the site fetches requisites.
    state.scan = state.html || (state.site.m_pageRequisites && kind == CopyKind::StyleSheet);
}

// The probe's decisions on a 200 answer's headers: what the file is, whether its body is
// wanted, and the size limits; 0 when the fetch goes on. A conditional GET that brought a
// body says the file changed.
int CWorker::Decide(FetchState& state, const CHttpAnswer& headers, bool conditional) {
    if (state.localPath.empty())
        return kFetchFailed;
    SetKind(state, KindOf(headers.contentType, state.address));
    state.limits = CStoreLimits(state.site, state.html);
    if (state.site.ExactNames()) {
        // The name says what the answer holds; a new name is a file the copy lacks.
        std::string named = state.site.LocalPathForAnswer(state.address, headers.contentType);
        if (named.empty())
            return kFetchFailed;
        if (named != state.localPath) {
            state.localPath = std::move(named);
            state.local = FileModified(state.localPath);
            state.record.reset();
        }
    }
    state.lastModified = headers.lastModified;
    state.etag = headers.etag;
    state.save = state.scan;
    state.download = false;
    const auto& local = state.local;
    if (!local || *local < state.site.GetStartFileTime()) {
        state.save = true;
        state.download = !local || conditional || FileTimeSeconds(*local) <= headers.lastModified;
    } else if (!state.scan) {
        state.inCopy = true;
        return kFetchDone; // stored earlier in this crawl
    }

    // An encoded body's length is not the file's: its size is checked as it is decoded.
    if (headers.contentLength > 0 && headers.contentEncoding.empty() &&
        state.limits.RefusesSize(static_cast<std::uint64_t>(headers.contentLength)))
        return kFetchSkippedBySize;
    return 0;
}

// Reads the server's robots.txt once per crawl, or waits for the worker that does. 0 when
// its rules are known; otherwise the fetch's result: finished when aborted, busy when the
// server could not give the file (nothing of the server is fetched until it can), failed
// when no request can be sent there (the next address asks again).
int CWorker::ReadRobots(FetchState& state, CHttpConnection& connection) {
    CSite& site = state.site;
    while (!site.RobotsKnown(state.server)) {
        if (!site.ClaimRobots(state.server)) {
            if (Aborted())
                return kFetchFinished;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        int result = kFetchFinished;
        state.pass = m_session.Gate().Enter(state.server, m_abort, state.address.turnedAway);
        if (state.pass) {
            const CRobotsFetch robots =
                FetchRobotsTxt(m_session, connection, state.address, m_abort);
            result = UseRobots(state, robots);
            state.pass.Release();
        }
        if (result != 0) {
            site.ReleaseRobots(state.server);
            return result;
        }
    }
    return 0;
}

int CWorker::UseRobots(FetchState& state, const CRobotsFetch& robots) {
    switch (robots.outcome) {
    case RobotsOutcome::Aborted:
        return kFetchFinished;
    case RobotsOutcome::Unreachable:
        // The address's own request would fail alike: it fails (or is tried again) as it
        // would without robots.txt, with the same code and words.
        NoteCode(state, robots.answer);
        return kFetchFailed;
    case RobotsOutcome::Unreadable:
        state.code = CodeOf(robots.answer);
        state.reason.clear();
        return TurnedAway(state, robots.answer, true);
    case RobotsOutcome::Rules:
    case RobotsOutcome::NoRules:
        break;
    }
    m_session.Gate().Answered(state.pass);
    CRobotsRules rules;
    if (robots.outcome == RobotsOutcome::Rules)
        rules = CRobotsRules(robots.text, "Quarn");
    if (rules.CrawlDelaySeconds() > 0)
        m_session.Gate().SetDelay(state.server, rules.CrawlDelaySeconds());
    state.site.SetRobots(state.server, std::move(rules));
    return 0;
}

// 0 for an answer of a server that is not busy. A 429 or 503 makes the address wait for
// the server.
int CWorker::CheckBusy(FetchState& state, const CHttpAnswer& answer) {
    if (!IsBusy(answer.status)) {
        if (answer.status != 0)
            m_session.Gate().Answered(state.pass);
        return 0;
    }
    state.code = answer.status;
    state.reason.clear();
    return TurnedAway(state, answer, false);
}

// The server turned the address away (busy, or its robots.txt unreadable): the address
// goes back to wait for it without using up a try. A server busy for the give-up time
// stops the site; its addresses stay unfetched.
int CWorker::TurnedAway(FetchState& state, const CHttpAnswer& answer, bool robots) {
    state.address.turnedAway += 1;
    constexpr int kLongestWaitSeconds = 600;
    const int cap = std::min(kLongestWaitSeconds, std::max(1, state.site.m_requestTimeout) * 10);
    CServerGate& gate = m_session.Gate();
    const int wait =
        gate.Busy(state.pass, answer.status, answer.retryAfter, cap, state.site.m_workers);
    if (wait < 0) {
        const std::string text = GiveUpText(gate.GiveUpAfter(), state.address.host, robots);
        if (state.site.RequestStop(text))
            m_ui.ShowMessage(text);
    } else if (wait > 0) {
        const std::string why = answer.curlError != 0 ? TransferErrorText(answer.curlError)
                                                      : std::to_string(answer.status);
        state.site.AddLog((robots ? "robots.txt unreadable (" + why + "), waiting "
                                  : std::string("Server busy, waiting ")) +
                          std::to_string(wait) + " s");
    }
    return kFetchBusy;
}

// A 304: the copy of an earlier crawl is as new as the server's file.
int CWorker::NotModified(FetchState& state, const CHttpAnswer& answer) {
    const auto& record = state.record;
    SetKind(state, !answer.contentType.empty() ? KindOf(answer.contentType, state.address)
                   : record                    ? record->kind
                                               : GuessKind(state.localPath, state.address));
    state.lastModified = answer.lastModified > 0 ? answer.lastModified
                         : record                ? record->lastModified
                                                 : 0;
    state.etag = !answer.etag.empty() ? answer.etag : record ? record->etag : std::string();
    state.save = true;
    state.download = false;
    return 0;
}

// The GET; 0 when the fetch goes on to scanning and saving.
int CWorker::Transfer(FetchState& state, CHttpRequest& request) {
    std::error_code writeError;
    bool oversized = false;
    enum class Refusal { None, Size, Space } refusal = Refusal::None;
    request.sink = [&](const char* data, std::size_t size) {
        if (Aborted())
            return false;
        // Counted as they arrive, so that progress moves during a long transfer; taken
        // back when the file is not kept.
        state.bodyBytes += size;
        state.site.AddBytes(static_cast<std::int64_t>(size));
        // Nothing over a bound reaches the disk.
        if (state.limits.OverMaximum(state.bodyBytes))
            refusal = Refusal::Size;
        else if (state.limits.OverSpace(state.site.m_bytesTotal.load()))
            refusal = Refusal::Space;
        if (refusal != Refusal::None)
            return false;
        if (state.scan && !oversized && state.buffer.size() + size <= kMaxScannedPageBytes) {
            state.buffer.append(data, size);
            return true;
        }
        // Anything that is not kept for the scanner goes straight to disk.
        if (!state.writer.IsOpen()) {
            if ((writeError = state.writer.Open(state.localPath)))
                return false;
            if (state.scan) {
                oversized = true;
                writeError = state.writer.Write(state.buffer.data(), state.buffer.size());
                std::string().swap(state.buffer);
            }
        }
        if (!writeError)
            writeError = state.writer.Write(data, size);
        return !writeError;
    };
    const CHttpAnswer answer = m_connection->Request(request, m_abort);
    if (answer.aborted || Aborted())
        return kFetchFinished;
    // What was written of a refused body is discarded once the fetch ends.
    if (refusal == Refusal::Size)
        return kFetchSkippedBySize;
    if (refusal == Refusal::Space) {
        // The controller stops the crawl at its next turn, which this fetch's end brings.
        state.site.RequestStop(SpaceLimitText(state.site.m_spaceMax));
        return kFetchFinished;
    }
    const bool conditional = request.ifModifiedSince > 0 || !request.ifNoneMatch.empty();
    // Only a 200 answer's body reaches the sink, so a busy answer leaves nothing to undo.
    if (const int result = CheckBusy(state, answer))
        return result;
    NoteCode(state, answer);
    if (writeError)
        return SaveFailed(state, writeError);
    if (answer.curlError != 0)
        return kFetchFailed;
    if (const int result = CheckLogin(state, answer)) {
        state.writer.Discard();
        state.buffer.clear();
        return result;
    }
    if (answer.status == 301 || answer.status == 302) {
        state.writer.Discard();
        state.buffer.clear();
        return HandleRedirect(state, answer);
    }
    if (answer.status == 304 && conditional)
        return NotModified(state, answer);
    if (answer.status != 200)
        return kFetchFailed;
    if (!state.decided) { // an empty body: the headers were not shown before
        state.decided = true;
        state.decision = Decide(state, answer, conditional);
    }
    if (state.decision != 0)
        return state.decision;
    // A body whose size only its end told (coded, or without Content-Length) may be too
    // small.
    if (state.bodyBytes != 0 && state.limits.RefusesSize(state.bodyBytes))
        return kFetchSkippedBySize;
    if (state.writer.IsOpen()) {
        if (oversized) {
            state.scan = false;
            state.site.AddLog(UnscannedText(state.address));
        }
        // Bytes the copy holds already are not written again: the file keeps its time.
        if (state.local && state.writer.SameAsTarget()) {
            state.writer.Discard();
        } else {
            if (const auto error = state.writer.Commit())
                return SaveFailed(state, error);
            state.bodyStored = true;
        }
        state.save = false; // stored
    }
    return 0;
}

int CWorker::ScanAndSave(FetchState& state) {
    // Under exact names an unchanged page's links are known from the link index; it need
    // not be read and scanned again.
    bool indexed = false;
    if (state.scan && state.html && state.buffer.empty() && !state.bodyStored && state.local &&
        state.site.ExactNames()) {
        std::size_t queued = 0;
        indexed = state.site.QueueIndexedLinks(state.address, queued);
        if (queued != 0)
            m_controller.Post(WM_DISPATCH);
    }
    if (indexed) {
        state.scan = false;
        state.fromLocalCopy = true;
    }
    if (state.scan && state.buffer.empty()) {
        const auto error = ReadWholeFile(state.localPath, state.buffer, kMaxScannedPageBytes);
        if (error == std::errc::file_too_large) {
            state.scan = false; // stored as it is; counts as stored in this crawl below
            state.site.AddLog(UnscannedText(state.address));
        } else if (error) {
            // The code stays the server's; its text would call the failure "OK".
            state.reason = !state.local ? std::string("Empty answer, and no local copy")
                                        : "Could not read the local copy: " + error.message();
            return kFetchFailed;
        } else {
            state.fromLocalCopy = true;
        }
    }
    bool unchanged = false;
    std::vector<CIndexedLink> links;
    // Renames from here on may have come too late for the links the scan writes.
    const std::uint64_t linksWritten = state.site.ExactNames() ? state.site.NameTable().Epoch() : 0;
    if (state.scan) {
        CLinkScanner scanner(state.site, state.address,
                             state.fromLocalCopy ? PageSource::LocalCopy : PageSource::Server);
        if (state.html)
            scanner.ScanPage(state.buffer);
        else
            scanner.ScanStyleSheet(state.buffer);
        unchanged = state.fromLocalCopy && !scanner.Rewrote();
        if (state.site.ExactNames()) {
            links = scanner.IndexedLinks();
            if (state.fromLocalCopy && state.site.RequeueRedirectsOf(state.address, links) != 0)
                m_controller.Post(WM_DISPATCH);
        }
        // Idle workers need not wait for this fetch to end to get the new addresses.
        if (scanner.QueuedCount() != 0)
            m_controller.Post(WM_DISPATCH);
    }
    // The names the page's links use reach the disk before the page does.
    if (state.scan && state.site.ExactNames())
        state.site.NameTable().Flush();
    if (state.save) {
        std::error_code error;
        // A page that rescanning left as it was on disk needs only its time renewed.
        if (state.buffer.empty() || unchanged) {
            // Unchanged content: renew the time that marks it as stored in this crawl.
            if (const auto renewError = RenewModificationTime(state.localPath)) {
                state.code = kErrorNotStored;
                state.reason = NotSavedText(renewError);
                return kFetchFailed;
            }
        } else if (state.fromLocalCopy || !state.local ||
                   !FileHolds(state.localPath, state.buffer)) {
            error = SaveContent(state.buffer, state.localPath);
            state.bodyStored = !error && !state.fromLocalCopy;
        }
        // Else the page came back as the copy holds it: the file is left as it was.
        if (error)
            return SaveFailed(state, error);
    }
    std::string().swap(state.buffer);
    Record(state);
    if (state.scan && state.site.ExactNames())
        state.site.IndexLinks(state.address, links, linksWritten);
    CountChange(state, state.bodyStored);
    // The site's own pages, stored or kept, have their scripts run for what they load.
    if (state.html && state.site.RunsScripts() &&
        state.site.RefusalOf(state.address) != LinkRefusal::OtherServer)
        state.site.ScriptQueue().Add(state.address, state.localPath,
                                     {0, state.lastModified, state.etag, state.kind});
    return kFetchDone;
}

void CWorker::NoteCode(FetchState& state, const CHttpAnswer& answer) {
    state.code = CodeOf(answer);
    state.reason = answer.curlError != 0 ? TransferErrorText(answer.curlError) : std::string();
}

// How a file that a fetch stored or kept counts among the crawl's changes; stored: the
// file's content is new.
void CWorker::CountChange(FetchState& state, bool stored) {
    // A file stored earlier in this crawl was counted then.
    if (state.local && *state.local >= state.site.GetStartFileTime())
        return;
    const FileChange change = !state.local ? FileChange::New
                              : stored     ? FileChange::Changed
                                           : FileChange::Unchanged;
    state.site.Changes().Count(change, state.address.GetURL(), state.localPath);
}

void CWorker::Record(FetchState& state) {
    const auto stored = FileModified(state.localPath);
    if (!stored)
        return;
    state.inCopy = true;
    state.site.NoteStored(state.address);
    CCopyRecord record;
    record.fileTicks = stored->time_since_epoch().count();
    record.lastModified = state.lastModified;
    record.etag = state.etag;
    record.kind = state.kind;
    state.site.RecordCopy(state.localPath, std::move(record));
}

int CWorker::SaveFailed(FetchState& state, const std::error_code& error) {
    state.writer.Discard();
    state.code = kErrorNotStored;
    state.reason = NotSavedText(error);
    // The site's folder itself gone unusable (made read-only, replaced by a file) would
    // fail every file: stop as for a full disk.
    if (const std::string problem = state.site.FolderProblem(); !problem.empty()) {
        m_controller.Post(WM_STOP_ALL);
        m_ui.ShowMessage(problem);
        state.site.AddLog(problem);
        state.site.AddError(state.address, state.code, state.reason);
        return kFetchFinished;
    }
    // A file the user locked stays as it is, and is told of; asking again would not help.
    if (IsAccessDenied(error) || ConcernsOneFile(error))
        return kFetchFailed;
    state.site.AddError(state.address, state.code, state.reason);
    m_controller.Post(WM_STOP_ALL);
    m_ui.ShowMessage(SaveErrorText(error));
    state.site.AddLog(NotSavedText(error) + " (" + state.address.GetURL() + ")");
    return kFetchFinished;
}

int CWorker::CheckLogin(FetchState& state, const CHttpAnswer& answer) {
    CLoginGuard& guard = state.site.LoginGuard();
    // A host the crawl never logged in to has no login to take away.
    if (!guard.Active() || !guard.HoldsLogin(state.address.host))
        return 0;
    const std::string asked = state.server + "/" + state.objectName;
    const int status = answer.status;
    if (status == 200) {
        guard.NoteAnswered(asked);
        return 0;
    }
    bool expired = false;
    if (status == 401 || status == 403) {
        switch (guard.JudgeRefusal(asked, m_abort)) {
        case CLoginGuard::Refusal::LoginGone:
            expired = true;
            break;
        case CLoginGuard::Refusal::AddressOnly:
            break;
        case CLoginGuard::Refusal::CheckStartPage: {
            // However the check ends, the refusals waiting for it are told; an expired
            // login is marked first, so that they find it so.
            struct Told {
                CLoginGuard& guard;
                CLoginGuard::Check found = CLoginGuard::Check::Unknown;
                ~Told() { guard.CheckDone(found); }
            } told{guard};
            told.found = CheckStartPage(state, status);
            if (told.found == CLoginGuard::Check::Gone)
                return LoginExpired(state);
            break;
        }
        }
        if (Aborted())
            return kFetchFinished;
    } else if (IsLoginRedirect(state.address, answer)) {
        expired = true;
    }
    return expired ? LoginExpired(state) : 0;
}

CLoginGuard::Check CWorker::CheckStartPage(FetchState& state, int refusal) {
    const CUrl start(nullptr, state.site.m_url, kLinkFollowed, state.site.Reading());
    const int port = PortOf(start);
    if (port == 0)
        return CLoginGuard::Check::Unknown;
    const std::string objectName = start.GetObjectName();
    // The start page refused is its own check.
    if (CSite::ServerKey(start) == state.server && objectName == state.objectName)
        return CLoginGuard::Check::Gone;
    std::unique_ptr<CHttpConnection> own;
    CHttpConnection* over = m_connection.get();
    if (start.host != over->Host() || port != over->Port()) {
        own = std::make_unique<CHttpConnection>(m_session, start.host, port, state.site.m_id,
                                                state.site.m_password);
        over = own.get();
    }
    CHttpRequest request;
    request.scheme = start.scheme;
    request.objectName = objectName;
    // Its status is all the check needs.
    request.onHeaders = [](const CHttpAnswer&) { return BodyUse::Stop; };
    const CHttpAnswer answer = over->Request(request, m_abort);
    if (answer.aborted)
        return CLoginGuard::Check::Unknown;
    state.site.AddLog("Login checked on the start page after a " + std::to_string(refusal) + ": " +
                      (answer.curlError != 0 ? TransferErrorText(answer.curlError)
                                             : std::to_string(answer.status)));
    if (answer.curlError != 0)
        return CLoginGuard::Check::Unknown;
    if (answer.status == 401 || answer.status == 403 || IsLoginRedirect(start, answer))
        return CLoginGuard::Check::Gone;
    if (answer.status == 200 || IsRedirect(answer.status))
        return CLoginGuard::Check::Alive;
    return CLoginGuard::Check::Unknown;
}

int CWorker::LoginExpired(FetchState& state) {
    const bool first = state.site.LoginGuard().Expire();
    const std::string text = CLoginGuard::ExpiredText(state.address.host);
    if (m_session.PausesWhenLoginExpires()) {
        // The crawl pauses until the user has logged in again.
        if (first) {
            m_ui.ShowMessage(text);
            m_controller.Post(WM_LOGIN_EXPIRED, reinterpret_cast<MessageParam>(&state.site));
        }
    } else if (state.site.RequestStop(text)) {
        m_ui.ShowMessage(text);
    }
    // The address waits for the crawl to go on logged in again; it used up no try.
    state.reason = text;
    return kFetchBusy;
}

int CWorker::HandleRedirect(FetchState& state, const CHttpAnswer& answer) {
    const std::string target = RedirectTarget(answer.rawHeaders);
    if (target.empty())
        return kFetchFailed;
    // A target off the web is neither followed nor forwarded to.
    if (LeavesTheWeb(target)) {
        if (!state.localPath.empty())
            StoreStub(state, OffWebRedirectStub(target));
        return kFetchDone;
    }
    CLinkScanner scanner(state.site, state.address);
    std::string link = scanner.RewriteLink(target, kLinkFollowed);
    if (scanner.QueuedCount() != 0)
        m_controller.Post(WM_DISPATCH);
    const CUrl targetAddress(&state.address, target, kLinkFollowed, state.site.Reading());
    // Under exact names the links to an address that redirects to one the copy takes lead
    // to the target's file, whatever it holds; nothing is stored under the address itself.
    if (state.site.ExactNames()) {
        const std::vector<CIndexedLink> taken = scanner.IndexedLinks();
        if (taken.size() == 1 && !taken.front().absolute &&
            state.site.NoteRedirect(state.address, targetAddress))
            return kFetchDone;
    }
    const std::string& stubPath = state.localPath;
    if (stubPath.empty())
        return kFetchDone;
    if (state.site.m_pageRequisites) {
        // A link relative to the stub keeps working when the copy is moved.
        StoreStub(state, RelativeRedirectStub(link.empty() ? targetAddress.GetURL() : link));
        return kFetchDone;
    }
    const std::string targetPath = state.site.GetLocalPath(targetAddress);
    // With no file of the copy to stand for the target, the stub forwards to the web,
    // never to whatever an empty path would name on the disk.
    StoreStub(state, targetPath.empty() ? RelativeRedirectStub(targetAddress.GetURL())
                                        : RedirectStub(targetPath));
    return kFetchDone;
}

// A stub counts as changed only when it forwards elsewhere than the one stored before.
void CWorker::StoreStub(FetchState& state, const std::string& stub) {
    std::string before;
    const bool same =
        state.local && !ReadWholeFile(state.localPath, before, stub.size()) && before == stub;
    if (!SaveContent(stub, state.localPath)) {
        state.inCopy = true;
        CountChange(state, !same);
    }
}

void CWorker::Finish(CSite& site, std::unique_ptr<CUrl> address, int result, int code,
                     std::string reason, bool stored) {
    const bool failed = result == kFetchFailed;
    if (failed)
        address->attempts += 1;
    // A busy server's address, and one that failed for a passing reason with tries left,
    // go back to the queue.
    if (result == kFetchBusy ||
        (failed && address->attempts < site.m_retries && WorthRetrying(code))) {
        site.Requeue(std::move(address), result == kFetchBusy);
        return;
    }
    if (failed)
        site.AddError(*address, code, std::move(reason));
    else if (result == kFetchSkippedBySize)
        site.Changes().CountSkipped(address->GetURL());
    NoteIfMissing(site, *address, result);
    site.MarkDone(*address, true, stored);
}

// An address that ended unstored leaves the local links to it without a file, unless an
// earlier crawl's copy is still there to serve them.
void CWorker::NoteIfMissing(CSite& site, const CUrl& address, int result) const {
    if (result == kFetchDone)
        return;
    const std::string local = site.GetLocalPath(address);
    if (!local.empty() && FileModified(local))
        return;
    const MissingReason reason = result == kFetchFailed            ? MissingReason::Failed
                                 : result == kFetchSkippedBySize   ? MissingReason::SizeLimit
                                 : result == kFetchRefusedByRobots ? MissingReason::Robots
                                 : Aborted()                       ? MissingReason::Stopped
                                                                   : MissingReason::NotStored;
    site.OfflineCheck().NoteMissing(reason, address.GetURL());
}
