#pragma once
// quarn-cli's exit codes, and the one a finished crawl ends with.

#include <vector>

inline constexpr int kExitOk = 0;              // every site Done without failed addresses
inline constexpr int kExitAddressesFailed = 1; // some or all addresses failed
inline constexpr int kExitUsage = 2;           // bad arguments or an unreadable project
inline constexpr int kExitStopped = 3;         // a failed save, an unwritable folder, a limit,
                                               // a server busy too long
inline constexpr int kExitLoginExpired = 4;    // the login the cookies gave ran out
inline constexpr int kExitInterrupted = 130;   // Ctrl+C (SIGINT); 128 + the signal's number
inline constexpr int kExitTerminated = 143;    // SIGTERM
inline constexpr int kExitHungUp = 129;        // SIGHUP

struct SiteOutcome {
    int state = 0;  // the site's state after the run
    int errors = 0; // failed addresses
    bool loginExpired = false;
};

// A stopping signal first (128 + its number, as a shell reports a program it ended), then
// an expired login, then a stop (an engine message, a site that was aborted or never finished),
// then failed addresses. signal is 0 when none arrived.
int ExitCodeForRun(const std::vector<SiteOutcome>& sites, int signal, bool messageShown);
