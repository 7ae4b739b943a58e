#pragma once
// CWorker: one thread of the controller's pool. It receives one address at a time with
// WM_FETCH, asks the server for it with one GET (conditional when an earlier crawl
// stored it; HEAD first when the site asks for the probe), stores it (HTML after its
// links are rewritten), and always answers with WM_WORKER_DONE.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "engine/message_thread.h"
#include "model/copy_records.h"
#include "model/login_guard.h"

class CEngineUi;
class CHttpConnection;
class CInternetSession;
class CSite;
class CUrl;
struct CHttpAnswer;
struct CHttpRequest;
struct CRobotsFetch;

// Fetch results.
inline constexpr int kFetchFinished = 1; // also aborted
inline constexpr int kFetchFailed = 2;
inline constexpr int kFetchDone = 3;
inline constexpr int kFetchSkippedBySize = 4;
// The server is busy: the address goes back to the queue without using up a try.
inline constexpr int kFetchBusy = 5;
// robots.txt disallows the address; it ends like a finished fetch.
inline constexpr int kFetchRefusedByRobots = 6;

// HTML larger than this is stored as it arrives, without scanning its links; the log
// says so.
inline constexpr std::size_t kMaxScannedPageBytes = std::size_t{32} << 20;

class CWorker : public CMessageThread {
public:
    CWorker(CMessageThread& controller, CInternetSession& session, CEngineUi& ui);
    ~CWorker() override;

    // Makes the running fetch stop at its next check. The controller clears the flag
    // before it posts the next WM_FETCH, so an abort that comes before the fetch has
    // begun is not lost.
    void Abort() { m_abort = true; }
    void ClearAbort() { m_abort = false; }

    // One address, start to end (the handler of WM_FETCH). Takes ownership of address.
    void Fetch(CSite& site, std::unique_ptr<CUrl> address);

protected:
    void HandleMessage(const CMessage& message) override;

private:
    struct FetchState;
    int FetchAddress(FetchState& state);
    // A fetch that asks only for files the copy lacks: nonzero (the result) when the
    // copy has the file and it was read back from disk.
    int UseLocalCopy(FetchState& state);
    int FetchAfterProbe(FetchState& state, const CHttpAnswer& probe);
    int FetchWithGet(FetchState& state);
    int Decide(FetchState& state, const CHttpAnswer& headers, bool conditional);
    int NotModified(FetchState& state, const CHttpAnswer& answer);
    int CheckBusy(FetchState& state, const CHttpAnswer& answer);
    int TurnedAway(FetchState& state, const CHttpAnswer& answer, bool robots);
    void SetKind(FetchState& state, CopyKind kind);
    int ReadRobots(FetchState& state, CHttpConnection& connection);
    int UseRobots(FetchState& state, const CRobotsFetch& robots);
    int Transfer(FetchState& state, CHttpRequest& request);
    void Record(FetchState& state);
    int ScanAndSave(FetchState& state);
    int HandleRedirect(FetchState& state, const CHttpAnswer& answer);
    // In a crawl that sends cookies: notes the pages a host holding the login answers,
    // and tells an answer of such a host that says the login ran out (a redirect to a
    // login page, or 401 or 403 for an address that answered before, or for one that
    // did not when the start page, asked again, is refused too). Nonzero (the result)
    // when it did; nothing is stored then. Any other 401 or 403 is the address's own.
    int CheckLogin(FetchState& state, const CHttpAnswer& answer);
    // Asks the start page again after refusal (401 or 403) of another address.
    CLoginGuard::Check CheckStartPage(FetchState& state, int refusal);
    // Pauses or stops the crawl for an expired login; the address waits for a new one.
    int LoginExpired(FetchState& state);
    int SaveFailed(FetchState& state, const std::error_code& error);
    void StoreStub(FetchState& state, const std::string& stub);
    void NoteCode(FetchState& state, const CHttpAnswer& answer);
    void CountChange(FetchState& state, bool stored);
    // stored: the address ended with its file in the copy.
    void Finish(CSite& site, std::unique_ptr<CUrl> address, int result, int code,
                std::string reason, bool stored);
    void NoteIfMissing(CSite& site, const CUrl& address, int result) const;
    CHttpConnection& ConnectionFor(const CUrl& address, int port);
    bool Aborted() const { return m_abort.load(std::memory_order_relaxed); }

    CMessageThread& m_controller;
    CInternetSession& m_session;
    CEngineUi& m_ui;
    std::atomic<bool> m_abort{false};
    std::unique_ptr<CHttpConnection> m_connection;
};

// The page a redirect is stored as: it forwards to the target's local copy.
std::string RedirectStub(const std::string& targetLocalPath);
// The same, naming the target by a link relative to the stub (or an absolute address).
std::string RelativeRedirectStub(const std::string& link);
// Whether an answer holds a style sheet: its content type says so, or it has none and
// the file's name ends in ".css".
bool IsStyleSheet(const std::string& contentType, const CUrl& address);
// The target of a redirect answer's raw header block; empty when it has no "Location:".
std::string RedirectTarget(const std::string& rawHeaders);
