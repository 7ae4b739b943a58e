#include "cli/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <iterator>

namespace {

constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

struct sigaction g_previous[std::size(kHandled)] {};
bool g_installed[std::size(kHandled)] = {};

extern "C" void OnSignal(int number) {
    int none = 0;
    g_signal.compare_exchange_strong(none, number);
}

} // namespace

CInterruptScope::CInterruptScope() {
    g_signal.store(0);
    for (std::size_t i = 0; i < std::size(kHandled); ++i) {
        struct sigaction current {};
        if (sigaction(kHandled[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        // The handler is reset after the first signal, so a second one ends the program
        // even when the engine is slow to stop.
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        g_installed[i] = sigaction(kHandled[i], &action, &g_previous[i]) == 0;
    }
}

CInterruptScope::~CInterruptScope() {
    for (std::size_t i = 0; i < std::size(kHandled); ++i) {
        if (g_installed[i])
            sigaction(kHandled[i], &g_previous[i], nullptr);
        g_installed[i] = false;
    }
}

int CInterruptScope::Signal() {
    return g_signal.load();
}
