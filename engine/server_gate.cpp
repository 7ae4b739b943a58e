#include "engine/server_gate.h"

#include <algorithm>

void CServerGate::Reset() {
    std::lock_guard lock(m_mutex);
    m_servers.clear();
    m_changed.notify_all();
}

bool CServerGate::Enter(const std::string& server, const std::atomic<bool>& abort) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (abort.load())
            return false;
        Server& state = m_servers[server];
        const auto now = Clock::now();
        const auto resume = std::max(state.pausedUntil, state.nextStart);
        const bool paused = now < resume;
        const bool full = state.limit != 0 && state.inFlight >= state.limit;
        if (!paused && !full) {
            state.inFlight += 1;
            state.nextStart = now + state.delay;
            return true;
        }
        // The abort flag is not signalled: look at it again now and then.
        auto until = now + std::chrono::milliseconds(100);
        if (paused)
            until = std::min(until, resume);
        m_changed.wait_until(lock, until);
    }
}

void CServerGate::Leave(const std::string& server) {
    std::lock_guard lock(m_mutex);
    Server& state = m_servers[server];
    state.inFlight = std::max(0, state.inFlight - 1);
    m_changed.notify_all();
}

int CServerGate::Busy(const std::string& server, int status, std::int64_t retryAfter,
                      int capSeconds, int workers) {
    std::lock_guard lock(m_mutex);
    Server& state = m_servers[server];
    const auto now = Clock::now();
    if (!state.busy) {
        state.busy = true;
        state.busySince = now;
        state.backOffStep = 0;
    } else if (now - state.busySince >= kGiveUpAfter) {
        return -1;
    }
    if (status == 429) {
        state.lastTooMany = now;
        if (++state.tooManyInARow >= 2) {
            const int current = state.limit != 0 ? state.limit : std::max(1, workers);
            state.limit = std::max(1, current / 2);
            state.tooManyInARow = 0;
        }
    }
    const int cap = std::max(1, capSeconds);
    std::int64_t wait = 0;
    if (retryAfter >= 0) {
        wait = retryAfter;
    } else {
        wait = std::int64_t{1} << std::min(state.backOffStep, 20);
        state.backOffStep += 1;
    }
    const int seconds = static_cast<int>(std::clamp<std::int64_t>(wait, 1, cap));
    state.pausedUntil = std::max(state.pausedUntil, now + std::chrono::seconds(seconds));
    m_changed.notify_all();
    return seconds;
}

void CServerGate::SetDelay(const std::string& server, double seconds) {
    std::lock_guard lock(m_mutex);
    m_servers[server].delay = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::clamp(seconds, 0.0, 600.0)));
}

void CServerGate::Answered(const std::string& server) {
    std::lock_guard lock(m_mutex);
    const auto found = m_servers.find(server);
    if (found == m_servers.end())
        return;
    Server& state = found->second;
    state.busy = false;
    state.backOffStep = 0;
    state.tooManyInARow = 0;
    if (state.limit != 0 && Clock::now() - state.lastTooMany >= std::chrono::minutes(1)) {
        state.limit = 0;
        m_changed.notify_all();
    }
}
