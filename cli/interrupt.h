#pragma once
// Ctrl+C, and the SIGTERM and SIGHUP that kill, systemd, cron and a closed terminal send,
// during a crawl. The handler does the one thing a signal handler may safely do, note the
// signal in a lock-free flag; the crawl's waiting loop, which wakes at least every quarter
// second, sees it and stops the crawl through the controller, so temporary files go and
// the summary is printed. A second signal of the same kind ends the program at once.

class CInterruptScope {
public:
    // Installs the handlers, leaving alone a signal that is ignored (as SIGINT is for a
    // background job, or SIGHUP under nohup).
    CInterruptScope();
    // Puts the previous handlers back.
    ~CInterruptScope();
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

    // The first of the handled signals that arrived since the scope began; 0 when none did.
    static int Signal();
};
