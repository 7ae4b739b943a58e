#include "cli/exit_codes.h"

#include "model/site.h"

int ExitCodeForRun(const std::vector<SiteOutcome>& sites, int signal, bool messageShown) {
    if (signal != 0)
        return 128 + signal;
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
