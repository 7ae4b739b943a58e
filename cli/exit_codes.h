#pragma once
// quarn-cli's exit codes, and the one a finished crawl ends with.

#include <vector>

inline constexpr int kExitOk = 0;              // every site Done without failed addresses
inline constexpr int kExitAddressesFailed = 1; // some addresses failed
inline constexpr int kExitUsage = 2;           // bad arguments or an unreadable project
inline constexpr int kExitStopped = 3;         // a failed save, an unwritable folder, a limit
inline constexpr int kExitInterrupted = 130;   // Ctrl+C

struct SiteOutcome {
    int state = 0;  // the site's state after the run
    int errors = 0; // failed addresses
};

// Ctrl+C first, then a stop (an engine message, a site that was aborted or never
// finished), then failed addresses.
int ExitCodeForRun(const std::vector<SiteOutcome>& sites, bool interrupted, bool messageShown);
