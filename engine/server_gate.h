#pragma once
// CServerGate: how busy servers are spared. A server that answers 429 or 503 is paused:
// no worker sends it anything until its wait is over (Retry-After, or a back-off doubling
// from one second). After repeated 429 answers fewer workers at once are let through to
// it, half as many each time, until a minute has passed without one. Shared by all
// workers; one crawl at a time.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class CServerGate {
public:
    using Clock = std::chrono::steady_clock;

    // After this long of continuous back-off an address fails with its real code.
    static constexpr std::chrono::seconds kGiveUpAfter{600};

    // Forgets every server (a new crawl).
    void Reset();

    // Waits until requests may go to server; false when abort became true meanwhile.
    // Every true is matched by one Leave.
    bool Enter(const std::string& server, const std::atomic<bool>& abort);
    void Leave(const std::string& server);

    // A 429 or 503 answer. retryAfter: the seconds the server asked for, or -1; both it
    // and the back-off are capped at capSeconds. workers: the crawl's number of workers.
    // Returns the seconds to wait, or -1 when the server has been busy for longer than
    // kGiveUpAfter.
    int Busy(const std::string& server, int status, std::int64_t retryAfter, int capSeconds,
             int workers);
    // Any other answer: the server is not busy (any more).
    void Answered(const std::string& server);
    // Requests to server start at least this far apart (robots.txt's Crawl-delay).
    void SetDelay(const std::string& server, double seconds);

private:
    struct Server {
        Clock::time_point pausedUntil{};
        Clock::time_point busySince{};
        Clock::time_point lastTooMany{};
        bool busy = false;
        int backOffStep = 0;
        int tooManyInARow = 0;
        int limit = 0; // workers let through at once; 0 for no limit
        int inFlight = 0;
        Clock::duration delay{};
        Clock::time_point nextStart{};
    };

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Server> m_servers;
};
