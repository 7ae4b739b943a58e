#include "cli/exit_codes.h"

#include "model/site.h"

int ExitCodeForRun(const std::vector<SiteOutcome>& sites, int signal, bool messageShown) {
    if (signal != 0)
        return 128 + signal;
    for (const auto& site : sites) {
        if (site.loginExpired)
            return kExitLoginExpired;
    }
    if (messageShown)
        return kExitStopped;
    bool failedAddresses = false;
    for (const auto& site : sites) {
        // A site that reached nothing ran to its end: its addresses failed, all of them.
        if (site.state != kSiteDone && site.state != kSiteFailed)
            return kExitStopped;
        failedAddresses = failedAddresses || site.errors > 0;
    }
    return failedAddresses ? kExitAddressesFailed : kExitOk;
}
