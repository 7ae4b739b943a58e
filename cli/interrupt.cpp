#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

struct sigaction g_previous {};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

} // namespace

CInterruptScope::CInterruptScope() {
    g_interrupted.store(false);
    struct sigaction current {};
    if (sigaction(SIGINT, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
        return;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The handler is reset after the first signal, so a second Ctrl+C ends the program
    // even when the engine is slow to stop.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    m_installed = sigaction(SIGINT, &action, &g_previous) == 0;
}

CInterruptScope::~CInterruptScope() {
    if (m_installed)
        sigaction(SIGINT, &g_previous, nullptr);
}

bool CInterruptScope::Interrupted() {
    return g_interrupted.load();
}
