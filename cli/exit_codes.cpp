#include "cli/exit_codes.h"

#include "model/site.h"

int ExitCodeForRun(const std::vector<SiteOutcome>& sites, bool interrupted, bool messageShown) {
    if (interrupted)
        return kExitInterrupted;
    if (messageShown)
        return kExitStopped;
    bool failedAddresses = false;
    for (const auto& site : sites) {
        if (site.state != kSiteDone)
            return kExitStopped;
        failedAddresses = failedAddresses || site.errors > 0;
    }
    return failedAddresses ? kExitAddressesFailed : kExitOk;
}
