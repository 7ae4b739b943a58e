#pragma once
// Ctrl+C during a crawl. The handler does the one thing a signal handler may safely do,
// set a lock-free flag; the crawl's waiting loop, which wakes at least every quarter
// second, sees it and stops the crawl through the controller. A second Ctrl+C ends the
// program at once.

class CInterruptScope {
public:
    // Installs the SIGINT handler, unless SIGINT is ignored (as for a background job).
    CInterruptScope();
    // Puts the previous handler back.
    ~CInterruptScope();
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

    // Whether Ctrl+C was pressed since the scope began.
    static bool Interrupted();

private:
    bool m_installed = false;
};
