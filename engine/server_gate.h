#pragma once
// CServerGate: how busy servers are spared. A server that answers 429 or 503 is paused:
// no worker sends it anything until its wait is over (Retry-After, or a back-off that
// doubles once per pause, from one second to a minute). When a pause ends, one request
// tries the server first and the others follow only once it was answered without 429 or
// 503: all that wait then go, as one batch, even if a busy answer to one of them pauses
// the server again before the rest are on their way. Answers to requests sent before a
// pause began neither lengthen it nor end it.
// After repeated 429 answers fewer workers at once are let through to it, half as many
// each time, until a minute has passed without one. Shared by all workers; one crawl at
// a time.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

class CServerGate {
public:
    using Clock = std::chrono::steady_clock;

    // A server that stays busy this long is given up.
    static constexpr std::chrono::seconds kDefaultGiveUpAfter{600};
    // The back-off's longest pause; Retry-After may ask for longer.
    static constexpr int kLongestBackOffSeconds = 60;

    // One request's leave to go to a server; it leaves the gate when destroyed.
    class CPass {
    public:
        CPass() = default;
        CPass(CPass&& other) noexcept { *this = std::move(other); }
        CPass& operator=(CPass&& other) noexcept;
        ~CPass() { Release(); }
        explicit operator bool() const { return m_gate != nullptr; }
        void Release();

    private:
        friend class CServerGate;
        CServerGate* m_gate = nullptr;
        std::string m_server;
        std::uint64_t m_pause = 0; // the server's pause count when the request went
        bool m_trial = false;      // the request that tries the server after a pause
    };

    // Forgets every server (a new crawl); the give-up time stays.
    void Reset();
    void SetGiveUpAfter(Clock::duration after);
    Clock::duration GiveUpAfter() const;

    // Waits until a request may go to server; an empty pass when abort became true
    // meanwhile. turnedAway: how often the server turned the request's address away; when
    // a pause ends, the waiting request with the most goes first (the earliest of equals).
    CPass Enter(const std::string& server, const std::atomic<bool>& abort, int turnedAway = 0);

    // A 429 or 503 answer (or none that could be read) to the request of pass.
    // retryAfter: the seconds the server asked for, or -1; it is capped at capSeconds,
    // the back-off at the smaller of capSeconds and kLongestBackOffSeconds. workers: the
    // crawl's number of workers. Returns the seconds of the pause the answer began, 0 when
    // the request went before the running pause began, or -1 when the server has been
    // busy for the give-up time.
    int Busy(CPass& pass, int status, std::int64_t retryAfter, int capSeconds, int workers);
    // Any other answer to the request of pass: the server is not busy (any more).
    void Answered(CPass& pass);
    // Requests to server start at least this far apart (robots.txt's Crawl-delay).
    void SetDelay(const std::string& server, double seconds);

private:
    struct Server {
        Clock::time_point pausedUntil{};
        Clock::time_point busySince{};
        Clock::time_point lastTooMany{};
        bool busy = false;
        std::uint64_t pauses = 0;
        int backOffStep = 0;
        // A pause ended and no request has been answered without 429 or 503 since.
        bool trialPending = false;
        bool trialInFlight = false;
        int tooManyInARow = 0;
        int limit = 0; // workers let through at once; 0 for no limit
        int inFlight = 0;
        Clock::duration delay{};
        Clock::time_point nextStart{};
        std::uint64_t arrivals = 0;
        // Requests that arrived up to this one were waiting when a trial succeeded: they
        // go, as sent before any pause after releasedPause.
        std::uint64_t releasedUpTo = 0;
        std::uint64_t releasedPause = 0;
        // Requests waiting to enter, the one to go first at the front: (-turnedAway,
        // arrival).
        std::set<std::pair<int, std::uint64_t>> waiting;
    };

    void Leave(CPass& pass);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Server> m_servers;
    Clock::duration m_giveUpAfter = kDefaultGiveUpAfter;
};
